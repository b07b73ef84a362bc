"""Arithmetic slots: folding, the normalisation of sums and products, and their checks."""
import math

import pytest

import korvex as kx
from conftest import raises_exactly, tree

a, b, c = kx.Placeholder("a"), kx.Placeholder("b"), kx.Placeholder("c")
x, y = kx.BinaryVar("x"), kx.BinaryVar("y")
L = kx.NumberLit


@pytest.mark.parametrize("build, expected", [
    (lambda: x + 1, ("+", ["x", 1])),
    (lambda: 1 + x, ("+", ["x", 1])),
    (lambda: x + 0, "x"),
    (lambda: 0 + x, "x"),
    (lambda: x + 0.0, "x"),
    (lambda: L(2) + 3, 5),
    (lambda: L(2) + 0.5, 2.5),
    (lambda: x + y + a, ("+", ["x", "y", "a"])),
    (lambda: x + (y + a), ("+", ["y", "a", "x"])),
    (lambda: 1 + (y + a), ("+", ["y", "a", 1])),
    (lambda: (a + 1) + (b + 2), ("+", ["a", "b", 3])),
    (lambda: (a + 1) + (b - 1), ("+", ["a", "b"])),
    (lambda: (x + 1) - 1, "x"),
    (lambda: (a + 1) + x, ("+", ["a", "x", 1])),
    (lambda: 2 * x, ("*", [2, "x"])),
    (lambda: x * 2, ("*", [2, "x"])),
    (lambda: 2 * x * 3, ("*", [6, "x"])),
    (lambda: x * 0.0, 0),
    (lambda: x * 1.0, "x"),
    (lambda: x * x, ("*", ["x", "x"])),
    (lambda: (2 * x) * (3 * y), ("*", [6, "x", "y"])),
    (lambda: (2 * x * a) * (3 * y * b), ("*", [6, "x", "a", "b", "y"])),
    (lambda: (2 * x) * 0.5, ("*", [1.0, "x"])),
    (lambda: x - y, ("+", ["x", ("*", [-1, "y"])])),
    (lambda: 0 - x, ("*", [-1, "x"])),
    (lambda: L(0) - 0.0, 0),
    (lambda: L(3) - 0.5, 2.5),
    (lambda: 5 - a, ("+", [("*", [-1, "a"]), 5])),
    (lambda: -(2 * x), ("*", [-2, "x"])),
    (lambda: x ** 2 * x ** 3, ("**", "x", 5)),
    (lambda: x ** 2 * x, ("*", [("**", "x", 2), "x"])),
    (lambda: a ** 2 / a, ("**", "a", 1)),
    (lambda: x / 2, ("*", ["x", ("**", 2, -1)])),
    (lambda: 1 / a, ("**", "a", -1)),
    (lambda: a / b, ("*", ["a", ("**", "b", -1)])),
    (lambda: x ** 0.5, ("**", "x", 0.5)),
    (lambda: 0 ** a, ("**", 0, "a")),
    (lambda: L(2) ** 3, ("**", 2, 3)),
    (lambda: pow(a, 2, 5), ("%", ("**", "a", 2), 5)),
    (lambda: 7 % a, ("%", 7, "a")),
    (lambda: kx.abs(a) + 1, ("+", [("AbsOp", "a"), 1])),
])
def test_normal_forms(build, expected):
    assert tree(build()) == expected


def test_literal_types_and_negative_zero():
    assert kx.NumberLit(2).__add__(3).dtype == kx.DataType.INTEGER
    z = -L(0.0)
    assert z.value == 0.0 and math.copysign(1.0, z.value) == -1.0
    assert (L(0) - 0.0).dtype == kx.DataType.INTEGER


@pytest.mark.parametrize("build, expected", [
    (lambda: L(2**62) * 4, 2.0**64),
    (lambda: L(2**63 - 1) + 1, 2.0**63),
    (lambda: L(-2**63) - 1, -(2.0**63)),
    (lambda: -L(-2**63), 2.0**63),
    (lambda: L(3) * -4, -12),
])
def test_integer_overflow_folds_to_the_nearest_float(build, expected):
    result = build()
    assert result.value == expected and type(result.value) is type(expected)


