"""Behaviours of the expression model checked against its rules: messages, conversion order,
normal forms and texts."""
import math

import pytest
from hypothesis import given, settings, strategies as st

import korvex as kx
from conftest import raises_exactly


# ---- array lengths ------------------------------------------------------------------------------

@pytest.mark.parametrize("build", [
    lambda: kx.Placeholder("a", ndim=2)[0, 0],
    lambda: kx.BinaryVar("x", shape=[2, 2])[0, 0],
    lambda: kx.Element("e", kx.Placeholder("a", ndim=2))[0],
])
def test_len_at_of_any_scalar_subscript(build):
    raises_exactly(kx.ModelingError, "Can't get length of a scalar", lambda: build().len_at(0))


# ---- random building keeps the normal forms -----------------------------------------------------

N = kx.Placeholder("N")
A = kx.Placeholder("A", ndim=1)
I = kx.Element("i", N)
X = kx.BinaryVar("X", shape=[N])


def with_latex(e):
    if hasattr(e, "set_latex"):
        e.set_latex("L")
    return e


LEAVES = st.sampled_from([
    lambda: kx.Placeholder("a"), lambda: kx.Placeholder("b"), lambda: kx.BinaryVar("x"),
    lambda: kx.IntegerVar("y", lower_bound=0, upper_bound=3), lambda: A[I], lambda: X[I],
    lambda: I, lambda: A.len_at(0), lambda: with_latex(kx.Placeholder("c") + kx.Placeholder("d")),
]).map(lambda make: make()) | st.sampled_from(
    [0, 1, -1, 0.0, -0.0, 1.0, -1.0, 2, 0.5, 2**62, -2**63, 2**63, math.inf, math.nan]
).map(kx.NumberLit) | st.integers(-3, 3)

OPERATIONS = [
    lambda p, q: p + q, lambda p, q: p - q, lambda p, q: p * q, lambda p, q: p / q,
    lambda p, q: p ** q, lambda p, q: p % q, lambda p, q: -p, lambda p, q: kx.abs(p),
    lambda p, q: kx.min(p, q), lambda p, q: kx.max(p, q), lambda p, q: kx.sum(I, p),
    lambda p, q: kx.prod((I, I != q), p), lambda p, q: with_latex(p + q),
]


def literal_positions(terms):
    return [k for k, t in enumerate(terms) if isinstance(t, kx.NumberLit)]


def check_normal_form(e):
    if isinstance(e, kx.AddOp):
        terms = e.terms
        literals = literal_positions(terms)
        assert len(terms) >= 2 and literals in ([], [len(terms) - 1]), repr(e)
        assert not literals or terms[-1].value != 0, repr(e)
    if isinstance(e, kx.MulOp):
        terms = e.terms
        assert len(terms) >= 2 and literal_positions(terms) in ([], [0]), repr(e)
    for name in ("terms", "operand", "base", "exponent", "left", "right"):
        part = getattr(e, name, None)
        for item in part if isinstance(part, list) else [part]:
            if item is not None:
                check_normal_form(item)


@settings(max_examples=300, deadline=None)
@given(LEAVES, st.lists(st.tuples(st.sampled_from(OPERATIONS), LEAVES, st.booleans()), max_size=10))
def test_random_building_keeps_sums_and_products_normal(first, steps):
    e = first
    for operation, leaf, reflected in steps:
        try:
            e = operation(leaf, e) if reflected else operation(e, leaf)
        except (kx.ModelingError, ZeroDivisionError, TypeError):
            continue
        if isinstance(e, complex):  # plain Python numbers met each other
            return
        if isinstance(e, (int, float)):
            e = kx.NumberLit(e)
    str(e), repr(e), str(e <= 1), repr(e == 1)
    if isinstance(e, (int, float)):
        return
    check_normal_form(e)
    if "NaN" not in repr(e):
        assert kx.is_same(e, e)
