import math
import os

import numpy as np
import pytest

import korvex as kx
from conftest import raises_exactly

EMPTY_TIMES = kx.MeasuringTime()


def sample(k):
    """A sparse sample of one variable whose single value tells the samples apart."""
    return ([[0]], [float(k)], [1])


def make(n=3, violations=None, energy=None, objective=None, values=None, penalty=None,
         variables=("x",), metadata=None, time=None):
    record = kx.Record({name: [sample(k) for k in range(n)] for name in variables}, list(range(1, n + 1)))
    evaluation = kx.Evaluation(
        energy=energy if energy is not None else [float(k) for k in range(n)],
        objective=objective if objective is not None else [float(10 + k) for k in range(n)],
        constraint_violations=violations or {}, constraint_forall={"c1": [[0]]},
        constraint_values=values if values is not None else [{"c1": [float(k)]} for k in range(n)],
        penalty=penalty or {})
    return kx.SampleSet(record, evaluation, time or EMPTY_TIMES, metadata)


def kept(sample_set):
    """Which original samples a filtered set holds, read from the record."""
    return [coo[1][0] for coo in sample_set.record.solution["x"]]


def test_constructor_and_attributes():
    meta = {"k": 1}
    s = make(metadata=meta)
    assert s.metadata is meta
    assert make().metadata == {} and make().metadata is not make().metadata
    record = s.record
    record.num_occurrences = [9]
    assert s.record.num_occurrences == [1, 2, 3]  # reads are copies: write back to change
    s.record = record
    assert s.record.num_occurrences == [9]
    s.evaluation = kx.Evaluation(energy=[5.0])
    s.measuring_time = kx.MeasuringTime(total=1.0)
    assert s.evaluation == kx.Evaluation(energy=[5.0]) and s.measuring_time.total == 1.0
    other = {}
    s.metadata = other
    assert s.metadata is other
    for name in ("record", "evaluation", "measuring_time", "metadata"):
        raises_exactly(AttributeError, "can't delete attribute", lambda: delattr(s, name))


@pytest.mark.parametrize(
    "args, message",
    [
        ((1, kx.Evaluation(), EMPTY_TIMES), "argument 'record': 'int' object cannot be converted to 'Record'"),
        ((kx.Record({}, []), kx.Record({}, []), EMPTY_TIMES),
         "argument 'evaluation': 'Record' object cannot be converted to 'Evaluation'"),
        ((kx.Record({}, []), kx.Evaluation(), None),
         "argument 'measuring_time': 'NoneType' object cannot be converted to 'MeasuringTime'"),
        ((kx.Record({}, []), kx.Evaluation(), EMPTY_TIMES, []),
         "argument 'metadata': 'list' object cannot be converted to 'dict'"),
    ],
)
def test_constructor_errors(args, message):
    raises_exactly(TypeError, message, lambda: kx.SampleSet(*args))


@pytest.mark.parametrize(
    "name, value, message",
    [
        ("record", kx.Evaluation(), "'Evaluation' object cannot be converted to 'Record'"),
        ("evaluation", None, "'NoneType' object cannot be converted to 'Evaluation'"),
        ("measuring_time", kx.SolvingTime(), "'SolvingTime' object cannot be converted to 'MeasuringTime'"),
        ("metadata", None, "'NoneType' object cannot be converted to 'dict'"),
    ],
)
def test_setter_errors(name, value, message):
    raises_exactly(TypeError, message, lambda: setattr(make(), name, value))


VIOLATIONS = {"c1": [0.0, 1e-9, 0.5], "c2": [0.0, 0.0, -0.5]}


@pytest.mark.parametrize(
    "violations, kwargs, feasible",
    [
        (VIOLATIONS, {}, [0, 1, 2]),  # totals 0.0, 1e-9, 0.0
        (VIOLATIONS, {"atol": 1e-10}, [0, 2]),
        ({"c": [1.0, 100.0, 0.0]}, {"rtol": 1.0}, [0, 1, 2]),  # |t| <= atol + rtol * |t|
        # An infinite total is infeasible although inf <= atol + rtol * inf holds.
        ({"c": [1e-3, float("nan"), float("inf")]}, {"rtol": 0.5, "atol": 1e-2}, [0]),
        ({"a": [float("inf"), 1.0], "b": [float("-inf"), -1.0]}, {}, [1]),
        ({"c": [float("nan"), 0.0, 0.0]}, {"rtol": 1e9, "atol": 1e9}, [1, 2]),
    ],
)
def test_feasible_and_infeasible(violations, kwargs, feasible):
    n = len(next(iter(violations.values())))
    s = make(n=n, violations=violations)
    assert kept(s.feasible(**kwargs)) == feasible
    assert kept(s.infeasible(**kwargs)) == [k for k in range(n) if k not in feasible]


