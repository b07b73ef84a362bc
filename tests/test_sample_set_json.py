import math

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import korvex as kx
from conftest import raises_exactly

COO = (([0, 1, 1], [1, 0, 2]), [1.0, 2.0, 3.0], (2, 3))
DENSE = np.array([[0.0, 1.0, 0.0], [2.0, 0.0, 3.0]])
DENSE_JSON = ('{"solution":{"Dense":{"x":[{"v":1,"dim":[2,3],"data":[0.0,1.0,0.0,2.0,0.0,3.0]}]}},'
              '"num_occurrences":[1]}')
SPARSE_JSON = '{"solution":{"Sparse":{"x":[[[[0,1,1],[1,0,2]],[1.0,2.0,3.0],[2,3]]]}},"num_occurrences":[1]}'
SOLVING_NONE = {"preprocess": None, "solve": None, "postprocess": None}
SYSTEM_NONE = {"post_problem_and_instance_data": None, "request_queue": None,
               "fetch_problem_and_instance_data": None, "fetch_result": None, "deserialize_solution": None}


def sample_set(record=None, metadata=None):
    return kx.SampleSet(
        record or kx.Record({"x": [COO, ([[0]], [5.0], [3])]}, [2, 1]),
        kx.Evaluation(energy=[1.0, 2.0], objective=[3.0, 4.0], constraint_violations={"c": [0.0, 1.0]},
                      constraint_forall={"c": [[0], [1]]}, constraint_values=[{"c": [0.5]}, {"c": [1.5]}],
                      penalty={"p": [0.25, 0.5]}),
        kx.MeasuringTime(kx.SolvingTime(solve=1.5), kx.SystemTime(request_queue=0.5), 2.0),
        metadata)


# ---- dict forms ----


def test_record_dict():
    d = kx.Record({"x": [DENSE]}, [1]).to_dict()
    assert list(d) == ["solution", "num_occurrences"] and d["num_occurrences"] == [1]
    np.testing.assert_array_equal(d["solution"]["x"][0], DENSE)
    assert kx.Record({"x": [COO]}, [3]).to_dict() == {"solution": {"x": [COO]}, "num_occurrences": [3]}
    assert kx.Record.from_dict({"num_occurrences": [2], "other": 1}) == kx.Record({}, [2])
    assert kx.Record.from_dict({}).is_sparse()


def test_evaluation_dict():
    e = sample_set().evaluation
    d = e.to_dict()
    assert list(d) == ["energy", "objective", "constraint_violations", "constraint_forall",
                       "constraint_values", "penalty"]
    assert d["constraint_forall"]["c"].dtype == np.uint64 and d["constraint_forall"]["c"].shape == (2, 1)
    assert kx.Evaluation.from_dict(d) == e
    assert kx.Evaluation.from_dict({"penalty": {"p": [1.0]}}) == kx.Evaluation(penalty={"p": [1.0]})
    raises_exactly(TypeError, "'NoneType' object cannot be converted to 'Sequence'",
                   lambda: kx.Evaluation.from_dict({"energy": None}))


def test_timing_dicts():
    m = sample_set().measuring_time
    assert m.to_dict() == {"solve": dict(SOLVING_NONE, solve=1.5), "system": dict(SYSTEM_NONE, request_queue=0.5),
                           "total": 2.0}
    assert list(m.to_dict()["system"]) == list(SYSTEM_NONE)
    assert kx.MeasuringTime.from_dict(m.to_dict()) == m
    assert kx.MeasuringTime.from_dict({}) == kx.MeasuringTime()
    assert kx.SolvingTime.from_dict({"solve": None, "postprocess": 2}) == kx.SolvingTime(postprocess=2.0)
    assert kx.SystemTime.from_dict({"fetch_result": 1}).to_dict() == dict(SYSTEM_NONE, fetch_result=1.0)


def test_sample_set_dict_shares_metadata():
    meta = {"k": [1]}
    s = sample_set(metadata=meta)
    d = s.to_dict()
    assert list(d) == ["record", "evaluation", "measuring_time", "metadata"] and d["metadata"] is meta
    back = kx.SampleSet.from_dict(d)
    assert back == s and back.metadata is meta
    del d["metadata"]
    assert kx.SampleSet.from_dict(d).metadata == {}


