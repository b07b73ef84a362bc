import pytest

import korvex as kx
from conftest import raises_exactly

EMPTY_SOLVING = "SolvingTime(preprocess=None, solve=None, postprocess=None)"
EMPTY_SYSTEM = ("SystemTime(post_problem_and_instance_data=None, request_queue=None, "
                "fetch_problem_and_instance_data=None, fetch_result=None, deserialize_solution=None)")
SOLVING_FIELDS = ["preprocess", "solve", "postprocess"]
SYSTEM_FIELDS = ["post_problem_and_instance_data", "request_queue",
                 "fetch_problem_and_instance_data", "fetch_result", "deserialize_solution"]


@pytest.mark.parametrize(
    "obj, text",
    [
        (kx.SolvingTime(), EMPTY_SOLVING),
        (kx.SolvingTime(1.0, 0.25, 2), "SolvingTime(preprocess=1, solve=0.25, postprocess=2)"),
        (kx.SolvingTime(preprocess=1e-7, postprocess=-0.0),
         "SolvingTime(preprocess=0.0000001, solve=None, postprocess=-0)"),
        (kx.SystemTime(request_queue=3.5), EMPTY_SYSTEM.replace("request_queue=None", "request_queue=3.5")),
        (kx.MeasuringTime(), f"MeasuringTime(solve={EMPTY_SOLVING}, system={EMPTY_SYSTEM}, total=None)"),
        (kx.MeasuringTime(kx.SolvingTime(solve=1.5), None, 4),
         f"MeasuringTime(solve=SolvingTime(preprocess=None, solve=1.5, postprocess=None), "
         f"system={EMPTY_SYSTEM}, total=4)"),
    ],
)
def test_text_form(obj, text):
    assert repr(obj) == text and str(obj) == text


@pytest.mark.parametrize("cls, fields", [(kx.SolvingTime, SOLVING_FIELDS), (kx.SystemTime, SYSTEM_FIELDS)])
def test_times_read_and_write(cls, fields):
    obj = cls(*range(1, len(fields) + 1))
    for k, name in enumerate(fields, 1):
        value = getattr(obj, name)
        assert value == float(k) and type(value) is float
        setattr(obj, name, None)
        assert getattr(obj, name) is None
        raises_exactly(TypeError, "must be real number, not str", lambda: setattr(obj, name, "x"))
        raises_exactly(AttributeError, "can't delete attribute", lambda: delattr(obj, name))
    assert obj == cls()
    raises_exactly(TypeError, f"argument '{fields[-1]}': must be real number, not list",
                   lambda: cls(**{fields[-1]: []}))


def test_measuring_time_parts_are_copies():
    m = kx.MeasuringTime(solve=kx.SolvingTime(preprocess=1.0))
    solve = m.solve
    solve.preprocess = 5.0
    assert m.solve.preprocess == 1.0
    m.solve = solve
    assert m.solve.preprocess == 5.0
    solve.preprocess = 6.0
    assert m.solve.preprocess == 5.0
    m.system = kx.SystemTime(fetch_result=2.0)
    m.total = 3
    assert m == kx.MeasuringTime(kx.SolvingTime(preprocess=5.0), kx.SystemTime(fetch_result=2.0), 3.0)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: kx.MeasuringTime(solve=kx.SystemTime()),
         "argument 'solve': 'SystemTime' object cannot be converted to 'SolvingTime'"),
        (lambda: kx.MeasuringTime(system=1), "argument 'system': 'int' object cannot be converted to 'SystemTime'"),
        (lambda: kx.MeasuringTime(total="1"), "argument 'total': must be real number, not str"),
        (lambda: setattr(kx.MeasuringTime(), "solve", None),
         "'NoneType' object cannot be converted to 'SolvingTime'"),
        (lambda: setattr(kx.MeasuringTime(), "system", kx.SolvingTime()),
         "'SolvingTime' object cannot be converted to 'SystemTime'"),
    ],
)
def test_measuring_time_errors(call, message):
    raises_exactly(TypeError, message, call)


@pytest.mark.parametrize("cls", [kx.SolvingTime, kx.SystemTime, kx.MeasuringTime])
def test_comparison(cls):
    assert cls() == cls() and not cls() != cls()
    assert cls() != 1.0
    for op, symbol in [("__lt__", "<"), ("__le__", "<="), ("__gt__", ">"), ("__ge__", ">=")]:
        raises_exactly(TypeError, f"Comparison '{symbol}' not supported for {cls.__name__}",
                       lambda: getattr(cls(), op)(cls()))


def test_zero_differs_from_absent_and_nan_from_itself():
    assert kx.SolvingTime(solve=0.0) != kx.SolvingTime()
    assert kx.SolvingTime(solve=float("nan")) != kx.SolvingTime(solve=float("nan"))
    assert kx.MeasuringTime(total=0.0) != kx.MeasuringTime()
    assert kx.SolvingTime(2) != kx.SystemTime(2)
