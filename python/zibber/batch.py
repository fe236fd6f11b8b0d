"""Stepping many independent worlds (or environments) on several threads.

Library calls release the GIL, and different Worlds share no mutable state,
so threads that each own a slice of the items step them truly in parallel.
Python work done between the calls (policies, observations) still holds the
GIL and limits how far that scales.
"""

import os
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass


@dataclass
class BatchResult:
    threads: int
    items: int
    steps: int  # total over all items
    seconds: float
    cpu_seconds: float = 0.0  # of the whole process, all threads

    @property
    def cores_used(self):
        """CPU time over wall time: near 1 when threads could not run side by side."""
        return self.cpu_seconds / self.seconds if self.seconds > 0 else 0.0

    @property
    def steps_per_second(self):
        return self.steps / self.seconds if self.seconds > 0 else float("inf")


def split_evenly(items, parts):
    """Contiguous, nearly equal slices: each item belongs to exactly one thread."""
    size, extra = divmod(len(items), parts)
    out, start = [], 0
    for p in range(parts):
        end = start + size + (1 if p < extra else 0)
        out.append(items[start:end])
        start = end
    return [chunk for chunk in out if chunk]


def run_batch(items, steps, threads=None, step=None):
    """Call step(item) `steps` times for every item, spread over `threads` threads.

    Without `step`, each item's own step(steps) is called: for a World that
    is a tight loop which holds the GIL least. Pass `step` to drive anything
    else, such as a function that steps a ZibberEnv with a policy. No item is
    touched by two threads, which is what the library requires of a World.
    """
    items = list(items)
    if steps < 0:
        raise ValueError("steps must not be negative")
    if threads is None:
        threads = os.cpu_count() or 1
    if threads < 1:
        raise ValueError("threads must be at least 1")

    def work(chunk):
        for item in chunk:
            if step is None:
                item.step(steps)
                continue
            for _ in range(steps):
                step(item)

    chunks = split_evenly(items, threads)
    start, cpu_start = time.perf_counter(), time.process_time()
    if len(chunks) <= 1:
        for chunk in chunks:
            work(chunk)
    else:
        with ThreadPoolExecutor(max_workers=len(chunks)) as pool:
            # list() re-raises the first exception a worker hit.
            list(pool.map(work, chunks))
    seconds = time.perf_counter() - start
    cpu_seconds = time.process_time() - cpu_start
    return BatchResult(threads, len(items), steps * len(items), seconds, cpu_seconds)


def measure_scaling(make_items, steps, thread_counts=(1, 2), step=None):
    """run_batch on fresh items for each thread count; returns the BatchResults.

    make_items() must build a new, equally prepared set of items each call, so
    that every thread count does the same work.
    """
    results = []
    for threads in thread_counts:
        items = make_items()
        try:
            results.append(run_batch(items, steps, threads, step))
        finally:
            for item in items:
                close = getattr(item, "close", None)
                if close:
                    close()
    return results
