import inspect
import types

import pytest

import korvex as kx

FUNCTIONS = [
    "is_linear", "is_quadratic", "is_higher_order", "is_dynamic_degree", "extract_nodes",
    "extract_variables", "is_same", "abs", "ceil", "floor", "log2", "log10", "ln", "min", "max",
    "sum", "prod", "to_protobuf", "from_protobuf", "replace", "concatenate",
]
CLASSES = [
    "DataType", "NumberLit", "Placeholder", "Range", "Element", "Subscript", "ArrayLength",
    "DummyIndexedVar", "BinaryVar", "IntegerVar", "ContinuousVar", "SemiIntegerVar",
    "SemiContinuousVar", "AbsOp", "CeilOp", "FloorOp", "Log2Op", "Log10Op", "LnOp", "AddOp",
    "MulOp", "ModOp", "MinOp", "MaxOp", "PowOp", "SumOp", "ProdOp", "AndOp", "OrOp", "XorOp",
    "EqualOp", "NotEqualOp", "LessThanOp", "LessThanEqualOp", "GreaterThanOp",
    "GreaterThanEqualOp", "Problem", "ProblemSense", "Constraint", "ConstraintSense",
    "CustomPenaltyTerm", "Evaluation", "Record", "SolvingTime", "SystemTime", "MeasuringTime",
    "SampleSet",
]


def test_version_and_doc():
    assert kx.__version__ == "1.0.0-rc5"
    assert kx.__doc__ == ""


def test_all_keeps_the_fixed_order():
    # Later work adds names; whatever exists must stand in the fixed relative order.
    expected = ["__version__", "ModelingError", "ProtobufSerializationError",
                "ProtobufDeserializationError"] + FUNCTIONS + CLASSES
    present = [name for name in expected if hasattr(kx, name)]
    assert kx.__all__ == present


@pytest.mark.parametrize(
    "name", ["ModelingError", "ProtobufSerializationError", "ProtobufDeserializationError"])
def test_exception_classes(name):
    cls = getattr(kx, name)
    assert cls.__mro__ == (cls, Exception, BaseException, object)
    assert repr(cls) == f"<class 'korvex.{name}'>"
    assert cls.__doc__ is None
    assert str(cls("boom")) == "boom"


def test_classes_report_the_module():
    for name in kx.__all__:
        obj = getattr(kx, name)
        if isinstance(obj, type) and not issubclass(obj, Exception):
            assert obj.__module__ == "korvex"
            assert obj.__name__ == name


NO_CONSTRUCTOR = {"DataType", "Range", "Subscript", "DummyIndexedVar", "ProblemSense",
                  "ConstraintSense"} | {n for n in CLASSES if n.endswith("Op")}


def test_every_callable_has_a_signature():
    for name in kx.__all__:
        obj = getattr(kx, name)
        if isinstance(obj, types.BuiltinFunctionType):
            inspect.signature(obj)
        elif isinstance(obj, type) and not issubclass(obj, Exception):
            for member in vars(obj):
                if not member.startswith("__") and callable(getattr(obj, member)):
                    inspect.signature(getattr(obj, member))
            if name in NO_CONSTRUCTOR:
                with pytest.raises(TypeError, match="^No constructor defined$"):
                    obj()
            else:
                assert str(inspect.signature(obj)).startswith("(")
                inspect.signature(obj)


def test_the_module_initialises_once_per_process():
    import subprocess
    import sys

    code = ("import sys, korvex\n"
            "del sys.modules['korvex']\n"
            "try:\n"
            "    import korvex\n"
            "except ImportError as e:\n"
            "    print('ImportError:', e)\n")
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                         env={**__import__("os").environ, "PYTHONPATH": ":".join(sys.path)})
    assert out.stdout.strip() == (
        "ImportError: korvex may be initialised only once per interpreter process")
