import threading

import numpy as np
import pytest

from zibber import World, run_batch
from zibber.batch import measure_scaling, split_evenly


def test_split_evenly_gives_each_item_to_exactly_one_thread():
    for n in range(0, 9):
        for parts in range(1, 5):
            chunks = split_evenly(list(range(n)), parts)
            assert sum(chunks, []) == list(range(n))
            assert len(chunks) <= parts
            sizes = [len(c) for c in chunks]
            assert not sizes or max(sizes) - min(sizes) <= 1


def make_worlds(n=4):
    worlds = []
    for seed in range(n):
        w = World(seed + 1)
        w.setup([2, 2])
        worlds.append(w)
    return worlds


def test_threads_give_the_same_worlds_as_one_thread(lib):
    serial, parallel = make_worlds(), make_worlds()
    one = run_batch(serial, 40, threads=1)
    two = run_batch(parallel, 40, threads=2)
    assert one.steps == two.steps == 160
    for a, b in zip(serial, parallel):
        assert a.tick == b.tick == 40
        assert np.array_equal(a.zibbers(), b.zibbers())
        assert np.array_equal(a.points(), b.points())


def test_items_stay_on_one_thread_and_errors_surface():
    owners = {}

    def step(item):
        owners.setdefault(item, set()).add(threading.get_ident())
        if item == 5:
            raise ValueError("bad item")

    run_batch(range(5), 3, threads=2, step=step)
    assert all(len(o) == 1 for o in owners.values())
    with pytest.raises(ValueError):
        run_batch(range(5), 1, threads=0, step=step)
    with pytest.raises(ValueError, match="bad item"):
        run_batch(range(6), 1, threads=2, step=step)


def test_measure_scaling_closes_what_it_made(lib):
    made = []

    def make():
        made.append(make_worlds(2))
        return made[-1]

    results = measure_scaling(make, 5, thread_counts=(1, 2))
    assert [r.threads for r in results] == [1, 2]
    assert all(r.steps == 10 and r.steps_per_second > 0 for r in results)
    assert all(w.closed for group in made for w in group)
