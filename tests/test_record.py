import math

import numpy as np
import pytest

import korvex as kx
from conftest import raises_exactly

SOLUTION_ERROR = (
    "Failed to extract a solution. The solution must be a dict of str to a list of numpy.ndarray "
    "or Tuple[List[List[int]], List[int|float], Tuple[int,..]]."
)
# The 2 x 3 array with 1.0 at (0, 1), 2.0 at (1, 0) and 3.0 at (1, 2), in both forms.
COO = (([0, 1, 1], [1, 0, 2]), [1.0, 2.0, 3.0], (2, 3))
DENSE = np.array([[0.0, 1.0, 0.0], [2.0, 0.0, 3.0]])


def sparse(*samples, counts=None):
    return kx.Record({"x": list(samples)}, counts if counts is not None else [1] * len(samples))


def coo_of(record):
    return record.solution["x"]


@pytest.mark.parametrize(
    "solution, dense",
    [
        ({}, False),
        ({"x": []}, False),  # all lists empty: sparse is tried first and reads
        ({"x": [COO]}, False),
        ({"x": [[[[0], [1]], [1.0], [2, 2]]]}, False),  # three lists, as JSON readers give
        ({"x": [(((0,),), (True,), (2,))]}, False),  # bools are numbers, tuples sequences
        ({"x": [DENSE, np.zeros(())]}, True),
        ({"x": [DENSE.T]}, True),  # any memory layout
        ({"x": [np.arange(12.0)[::-3]]}, True),
    ],
)
def test_solution_forms(solution, dense):
    record = kx.Record(solution, [])
    assert record.is_dense() is dense
    assert record.is_sparse() is not dense


@pytest.mark.parametrize(
    "solution",
    [
        [],
        {"x": [np.zeros(2, dtype=np.int64)]},
        {"x": [DENSE, [0.0]]},
        {"x": [[[0, 1], [1.0], [2, 2]]]},  # the indices must be a list of lists
        {"x": [([[-1]], [1.0], [2])]},
        {"x": "abc"},
        {1: [COO]},
        {"x": [(COO[0], COO[1])]},
    ],
)
def test_solution_that_reads_in_neither_form(solution):
    error = raises_exactly(
        TypeError, f"argument 'solution': {SOLUTION_ERROR}", lambda: kx.Record(solution, [])
    )
    assert str(error.__cause__) == SOLUTION_ERROR
    record = kx.Record({}, [])
    raises_exactly(TypeError, SOLUTION_ERROR, lambda: setattr(record, "solution", solution))
    assert record.solution == {}


@pytest.mark.parametrize(
    "counts, exc, message",
    [
        ("12", TypeError, "argument 'num_occurrences': Can't extract `str` to `Vec`"),
        (3, TypeError, "argument 'num_occurrences': 'int' object cannot be converted to 'Sequence'"),
        ([1.5], TypeError, "argument 'num_occurrences': 'float' object cannot be interpreted as an integer"),
        ([-1], OverflowError, "can't convert negative int to unsigned"),
        ([2**64], OverflowError, "int too big to convert"),
    ],
)
def test_num_occurrences_errors(counts, exc, message):
    raises_exactly(exc, message, lambda: kx.Record({}, counts))


def test_getters_return_new_objects_and_keys_come_sorted():
    record = kx.Record({"é": [DENSE], "b": [DENSE], "a": [DENSE], "B": [DENSE]}, [1])
    first, second = record.solution, record.solution
    assert list(first) == ["B", "a", "b", "é"]  # by UTF-8 bytes
    assert repr(record).startswith("Record(solution={'B': ")
    assert first is not second and first["a"][0] is not second["a"][0]
    first["a"][0][0, 0] = 99.0
    assert record.solution["a"][0][0, 0] == 0.0
    assert record.solution["a"][0].dtype == np.float64
    counts = record.num_occurrences
    counts.append(5)
    assert record.num_occurrences == [1]


def test_sparse_solution_comes_back_as_tuples():
    record = kx.Record({"x": [[list(map(list, COO[0])), COO[1], list(COO[2])]]}, [1])
    assert record.solution == {"x": [COO]}


def test_setters_and_delete():
    record = kx.Record({}, [])
    record.solution = {"x": [DENSE]}
    record.num_occurrences = (2,)
    assert record.is_dense() and record.num_occurrences == [2]
    for name in ("solution", "num_occurrences"):
        raises_exactly(AttributeError, "can't delete attribute", lambda: delattr(record, name))


def test_to_dense_and_back():
    record = sparse(COO, counts=[7])
    dense = record.to_dense()
    assert record.is_sparse() and dense.is_dense()
    np.testing.assert_array_equal(coo_of(dense)[0], DENSE)
    assert dense.num_occurrences == [7]
    assert dense.to_sparse() == record
    assert dense.to_dense() == dense and dense.to_dense() is not dense
    assert kx.Record({"x": []}, []).to_dense().solution == {"x": []}


@pytest.mark.parametrize(
    "coo, expected",
    [
        (([], [5.0, 6.0], ()), np.array(6.0)),  # no axes: every value goes to the one element
        (([[1, 1]], [1.0, 2.0], (3,)), np.array([0.0, 2.0, 0.0])),  # the later entry wins
        (([[0, 2, 9]], [1.0, 2.0], (3,)), np.array([1.0, 0.0, 2.0])),  # extra coordinates ignored
        (([[0]], [], (0,)), np.zeros(0)),
    ],
)
def test_to_dense_cases(coo, expected):
    np.testing.assert_array_equal(coo_of(sparse(coo).to_dense())[0], expected)


