"""The timer the benchmarks share: the best of a few runs, in seconds."""
import time


def best_of(fn, repeat=5):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best