@pytest.mark.parametrize(
    "call, exc, message",
    [
        (lambda: kx.SampleSet.from_dict({}), ValueError, "the key 'record' is not included in the dict"),
        (lambda: kx.SampleSet.from_dict({"record": {}}), ValueError,
         "the key 'evaluation' is not included in the dict"),
        (lambda: kx.SampleSet.from_dict({"record": {}, "evaluation": {}}), ValueError,
         "the key 'measuring_time' is not included in the dict"),
        (lambda: kx.SampleSet.from_dict({"record": []}), TypeError, "the value of the key 'record' is not dict"),
        (lambda: kx.SampleSet.from_dict({"record": {}, "evaluation": 1}), TypeError,
         "the value of the key 'evaluation' is not dict"),
        (lambda: kx.SampleSet.from_dict({"record": {}, "evaluation": {}, "measuring_time": None}), TypeError,
         "the value of the key 'measuring_time' is not dict"),
        (lambda: kx.SampleSet.from_dict({"record": {}, "evaluation": {}, "measuring_time": {}, "metadata": None}),
         TypeError, "the value of the key 'metadata' is not dict"),
        (lambda: kx.MeasuringTime.from_dict({"solve": None}), ValueError, "the value of the key 'solve' is not dict"),
        (lambda: kx.MeasuringTime.from_dict({"system": 1}), ValueError, "the value of the key 'system' is not dict"),
        (lambda: kx.SolvingTime.from_dict({"solve": "1"}), TypeError, "must be real number, not str"),
        (lambda: kx.Record.from_dict({"solution": {"x": [1]}}), TypeError,
         "Failed to extract a solution. The solution must be a dict of str to a list of numpy.ndarray "
         "or Tuple[List[List[int]], List[int|float], Tuple[int,..]]."),
        (lambda: kx.Record.from_dict([]), TypeError, "argument 'dict': 'list' object cannot be converted to 'dict'"),
        (lambda: kx.SystemTime.from_dict(None), TypeError,
         "argument 'dict': 'NoneType' object cannot be converted to 'dict'"),
        (lambda: kx.Evaluation.from_json(b"{}"), TypeError,
         "argument 'json': 'bytes' object cannot be converted to 'str'"),
    ],
)
def test_dict_errors(call, exc, message):
    raises_exactly(exc, message, call)


# ---- own JSON ----


@pytest.mark.parametrize(
    "obj, text",
    [
        (kx.Record({"x": [DENSE]}, [1]), DENSE_JSON),
        (kx.Record({"x": [COO]}, [1]), SPARSE_JSON),
        (kx.Record({}, []), '{"solution":{"Sparse":{}},"num_occurrences":[]}'),
        (kx.Record({"s": [np.array(2.0), np.zeros((0, 2))]}, []),
         '{"solution":{"Dense":{"s":[{"v":1,"dim":[],"data":[2.0]},{"v":1,"dim":[0,2],"data":[]}]}},'
         '"num_occurrences":[]}'),
        (kx.Evaluation(energy=[1e-5, 9.5e-6, 1e16, 9999999999999998.0, -0.0, 123.25, 5e-324],
                       objective=[float("nan"), float("inf"), -float("inf"), 1.5e-7]),
         '{"energy":[0.00001,9.5e-6,1e16,9999999999999998.0,-0.0,123.25,5e-324],'
         '"objective":[null,null,null,1.5e-7],"constraint_violations":{},"constraint_forall":{},'
         '"constraint_values":[],"penalty":{}}'),
        (sample_set().evaluation,
         '{"energy":[1.0,2.0],"objective":[3.0,4.0],"constraint_violations":{"c":[0.0,1.0]},'
         '"constraint_forall":{"c":[[0],[1]]},"constraint_values":[{"c":[0.5]},{"c":[1.5]}],"penalty":{"p":[0.25,0.5]}}'),
        (kx.Evaluation(penalty={'q"\\/\b\f\n\r\t\x01\x1fé✓': [1.0]}),
         '{"energy":[],"objective":[],"constraint_violations":{},"constraint_forall":{},"constraint_values":[],'
         '"penalty":{"q\\"\\\\/\\b\\f\\n\\r\\t\\u0001\\u001fé✓":[1.0]}}'),
        (kx.SolvingTime(1, None, 0.5), '{"preprocess":1.0,"solve":null,"postprocess":0.5}'),
        (kx.SystemTime(deserialize_solution=2),
         '{"post_problem_and_instance_data":null,"request_queue":null,"fetch_problem_and_instance_data":null,'
         '"fetch_result":null,"deserialize_solution":2.0}'),
        (sample_set().measuring_time,
         '{"solve":{"preprocess":null,"solve":1.5,"postprocess":null},"system":{"post_problem_and_instance_data":null,'
         '"request_queue":0.5,"fetch_problem_and_instance_data":null,"fetch_result":null,"deserialize_solution":null},'
         '"total":2.0}'),
    ],
)
def test_own_json_text_and_read_back(obj, text):
    assert obj.to_json() == text
    if "[null" not in text:  # NaN and infinities are written as null and cannot come back
        back = type(obj).from_json(text)
        assert back == obj and back.to_json() == text


