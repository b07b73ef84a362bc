"""Constraints, custom penalty terms, forall lists and problems."""
import inspect

import pytest

import korvex as kx
from conftest import raises_exactly


@pytest.fixture
def m():
    class M:
        N = kx.Placeholder("N")
        a = kx.Placeholder("a")
        x = kx.BinaryVar("x", shape=[N, N])
        y = kx.BinaryVar("y", shape=[N])
        z = kx.BinaryVar("z")
        i = kx.Element("i", N)
        j = kx.Element("j", N)
    return M


def test_senses():
    assert kx.ConstraintSense.LESS_THAN_EQUAL == 1 and int(kx.ConstraintSense.GREATER_THAN_EQUAL) == 2
    assert repr(kx.ConstraintSense.EQUAL) == "ConstraintSense.EQUAL"
    assert repr(kx.ProblemSense.MAXIMIZE) == "ProblemSense.MAXIMIZE" and int(kx.ProblemSense.MINIMIZE) == 0
    assert kx.ProblemSense.MINIMIZE != kx.ProblemSense.MAXIMIZE
    assert (kx.ProblemSense.MINIMIZE == kx.ConstraintSense.EQUAL) is False
    with pytest.raises(TypeError):
        kx.ProblemSense.MINIMIZE < 1
    raises_exactly(TypeError, "No constructor defined", kx.ConstraintSense)


def test_constraint_members(m):
    c = kx.Constraint("c", kx.sum(m.i, m.y[m.i]) == 1)
    assert c.name == "c" and c.sense == kx.ConstraintSense.EQUAL and c.forall == []
    assert c.is_equality() and not c.is_inequality()
    d = kx.Constraint("d", kx.sum(m.i, m.x[m.i, m.j]) == 1, forall=m.j)
    ((element, condition),) = d.forall
    assert kx.is_same(element, m.j) and condition is None
    e = kx.Constraint("e", m.x[m.i, m.j] <= 2, forall=[m.i, (m.j, m.j != m.i)])
    assert [type(cond) for _, cond in e.forall] == [type(None), kx.NotEqualOp]
    g = kx.Constraint("g", m.z >= 1).expression
    assert type(g) is kx.GreaterThanEqualOp and kx.is_same(g.left, m.z) and g.right.value == 1
    flipped = kx.Constraint("f", 1 >= m.z)
    assert flipped.sense == kx.ConstraintSense.LESS_THAN_EQUAL and kx.is_same(flipped.left, m.z)
    assert flipped.is_inequality()


def test_forall_forms_are_the_same(m):
    body = m.y[m.i] <= 1
    assert kx.is_same(kx.Constraint("c", body, forall=m.i), kx.Constraint("c", body, forall=[(m.i, None)]))
    assert kx.is_same(kx.Constraint("c", m.z <= 1, forall=[]), kx.Constraint("c", m.z <= 1))
    assert kx.is_same(kx.Constraint("c", m.x[m.i, m.j] <= 1, forall=(m.i, m.j)),
                      kx.Constraint("c", m.x[m.i, m.j] <= 1, forall=[m.i, m.j]))


def test_texts(m):
    c = kx.Constraint("constraint", kx.sum(m.i, m.x[m.i, m.j]) == 1, forall=m.j)
    assert repr(c) == str(c) == (
        'Constraint(name="constraint", expression=sum(i in [0..N), x[i, j]) == 1, forall=[j])')
    d = kx.Constraint("constraint", m.x[m.i, m.j] <= 2, forall=[m.i, (m.j, m.j != m.i)])
    assert str(d) == 'Constraint(name="constraint", expression=x[i, j] <= 2, forall=[i, (j, j != i)])'
    t = kx.CustomPenaltyTerm("custom penalty term", (kx.sum(m.i, m.y[m.i]) - 1) ** 2)
    assert repr(t) == str(t) == ('CustomPenaltyTerm(name="custom penalty term", '
                                 'expression=((sum(i in [0..N), y[i]) - 1) ** 2))')
    assert str(kx.Constraint("c", m.z <= 1)) == 'Constraint(name="c", expression=z <= 1)'


