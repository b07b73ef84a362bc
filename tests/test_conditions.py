"""Comparisons build conditions; &, | and ^ combine them without flattening."""
import pytest

import korvex as kx
from conftest import raises_exactly, tree

a, b = kx.Placeholder("a"), kx.Placeholder("b")
x, y = kx.BinaryVar("x"), kx.BinaryVar("y")
i, j = kx.Element("i", 5), kx.Element("j", 5)


@pytest.mark.parametrize("build, cls, left, right", [
    (lambda: x <= 1, kx.LessThanEqualOp, "x", 1),
    (lambda: 1 <= x, kx.GreaterThanEqualOp, "x", 1),
    (lambda: 1 == x, kx.EqualOp, "x", 1),
    (lambda: x > y, kx.GreaterThanOp, "x", "y"),
    (lambda: x < a, kx.LessThanOp, "x", "a"),
    (lambda: i != j, kx.NotEqualOp, "i", "j"),
    (lambda: kx.NumberLit(1) == 1, kx.EqualOp, 1, 1),
    (lambda: a + 1 >= 2 * b, kx.GreaterThanEqualOp, ("+", ["a", 1]), ("*", [2, "b"])),
])
def test_comparisons(build, cls, left, right):
    cond = build()
    assert type(cond) is cls
    assert (tree(cond.left), tree(cond.right)) == (left, right)


@pytest.mark.parametrize("other", [None, "a", [1]])
def test_comparison_with_non_expressions(other):
    raises_exactly(TypeError, "failed to convert into expression.", lambda: x == other)


def test_comparison_of_an_array_is_a_modeling_error():
    raises_exactly(kx.ModelingError,
                   "the dimensionality of the BinaryVar { name: v } must be zero, but is actually 1",
                   lambda: kx.BinaryVar("v", shape=[2]) == 1)


def test_logical_operators_do_not_flatten():
    both = (i != j) & (i < 3)
    assert type(both) is kx.AndOp and len(both.terms) == 2
    three = (i != j) & (i < 3) & (j < 3)
    assert type(three.terms[0]) is kx.AndOp and type(three.terms[1]) is kx.LessThanOp
    nested = (i != j) & ((i < 3) | (j < 3))
    assert type(nested.terms[1]) is kx.OrOp
    assert type((i != j) ^ (i < 3)) is kx.XorOp


@pytest.mark.parametrize("build", [
    lambda: (i != j) & True, lambda: True & (i != j), lambda: (i != j) | x, lambda: 1 ^ (i < 2),
])
def test_logical_operands_must_be_conditions(build):
    raises_exactly(TypeError, "failed to convert into a conditional expression.", build)


def test_conditions_have_no_comparison_or_arithmetic():
    c1, c2 = a == b, a == b
    assert bool(c1) is True
    assert (c1 == c2) is False
    with pytest.raises(TypeError):
        c1 < c2
    with pytest.raises(TypeError):
        c1 + 1
    assert kx.is_same(c1, c2)