@pytest.mark.parametrize(
    "cls, text, expected",
    [
        (kx.Record, ' \n[{"Dense":{}} , [4]]\t', kx.Record({}, [4]).to_dense()),
        (kx.Record, '{"num_occurrences":[],"zzz":{"a":[1,{"b":null}]},"solution":{"Sparse":{"x":'
                    '[{"shape":[2],"non_zero_values":[1],"non_zero_indices":[[1]]}]}}}',
         kx.Record({"x": [([[1]], [1.0], [2])]}, [])),
        (kx.Record, '{"solution":{"Dense":{"x":[{"data":[1,2],"dim":[2],"v":1}]}},"num_occurrences":[]}',
         kx.Record({"x": [np.array([1.0, 2.0])]}, [])),
        (kx.Record, '{"solution":{"Sparse":{"\\u00e9\\ud83d\\ude00":[]}},"num_occurrences":[]}',
         kx.Record({"é😀": []}, [])),
        (kx.MeasuringTime, '{"solve":{},"system":{}}', kx.MeasuringTime()),
        (kx.MeasuringTime, '[[1, null, 2E0], {"request_queue": -1.5e-3}, null]',
         kx.MeasuringTime(kx.SolvingTime(1.0, None, 2.0), kx.SystemTime(request_queue=-0.0015))),
        (kx.SolvingTime, "{}", kx.SolvingTime()),
        (kx.Evaluation, '{"energy":[1e-400],"objective":[],"constraint_violations":{"c":[1],"c":[2]},'
                        '"constraint_forall":{},"constraint_values":[],"penalty":{}}',
         kx.Evaluation(energy=[0.0], constraint_violations={"c": [2.0]})),
    ],
)
def test_own_json_reader_accepts(cls, text, expected):
    assert cls.from_json(text) == expected


RECORD_HEAD = '{"solution":{"Sparse":{}},"num_occurrences":'
DENSE_HEAD = '{"solution":{"Dense":{"x":['