def test_selection_takes_every_per_sample_list():
    meta = {"m": 1}
    s = make(violations={"c": [1.0, 0.0, 0.0]}, penalty={"p": [7.0, 8.0, 9.0]}, metadata=meta,
             time=kx.MeasuringTime(total=2.0))
    f = s.feasible()
    assert f.record.num_occurrences == [2, 3] and kept(f) == [1, 2]
    e = f.evaluation
    np.testing.assert_array_equal(e.energy, [1.0, 2.0])
    np.testing.assert_array_equal(e.objective, [11.0, 12.0])
    np.testing.assert_array_equal(e.penalty["p"], [8.0, 9.0])
    np.testing.assert_array_equal(e.constraint_violations["c"], [0.0, 0.0])
    assert [v["c1"][0] for v in e.constraint_values] == [1.0, 2.0]
    assert list(e.constraint_forall) == ["c1"]
    assert f.measuring_time.total == 2.0 and f.metadata is meta
    none = s.feasible(atol=-1.0)
    assert none.record.solution == {"x": []} and none.record.num_occurrences == []
    assert none.evaluation.constraint_violations["c"].shape == (0,)
    assert none.evaluation.penalty["p"].shape == (0,)


def test_without_violations_everything_is_feasible():
    s = make(metadata={"m": 1})
    assert s.feasible() == s and s.feasible() is not s and s.feasible().metadata is s.metadata
    assert kept(s.infeasible()) == [] and s.infeasible().evaluation.energy.shape == (0,)
    raises_exactly(ValueError, "constraint violation is empty", s.lowest)


@pytest.mark.parametrize(
    "violations, message",
    [
        ({"c1": [0.0] * 3, "c2": [0.0] * 2}, "ShapeError/OutOfBounds: out of bounds indexing"),
        ({"c1": [0.0] * 3, "c2": [0.0] * 4}, "ShapeError/IncompatibleShape: incompatible shapes"),
        ({"a": [0.0] * 3, "b": [], "c": [0.0] * 4}, "ShapeError/OutOfBounds: out of bounds indexing"),
    ],
)
def test_violation_lists_of_different_lengths(violations, message):
    s = make(violations=violations)
    for method in (s.feasible, s.infeasible, s.lowest):
        raises_exactly(ValueError, message, method)


def test_index_beyond_a_list_gives_the_default_part():
    # The record keeps its three samples; index 2 has no energy, so the evaluation is the default.
    s = make(violations={"c": [0.0, 0.0, 0.0]}, energy=[1.0, 2.0])
    f = s.feasible()
    assert kept(f) == [0, 1, 2]
    assert f.evaluation == kx.Evaluation()
    short_record = kx.SampleSet(kx.Record({"x": [sample(0)]}, [1, 1, 1]), s.evaluation, EMPTY_TIMES)
    assert short_record.feasible().record == kx.Record({}, [])


def test_lists_empty_for_every_sample_stay_empty():
    # Many solvers report no energies, counts or constraint values; filtering must keep the rest.
    record = kx.Record({"x": [sample(k) for k in range(3)]}, [])
    evaluation = kx.Evaluation(objective=[3.0, 1.0, 2.0], constraint_violations={"c": [0.0, 1.0, 0.0]},
                               penalty={"p": []})
    f = kx.SampleSet(record, evaluation, EMPTY_TIMES).feasible()
    assert kept(f) == [0, 2] and f.record.num_occurrences == []
    assert f.evaluation == kx.Evaluation(objective=[3.0, 2.0], constraint_violations={"c": [0.0, 0.0]},
                                         penalty={"p": []})


@pytest.mark.parametrize(
    "objective, violations, expected",
    [
        ([3.0, 1.0, 1.0, float("nan")], [0.0] * 4, [1, 2]),
        ([float("nan")] * 4, [0.0] * 4, []),
        ([3.0, 1.0, 2.0, 0.0], [0.0, 1.0, 0.0, 1.0], [2]),
        ([1.0, 1.0, 1.0, 1.0], [1.0] * 4, []),
    ],
)
def test_lowest(objective, violations, expected):
    s = make(n=4, objective=objective, violations={"c": violations})
    assert kept(s.lowest()) == expected


def test_lowest_with_a_feasible_sample_without_objective():
    s = make(objective=[5.0, 4.0], violations={"c": [1.0, 0.0, 0.0]})
    raises_exactly(ValueError, "the objective has no value for the feasible sample 2 (it holds 2 values)",
                   s.lowest)
    assert kept(make(objective=[5.0, 4.0], violations={"c": [0.0, 0.0, 1.0]}).lowest()) == [1]


