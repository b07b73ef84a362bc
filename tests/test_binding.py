"""Argument binding and conversion messages shared by every callable."""
import inspect

import pytest

import korvex as kx
from conftest import raises_exactly


@pytest.mark.parametrize("call, message", [
    (lambda: kx.Placeholder(), "Placeholder.__new__() missing 1 required positional argument: 'name'"),
    (lambda: kx.Placeholder("a", 1), "Placeholder.__new__() takes 1 positional arguments but 2 were given"),
    (lambda: kx.Placeholder("a", nd=1), "Placeholder.__new__() got an unexpected keyword argument 'nd'"),
    (lambda: kx.Placeholder("a", name="b"), "Placeholder.__new__() got multiple values for argument 'name'"),
    (lambda: kx.Element(), "Element.__new__() missing 2 required positional arguments: 'name' and 'belong_to'"),
    (lambda: kx.ArrayLength(), "ArrayLength.__new__() missing 2 required positional arguments: 'array' and 'axis'"),
    (lambda: kx.ContinuousVar("x"),
     "ContinuousVar.__new__() missing 2 required keyword arguments: 'lower_bound' and 'upper_bound'"),
    (lambda: kx.IntegerVar("x", lower_bound=0),
     "IntegerVar.__new__() missing 1 required keyword argument: 'upper_bound'"),
    (lambda: kx.NumberLit(1, 2), "NumberLit.__new__() takes 1 positional arguments but 2 were given"),
    (lambda: kx.Placeholder("a").set_latex("a", "b"),
     "Placeholder.set_latex() takes from 0 to 1 positional arguments but 2 were given"),
    (lambda: kx.Placeholder("a", ndim=1).len_at(), "Placeholder.len_at() missing 1 required positional argument: 'axis'"),
    (lambda: kx.is_same(1), "is_same() missing 1 required positional argument: 'dst'"),
    (lambda: kx.is_same(1, 2, 3), "is_same() takes 2 positional arguments but 3 were given"),
])
def test_binding_messages(call, message):
    raises_exactly(TypeError, message, call)


def test_missing_positionals_are_reported_before_keywords():
    with pytest.raises(TypeError) as info:
        kx.IntegerVar()
    assert str(info.value) == "IntegerVar.__new__() missing 1 required positional argument: 'name'"


@pytest.mark.parametrize("call, message", [
    (lambda: kx.Placeholder(1), "argument 'name': 'int' object cannot be converted to 'PyString'"),
    (lambda: kx.Placeholder("a", latex=1), "argument 'latex': 'int' object cannot be converted to 'PyString'"),
    (lambda: kx.Placeholder("a", ndim=1.5), "argument 'ndim': 'float' object cannot be interpreted as an integer"),
    (lambda: kx.BinaryVar("x", shape="ab"), "argument 'shape': Can't extract `str` to `Vec`"),
    (lambda: kx.BinaryVar("x", shape=3), "argument 'shape': 'int' object cannot be converted to 'Sequence'"),
    (lambda: kx.BinaryVar("x", shape=[kx.Placeholder("a", ndim=1)]),
     "argument 'shape': failed to convert into expression."),
    (lambda: kx.ArrayLength(kx.Placeholder("n"), 0), "argument 'array': unsupported type"),
])
def test_conversion_errors_are_decorated_with_a_cause(call, message):
    error = raises_exactly(TypeError, message, call)
    assert isinstance(error.__cause__, TypeError)
    assert message.endswith(str(error.__cause__))


def test_number_lit_reports_every_variant():
    error = raises_exactly(
        TypeError,
        "argument 'value': failed to extract enum NumericValue ('Integer | Float')\n"
        "- variant Integer (Integer): TypeError: failed to extract field NumericValue::Integer.0, "
        "caused by TypeError: 'str' object cannot be interpreted as an integer\n"
        "- variant Float (Float): TypeError: failed to extract field NumericValue::Float.0, "
        "caused by TypeError: must be real number, not str",
        lambda: kx.NumberLit("a"))
    assert isinstance(error.__cause__, TypeError)


def test_negative_unsigned_is_the_interpreters_overflow_error():
    with pytest.raises(OverflowError) as info:
        kx.Placeholder("a", ndim=-1)
    assert info.value.__cause__ is None


@pytest.mark.parametrize("cls", ["Range", "Subscript", "DummyIndexedVar", "DataType"])
def test_classes_without_constructor(cls):
    raises_exactly(TypeError, "No constructor defined", lambda: getattr(kx, cls)())


@pytest.mark.parametrize("obj, text", [
    (kx.Placeholder, "(name, *, ndim=0, latex=None, description=None)"),
    (kx.Element, "(name, belong_to, *, latex=None, description=None)"),
    (kx.BinaryVar, "(name, *, shape=None, latex=None, description=None)"),
    (kx.SemiContinuousVar, "(name, *, shape=None, lower_bound, upper_bound, latex=None, description=None)"),
    (kx.ArrayLength, "(array, axis, *, latex=None, description=None)"),
    (kx.NumberLit, "(value)"),
    (kx.Placeholder.len_at, "(self, /, axis, *, latex=None, description=None)"),
    (kx.Placeholder.set_latex, "(self, /, latex=None)"),
    (kx.is_same, "(src, dst)"),
])
def test_signatures(obj, text):
    assert str(inspect.signature(obj)) == text