@pytest.mark.parametrize(
    "cls, text, message",
    [
        (kx.Record, "", "EOF while parsing a value at line 1 column 0"),
        (kx.Record, RECORD_HEAD + "[]} x", "trailing characters at line 1 column 49"),
        (kx.Record, RECORD_HEAD + "[1,]}", "trailing comma at line 1 column 48"),
        (kx.Record, RECORD_HEAD + "[1 2]}", "expected `,` or `]` at line 1 column 48"),
        (kx.Record, '{"solution":{"Sparse":{}} "num_occurrences":[]}', "expected `,` or `}` at line 1 column 27"),
        (kx.Record, '{\n"solution": {"Sparse": {}},\n  "num_occurrences": [1, 2 3]}',
         "expected `,` or `]` at line 3 column 28"),
        (kx.Record, RECORD_HEAD + "[", "EOF while parsing a value at line 1 column 45"),
        (kx.Record, RECORD_HEAD + "[,]}", "expected value at line 1 column 46"),
        (kx.Record, '{"solution":{"Sparse":{}}}', "missing field `num_occurrences` at line 1 column 26"),
        (kx.Record, RECORD_HEAD + '[],"solution":{}}', "duplicate field `solution` at line 1 column 58"),
        (kx.Record, '{"solution":{"Foo":{}},"num_occurrences":[]}',
         "unknown variant `Foo`, expected `Sparse` or `Dense` at line 1 column 19"),
        (kx.Record, '{"solution":{"Sparse":{},"Dense":{}},"num_occurrences":[]}',
         "expected exactly one of the keys `Sparse` and `Dense` at line 1 column 33"),
        (kx.Record, '{"solution":[],"num_occurrences":[]}',
         "invalid type: sequence, expected enum Solution at line 1 column 13"),
        (kx.Record, DENSE_HEAD + '{"v":2,"dim":[],"data":[1.0]}]}},"num_occurrences":[]}',
         "unknown array version: 2 at line 1 column 33"),
        (kx.Record, DENSE_HEAD + '{"v":1,"dim":[2,2],"data":[1.0,2.0,3.0]}]}},"num_occurrences":[]}',
         "data and dimension must match in size at line 1 column 67"),
        (kx.Record, DENSE_HEAD + '{"v":1,"dim":[],"data":[1.0],"w":1}]}},"num_occurrences":[]}',
         "unknown field `w`, expected one of `v`, `dim`, `data` at line 1 column 60"),
        (kx.Record, DENSE_HEAD + '{"v":1,"data":[1.0]}]}},"num_occurrences":[]}', "missing field `dim` at line 1 column 47"),
        (kx.Record, DENSE_HEAD + '{"v":1,"dim":[],"data":[null]}]}},"num_occurrences":[]}',
         "invalid type: null, expected f64 at line 1 column 55"),
        (kx.Record, DENSE_HEAD + '[1,[],[1.0]]]}},"num_occurrences":[]}',
         "invalid type: sequence, expected an array object with `v`, `dim` and `data` at line 1 column 28"),
        (kx.Record, '{"solution":{"Sparse":{"x":[[[[0]],[1.0]]]}},"num_occurrences":[]}',
         "invalid length 2, expected struct COOFormat with 3 elements at line 1 column 41"),
        (kx.Record, RECORD_HEAD + "[-1]}", "invalid value: integer `-1`, expected u64 at line 1 column 47"),
        (kx.Record, RECORD_HEAD + "[1.5]}", "invalid type: floating point `1.5`, expected u64 at line 1 column 48"),
        (kx.Record, RECORD_HEAD + "[18446744073709551616]}",
         "invalid value: integer `18446744073709551616`, expected u64 at line 1 column 65"),
        (kx.Record, RECORD_HEAD + '"abc"}', 'invalid type: string "abc", expected a sequence at line 1 column 49'),
        (kx.Record, "[{}]", "expected exactly one of the keys `Sparse` and `Dense` at line 1 column 3"),
        (kx.Record, '[{"Sparse":{}}]', "invalid length 1, expected struct PyRecord with 2 elements at line 1 column 15"),
        (kx.Record, "true", "invalid type: boolean `true`, expected struct PyRecord at line 1 column 4"),
        (kx.Record, '{"a":tru}', "expected ident at line 1 column 9"),
        (kx.Record, '{"a":"\\x"}', "invalid escape at line 1 column 8"),
        (kx.Record, '{"a":"\\ud800"}', "lone leading surrogate in hex escape at line 1 column 12"),
        (kx.Record, '{"a":"\x01"}', "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 7"),
        (kx.Record, '{"a" 1}', "expected `:` at line 1 column 6"),
        (kx.Record, "{1:2}", "key must be a string at line 1 column 2"),
        (kx.Record, '{"a":01}', "expected `,` or `}` at line 1 column 7"),
        (kx.Record, '{"a":-}', "invalid number at line 1 column 7"),
        (kx.Evaluation, '{"energy":[1e400]}', "number out of range at line 1 column 16"),
        (kx.Evaluation, "{}", "missing field `energy` at line 1 column 2"),
        (kx.Evaluation, '[[],[],{},{},[]]', "invalid length 5, expected struct PyEvaluation with 6 elements at line 1 column 16"),
        (kx.MeasuringTime, "{}", "missing field `solve` at line 1 column 2"),
        (kx.MeasuringTime, '{"solve":{},"system":{},"total":"1"}',
         'invalid type: string "1", expected f64 at line 1 column 35'),
        (kx.MeasuringTime, '{"solve":[1],"system":{}}',
         "invalid length 1, expected struct PySolvingTime with 3 elements at line 1 column 12"),
        (kx.SystemTime, "[1,2,3,4,5,6]",
         "invalid length 6, expected struct PySystemTime with 5 elements at line 1 column 12"),
        (kx.SolvingTime, "{} {}", "trailing characters at line 1 column 4"),
    ],
)
def test_own_json_reader_errors(cls, text, message):
    raises_exactly(ValueError, message, lambda: cls.from_json(text))


