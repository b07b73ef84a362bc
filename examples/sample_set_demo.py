"""A solver's answer made by hand: filter it, then look at it as JSON and as a table."""
import numpy as np

import korvex as kx


def build():
    # Three samples of a 2 x 2 binary variable x, sparse: only the ones are listed.
    record = kx.Record(
        {"x": [
            (([0, 1], [0, 1]), [1.0, 1.0], (2, 2)),
            (([0], [1]), [1.0], (2, 2)),
            (([1, 1], [0, 1]), [1.0, 1.0], (2, 2)),
        ]},
        num_occurrences=[4, 1, 2],
    )
    evaluation = kx.Evaluation(
        energy=[2.0, 5.0, 2.0],
        objective=[2.0, 1.0, 2.0],
        constraint_violations={"one_per_row": [0.0, 1.0, 0.0]},
        constraint_forall={"one_per_row": [[0], [1]]},
        constraint_values=[{"one_per_row": [0.0, 0.0]}, {"one_per_row": [0.0, -1.0]},
                           {"one_per_row": [0.0, 0.0]}],
    )
    times = kx.MeasuringTime(solve=kx.SolvingTime(solve=0.25), total=0.5)
    return kx.SampleSet(record, evaluation, times, metadata={"solver": "by hand"})


def main():
    sample_set = build()
    feasible = sample_set.feasible()
    best = sample_set.lowest()
    print(f"{len(feasible.evaluation.objective)} of 3 samples are feasible")
    print("lowest objective:", best.evaluation.objective, "seen", best.record.num_occurrences, "times")
    print("first best sample as an array:")
    print(best.to_dense().record.solution["x"][0])
    print(best.record.to_json())
    print(best.to_json())
    print(sample_set.to_pandas()[["num_occurrences", "objective", "constraint_violation[one_per_row]"]])
    assert kx.SampleSet.from_json(sample_set.to_json()) == sample_set
    assert np.all(best.evaluation.objective == 2.0)


if __name__ == "__main__":
    main()
