"""Number literals, data types, placeholders, elements, ranges, decision variables, lengths."""
import numpy as np
import pytest

import korvex as kx
from conftest import raises_exactly


# ---- number literals and the number steps of the expression conversion ------------------------

@pytest.mark.parametrize("value, expected, dtype", [
    (True, 1, kx.DataType.INTEGER),
    (False, 0, kx.DataType.INTEGER),
    (1, 1, kx.DataType.INTEGER),
    (1.0, 1.0, kx.DataType.FLOAT),
    (-2**63, -2**63, kx.DataType.INTEGER),
    (2**63, 9.223372036854776e18, kx.DataType.FLOAT),
    (np.int64(7), 7, kx.DataType.INTEGER),
    (np.float64(0.5), 0.5, kx.DataType.FLOAT),
])
def test_number_lit(value, expected, dtype):
    lit = kx.NumberLit(value)
    assert lit.value == expected and type(lit.value) is type(expected)
    assert lit.dtype == dtype


@pytest.mark.parametrize("value", ["1", None, kx.NumberLit(1), 10**400])
def test_number_lit_refuses_non_numbers(value):
    with pytest.raises(TypeError):
        kx.NumberLit(value)


def test_data_type_members():
    assert int(kx.DataType.INTEGER) == 1 and int(kx.DataType.FLOAT) == 0
    assert repr(kx.DataType.FLOAT) == "DataType.FLOAT" == str(kx.DataType.FLOAT)
    assert kx.DataType.INTEGER == 1 and kx.DataType.FLOAT != 1
    assert kx.DataType.FLOAT == kx.DataType.FLOAT and kx.DataType.FLOAT != kx.DataType.INTEGER
    assert (kx.DataType.FLOAT == 0.0) is False
    with pytest.raises(TypeError):
        kx.DataType.FLOAT < kx.DataType.INTEGER


def test_is_same_reads_python_numbers_as_literals():
    assert kx.is_same(1, 1.0)
    assert kx.is_same(True, kx.NumberLit(1))
    assert not kx.is_same(float("nan"), float("nan"))
    raises_exactly(TypeError, "argument 'shape': failed to convert into expression.",
                   lambda: kx.BinaryVar("x", shape=[10**400]))


# ---- placeholders -----------------------------------------------------------------------------

def test_placeholder_members():
    a = kx.Placeholder("a", ndim=2, latex="A", description="data")
    assert (a.name, a.ndim, a.description) == ("a", 2, "data")
    assert [length.axis for length in a.shape] == [0, 1]
    assert all(type(length) is kx.ArrayLength and length.description is None for length in a.shape)
    assert kx.Placeholder("n").shape == ()
    assert kx.Placeholder("").name == ""
    assert kx.Placeholder("n").description is None


# ---- elements and ranges ----------------------------------------------------------------------

@pytest.mark.parametrize("belong_to, start, end", [
    (10, 0, 10),
    ((0, 10), 0, 10),
    (True, 0, 1),
    ((0, 2.5), 0, 2.5),
    (2.5, 0, 2.5),
    ((-3, float("nan")), -3, None),
])
def test_element_ranges(belong_to, start, end):
    i = kx.Element("i", belong_to)
    assert i.ndim == 0 and type(i.belong_to) is kx.Range
    assert i.belong_to.start.value == start
    if end is not None:
        assert i.belong_to.end.value == end


def test_element_over_integer_and_pair_are_the_same():
    assert kx.is_same(kx.Element("i", 10), kx.Element("i", (0, 10)))


def test_element_over_scalar_placeholder(n):
    i = kx.Element("i", n)
    assert kx.is_same(i.belong_to.start, 0) and kx.is_same(i.belong_to.end, n)


@pytest.mark.parametrize("belong_to, exc, message", [
    (0, ValueError, "`Range.start` (= 0) is equal to `Range.end` (= 0)"),
    (-1, ValueError, "`Range.start` (= 0) is larger than `Range.end` (= -1)"),
    ((5, 3), ValueError, "`Range.start` (= 5) is larger than `Range.end` (= 3)"),
    ((1.0, 1), ValueError, "`Range.start` (= 1) is equal to `Range.end` (= 1)"),
    ((0, 10, 2), TypeError, "failed to convert into a set"),
    ([0, 10], TypeError, "failed to convert into a set"),
    ("abc", TypeError, "failed to convert into a set"),
    (None, TypeError, "failed to convert into a set"),
])
def test_element_set_errors(belong_to, exc, message):
    error = raises_exactly(exc, message, lambda: kx.Element("i", belong_to))
    assert error.__cause__ is None


def test_range_with_decision_variables():
    z = kx.BinaryVar("z")
    raises_exactly(kx.ModelingError, "the upper bound contains a decision variable",
                   lambda: kx.Element("i", (0, z)))
    raises_exactly(kx.ModelingError, "the lower bound contains a decision variable",
                   lambda: kx.Element("i", (z, 5)))


def test_elements_over_arrays():
    e = kx.Element("e", kx.Placeholder("E", ndim=1))
    assert e.ndim == 0 and type(e.belong_to) is kx.Placeholder
    f = kx.Element("f", kx.Placeholder("a", ndim=2))
    assert f.ndim == 1 and len(f.shape) == 1
    g = kx.Element("g", f)
    assert g.ndim == 0 and type(g.belong_to) is kx.Element


# ---- decision variables -----------------------------------------------------------------------

