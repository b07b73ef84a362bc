"""[...] on arrays and decision variables, slices, DummyIndexedVar and array lengths."""
import pytest

import korvex as kx
from conftest import raises_exactly, tree


@pytest.fixture
def a():
    return kx.Placeholder("a", ndim=2)


def test_subscripts_flatten(a, i):
    assert a[1].ndim == 1 and a[1, 2].ndim == 0
    assert kx.is_same(a[1][2], a[1, 2])
    assert tree(a[1][i]) == ("a", [1, "i"])
    assert type(a[1][2].variable) is kx.Placeholder


@pytest.mark.parametrize("index, exc, message", [
    ((1, 2, 3), IndexError,
     "ModelingError: the number of subscripts (= 3) is greater than the dimensionality of the "
     "variable `a` (= 2)"),
    ([], kx.ModelingError, "the number of subscripts is zero"),
    ("i", TypeError, "Can't extract `str` to `Vec`"),
    (slice(None), TypeError, "'slice' object cannot be converted to 'Sequence'"),
    (None, TypeError, "'NoneType' object cannot be converted to 'Sequence'"),
    ([0, "s"], TypeError, "failed to convert into expression."),
])
def test_placeholder_subscript_errors(a, index, exc, message):
    raises_exactly(exc, message, lambda: a[index])


def test_subscript_of_subscript_reports_its_text(a):
    raises_exactly(
        IndexError,
        "ModelingError: the number of subscripts (= 2) is greater than the dimensionality of the "
        "variable `a[1]` (= 1)",
        lambda: a[1][2, 3])
    raises_exactly(TypeError, "ModelingError: the scalar `a[1, 2]` is not subscriptable",
                   lambda: a[1, 2][0])


def test_scalar_subscripting(n):
    raises_exactly(TypeError, "ModelingError: the scalar `Placeholder { name: N }` is not subscriptable",
                   lambda: n[0])
    raises_exactly(TypeError, "ModelingError: the scalar `Element { name: i }` is not subscriptable",
                   lambda: kx.Element("i", 3)[0])
    raises_exactly(kx.ModelingError, "the scalar `BinaryVar { name: z }` is not subscriptable",
                   lambda: kx.BinaryVar("z")[0])


def test_decision_variables_in_subscripts(a):
    z = kx.BinaryVar("z")
    for index in (z, (z, 0)):
        raises_exactly(kx.ModelingError, "a subscript contains a decision variable", lambda: a[index])


def test_decision_variable_subscripts(x, n):
    raises_exactly(
        kx.ModelingError,
        "the number of subscripts (= 3) is greater than the dimensionality of the variable `x` (= 2)",
        lambda: x[0, 1, 2])
    raises_exactly(IndexError, "Invalid index: 'i'", lambda: x["i"])
    raises_exactly(IndexError, "Invalid index: [None]", lambda: x[[None]])
    assert x[0].ndim == 1 and x[-1, 2.5].ndim == 0
    (shape,) = x[0].shape
    assert kx.is_same(shape, n)


def test_slices_build_dummy_indexed_vars(x, n, j):
    sliced = x[:, j]
    assert type(sliced) is kx.DummyIndexedVar
    total = sliced.sum()
    d = total.index
    assert d.name == "__dummy_x_0" and d.description == "dummy index at 0 for x"
    assert kx.is_same(d.belong_to.end, n) and d.belong_to.start.value == 0
    assert kx.is_same(total, kx.sum(d, x[d, j]))
    assert type(x[:, j].prod()) is kx.ProdOp
    assert x[1:, j].sum().index.belong_to.start.value == 1
    both = x[:, :].sum()
    assert both.index.name == "__dummy_x_0" and both.operand.index.name == "__dummy_x_1"


@pytest.mark.parametrize("build, exc, message", [
    (lambda x, j: x[::2, j], kx.ModelingError,
     "The 0-th subscript of the BinaryVar named 'x' uses a slice with a step `2`. However, the "
     "slice with a step is not supported."),
    (lambda x, j: x[:, ::1], kx.ModelingError,
     "The 1-th subscript of the BinaryVar named 'x' uses a slice with a step `1`. However, the "
     "slice with a step is not supported."),
    (lambda x, j: x[3:2, j], ValueError, "`Range.start` (= 3) is larger than `Range.end` (= 2)"),
    (lambda x, j: x[:, :, :], kx.ModelingError,
     "the number of subscripts (= 3) is greater than the dimensionality of the variable `x` (= 2)"),
    (lambda x, j: kx.BinaryVar("v", shape=[2])[:, 0].sum(), kx.ModelingError,
     "the number of subscripts (= 2) is greater than the dimensionality of the variable `v` (= 1)"),
    (lambda x, j: kx.BinaryVar("z")[0:1].sum(), kx.ModelingError,
     "the scalar `BinaryVar { name: z }` is not subscriptable"),
    (lambda x, j: kx.BinaryVar("v", shape=[2, 2, 2])[:, 0].sum(), kx.ModelingError,
     "the dimensionality of the subscripted variable `v[__dummy_v_0, 0]` must be zero, but "
     "actually 1"),
])
def test_slice_errors(x, j, build, exc, message):
    raises_exactly(exc, message, lambda: build(x, j))


def test_dummy_indexed_var_is_not_an_expression(x, j):
    raises_exactly(
        kx.ModelingError,
        "dummy indexed BinaryVar with name 'x' must be called the `sum` or `prod` method to be "
        "converted into an expression.",
        lambda: kx.abs(x[:, j]))
    raises_exactly(TypeError, "DummyIndexedVar.sum() takes 0 positional arguments but 1 was given",
                   lambda: x[:, j].sum(1))


def test_array_lengths(a, x):
    assert [tree(s) for s in a[0].shape] == [("len", ("a", [0]), 0)]
    assert tree(a[0].len_at(0)) == ("len", ("a", [0]), 0)
    raises_exactly(kx.ModelingError, "Can't get length of a scalar", lambda: a[0, 0].len_at(0))
    raises_exactly(kx.ModelingError, "the subscripted variable x[0] is a decision variable",
                   lambda: x[0].len_at(0))
    raises_exactly(kx.ModelingError, "the element i is a scalar", lambda: kx.Element("i", 3).len_at(0))
    e = kx.Element("e", a)
    assert tree(e.len_at(0)) == ("len", "e", 0)
    assert kx.is_same(kx.ArrayLength(a[0], 0), a[0].len_at(0))
