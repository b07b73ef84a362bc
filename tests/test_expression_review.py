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



# ---- which error wins when two arguments are bad ------------------------------------------------

N_, a_, A_ = kx.Placeholder("N"), kx.Placeholder("a"), kx.Placeholder("A", ndim=1)
x_, z_, xv_ = kx.BinaryVar("x"), kx.BinaryVar("z"), kx.BinaryVar("xv", shape=[3])
X_ = kx.BinaryVar("X", shape=[N_, N_])
NOT_STRING = "'int' object cannot be converted to 'PyString'"
A_DIMENSION = "the dimensionality of the Placeholder { name: A } must be zero, but is actually 1"


@pytest.mark.parametrize("call, exc, message", [
    # An element reads its strings before its set.
    (lambda: kx.Element("i", [0, 10], latex=1), TypeError, "argument 'latex': " + NOT_STRING),
    (lambda: kx.Element("i", [0, 10], description=1), TypeError,
     "argument 'description': " + NOT_STRING),
    # A decision variable reads its shape, then its bounds, then its strings.
    (lambda: kx.IntegerVar("x", shape="ab", lower_bound="s", upper_bound=1), TypeError,
     "argument 'shape': Can't extract `str` to `Vec`"),
    (lambda: kx.IntegerVar("x", lower_bound="s", upper_bound=1, latex=1), kx.ModelingError,
     "the input object is not used as the bound of a decision variable"),
    (lambda: kx.IntegerVar("x", lower_bound=0, upper_bound=kx.Placeholder("B", ndim=2), latex=1),
     TypeError, "argument 'latex': " + NOT_STRING),
    # A slot converts its own object first, the reflected form the other operand first.
    (lambda: A_ + "s", kx.ModelingError, A_DIMENSION),
    (lambda: "s" + A_, TypeError, "failed to convert into expression."),
    (lambda: "s" == A_, kx.ModelingError, A_DIMENSION),
    (lambda: xv_ / "s", TypeError, "failed to convert into expression."),
    # The modulo of pow() is converted before the power is checked, and the power is checked
    # before the modulo.
    (lambda: pow(x_, -1, "s"), TypeError, "failed to convert into expression."),
    (lambda: pow(a_, x_, 0), kx.ModelingError, "the exponent contains a decision variable"),
    (lambda: pow(x_, 2, 0), kx.ModelingError, "the modulo op contains a decision variable"),
    # min and max convert every operand before looking for decision variables.
    (lambda: kx.max(x_, "s"), TypeError, "argument 'operands': failed to convert into expression."),
    # A decision variable converts the index before it looks at its own shape.
    (lambda: z_["s"], IndexError, "Invalid index: 's'"),
    (lambda: X_[::2, z_], kx.ModelingError,
     "The 0-th subscript of the BinaryVar named 'X' uses a slice with a step `2`. However, the "
     "slice with a step is not supported."),
    (lambda: kx.Element("i", (x_, z_)), kx.ModelingError,
     "the lower bound contains a decision variable"),
])
def test_first_failing_step_decides_the_error(call, exc, message):
    raises_exactly(exc, message, call)


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
