"""str and repr of the modelling classes."""
import pytest

import korvex as kx

N = kx.Placeholder("N")
a, b, c = kx.Placeholder("a"), kx.Placeholder("b"), kx.Placeholder("c")
x, y, z = kx.BinaryVar("x"), kx.BinaryVar("y"), kx.BinaryVar("z")
i = kx.Element("i", N)
j = kx.Element("j", N)
X = "BinaryVar(name='x', shape=[])"
Y = "BinaryVar(name='y', shape=[])"
A = "Placeholder(name='a', ndim=0)"
IREPR = "Element(name='i', belong_to=(NumberLit(value=0), Placeholder(name='N', ndim=0)))"


@pytest.mark.parametrize("obj, text", [
    (kx.NumberLit(2.0), "2"),
    (kx.NumberLit(0.5), "0.5"),
    (kx.NumberLit(1e21), "1" + "0" * 21),
    (kx.NumberLit(float("inf")), "inf"),
    (kx.NumberLit(float("nan")), "NaN"),
    (-x, "- x"),
    (x - 2 * y, "x - 2 * y"),
    (x - y, "x - y"),
    (x - 2, "x - 2"),
    (-2.5 * x, "-2.5 * x"),
    (-x + y, "- x + y"),
    (x - (y + z), "x - (y + z)"),
    ((x + y) * z, "(x + y) * z"),
    ((-x + y) * z, "(- x + y) * z"),
    (x * (a % 3), "x * (a % 3)"),
    ((x * y) ** 2, "(x * y) ** 2"),
    (x ** 2 * y, "x ** 2 * y"),
    (a ** (b ** c), "a ** (b ** c)"),
    ((a ** b) ** c, "(a ** b) ** c"),
    ((x - 1) ** 2, "(x - 1) ** 2"),
    (x / a, "x * a ** -1"),
    (kx.ln(a + 1), "ln(a + 1)"),
    (kx.abs(a + 1), "|a + 1|"),
    (kx.abs(a) + 1, "|a| + 1"),
    (kx.max(a, kx.min(b, 1)), "max(a, min(b, 1))"),
    (kx.sum(i, kx.Placeholder("p", ndim=1)[i] + kx.Placeholder("q", ndim=1)[i]),
     "sum(i in [0..N), (p[i] + q[i]))"),
    (kx.prod((i, i != 1), kx.BinaryVar("v", shape=[N])[i]), "prod(i in [0..N) s.t. i != 1, v[i])"),
    (kx.sum(i, kx.BinaryVar("v", shape=[N])[i]) ** 2, "(sum(i in [0..N), v[i])) ** 2"),
    (kx.Placeholder("a", ndim=2).len_at(1), "len(a, 1)"),
    (x + y <= a, "x + y <= a"),
    (((x == 1) & (a < b)) | (a > 0), "x == 1 and a < b or a > 0"),
    ((x == 1) & ((a < b) | (a > 0)), "x == 1 and a < b or a > 0"),
    ((x == 1) ^ (a > 0), "x == 1 xor a > 0"),
    (kx.Element("k", (1, N ** 2)).belong_to, "[1..(N ** 2))"),
    (i.belong_to, "[0..N)"),
])
def test_str(obj, text):
    assert str(obj) == text


@pytest.mark.parametrize("obj, text", [
    (kx.NumberLit(2.0), "NumberLit(value=2)"),
    (kx.Placeholder("c", ndim=2, latex="c_{k}", description="costs"),
     "Placeholder(name='c', ndim=2, latex='c_{k}', description='costs')"),
    (i, IREPR),
    (kx.Element("e", kx.Placeholder("a", ndim=2)),
     "Element(name='e', belong_to=Placeholder(name='a', ndim=2))"),
    (kx.BinaryVar("x", shape=[124])[123],
     "BinaryVar(name='x', shape=[NumberLit(value=124)])[NumberLit(value=123)]"),
    (kx.IntegerVar("x", shape=[124], lower_bound=0, upper_bound=2)[123],
     "IntegerVar(name='x', shape=[NumberLit(value=124)], lower_bound=NumberLit(value=0), "
     "upper_bound=NumberLit(value=2))[NumberLit(value=123)]"),
    (kx.Placeholder("a", ndim=2)[123], "Placeholder(name='a', ndim=2)[NumberLit(value=123)]"),
    (kx.Element("e", kx.Placeholder("a", ndim=2))[123],
     "Element(name='e', belong_to=Placeholder(name='a', ndim=2))[NumberLit(value=123)]"),
    (kx.BinaryVar("b", description="pick"), "BinaryVar(name='b', shape=[], description='pick')"),
    (-x, f"- {X}"),
    (x - 2 * y, f"{X} + NumberLit(value=-2) * {Y}"),
    (x - y, f"{X} - {Y}"),
    (kx.abs(a + 1), f"abs({A} + NumberLit(value=1))"),
    (kx.Placeholder("a", ndim=2).len_at(1), "ArrayLength(array=Placeholder(name='a', ndim=2), axis=1)"),
    (kx.sum((i, i != 1), kx.Placeholder("p", ndim=1)[i]),
     f"sum({IREPR}, {IREPR} != NumberLit(value=1), Placeholder(name='p', ndim=1)[{IREPR}])"),
    (((x == 1) & (a < b)) | (a > 0),
     f"{X} == NumberLit(value=1) & {A} < Placeholder(name='b', ndim=0) | {A} > NumberLit(value=0)"),
    ((x == 1) ^ (a > 0), f"{X} == NumberLit(value=1) ^ {A} > NumberLit(value=0)"),
    (i.belong_to, "(NumberLit(value=0), Placeholder(name='N', ndim=0))"),
])
def test_repr(obj, text):
    assert repr(obj) == text


def test_element_over_a_subscript_has_a_repr():
    g = kx.Element("g", kx.Placeholder("a", ndim=2)[3])
    assert repr(g) == ("Element(name='g', belong_to=Placeholder(name='a', ndim=2)"
                       "[NumberLit(value=3)])")


def test_deepest_tree_prints():
    e = a
    for _ in range(990):
        e = kx.abs(e)
    assert str(e).count("|") == 2 * 990 and repr(e).count("abs(") == 990