def test_tolerance_arguments():
    s = make(violations={"c": [0.0] * 3})
    raises_exactly(TypeError, "argument 'rtol': must be real number, not str", lambda: s.feasible("x"))
    raises_exactly(TypeError, "argument 'atol': must be real number, not NoneType",
                   lambda: s.lowest(atol=None))
    raises_exactly(TypeError, "SampleSet.feasible() takes from 0 to 2 positional arguments but 3 were given",
                   lambda: s.feasible(1, 2, 3))


def test_to_dense():
    s = make(metadata={"m": 1})
    d = s.to_dense()
    assert s.is_sparse() and d.is_dense() and not d.is_sparse()
    assert d.record == s.record.to_dense() and d.evaluation == s.evaluation and d.metadata is s.metadata
    assert d.to_dense() is not d and d.to_dense() == d
    bad = kx.SampleSet(kx.Record({"x": [([[3]], [1.0], [2])]}, []), kx.Evaluation(), EMPTY_TIMES)
    raises_exactly(IndexError, "Failed to get a mutable reference to the array at [3]. "
                               "This might be caused by the shape mismatch. shape: [2]", bad.to_dense)


def test_comparison_uses_metadata_equality():
    assert make(metadata={"a": 1}) == make(metadata={"a": 1})
    assert make(metadata={"a": 1}) != make(metadata={"a": 2})
    assert make() != make(n=2)
    assert make() != "SampleSet"

    class Angry(dict):
        def __eq__(self, other):
            raise RuntimeError("no comparing")

    raises_exactly(RuntimeError, "no comparing", lambda: make(metadata=Angry()) == make())
    for op, symbol in [("__lt__", "<"), ("__le__", "<="), ("__gt__", ">"), ("__ge__", ">=")]:
        raises_exactly(TypeError, f"Comparison '{symbol}' not supported for SampleSet",
                       lambda: getattr(make(), op)(make()))


def test_text_form():
    s = kx.SampleSet(kx.Record({}, [1]), kx.Evaluation(energy=[1.0]), EMPTY_TIMES, {"a": [1]})
    text = ("SampleSet(record=Record(solution={}, num_occurrences=[1]), evaluation=Evaluation(energy=[1.0], "
            "objective=[], constraint_violations={}, constraint_forall={}, constraint_values=[], penalty={}), "
            f"measuring_time={EMPTY_TIMES!r}, metadata={{'a': [1]}})")
    assert repr(s) == text and str(s) == text


def test_text_form_with_unprintable_metadata():
    import sys

    class Unprintable(dict):
        def __repr__(self):
            raise RuntimeError("no printing")

    seen = []
    old, sys.unraisablehook = sys.unraisablehook, seen.append
    try:
        text = repr(make(n=0, metadata=Unprintable()))
    finally:
        sys.unraisablehook = old
    assert text.endswith(", metadata=<unprintable Unprintable object>)")
    assert len(seen) == 1 and str(seen[0].exc_value) == "no printing"


def span(start, end, span_id, parent):
    return {"start_time": f"2024-05-01T10:00:{start}Z", "end_time": f"2024-05-01T10:00:{end}Z",
            "context": {"span_id": span_id}, "parent_id": parent}


@pytest.mark.parametrize(
    "metadata, expected",
    [
        ({}, {}),
        ({"r": span("00.000000", "02.000000", "R", None)}, {"r": 2.0}),
        ({"r": span("00.000000", "02.000000", "R", None), "a": span("00.000000", "00.500000", "A", "R"),
          "b": span("00.000000", "00.250000", "B", "A")}, {"r": {"a": {"b": 0.25}}}),
        ({"r": span("00.000000", "02.000000", "R", ""), "s": span("01.000000", "04.500000", "S", None),
          "a": span("00.000000", "00.500000", "A", "R"), "other": 3, "no_parent": {"x": 1}},
         {"r": {"a": 0.5}, "s": 3.5}),
        ({"group": {"a": span("00.000000", "00.500000", "A", "R")}, "r": span("00.000000", "01.000000", "R", None)},
         {"r": 1.0}),
    ],
)
def test_backend_calculation_time(metadata, expected):
    assert make(metadata=metadata).get_backend_calculation_time() == expected


@pytest.mark.parametrize(
    "metadata, exc, message",
    [
        ({1: {"parent_id": None}}, TypeError, "'int' object cannot be converted to 'str'"),
        ({"r": {"parent_id": None, "start_time": "2024-05-01T10:00:00.000000Z"}}, KeyError, "'end_time'"),
        ({"r": span("garbage", "02.000000", "R", None)}, ValueError,
         "time data '2024-05-01T10:00:garbageZ' does not match format '%Y-%m-%dT%H:%M:%S.%fZ'"),
    ],
)
def test_backend_calculation_time_errors(metadata, exc, message):
    raises_exactly(exc, message, make(metadata=metadata).get_backend_calculation_time)