def test_latex_operand_is_opaque():
    s = a + b
    s.set_latex("S")
    result = s + c
    assert type(result) is kx.AddOp and len(result.terms) == 2
    assert kx.is_same(result.terms[0], a + b)


@pytest.mark.parametrize("build, exc, message", [
    (lambda: x / y, kx.ModelingError,
     'Cannot divide a BinaryVar named "x" by a decision variable or an expression containing a '
     'decision variable (right = y).'),
    (lambda: 1 / x, kx.ModelingError,
     'Cannot use a BinaryVar named "x" as a divisor (dividend = 1).'),
    (lambda: a / x, kx.ModelingError, "a decision variable can be raised to only a positive power"),
    (lambda: a / 0, ZeroDivisionError, "division by zero"),
    (lambda: x ** 0, kx.ModelingError, "a decision variable can be raised to only a positive power"),
    (lambda: x ** -1, kx.ModelingError, "a decision variable can be raised to only a positive power"),
    (lambda: x ** a, kx.ModelingError, "a decision variable can be raised to only a positive power"),
    (lambda: 2 ** x, kx.ModelingError, "the exponent contains a decision variable"),
    (lambda: L(0) ** -1, ZeroDivisionError, "zero cannot be raised to a negative power"),
    (lambda: L(0) ** -0.0, ZeroDivisionError, "zero cannot be raised to a negative power"),
    (lambda: pow(x, 2, 5), kx.ModelingError, "the modulo op contains a decision variable"),
    (lambda: a % x, kx.ModelingError, "the modulo op contains a decision variable"),
    (lambda: a % 0.0, ZeroDivisionError, "modulo by zero"),
    (lambda: a + "s", TypeError, "failed to convert into expression."),
    (lambda: a + None, TypeError, "failed to convert into expression."),
    (lambda: a * [1], TypeError, "failed to convert into expression."),
    (lambda: a + (a == b), TypeError, "failed to convert into expression."),
    (lambda: kx.BinaryVar("v", shape=[3]) + 1, kx.ModelingError,
     "the dimensionality of the BinaryVar { name: v } must be zero, but is actually 1"),
    (lambda: 1 + kx.BinaryVar("v", shape=[3]), kx.ModelingError,
     "the dimensionality of the BinaryVar { name: v } must be zero, but is actually 1"),
    (lambda: a + kx.BinaryVar("v", shape=[3]), TypeError, "failed to convert into expression."),
    (lambda: -kx.Placeholder("p", ndim=1), kx.ModelingError,
     "the dimensionality of the Placeholder { name: p } must be zero, but is actually 1"),
    (lambda: a + kx.BinaryVar("v", shape=[3, 3])[:, 0], kx.ModelingError,
     "dummy indexed BinaryVar with name 'v' must be called the `sum` or `prod` method to be "
     "converted into an expression."),
])
def test_operator_errors(build, exc, message):
    raises_exactly(exc, message, build)


@pytest.mark.parametrize("build", [lambda: x % 2, lambda: 2 % x, lambda: +a, lambda: a // 2,
                                   lambda: (a == b) + 1])
def test_slots_that_do_not_exist(build):
    with pytest.raises(TypeError, match="unsupported operand|bad operand"):
        build()


def test_operands_are_not_changed():
    s = a + b
    before = tree(s)
    s + c, s * 2, -s, s - a
    assert tree(s) == before


def test_sums_built_from_one_sum_stay_independent():
    s = x + y
    t = s + a
    u = s + b  # a second append to the same sum must not see or disturb the first
    v = t + c
    assert tree(s) == ("+", ["x", "y"])
    assert tree(t) == ("+", ["x", "y", "a"])
    assert tree(u) == ("+", ["x", "y", "b"])
    assert tree(v) == ("+", ["x", "y", "a", "c"])
    assert kx.is_same(t + c, v) and not kx.is_same(u, t)
    p = 2 * x * a
    q, r = p * b, p * c
    assert tree(q) == ("*", [2, "x", "a", "b"]) and tree(r) == ("*", [2, "x", "a", "c"])


def test_long_sums_by_repeated_addition():
    xs = [kx.BinaryVar(f"x{k}") for k in range(20000)]
    total = 0
    for v in xs:
        total = total + v
    assert len(total.terms) == 20000 and total.terms[-1].name == "x19999"
    assert kx.is_same(total, sum(xs[1:], xs[0]))
