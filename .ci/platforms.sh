#!/usr/bin/env bash
# The golden matches on more than one platform. The library is built with its
# correctly rounded math (ZIBBER_PLATFORM_MATH=OFF) and every step of the ten
# golden matches must reproduce tests/data/golden/match-NN.exact.hashes on:
#   glibc    x86-64 glibc, shared library, with glibc's FMA/AVX code paths
#            switched off by GLIBC_TUNABLES (its libm picks them at load time)
#   musl     static build against musl: C via musl-gcc, C++ on musl's headers
#   aarch64  static cross build run under qemu-aarch64
#
# Usage: .ci/platforms.sh [--controls] [glibc] [musl] [aarch64]   (default: all)
#   --controls  also build each platform with the platform's own math and
#               compare with the plain .hashes (glibc 2.36 with FMA); those
#               are expected to differ, which shows each check can see a
#               difference. Informational, never fails the run.
# Prints one line per platform and match; exits 1 on any mismatch or failed
# build. Build trees: build/xplat-<platform>[-platform-math].
set -uo pipefail
cd "$(dirname "$0")/.."

TUNABLES=glibc.cpu.hwcaps=-AVX2,-FMA,-AVX,-FMA4,-AVX512F
GOLDEN=tests/data/golden
MATCHES=(01 02 03 04 05 06 07 08 09 10)
failed=0
controls=0
platforms=()
for arg in "$@"; do
    case "$arg" in
        --controls) controls=1 ;;
        glibc|musl|aarch64) platforms+=("$arg") ;;
        *) echo "usage: $0 [--controls] [glibc] [musl] [aarch64]" >&2; exit 2 ;;
    esac
done
[ ${#platforms[@]} -gt 0 ] || platforms=(glibc musl aarch64)

# ---- packages (only what is missing, so a warm machine skips apt) ----
packages=(build-essential cmake binutils)
for p in "${platforms[@]}"; do
    case "$p" in
        musl) packages+=(musl-tools) ;;
        aarch64) packages+=(g++-aarch64-linux-gnu qemu-user) ;;
    esac
done
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}"; } \
        >/dev/null || { echo "FAIL: could not install ${missing[*]}"; exit 1; }
fi

# ---- helpers ----

# build DIR MATH [cmake args...]: configure and build golden_check quietly.
build() {
    local dir=build/xplat-$1 math=$2
    shift 2
    if ! { cmake -S tests/portable -B "$dir" -DCMAKE_BUILD_TYPE=Release \
               -DZIBBER_PLATFORM_MATH="$math" "$@" &&
           cmake --build "$dir" -j2; } >"$dir.log" 2>&1; then
        tail -n 30 "$dir.log"
        echo "FAIL: build of $dir (log: $dir.log)"
        return 1
    fi
}

# check LABEL SUFFIX RUNNER...: run golden_check (the last RUNNER word) on
# every match against match-NN$SUFFIX; returns the number of failing matches.
check() {
    local label=$1 suffix=$2 bad=0 out m
    shift 2
    for m in "${MATCHES[@]}"; do
        out=$("$@" "$GOLDEN/match-$m.replay" "$GOLDEN/match-$m$suffix" 2>&1) || bad=$((bad + 1))
        printf '%-22s match-%s: %s\n' "$label" "$m" "$out"
    done
    return $bad
}

# finish LABEL BAD START BUILT: the platform's summary line.
finish() {
    echo "== $1: $2 of ${#MATCHES[@]} matches differ (build $(($4 - $3)) s, run $(($SECONDS - $4)) s)"
    [ "$2" -eq 0 ] || failed=1
}

# Bit 12 of CPUID leaf 1 ECX as glibc's loader reports it active.
glibc_fma_active() {
    local word
    word=$(env "$@" /lib64/ld-linux-x86-64.so.2 --list-diagnostics 2>/dev/null |
           sed -n 's/^x86\.cpu_features\.features\[0x0\]\.active\[0x2\]=//p')
    [ -n "$word" ] || { echo unknown; return; }
    (( (word >> 12) & 1 )) && echo yes || echo no
}

# ---- platforms ----

glibc() {
    local start=$SECONDS built bad=0 imports
    echo "== glibc: $(ldd --version | head -n 1), GLIBC_TUNABLES=$TUNABLES"
    build glibc OFF || { failed=1; return; }
    built=$SECONDS
    # Only exactly rounded functions may come from the C library.
    imports=$(nm -D --undefined-only build/xplat-glibc/zibber/libzibber.so |
              grep -Ew '(sin|cos|tan|sincos|asin|acos|atan|atan2|exp|exp2|expm1|log|log2|log10|log1p|pow|hypot|cbrt|sinh|cosh|tanh)f?(@.*)?' || true)
    if [ -n "$imports" ]; then
        echo "FAIL: libzibber.so imports platform math:"; echo "$imports"; failed=1
    fi
    # The tunables must really switch glibc to its non-FMA code paths.
    echo "glibc reports FMA active: $(glibc_fma_active) without the tunables," \
         "$(glibc_fma_active GLIBC_TUNABLES=$TUNABLES) with them"
    if [ "$(glibc_fma_active GLIBC_TUNABLES=$TUNABLES)" = yes ]; then
        echo "FAIL: GLIBC_TUNABLES did not switch FMA off"; failed=1
    fi
    check glibc-nofma .exact.hashes env GLIBC_TUNABLES=$TUNABLES build/xplat-glibc/golden_check || bad=$?
    finish glibc $bad $start $built
    if [ $controls = 1 ] && build glibc-platform-math ON; then
        check "control:glibc-nofma" .hashes env GLIBC_TUNABLES=$TUNABLES \
            build/xplat-glibc-platform-math/golden_check
    fi
}

musl() {
    local start=$SECONDS built bad=0
    local args=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/x86_64-linux-musl.cmake"
                -DZIBBER_PORTABLE_STATIC=ON -DZIBBER_PORTABLE_NO_LIBSTDCXX=ON)
    echo "== musl: $(dpkg-query -W -f='musl ${Version}' musl-dev 2>/dev/null), static, no libstdc++"
    build musl OFF "${args[@]}" || { failed=1; return; }
    built=$SECONDS
    check musl .exact.hashes build/xplat-musl/golden_check || bad=$?
    finish musl $bad $start $built
    if [ $controls = 1 ] && build musl-platform-math ON "${args[@]}"; then
        check "control:musl" .hashes build/xplat-musl-platform-math/golden_check
    fi
}

aarch64() {
    local start=$SECONDS built bad=0
    local args=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" -DZIBBER_PORTABLE_STATIC=ON)
    echo "== aarch64: $(aarch64-linux-gnu-g++ --version | head -n 1), static, $(qemu-aarch64 --version | head -n 1)"
    build aarch64 OFF "${args[@]}" || { failed=1; return; }
    built=$SECONDS
    check aarch64-qemu .exact.hashes qemu-aarch64 build/xplat-aarch64/golden_check || bad=$?
    finish aarch64 $bad $start $built
    if [ $controls = 1 ] && build aarch64-platform-math ON "${args[@]}"; then
        check "control:aarch64-qemu" .hashes qemu-aarch64 build/xplat-aarch64-platform-math/golden_check
    fi
}

mkdir -p build
for p in "${platforms[@]}"; do "$p"; done
if [ $failed = 0 ]; then
    echo "== platforms: ${platforms[*]}: every golden match reproduces its .exact.hashes"
else
    echo "== platforms: FAILED"
fi
exit $failed