def test_concatenate_sparse_sets():
    a = make(n=2, violations={"c": [0.0, 1.0]}, metadata={"a": 1}, time=kx.MeasuringTime(total=1.0))
    b = make(n=1, violations={"c": [0.5], "d": [2.0]}, penalty={"p": [3.0]}, variables=("x", "y"))
    b.evaluation = kx.Evaluation(energy=[7.0], constraint_violations={"c": [0.5], "d": [2.0]},
                                 constraint_forall={"d": [[1]]}, constraint_values=[{"d": [1.0]}],
                                 penalty={"p": [3.0]})
    c = kx.concatenate((a, b))
    assert c.record.solution["x"] == a.record.solution["x"] + b.record.solution["x"]
    assert c.record.solution["y"] == b.record.solution["y"]  # only the second set's samples
    assert c.record.num_occurrences == [1, 2, 1]
    e = c.evaluation
    np.testing.assert_array_equal(e.energy, [0.0, 1.0, 7.0])
    np.testing.assert_array_equal(e.objective, [10.0, 11.0])
    np.testing.assert_array_equal(e.constraint_violations["c"], [0.0, 1.0, 0.5])
    np.testing.assert_array_equal(e.constraint_violations["d"], [2.0])
    np.testing.assert_array_equal(e.penalty["p"], [3.0])
    assert len(e.constraint_values) == 3 and list(e.constraint_forall) == ["d"]  # the last set's
    assert c.measuring_time == kx.MeasuringTime() and c.metadata == {}


def test_concatenate_one_set_copies_it():
    a = make(metadata={"a": 1})
    c = kx.concatenate([a])
    assert c == a and c is not a and c.metadata is a.metadata


@pytest.mark.parametrize(
    "sets, exc, message",
    [
        ([], ValueError, "empty list is invalid"),
        ("ab", TypeError, "argument 'sample_sets': Can't extract `str` to `Vec`"),
        ([1], TypeError, "argument 'sample_sets': 'int' object cannot be converted to 'SampleSet'"),
        ([make(), make().to_dense()], ValueError, "Failed to extend the sparse solution with the dense solution."),
        ([make().to_dense(), make().to_dense()], ValueError,
         "Failed to extend the sparse solution with the dense solution."),
    ],
)
def test_concatenate_errors(sets, exc, message):
    raises_exactly(exc, message, lambda: kx.concatenate(sets))


def test_concatenate_dense_single_set_passes():
    d = make().to_dense()
    assert kx.concatenate([d]) == d


def resident_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4096


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="freed memory stays in the sanitizer's quarantine")
def test_building_and_dropping_does_not_leak():
    import sys

    meta = {"m": 1}
    big = np.arange(1000.0)
    s = kx.SampleSet(kx.Record({"x": [big]}, [1]), kx.Evaluation(energy=[1.0], objective=[2.0], constraint_violations={"c": [0.0]},
                                                               penalty={"p": big}),
                     kx.MeasuringTime(), meta)

    def work():
        kx.Record({"x": [big, big]}, [1, 2]).to_sparse().to_dense().to_json()
        s.feasible(), s.infeasible(), s.lowest(), s.to_dense(), kx.concatenate([s]), s.to_dict()
        kx.SampleSet.from_dict(s.to_dict()), repr(s), s.record.solution, s.evaluation.to_dict()
        kx.Evaluation.from_json(s.evaluation.to_json())

    for _ in range(200):
        work()
    refs = sys.getrefcount(meta), sys.getrefcount(big)
    start = resident_bytes()
    for _ in range(3000):  # each round allocates well over 50 kB; a leak would show in megabytes
        work()
    assert (sys.getrefcount(meta), sys.getrefcount(big)) == refs
    assert resident_bytes() - start < 16 * 2**20


def test_a_sample_set_in_its_own_metadata_is_collected():
    import gc
    import weakref

    record = kx.Record({"x": [np.zeros(2)]}, [1])
    evaluation = kx.Evaluation(objective=[0.0])
    ss = kx.SampleSet(record=record, evaluation=evaluation, measuring_time=kx.MeasuringTime())
    holder = type("Holder", (), {})()
    ss.metadata["self"] = ss
    ss.metadata["holder"] = holder
    alive = weakref.ref(holder)
    del ss, holder
    gc.collect()
    assert alive() is None