def test_binary_var_defaults():
    z = kx.BinaryVar("z")
    assert (z.name, z.ndim, z.shape, z.description) == ("z", 0, (), "")
    assert not hasattr(z, "lower_bound")
    x = kx.BinaryVar("x", shape=[2, 2])
    assert [type(s) for s in x.shape] == [kx.NumberLit, kx.NumberLit]
    assert [s.value for s in x.shape] == [2, 2]


def test_bounds_come_back_as_objects():
    y = kx.IntegerVar("y", lower_bound=0, upper_bound=10)
    assert type(y.lower_bound) is kx.NumberLit and y.lower_bound.value == 0
    a = kx.Placeholder("a", ndim=1)
    w = kx.ContinuousVar("w", shape=[3], lower_bound=a, upper_bound=2.5)
    assert kx.is_same(w.lower_bound, a) and w.upper_bound.value == 2.5


@pytest.mark.parametrize("cls, which, noun", [
    (kx.ContinuousVar, "lower", "a continuous variable"),
    (kx.IntegerVar, "lower", "an integer variable"),
    (kx.SemiIntegerVar, "lower", "a semi-integer variable"),
    (kx.SemiIntegerVar, "upper", "a semi-integer integer variable"),
    (kx.SemiContinuousVar, "upper", "a semi-continuous variable"),
])
def test_bound_dimension_messages(cls, which, noun):
    bad = kx.Placeholder("b", ndim=1)
    bounds = {"lower_bound": 0, "upper_bound": 1, f"{which}_bound": bad}
    raises_exactly(
        kx.ModelingError,
        f"the number of dimensions of a {which} bound (= 1) must be equal to zero or the number of "
        f"{noun} (= 2)",
        lambda: cls("v", shape=[2, 2], **bounds))
    cls("v", shape=[2, 2], lower_bound=kx.Placeholder("l", ndim=2), upper_bound=0)


@pytest.mark.parametrize("bound, message", [
    (kx.Element("e", kx.Placeholder("E", ndim=2)),
     "the input object is not used as the bound of a decision variable"),
    ("abc", "the input object is not used as the bound of a decision variable"),
    (None, "the input object is not used as the bound of a decision variable"),
])
def test_bad_bounds(bound, message):
    raises_exactly(kx.ModelingError, message,
                   lambda: kx.ContinuousVar("v", lower_bound=bound, upper_bound=1))


def test_shape_items_are_not_checked():
    assert kx.BinaryVar("x", shape=[-1]).shape[0].value == -1


# ---- scalar tests through the expression conversion --------------------------------------------

@pytest.mark.parametrize("obj", [
    kx.Placeholder("a", ndim=1), kx.BinaryVar("x", shape=[2]), "s", None, [1],
    kx.Element("e", kx.Placeholder("a", ndim=2)),
])
def test_arrays_and_non_numbers_are_not_expressions(obj):
    raises_exactly(TypeError, "argument 'shape': failed to convert into expression.",
                   lambda: kx.BinaryVar("y", shape=[obj]))


# ---- array lengths ------------------------------------------------------------------------------

def test_array_length_constructor_and_len_at():
    a = kx.Placeholder("a", ndim=2)
    length = kx.ArrayLength(a, 1, description="cols")
    assert kx.is_same(length.array, a) and length.axis == 1 and length.description == "cols"
    assert kx.is_same(a.len_at(1), length)
    raises_exactly(kx.ModelingError, "axis 2 is out of bounds for the axis of the array a",
                   lambda: a.len_at(2))
    raises_exactly(kx.ModelingError, "the placeholder N is a scalar",
                   lambda: kx.Placeholder("N").len_at(0))
    raises_exactly(OverflowError, "can't convert negative int to unsigned", lambda: a.len_at(-1))


# ---- structural equality ------------------------------------------------------------------------

def test_equality_ignores_descriptions_and_latex():
    assert kx.is_same(kx.Placeholder("a", ndim=2, latex="A", description="d"),
                      kx.Placeholder("a", ndim=2))
    assert not kx.is_same(kx.BinaryVar("x"), kx.IntegerVar("x", lower_bound=0, upper_bound=1))


@pytest.mark.parametrize("src, dst", [
    ("a", "a"),
    (kx.Placeholder("a", ndim=1), kx.Element("e", kx.Placeholder("a", ndim=2))),
    (kx.Placeholder("a", ndim=1), 1),
])
def test_is_same_type_mismatch(src, dst):
    raises_exactly(
        TypeError,
        f"the type of src (= {type(src).__qualname__}) is different from the type of dst "
        f"(= {type(dst).__qualname__}), or one of them is unsupported type",
        lambda: kx.is_same(src, dst))


def test_placeholders_of_different_ndim_are_not_the_same():
    assert not kx.is_same(kx.Placeholder("a"), kx.Placeholder("a", ndim=2))
    assert not kx.is_same(kx.Placeholder("a", ndim=1), kx.Placeholder("a", ndim=2))


def test_getters_return_new_objects():
    i = kx.Element("i", 10)
    assert i.belong_to is not i.belong_to
    assert kx.is_same(i.belong_to, i.belong_to)


# ---- bounded depth ------------------------------------------------------------------------------

def test_deep_trees_are_refused_not_crashing():
    array = kx.Placeholder("a", ndim=5000)
    with pytest.raises(RecursionError):
        for level in range(5000):
            array = kx.Element(f"e{level}", array)
