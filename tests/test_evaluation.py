import numpy as np
import pytest

import korvex as kx
from conftest import raises_exactly

FIELDS = ["energy", "objective", "constraint_violations", "constraint_forall",
          "constraint_values", "penalty"]


def test_empty_evaluation():
    e = kx.Evaluation()
    for name in ("energy", "objective"):
        value = getattr(e, name)
        assert isinstance(value, np.ndarray) and value.dtype == np.float64 and value.shape == (0,)
    assert e.constraint_violations == {} and e.constraint_forall == {} and e.penalty == {}
    assert e.constraint_values == [] and e.constraint_expr_values == []
    assert e == kx.Evaluation(None, None, None, None, None, None)


def test_fields_read_back_as_new_arrays():
    e = kx.Evaluation(
        energy=np.array([1.0, 2.0]), objective=(3, True),
        constraint_violations={"b": [0.5], "a": np.arange(2.0)},
        constraint_forall={"c": np.array([[0, 1], [2, 3], [4, 5]]), "d": []},
        constraint_values=[{"c": [1.0, 2.0, 3.0]}], penalty={"p": [0.25]})
    np.testing.assert_array_equal(e.energy, [1.0, 2.0])
    np.testing.assert_array_equal(e.objective, [3.0, 1.0])
    assert list(e.constraint_violations) == ["a", "b"]
    forall = e.constraint_forall
    assert forall["c"].shape == (3, 2) and forall["c"].dtype == np.uint64
    assert forall["d"].shape == (0, 0) and forall["d"].dtype == np.uint64
    np.testing.assert_array_equal(e.constraint_values[0]["c"], [1.0, 2.0, 3.0])
    energy = e.energy
    energy[0] = 99.0
    assert e.energy[0] == 1.0 and e.energy is not e.energy


@pytest.mark.parametrize(
    "field, value, exc, message",
    [
        ("energy", "abc", TypeError, "Can't extract `str` to `Vec`"),
        ("energy", 1.0, TypeError, "'float' object cannot be converted to 'Sequence'"),
        ("objective", ["x"], TypeError, "must be real number, not str"),
        ("constraint_violations", [1.0], TypeError, "'list' object cannot be converted to 'dict'"),
        ("constraint_violations", {1: [1.0]}, TypeError, "'int' object cannot be converted to 'str'"),
        ("constraint_forall", {"c": [0, 1]}, TypeError, "'int' object cannot be converted to 'Sequence'"),
        ("constraint_forall", {"c": [[-1]]}, OverflowError, "can't convert negative int to unsigned"),
        ("constraint_values", {"c": [1.0]}, TypeError, "'dict' object cannot be converted to 'Sequence'"),
        ("penalty", None, TypeError, "'NoneType' object cannot be converted to 'dict'"),
    ],
)
def test_conversion_errors(field, value, exc, message):
    if value is not None:
        error = raises_exactly(exc, message if exc is not TypeError else f"argument '{field}': {message}",
                               lambda: kx.Evaluation(**{field: value}))
        if exc is TypeError:
            assert str(error.__cause__) == message
    e = kx.Evaluation(energy=[1.0], penalty={"p": [2.0]})
    before = repr(e)
    raises_exactly(exc, message, lambda: setattr(e, field, value))
    assert repr(e) == before  # a failed setter changes nothing


def test_setting_energy_to_none_fails():
    raises_exactly(TypeError, "'NoneType' object cannot be converted to 'Sequence'",
                   lambda: setattr(kx.Evaluation(), "energy", None))


def test_parameters_convert_in_signature_order():
    raises_exactly(TypeError, "argument 'energy': Can't extract `str` to `Vec`",
                   lambda: kx.Evaluation(penalty=1, energy="x"))


def test_setters_and_delete():
    e = kx.Evaluation()
    for name, value in [("energy", [1.0]), ("objective", [2.0]), ("constraint_violations", {"c": [0.0]}),
                        ("constraint_forall", {"c": [[1]]}), ("constraint_values", [{"c": [3.0]}]),
                        ("penalty", {"p": [4.0]})]:
        setattr(e, name, value)
    assert e == kx.Evaluation([1.0], [2.0], {"c": [0.0]}, {"c": [[1]]}, [{"c": [3.0]}], {"p": [4.0]})
    for name in FIELDS:
        raises_exactly(AttributeError, "can't delete attribute", lambda: delattr(e, name))