def test_nesting_limit():
    def nested(depth):
        # The record itself is one level; the skipped field adds the rest.
        return '{"skipped":' + "[" * (depth - 1) + "]" * (depth - 1) + ',"solution":{"Sparse":{}},"num_occurrences":[]}'

    assert kx.Record.from_json(nested(128)) == kx.Record({}, [])
    raises_exactly(ValueError, "recursion limit exceeded at line 1 column 139", lambda: kx.Record.from_json(nested(129)))
    raises_exactly(ValueError, "recursion limit exceeded at line 1 column 139",
                   lambda: kx.Record.from_json(nested(100_000)))


def test_nan_does_not_read_back():
    text = kx.Record({"x": [np.array([np.nan])]}, []).to_json()
    assert '"data":[null]' in text
    raises_exactly(ValueError, "invalid type: null, expected f64 at line 1 column 56", lambda: kx.Record.from_json(text))


# ---- SampleSet JSON through orjson ----


def test_sample_set_json_round_trip():
    meta = {"job": "a", "spans": {"r": {"parent_id": None}}, "n": [1, 2.5, None]}
    s = sample_set(metadata=meta)
    text = s.to_json()
    assert text.startswith('{"record":{"solution":{"x":[[[[0,1,1],[1,0,2]],[1.0,2.0,3.0],[2,3]],')
    assert text.endswith('"metadata":{"job":"a","spans":{"r":{"parent_id":null}},"n":[1,2.5,null]}}')
    assert kx.SampleSet.from_json(text) == s


def test_sample_set_json_of_dense_record_does_not_read_back():
    s = sample_set().to_dense()
    text = s.to_json()
    assert '"x":[[[0.0,1.0,0.0],[2.0,0.0,3.0]],[5.0,0.0,0.0]]' in text
    raises_exactly(TypeError, "Failed to extract a solution. The solution must be a dict of str to a list of "
                              "numpy.ndarray or Tuple[List[List[int]], List[int|float], Tuple[int,..]].",
                   lambda: kx.SampleSet.from_json(text))


def test_sample_set_json_errors_come_from_orjson():
    import orjson

    with pytest.raises(orjson.JSONEncodeError):
        sample_set(metadata={"bad": object()}).to_json()
    with pytest.raises(orjson.JSONDecodeError):
        kx.SampleSet.from_json("{")
    raises_exactly(TypeError, "'list' object cannot be converted to 'dict'", lambda: kx.SampleSet.from_json("[]"))
    nan = kx.SampleSet(kx.Record({}, []), kx.Evaluation(energy=[float("nan")]), kx.MeasuringTime())
    assert '"energy":[null]' in nan.to_json()


# ---- DataFrames ----


def test_record_to_pandas():
    frame = kx.Record({"y": [COO, COO], "x": [([[0]], [1.0], [1])] * 2}, [3, 4]).to_pandas()
    assert list(frame.columns) == ["solution[x]", "solution[y]", "num_occurrences"]
    assert frame["solution[y]"][1] == COO and list(frame["num_occurrences"]) == [3, 4]
    dense = kx.Record({"x": [DENSE]}, [1]).to_pandas()
    np.testing.assert_array_equal(dense["solution[x]"][0], DENSE)


def test_evaluation_to_pandas():
    frame = kx.Evaluation(energy=[1.0, 2.0], objective=[3.0, 4.0], constraint_violations={"c": [0.0, 1.0]}).to_pandas()
    assert list(frame.columns) == ["energy", "objective", "constraint_forall", "constraint_values",
                                   "constraint_violation[c]"]
    assert list(frame["constraint_forall"]) == [None, None] and list(frame["constraint_values"]) == [None, None]
    full = sample_set().evaluation.to_pandas()
    assert list(full.columns) == ["energy", "objective", "constraint_forall", "constraint_values",
                                  "constraint_violation[c]", "penalty[p]"]
    assert full["constraint_forall"][1] == {"c": [[0], [1]]}
    assert full["constraint_values"][1] == {"c": [1.5]}


