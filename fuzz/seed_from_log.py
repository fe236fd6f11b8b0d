#!/usr/bin/env python3
"""Turns a call log into an input of fuzz_calls, so that whole matches seed it.

fuzz_calls reads its input through libFuzzer's FuzzedDataProvider, which takes
every integer from the end of the input, most significant byte first; the
bytes are therefore gathered in reading order and written reversed.
Usage: seed_from_log.py LOG OUT [MAX_STEPS]
"""
import struct
import sys

OP = {"create": 0, "setup": 2, "action": 3, "step": 4}


def main():
    text = open(sys.argv[1]).read().splitlines()
    steps_left = int(sys.argv[3]) if len(sys.argv) > 3 else 500
    out = []

    def take(value, low, high):  # ConsumeIntegralInRange(low, high)
        size = (max(high - low, 1).bit_length() + 7) // 8
        out.extend(reversed((value - low).to_bytes(size, "little")))

    def int32(value):  # anyInt: true, then ConsumeIntegral<int32_t>
        take(1, 0, 255)
        take(value, -(2**31), 2**31 - 1)

    for line in text:
        words = line.split()
        if not words or words[0] not in OP or steps_left <= 0:
            continue
        take(OP[words[0]], 0, 6)
        take(0, 0, 2)  # the first World
        if words[0] == "create":
            take(0, 0, 255)  # not the zero seed
            take(int(words[1], 16), 0, 2**64 - 1)
        elif words[0] == "setup":
            count = int(words[1])
            take(1, 0, 2)  # the wide count
            take(count, 0, 2000)
            take(1, 0, 15)  # sizes not null
            sizes = [int(w) for w in words[3:3 + count]]
            for size in sizes:
                take(0, 0, 7)
                take(size, -(2**31), 2**31 - 1)
            kinds = words[4 + count:]
            take(kinds == ["null"], 0, 255)
            for kind in kinds if kinds != ["null"] else []:
                int32(int(kind))
        elif words[0] == "action":
            int32(int(words[1]))
            int32(int(words[2]))
            take(1, 0, 3)  # raw bits
            take(struct.unpack("<Q", struct.pack("<d", float.fromhex(words[3])))[0], 0, 2**64 - 1)
        else:
            n = min(int(words[1]) if len(words) > 1 else 1, steps_left, 4000)
            steps_left -= n
            take(0, 0, 7)  # a long run
            take(n, 1, 4000)
    open(sys.argv[2], "wb").write(bytes(reversed(out)))


main()