@pytest.mark.parametrize("build, message", [
    (lambda m: kx.Constraint("c", m.y[m.i] <= 1),
     "Invalid forall:\nExpression contained elements not used in the forall list or any operator: i"),
    (lambda m: kx.Constraint("c", m.y[m.i] <= 1, forall=[m.i, m.j]),
     "Invalid forall:\nForall list contained elements not in expression or already associated "
     "with operators: j"),
    (lambda m: kx.Constraint("c", m.x[m.i, m.j] <= 1, forall=[m.i, kx.Element("k", 3)]),
     "Invalid forall:\nExpression contained elements not used in the forall list or any operator: "
     "j\nForall list contained elements not in expression or already associated with operators: k"),
    (lambda m: kx.Constraint("c", kx.sum(m.i, m.y[m.i]) <= 1, forall=m.i),
     "Invalid forall -- Elements in forall list are already associated with operators in the "
     "expression: i"),
    (lambda m: kx.Constraint("c", m.z < 1), "Invalid constraint -- conditional must be a valid "
     "equality or non-strict inequality (==, >=, or <= only)"),
    (lambda m: kx.Constraint("c", m.z != 1), "Invalid constraint -- conditional must be a valid "
     "equality or non-strict inequality (==, >=, or <= only)"),
    (lambda m: kx.Constraint("c", (m.z <= 1) & (m.z >= 0)), "Invalid constraint -- conditional "
     "must be a valid equality or non-strict inequality (==, >=, or <= only)"),
    (lambda m: kx.Constraint("c", m.a <= 1), "expression does not contain a decision variable"),
    (lambda m: kx.CustomPenaltyTerm("p", m.a + 1),
     "the custom penalty term does not contain a decision variable"),
    (lambda m: kx.CustomPenaltyTerm("p", m.y[m.i]),
     "Invalid forall:\nExpression contained elements not used in the forall list or any operator: i"),
])
def test_modeling_errors(m, build, message):
    raises_exactly(kx.ModelingError, message, lambda: build(m))


def test_an_element_over_an_element_brings_its_set(m):
    k = kx.Element("k", (0, m.i))
    raises_exactly(kx.ModelingError,
                   "Invalid forall:\nExpression contained elements not used in the forall list or "
                   "any operator: i",
                   lambda: kx.Constraint("c", m.y[k] <= 1, forall=k))
    kx.Constraint("c", m.y[k] <= 1, forall=[m.i, k])


@pytest.mark.parametrize("forall", [
    lambda m: [m.i, m.i],
    lambda m: [(m.i, m.j != 0), m.j],
    lambda m: "i",
    lambda m: 3,
    lambda m: [(m.i, m.j, None)],
    lambda m: [(m.i, 1)],
])
def test_bad_forall_lists(m, forall):
    error = raises_exactly(TypeError, "argument 'forall': failed to create a forall list object",
                           lambda: kx.Constraint("c", m.x[m.i, m.j] <= 1, forall=forall(m)))
    assert str(error.__cause__) == "failed to create a forall list object"


def test_argument_errors(m):
    raises_exactly(TypeError, "argument 'expression': failed to convert into a conditional expression.",
                   lambda: kx.Constraint("c", m.z))
    raises_exactly(TypeError, "argument 'expression': failed to convert into expression.",
                   lambda: kx.CustomPenaltyTerm("p", m.y))
    raises_exactly(TypeError, "argument 'name': 'int' object cannot be converted to 'PyString'",
                   lambda: kx.Constraint(1, m.z <= 1))
    assert str(inspect.signature(kx.Constraint)) == "(name, expression, *, forall=None)"
    assert str(inspect.signature(kx.Problem)) == "(name, *, sense=Ellipsis)"


# ---- Problem ------------------------------------------------------------------------------------