def test_sample_set_to_pandas():
    frame = sample_set().to_pandas()
    assert list(frame.columns) == ["solution[x]", "num_occurrences", "energy", "objective", "constraint_forall",
                                   "constraint_values", "constraint_violation[c]", "penalty[p]"]
    assert list(frame["penalty[p]"]) == [0.25, 0.5]
    with pytest.raises(ValueError):  # pandas refuses columns of different lengths
        kx.Evaluation(energy=[1.0], objective=[1.0, 2.0]).to_pandas()


# ---- round trips over random values ----

names = st.text(st.characters(codec="utf-8"), max_size=6)
finite = st.floats(allow_nan=False, allow_infinity=False)
u64 = st.integers(0, 2**64 - 1)
small_lists = lambda item: st.lists(item, max_size=4)  # noqa: E731


@st.composite
def coo_samples(draw):
    axes = draw(st.integers(0, 3))
    k = draw(st.integers(0, 3))
    return (tuple(draw(st.lists(u64, min_size=k, max_size=k)) for _ in range(axes)),
            draw(st.lists(finite, min_size=k, max_size=k)), tuple(draw(small_lists(u64))))


@st.composite
def dense_samples(draw):
    shape = tuple(draw(st.lists(st.integers(0, 3), max_size=3)))
    size = int(np.prod(shape)) if shape else 1
    return np.array(draw(st.lists(finite, min_size=size, max_size=size)), dtype=np.float64).reshape(shape)


records = st.one_of(
    st.builds(kx.Record, st.dictionaries(names, small_lists(coo_samples()), max_size=3), small_lists(u64)),
    st.builds(kx.Record, st.dictionaries(names, st.lists(dense_samples(), min_size=1, max_size=3), max_size=3),
              small_lists(u64)),
)
float_maps = st.dictionaries(names, small_lists(finite), max_size=3)
evaluations = st.builds(
    kx.Evaluation, small_lists(finite), small_lists(finite), float_maps,
    st.dictionaries(names, small_lists(small_lists(u64)), max_size=3), small_lists(float_maps), float_maps)
times = st.one_of(st.none(), finite)
measuring_times = st.builds(kx.MeasuringTime, st.builds(kx.SolvingTime, times, times, times),
                            st.builds(kx.SystemTime, times, times, times, times, times), times)


@settings(max_examples=150, deadline=None)
@given(st.one_of(records, evaluations, measuring_times))
def test_own_json_round_trip(obj):
    assert type(obj).from_json(obj.to_json()) == obj


@settings(max_examples=150, deadline=None)
@given(st.one_of(records, measuring_times))
def test_dict_round_trip(obj):
    assert type(obj).from_dict(obj.to_dict()) == obj


@settings(max_examples=60, deadline=None)
@given(st.lists(st.lists(st.integers(0, 5), min_size=2, max_size=2), max_size=4), small_lists(float_maps))
def test_evaluation_dict_round_trip(forall, values):
    e = kx.Evaluation([1.0], [2.0], {"c": [0.0]}, {"c": forall}, values, {"p": [1.0]})
    assert kx.Evaluation.from_dict(e.to_dict()) == e


@settings(max_examples=500, deadline=None)
@given(st.one_of(finite, st.integers(-2**60, 2**60).map(float), st.floats(-1e-3, 1e-3)))
def test_number_forms_hold_the_shortest_round_trip_digits(x):
    from decimal import Decimal

    json_number = kx.Evaluation(energy=[x]).to_json()[len('{"energy":['):].split("]")[0]
    debug = repr(kx.Evaluation(energy=[x]))[len("Evaluation(energy=["):].split("]")[0]
    plain = repr(kx.SolvingTime(x))[len("SolvingTime(preprocess="):].split(",")[0]
    for text in (json_number, debug, plain):
        assert Decimal(text) == Decimal(repr(x))  # Python's repr is the shortest round trip too
        assert math.copysign(1.0, float(text)) == math.copysign(1.0, x)
    assert "e" not in plain and "+" not in json_number + debug
    magnitude = abs(x)
    assert ("e" in json_number) == (magnitude != 0 and not 1e-5 <= magnitude < 1e16)
    assert ("e" in debug) == (magnitude != 0 and not 1e-4 <= magnitude < 1e16)
    if "e" not in debug:
        assert "." in debug and "." in json_number
