"""Scope checks, forall reading and the duplicated-name check under unusual inputs."""
import pytest

import korvex as kx
from conftest import raises_exactly

N = kx.Placeholder("N")
y = kx.BinaryVar("y", shape=[N])
z = kx.BinaryVar("z")
i = kx.Element("i", N)
j = kx.Element("j", N)
nan_element = kx.Element("n", (0, float("nan")))
nan_bounded = kx.ContinuousVar("w", lower_bound=float("nan"), upper_bound=1)

FORALL_ERROR = "argument 'forall': failed to create a forall list object"
DUPLICATED = "Duplicated name -- different variables share the same name(s): "


# An element over a range ending at NaN, or a variable with a NaN bound, is not structurally equal
# to itself; the scope and name checks must still recognise it as one element or variable.
@pytest.mark.parametrize("build, text", [
    (lambda: kx.Constraint("c", y[nan_element] <= 1, forall=nan_element),
     'Constraint(name="c", expression=y[n] <= 1, forall=[n])'),
    (lambda: kx.Constraint("c", y[nan_element] <= 1, forall=[(nan_element, nan_element != 0)]),
     'Constraint(name="c", expression=y[n] <= 1, forall=[(n, n != 0)])'),
    (lambda: kx.Constraint("c", kx.sum(nan_element, y[nan_element]) <= 1),
     'Constraint(name="c", expression=sum(n in [0..NaN), y[n]) <= 1)'),
    (lambda: kx.CustomPenaltyTerm("p", y[nan_element], forall=nan_element),
     'CustomPenaltyTerm(name="p", expression=y[n], forall=[n])'),
])
def test_an_element_over_a_nan_range_is_itself(build, text):
    assert str(build()) == text


def test_a_nan_element_cannot_repeat_in_a_forall_list():
    raises_exactly(TypeError, FORALL_ERROR,
                   lambda: kx.Constraint("c", y[nan_element] <= 1, forall=[nan_element, nan_element]))
    raises_exactly(kx.ModelingError,
                   "Invalid forall -- Elements in forall list are already associated with operators "
                   "in the expression: n",
                   lambda: kx.Constraint("c", kx.sum(nan_element, y[nan_element]) <= 1, forall=nan_element))


def test_a_variable_with_a_nan_bound_is_not_a_duplicate_of_itself():
    p = kx.Problem("p")
    p += kx.Constraint("c", nan_bounded <= 1)
    p += kx.Constraint("d", nan_bounded >= 0)
    p += kx.CustomPenaltyTerm("t", nan_bounded * 2)
    p += nan_bounded + 1
    assert list(p.constraints) == ["c", "d"] and list(p.custom_penalty_terms) == ["t"]
    other = kx.ContinuousVar("w", lower_bound=0, upper_bound=1)
    raises_exactly(kx.ModelingError, DUPLICATED + "w", lambda: p.__iadd__(other + 1))
    assert kx.is_same(p.objective, nan_bounded + 1) is False  # is_same keeps NaN unequal


def test_a_nan_literal_in_a_comparison_passes_the_checks():
    c = kx.Constraint("c", y[i] <= float("nan"), forall=i)
    assert str(c) == 'Constraint(name="c", expression=y[i] <= NaN, forall=[i])'


class _FailingSequence:
    """A sequence whose reading raises the given exception."""

    def __init__(self, exception):
        self.exception = exception

    def __len__(self):
        return 1

    def __getitem__(self, k):
        raise self.exception


@pytest.mark.parametrize("exception", [RuntimeError("boom"), ZeroDivisionError("z"), ValueError("v")])
def test_a_failing_sequence_is_a_malformed_forall_list(exception):
    error = raises_exactly(TypeError, FORALL_ERROR,
                           lambda: kx.Constraint("c", z <= 1, forall=_FailingSequence(exception)))
    assert str(error.__cause__) == "failed to create a forall list object"


@pytest.mark.parametrize("exception", [KeyboardInterrupt, SystemExit])
def test_an_interrupt_while_reading_forall_is_not_swallowed(exception):
    with pytest.raises(exception):
        kx.Constraint("c", z <= 1, forall=_FailingSequence(exception()))
    with pytest.raises(exception):
        kx.CustomPenaltyTerm("p", z, forall=_FailingSequence(exception()))


def _over_array(name="a"):
    """An element over a one-dimensional placeholder, summed in a constraint."""
    array = kx.Placeholder(name, ndim=1)
    k = kx.Element("k", array)
    return array, kx.Constraint("c", kx.sum(k, kx.BinaryVar("v", shape=[kx.Placeholder("M")])[k]) == 1)