def test_problem_defaults_and_sense():
    p = kx.Problem("p")
    assert p.name == "p" and p.objective.value == 0 and p.objective.dtype == kx.DataType.INTEGER
    assert p.sense == kx.ProblemSense.MINIMIZE and p.constraints == {} and p.custom_penalty_terms == {}
    p.sense = kx.ProblemSense.MAXIMIZE
    assert int(p.sense) == 1
    raises_exactly(AttributeError, "can't delete attribute", lambda: delattr(p, "sense"))
    with pytest.raises(TypeError):
        p.sense = 0
    raises_exactly(TypeError, "argument 'sense': 'int' object cannot be converted to 'ProblemSense'",
                   lambda: kx.Problem("p", sense=1))
    assert kx.Problem("q", sense=kx.ProblemSense.MAXIMIZE).sense == kx.ProblemSense.MAXIMIZE


def test_problem_accumulates(m):
    p = kx.Problem("p")
    q = p
    p += kx.sum(m.i, m.y[m.i])
    p += kx.sum(m.i, 2 * m.y[m.i])
    assert kx.is_same(q.objective, kx.sum(m.i, 2 * m.y[m.i])) and q is p
    p += 5
    assert p.objective.value == 5
    p += kx.Constraint("b", m.z <= 1)
    p += kx.Constraint("a", m.z >= 0)
    p += kx.Constraint("b", m.z == 1)
    assert list(p.constraints) == ["a", "b"]
    assert p.constraints["b"].sense == kx.ConstraintSense.EQUAL
    p += kx.CustomPenaltyTerm("\u00e9", m.z * 2)
    p += kx.CustomPenaltyTerm("Z", m.z * 3)
    assert list(p.custom_penalty_terms) == ["Z", "\u00e9"]


@pytest.mark.parametrize("part", [lambda m: [kx.Constraint("c", m.z <= 1)], lambda m: m.y,
                                  lambda m: m.z <= 1, lambda m: "s", lambda m: m.x[:, 0]])
def test_problem_refuses_other_parts(m, part):
    p = kx.Problem("p")
    raises_exactly(TypeError, "unsupported operand type(s) for +=", lambda: p.__iadd__(part(m)))


def test_plain_addition_does_not_exist(m):
    with pytest.raises(TypeError):
        kx.Problem("p") + kx.Constraint("c", m.z <= 1)


def test_duplicated_names():
    p = kx.Problem("p")
    p += kx.Constraint("c", kx.BinaryVar("x") <= 1)
    p += kx.Constraint("d", kx.BinaryVar("x") >= 0)
    before = p.constraints
    raises_exactly(kx.ModelingError, "Duplicated name -- different variables share the same name(s): x",
                   lambda: p.__iadd__(kx.IntegerVar("x", lower_bound=0, upper_bound=1) + 0))
    raises_exactly(kx.ModelingError, "Duplicated name -- different variables share the same name(s): x",
                   lambda: p.__iadd__(kx.Constraint("e", kx.IntegerVar("x", lower_bound=0, upper_bound=1) <= 1)))
    assert list(p.constraints) == list(before) and p.objective.value == 0
    q = kx.Problem("q")
    q += kx.Constraint("c", kx.Placeholder("a") * kx.BinaryVar("y") <= 1)
    a1 = kx.Placeholder("a", ndim=1)
    raises_exactly(kx.ModelingError, "Duplicated name -- different variables share the same name(s): a",
                   lambda: q.__iadd__(kx.sum(kx.Element("i", 3), a1[kx.Element("i", 3)])))


def test_replaced_constraint_is_not_visited():
    p = kx.Problem("p")
    p += kx.Constraint("c", kx.BinaryVar("x") <= 1)
    p += kx.Constraint("c", kx.BinaryVar("x", shape=[2])[0] <= 1)
    assert list(p.constraints) == ["c"]


def test_problem_identity(m):
    def build(order):
        p = kx.Problem("p")
        parts = [kx.Constraint("a", m.z <= 1), kx.Constraint("b", m.z >= 0)]
        for part in (parts if order else parts[::-1]):
            p += part
        return p
    assert kx.is_same(build(True), build(False))
    other = build(True)
    other.sense = kx.ProblemSense.MAXIMIZE
    assert not kx.is_same(build(True), other)
    assert not kx.is_same(kx.CustomPenaltyTerm("p", m.z), kx.CustomPenaltyTerm("q", m.z))