def test_ragged_forall_fails_when_read():
    e = kx.Evaluation(constraint_forall={"c": [[0, 1], [2]]})
    raises_exactly(TypeError, "invalid length: 1, but expected 2", lambda: e.constraint_forall)
    raises_exactly(TypeError, "invalid length: 1, but expected 2", e.to_dict)


@pytest.mark.parametrize(
    "forall, values, expected",
    [
        ({"c": [[0], [1]]}, [{"c": [0.5, 1.5]}], [{"c": {(0,): 0.5, (1,): 1.5}}]),
        ({"c": [[0], [1]]}, [{"c": [0.5, 1.5, 2.5]}], [{"c": {(0,): 0.5, (1,): 1.5}}]),
        ({"c": [[0, 1], [2, 3], [0, 1]]}, [{"c": [1.0, 2.0, 3.0]}], [{"c": {(0, 1): 3.0, (2, 3): 2.0}}]),
        ({"c": [[]]}, [{"c": [4.0]}, {}], [{"c": {(): 4.0}}, {}]),
        # A constraint without forall tuples has nothing to key its values by.
        ({}, [{"c": [1.0, 2.0]}], [{"c": {}}]),
    ],
)
def test_constraint_expr_values(forall, values, expected):
    e = kx.Evaluation(constraint_forall=forall, constraint_values=values)
    assert e.constraint_expr_values == expected


def test_comparison():
    assert kx.Evaluation(energy=[1.0]) == kx.Evaluation(energy=[1.0])
    assert kx.Evaluation(energy=[1.0]) != kx.Evaluation(objective=[1.0])
    assert kx.Evaluation(energy=[float("nan")]) != kx.Evaluation(energy=[float("nan")])
    assert kx.Evaluation() != 0
    for op, symbol in [("__lt__", "<"), ("__le__", "<="), ("__gt__", ">"), ("__ge__", ">=")]:
        raises_exactly(TypeError, f"Comparison '{symbol}' not supported for Evaluation",
                       lambda: getattr(kx.Evaluation(), op)(kx.Evaluation()))


@pytest.mark.parametrize(
    "kwargs, text",
    [
        ({"energy": [1.0, 2.5], "constraint_violations": {"c": [0.0]}},
         'Evaluation(energy=[1.0, 2.5], objective=[], constraint_violations={"c": [0.0]}, '
         "constraint_forall={}, constraint_values=[], penalty={})"),
        ({"objective": [1e-5, 1e16, -0.0, float("nan"), float("-inf")],
          "constraint_forall": {"b": [[0, 1]], "a": []},
          "constraint_values": [{}, {"a": [2.0]}], "penalty": {'q"\\\n\x01': [1.0]}},
         "Evaluation(energy=[], objective=[1e-5, 1e16, -0.0, NaN, -inf], constraint_violations={}, "
         'constraint_forall={"a": [], "b": [[0, 1]]}, constraint_values=[{}, {"a": [2.0]}], '
         'penalty={"q\\"\\\\\\n\\u{1}": [1.0]})'),
    ],
)
def test_text_form(kwargs, text):
    e = kx.Evaluation(**kwargs)
    assert repr(e) == text and str(e) == text


def test_without_numpy_the_arrays_cannot_be_made():
    import subprocess
    import sys

    code = ("import sys; sys.modules['numpy'] = None\n"
            "import korvex\n"
            "e = korvex.Evaluation(energy=[1.0])\n"
            "print(repr(e))\n"
            "try:\n    e.energy\nexcept ImportError as error:\n    print(error)\n")
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True).stdout
    assert out.splitlines() == [
        "Evaluation(energy=[1.0], objective=[], constraint_violations={}, constraint_forall={}, "
        "constraint_values=[], penalty={})",
        "Failed to access NumPy array API capsule",
    ]