@pytest.mark.parametrize(
    "coo, message",
    [
        (([[0, 5]], [1.0, 2.0], [3]),
         "Failed to get a mutable reference to the array at [5]. This might be caused by the shape mismatch. shape: [3]"),
        (([[0]], [1.0], [2, 2]),
         "Failed to get a mutable reference to the array at [0]. This might be caused by the shape mismatch. shape: [2, 2]"),
        (([[1], [3]], [1.0], [2, 3]),
         "Failed to get a mutable reference to the array at [1, 3]. This might be caused by the shape mismatch. shape: [2, 3]"),
        (([[0]], [1.0, 2.0], [3]),
         "the index list of axis 0 holds 1 indices, fewer than the 2 values of the sparse sample"),
    ],
)
def test_to_dense_index_errors(coo, message):
    raises_exactly(IndexError, message, lambda: sparse(coo).to_dense())


@pytest.mark.parametrize(
    "shape, message",
    [
        ([2**32, 2**32], "the shape [4294967296, 4294967296] has more elements than fit in a signed 64-bit size"),
        ([2**62, 4], "the shape [4611686018427387904, 4] has more elements than fit in a signed 64-bit size"),
        ([2**40, 2**10], "the shape [1099511627776, 1024] has 1125899906842624 elements, more than fit in memory"),
        ([1] * 33, "the shape [" + ", ".join(["1"] * 33) + "] has 33 axes, more than 32"),
    ],
)
def test_to_dense_refuses_shapes_before_allocating(shape, message):
    raises_exactly(ValueError, message, lambda: sparse(([[0]] * len(shape), [1.0], shape)).to_dense())


def test_to_sparse_drops_zeros_and_keeps_nan():
    record = kx.Record({"x": [np.array([[0.0, -0.0], [np.nan, 2.0]]), np.array(0.0), np.array(3.0)]}, [])
    (indices, values, shape), empty, scalar = coo_of(record.to_sparse())
    assert indices == ([1, 1], [0, 1]) and shape == (2, 2)
    assert math.isnan(values[0]) and values[1] == 2.0
    assert empty == ((), [], ()) and scalar == ((), [3.0], ())
    assert coo_of(kx.Record({"x": [np.zeros((2, 0, 3))]}, []).to_sparse()) == [(([], [], []), [], (2, 0, 3))]


def test_round_trip_through_dense_sorts_and_merges_entries():
    unordered = sparse(([[2, 0, 2]], [1.0, 0.0, 5.0], (3,)))
    assert coo_of(unordered.to_dense().to_sparse()) == [(([2],), [5.0], (3,))]
    ordered = sparse(COO)
    assert ordered.to_dense().to_sparse() == ordered


def test_comparison():
    assert sparse(COO) == sparse(COO)
    assert sparse(COO) != sparse(COO, counts=[2])
    assert sparse(COO) != sparse(COO).to_dense()  # same content, other form
    assert sparse(COO) != "Record"
    nan = kx.Record({"x": [np.array([np.nan])]}, [])
    assert nan != nan
    for op, symbol in [("__lt__", "<"), ("__le__", "<="), ("__gt__", ">"), ("__ge__", ">=")]:
        raises_exactly(TypeError, f"Comparison '{symbol}' not supported for Record",
                       lambda: getattr(sparse(COO), op)(sparse(COO)))


@pytest.mark.parametrize(
    "solution, text",
    [
        ({}, "Record(solution={}, num_occurrences=[1, 2])"),
        ({"b": [COO], "a": [(((0, 2),), [1e-7, 1.5e16], (3,))]},
         "Record(solution={'a': [(([0, 2],), [1e-7, 1.5e16], (3,))], "
         "'b': [(([0, 1, 1], [1, 0, 2]), [1.0, 2.0, 3.0], (2, 3))]}, num_occurrences=[1, 2])"),
        ({"x": [((), [-0.0], ())]}, "Record(solution={'x': [((), [-0.0], ())]}, num_occurrences=[1, 2])"),
        ({"x": [DENSE]}, "Record(solution={'x': [[[0, 1, 0],\n [2, 0, 3]]]}, num_occurrences=[1, 2])"),
        ({"x": [np.array(2.5), np.array([1e20, -0.0, np.nan, -np.inf]), np.zeros((2, 0))]},
         "Record(solution={'x': [2.5, [100000000000000000000, -0, NaN, -inf], [[]]]}, num_occurrences=[1, 2])"),
        ({"x": [np.arange(8.0).reshape(2, 2, 2)]},
         "Record(solution={'x': [[[[0, 1],\n  [2, 3]],\n\n [[4, 5],\n  [6, 7]]]]}, num_occurrences=[1, 2])"),
    ],
)
def test_text_form(solution, text):
    record = kx.Record(solution, [1, 2])
    assert repr(record) == text
    assert str(record) == text


def test_large_arrays_are_abbreviated():
    text = repr(kx.Record({"x": [np.arange(500.0)]}, []))
    assert text == ("Record(solution={'x': [[0, 1, 2, 3, 4, ..., 495, 496, 497, 498, 499]]}, "
                    "num_occurrences=[])")
    cube = repr(kx.Record({"x": [np.arange(1000.0).reshape(10, 10, 10)]}, []))
    blocks = cube.split("\n\n")
    assert len(blocks) == 7  # first 3, "...", last 3 along the outer axis
    assert blocks[3] == " ...,"
    assert "[0, 1, 2, 3, 4, 5, 6, 7, 8, 9]" in blocks[0]
    assert repr(kx.Record({"x": [np.arange(499.0)]}, [])).count("...") == 0
