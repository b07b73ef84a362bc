import pytest

import korvex as kx


@pytest.fixture
def n():
    return kx.Placeholder("N")


@pytest.fixture
def x(n):
    return kx.BinaryVar("x", shape=[n, n])


@pytest.fixture
def i(n):
    return kx.Element("i", belong_to=n)


@pytest.fixture
def j(n):
    return kx.Element("j", belong_to=n)


def raises_exactly(exc, message, fn):
    """Calls fn and checks the exception class and its whole message."""
    with pytest.raises(exc) as info:
        fn()
    assert str(info.value) == message
    return info.value


def tree(e):
    """A structural description of an expression read through the public getters."""
    name = type(e).__name__
    if name == "NumberLit":
        return e.value
    if name in ("Placeholder", "Element") or name.endswith("Var"):
        return e.name
    if name == "AddOp":
        return ("+", [tree(t) for t in e.terms])
    if name == "MulOp":
        return ("*", [tree(t) for t in e.terms])
    if name == "PowOp":
        return ("**", tree(e.base), tree(e.exponent))
    if name == "ModOp":
        return ("%", tree(e.left), tree(e.right))
    if name == "Subscript":
        return (tree(e.variable), [tree(s) for s in e.subscripts])
    if name in ("MinOp", "MaxOp"):
        return (name, [tree(t) for t in e.terms])
    if name in ("SumOp", "ProdOp"):
        return (name, e.index.name, e.condition is not None, tree(e.operand))
    if name == "ArrayLength":
        return ("len", tree(e.array), e.axis)
    return (name, tree(e.operand))
