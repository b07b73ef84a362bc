"""abs, ceil, floor, logarithms, min, max, sum and prod."""
import pytest

import korvex as kx
from conftest import raises_exactly, tree

a, b, c = kx.Placeholder("a"), kx.Placeholder("b"), kx.Placeholder("c")
x = kx.BinaryVar("x")


@pytest.mark.parametrize("fn, cls", [
    (kx.abs, kx.AbsOp), (kx.ceil, kx.CeilOp), (kx.floor, kx.FloorOp), (kx.ln, kx.LnOp),
    (kx.log2, kx.Log2Op), (kx.log10, kx.Log10Op),
])
def test_unary_functions(fn, cls):
    node = fn(a)
    assert type(node) is cls and kx.is_same(node.operand, a)
    assert node.operand is not node.operand
    assert tree(fn(operand=-3)) == (cls.__name__, -3)
    raises_exactly(kx.ModelingError, "the operand of the unary op contains a decision variable",
                   lambda: fn(a + x))
    error = raises_exactly(TypeError, "argument 'operand': failed to convert into expression.",
                           lambda: fn("s"))
    assert str(error.__cause__) == "failed to convert into expression."


def test_unary_operand_errors_keep_their_class():
    v = kx.BinaryVar("v", shape=[2, 2])
    raises_exactly(kx.ModelingError,
                   "dummy indexed BinaryVar with name 'v' must be called the `sum` or `prod` "
                   "method to be converted into an expression.", lambda: kx.abs(v[:, 0]))
    raises_exactly(TypeError, "argument 'operand': failed to convert into expression.",
                   lambda: kx.abs(kx.Placeholder("p", ndim=1)))
    assert type(kx.floor(kx.Placeholder("p", ndim=1)[kx.Element("i", 3)])) is kx.FloorOp


def test_min_max():
    assert tree(kx.min(a, b, c)) == ("MinOp", ["a", "b", "c"])
    assert tree(kx.max(kx.max(a, b), c)) == ("MaxOp", [("MaxOp", ["a", "b"]), "c"])
    assert kx.max().terms == [] and len(kx.max(a).terms) == 1
    raises_exactly(kx.ModelingError, "the 1-th term contains a decision variable", lambda: kx.max(a, x))
    raises_exactly(kx.ModelingError, "the 0-th term contains a decision variable", lambda: kx.min(x, a))
    raises_exactly(TypeError, "argument 'operands': failed to convert into expression.",
                   lambda: kx.min(a, "b"))
    raises_exactly(TypeError, "min() got an unexpected keyword argument 'operands'",
                   lambda: kx.min(operands=[a]))


@pytest.fixture
def arrays():
    n = kx.Placeholder("N")
    i, j = kx.Element("i", n), kx.Element("j", n)
    return kx.Placeholder("p", ndim=1), kx.BinaryVar("y", shape=[n, n]), i, j


def test_reductions(arrays):
    p, y, i, j = arrays
    s = kx.sum(i, p[i])
    assert type(s) is kx.SumOp and s.index.name == "i" and s.condition is None
    assert type(kx.sum((i, i != 2), p[i]).condition) is kx.NotEqualOp
    nested = kx.sum([i, j], y[i, j])
    assert tree(nested) == ("SumOp", "i", False, ("SumOp", "j", False, ("y", ["i", "j"])))
    assert kx.is_same(kx.sum((i, j), y[i, j]), nested)
    mixed = kx.sum([i, (j, j != i)], y[i, j])
    assert mixed.condition is None and type(mixed.operand.condition) is kx.NotEqualOp
    assert type(kx.prod(i, y[i, 0])) is kx.ProdOp
    assert not kx.is_same(kx.sum(i, p[i]), kx.prod(i, p[i]))


def test_reduction_errors(arrays):
    p, y, i, j = arrays
    raises_exactly(kx.ModelingError, "the condition expression contains a decision variable",
                   lambda: kx.sum((i, y[i, 0] == 1), p[i]))
    raises_exactly(TypeError, "argument 'operand': failed to convert into expression.",
                   lambda: kx.sum(i, [1, 2]))
    raises_exactly(ValueError, "the index of a reduction must name at least one element",
                   lambda: kx.sum([], p[0]))
    with pytest.raises(TypeError) as info:
        kx.sum("i", p[0])
    text = str(info.value)
    assert text.startswith("argument 'index': failed to extract enum Index ('Single | Sequence')\n")
    assert "- variant Sequence (Sequence): " in text and "Can't extract `str` to `Vec`" in text
    with pytest.raises(TypeError) as info:
        kx.sum((i, 1), p[i])
    assert "failed to convert into a conditional expression." in str(info.value)