# The placeholder an element runs over is a variable of the problem: another variable of its name
# clashes, whichever side of the += it comes from.
@pytest.mark.parametrize("first, second", [
    (lambda: _over_array()[1], lambda: kx.Placeholder("a") * z),
    (lambda: kx.Placeholder("a") * z, lambda: _over_array()[1]),
    (lambda: kx.CustomPenaltyTerm("t", kx.BinaryVar("a") * 2), lambda: _over_array()[1]),
])
def test_the_set_of_an_element_takes_part_in_the_name_check(first, second):
    p = kx.Problem("p")
    p += first()
    before = (p.objective, dict(p.constraints), dict(p.custom_penalty_terms))
    raises_exactly(kx.ModelingError, DUPLICATED + "a", lambda: p.__iadd__(second()))
    assert kx.is_same(p.objective, before[0])
    assert list(p.constraints) == list(before[1]) and list(p.custom_penalty_terms) == list(before[2])


def test_the_same_placeholder_as_a_set_and_as_an_operand_passes():
    array, constraint = _over_array()
    p = kx.Problem("p")
    p += constraint
    p += array[0] * z
    assert str(p.objective) == "a[0] * z"


def _chain(length):
    """Elements k0 over N and k{m} over [k{m-1}, k{m-1} + 1): each set brings the one before twice."""
    chain = [kx.Element("k0", N)]
    for m in range(1, length):
        chain.append(kx.Element("k%d" % m, (chain[-1], chain[-1] + 1)))
    return chain


def test_a_long_chain_of_element_sets_is_collected_once_per_element():
    chain = _chain(40)
    last = chain[-1]
    names = ", ".join("k%d" % m for m in range(40))
    assert str(kx.Constraint("c", y[last] <= 1, forall=chain)) == (
        'Constraint(name="c", expression=y[k39] <= 1, forall=[' + names + "])")
    with pytest.raises(kx.ModelingError) as error:
        kx.Constraint("c", y[last] <= 1, forall=last)
    head, names = str(error.value).split(": ")
    assert head == "Invalid forall:\nExpression contained elements not used in the forall list or any operator"
    assert sorted(names.split(", ")) == sorted("k%d" % m for m in range(39))
    raises_exactly(TypeError, FORALL_ERROR,
                   lambda: kx.Constraint("c", y[last] <= 1, forall=[(last, last != 0)] + chain[:-1]))


def test_a_long_chain_of_element_sets_in_a_problem():
    chain = _chain(40)
    p = kx.Problem("p")
    p += kx.sum(chain[-1], y[chain[-1]])
    p += kx.CustomPenaltyTerm("t", y[chain[-1]], forall=chain)
    p += kx.Constraint("c", y[chain[-1]] <= 1, forall=chain)
    raises_exactly(kx.ModelingError, DUPLICATED + "N",
                   lambda: p.__iadd__(kx.Placeholder("N", ndim=1)[0] * z))
    assert list(p.constraints) == ["c"] and list(p.custom_penalty_terms) == ["t"]


def _repeated(base, times):
    """An expression that holds `base` 2**times times over, built in `times` steps."""
    for _ in range(times):
        base = (base + 1) * (base + 2)
    return base


def test_a_subtree_held_many_times_over_is_checked_once():
    big = _repeated(y[i] + kx.Placeholder("b"), 60)
    assert kx.Constraint("c", big <= 1, forall=i).forall[0][1] is None
    assert kx.CustomPenaltyTerm("t", big, forall=i).name == "t"
    raises_exactly(kx.ModelingError,
                   "Invalid forall:\nExpression contained elements not used in the forall list or any "
                   "operator: i", lambda: kx.Constraint("c", big <= 1))
    raises_exactly(kx.ModelingError,
                   "Invalid forall -- Elements in forall list are already associated with operators in "
                   "the expression: i", lambda: kx.Constraint("c", kx.sum(i, big) <= 1, forall=i))
    p = kx.Problem("p")
    p += kx.sum(i, big)
    p += kx.Constraint("c", kx.sum(i, big) <= 1)
    raises_exactly(kx.ModelingError, DUPLICATED + "b",
                   lambda: p.__iadd__(kx.Constraint("d", kx.Placeholder("b", ndim=1)[0] * z <= 1)))
    raises_exactly(kx.ModelingError, DUPLICATED + "y",
                   lambda: p.__iadd__(_repeated(kx.BinaryVar("y") + 1, 60)))
    assert list(p.constraints) == ["c"]
