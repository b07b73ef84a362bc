"""Sample-set workloads timed against NumPy and orjson doing the same work in the same run.

Run: PYTHONPATH=build/dev python benchmarks/sample_set.py   (prints ours, reference, ratio)
"""

import numpy as np
import orjson

import korvex as kx
from timing import best_of


def report(name, ours, reference, target):
    ratio = ours / reference
    flag = "" if ratio <= target else f"  (above the {target}x aim)"
    print(f"{name:44s} ours {ours * 1e3:9.2f} ms  reference {reference * 1e3:9.2f} ms  "
          f"ratio {ratio:5.2f}x{flag}")


def conversions(rng):
    arrays = []
    for _ in range(1000):
        a = np.zeros((100, 100))
        flat = rng.choice(10000, size=100, replace=False)
        a.flat[flat] = rng.random(100) + 0.5
        arrays.append(a)
    dense = kx.Record({"x": arrays}, [1] * len(arrays))
    sparse = dense.to_sparse()
    coo = [(np.nonzero(a), a[np.nonzero(a)]) for a in arrays]

    def numpy_to_sparse():
        return [(idx, a[idx]) for a in arrays for idx in (np.nonzero(a),)]

    def numpy_to_dense():
        out = []
        for idx, values in coo:
            z = np.zeros((100, 100))
            z[idx] = values
            out.append(z)
        return out

    report("to_sparse, 1000 x (100 x 100) at 1 %", best_of(dense.to_sparse), best_of(numpy_to_sparse), 1.5)
    report("to_dense, 1000 x (100 x 100) at 1 %", best_of(sparse.to_dense), best_of(numpy_to_dense), 1.5)


def feasibility(rng):
    samples, constraints = 100_000, 50
    violations = np.where(rng.random((constraints, samples)) < 0.02, rng.random((constraints, samples)), 0.0)
    energy = rng.random(samples)
    objective = rng.random(samples)
    evaluation = kx.Evaluation(energy=energy, objective=objective,
                               constraint_violations={f"c{k:02d}": violations[k] for k in range(constraints)})
    record = kx.Record({}, [1] * samples)
    sample_set = kx.SampleSet(record, evaluation, kx.MeasuringTime())
    counts = np.ones(samples, dtype=np.uint64)

    def numpy_feasible(rtol=1e-5, atol=1e-8):
        total = np.sum(violations, axis=0)
        keep = np.nonzero(np.abs(total) <= atol + rtol * np.abs(total))[0]
        return counts[keep], energy[keep], objective[keep], violations[:, keep]

    report("feasible(), 100000 samples x 50 constraints", best_of(sample_set.feasible),
           best_of(numpy_feasible), 1.5)


def json_forms(rng):
    arrays = [rng.random(1000) for _ in range(1000)]
    record = kx.Record({"x": arrays}, [1] * len(arrays))
    text = record.to_json()

    def orjson_dumps():
        return orjson.dumps(arrays, option=orjson.OPT_SERIALIZE_NUMPY)

    report("Record.to_json(), 1000 x 1000 float64", best_of(record.to_json), best_of(orjson_dumps), 1.0)
    report("Record.from_json(), the same text", best_of(lambda: kx.Record.from_json(text)),
           best_of(lambda: orjson.loads(text)), 1.5)


def main():
    rng = np.random.default_rng(7)
    conversions(rng)
    feasibility(rng)
    json_forms(rng)


if __name__ == "__main__":
    main()
