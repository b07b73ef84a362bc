"""Odd inputs at the sample-set classes: user code that mutates what is being read, sizes that
do not fit, and arrays NumPy accepts but a record cannot hold."""
import json

import numpy as np
import pytest

import korvex as kx
from conftest import raises_exactly

SOLUTION_ERROR = (
    "argument 'solution': Failed to extract a solution. The solution must be a dict of str to a "
    "list of numpy.ndarray or Tuple[List[List[int]], List[int|float], Tuple[int,..]].")


def emptying(holder, protocol, value):
    """An object whose __index__ or __float__ empties `holder` and then reuses the memory the
    freed containers leave behind, so reading on through a stale reference finds strings."""

    class Emptying:
        def __index__(self):
            return self.fire(int(value))

        def __float__(self):
            return self.fire(float(value))

        def fire(self, result):
            holder.clear()
            Emptying.junk = [["x"] * 8 for _ in range(64)] + [{"x": "x"} for _ in range(64)]
            return result

    if protocol == "float":
        del Emptying.__index__
    return Emptying()


def read_record(d):
    d["num_occurrences"] = [emptying(d, "index", 1), 2, 3]
    return kx.Record.from_dict(d).num_occurrences


def read_evaluation(d):
    d["energy"] = [emptying(d, "float", 1.0), 2.0, 3.0]
    d["objective"] = [4.0]
    return kx.Evaluation.from_dict(d).to_json()


def read_measuring_time(d):
    d["solve"] = {"preprocess": 1.0, "solve": emptying(d, "float", 2.0), "postprocess": 3.0}
    d["total"] = 4.0
    return kx.MeasuringTime.from_dict(d).to_json()


def read_sample_set(d):
    d["record"] = {"num_occurrences": [emptying(d, "index", 1), 2, 3]}
    d["evaluation"] = {}
    d["measuring_time"] = {}
    return kx.SampleSet.from_dict(d)


@pytest.mark.parametrize(
    "read, expected",
    [
        (read_record, [1, 2, 3]),
        # Every key is looked up when its turn comes: those after the emptying read as absent.
        (read_evaluation, '{"energy":[1.0,2.0,3.0],"objective":[],"constraint_violations":{},'
                          '"constraint_forall":{},"constraint_values":[],"penalty":{}}'),
        (read_measuring_time, '{"solve":{"preprocess":1.0,"solve":2.0,"postprocess":3.0},'
                              '"system":{"post_problem_and_instance_data":null,"request_queue":null,'
                              '"fetch_problem_and_instance_data":null,"fetch_result":null,'
                              '"deserialize_solution":null},"total":null}'),
        (read_sample_set, ValueError("the key 'evaluation' is not included in the dict")),
    ],
)
def test_from_dict_keeps_what_it_reads_alive_while_user_code_empties_the_dict(read, expected):
    if isinstance(expected, Exception):
        raises_exactly(type(expected), str(expected), lambda: read({}))
    else:
        assert read({}) == expected


class Meta(dict):
    """A dict subclass: freed at once when dropped (exact dicts go to a free list)."""


def test_metadata_replaced_from_inside_its_failing_str(monkeypatch):
    class Other(dict):
        pass

    class Replacing:
        def __repr__(self):
            holder.metadata = {}
            raise RuntimeError("no text")

    def hook(report):
        # Allocations of the replaced dict's size reuse its memory if it was freed.
        junk.extend(Other() for _ in range(20))
        reported.append((type(report.object).__name__, str(report.exc_value)))

    junk, reported = [], []
    monkeypatch.setattr("sys.unraisablehook", hook)
    original = Meta(k=Replacing())
    holder = kx.SampleSet(kx.Record({}, []), kx.Evaluation(), kx.MeasuringTime(), original)
    del original
    assert repr(holder).endswith(", metadata=<unprintable Meta object>)")
    assert reported == [("Meta", "no text")]


def test_metadata_replaced_from_inside_its_own_eq():
    # The replaced dicts' memory is reused at once by dicts of other content.
    junk = []

    class Replacing:
        def __eq__(self, other):
            left.metadata = {}
            right.metadata = {}
            junk.extend(Meta({f"z{j}": object() for j in range(5)}) for _ in range(20))
            return True

        __hash__ = object.__hash__

    empty = (kx.Record({}, []), kx.Evaluation(), kx.MeasuringTime())
    left = kx.SampleSet(*empty, Meta(k=Replacing(), l=1, m=2))
    right = kx.SampleSet(*empty, Meta(k=Replacing(), l=1, m=2))
    assert left == right
    assert left.metadata == {} and right.metadata == {}


def test_backend_time_with_metadata_replaced_during_the_root_span_lookup():
    # A key of the span that collides with "parent_id" runs __eq__ while the roots are sought.
    class Colliding:
        def __hash__(self):
            return hash("parent_id")

        def __eq__(self, other):
            if junk is not None:
                holder.metadata = {}
                junk.extend(Meta(z=object()) for _ in range(20))
            return False

    junk = None  # armed once the sample set exists
    span = {Colliding(): 0, "parent_id": None, "start_time": "2024-01-01T00:00:00.000000Z",
            "end_time": "2024-01-01T00:00:01.500000Z", "context": {"span_id": "s"}}
    holder = kx.SampleSet(kx.Record({}, []), kx.Evaluation(), kx.MeasuringTime(), Meta(r=span))
    junk = []
    assert holder.get_backend_calculation_time() == {"r": 1.5}
    assert holder.metadata == {}


@pytest.mark.parametrize(
    "dim, data, column",
    [
        ("[18446744073709551615,0]", "[]", 75),
        ("[9223372036854775808,0]", "[]", 74),
        ("[0,4294967296,4294967296]", "[]", 76),
        ("[3,0,2]", "[1.0]", 61),
    ],
)
def test_dense_json_axes_beyond_a_signed_size_do_not_read(dim, data, column):
    # An empty array whose axis cannot be given to NumPy would make the record unreadable.
    text = '{"solution":{"Dense":{"x":[{"v":1,"dim":' + dim + ',"data":' + data + '}]}},"num_occurrences":[1]}'
    raises_exactly(ValueError, f"data and dimension must match in size at line 1 column {column}",
                   lambda: kx.Record.from_json(text))


def test_dense_json_empty_array_with_an_empty_axis_reads():
    text = '{"solution":{"Dense":{"x":[{"v":1,"dim":[3,0,2],"data":[]}]}},"num_occurrences":[1]}'
    record = kx.Record.from_json(text)
    assert record.solution["x"][0].shape == (3, 0, 2)
    assert record.to_json() == text


def test_dense_arrays_hold_at_most_32_axes():
    ok = np.arange(2.0).reshape((2,) + (1,) * 31)
    record = kx.Record({"x": [ok]}, [1])
    assert kx.Record.from_json(record.to_json()) == record
    if np.lib.NumpyVersion(np.__version__) < "2.0.0":
        pytest.skip("NumPy 1.x has no arrays of more than 32 axes")
    raises_exactly(TypeError, SOLUTION_ERROR, lambda: kx.Record({"x": [np.zeros((1,) * 33)]}, [1]))


def test_forall_rows_are_checked_before_the_matrix_is_reserved():
    # rows x first-row length would be 10^12 indices; the short second row is the error.
    first = list(range(10**6))
    e = kx.Evaluation(constraint_forall={"c": [first] + [[]] * (10**6 - 1)})
    raises_exactly(TypeError, "invalid length: 0, but expected 1000000", lambda: e.constraint_forall)
    raises_exactly(TypeError, "invalid length: 0, but expected 1000000", e.to_dict)


class Overstating:
    """A sequence whose __len__ is wrong or broken; iteration is what holds its elements."""

    def __init__(self, values, length):
        self.values, self.length = values, length

    def __len__(self):
        if self.length is None:
            raise RuntimeError("no length")
        return self.length

    def __getitem__(self, i):
        return self.values[i]


@pytest.mark.parametrize("length", [10**18, 5, None])
def test_sequences_are_read_by_iteration(length):
    assert kx.Evaluation(energy=Overstating([1.0, 2.0], length)).energy.tolist() == [1.0, 2.0]
    assert kx.Record({}, Overstating([4, 5], length)).num_occurrences == [4, 5]
    coo = (Overstating([[0, 1]], length), Overstating([1.0, 2.0], length), (2,))
    assert kx.Record({"x": [coo]}, []).to_dense().solution["x"][0].tolist() == [1.0, 2.0]


@pytest.mark.parametrize(
    "value, text",
    [
        (0.5, "0.5"),
        (0.00001, "0.00001"),
        (0.000123, "0.000123"),
        (0.30000000000000004, "0.30000000000000004"),
        (1 / 3, "0.3333333333333333"),
        (-0.1, "-0.1"),
        (12345678.0, "12345678.0"),
        (123.0, "123.0"),
        (1e15, "1000000000000000.0"),
        (9999999999999998.0, "9999999999999998.0"),
        (1234567890123456.8, "1234567890123456.8"),
        (1.2345678901234567, "1.2345678901234567"),
        (-98765.4321, "-98765.4321"),
        (123456789.125, "123456789.125"),
        (2.5e-5, "0.000025"),
        (9.5e-6, "9.5e-6"),
        (-2.2250738585072014e-308, "-2.2250738585072014e-308"),
        (1.7976931348623157e308, "1.7976931348623157e308"),
    ],
)
def test_json_numbers_in_every_layout(value, text):
    # Digits before, around and after the point, zeros filled in on either side, exponents.
    assert kx.Evaluation(energy=[value, value]).to_json().startswith(f'{{"energy":[{text},{text}],')
    record = kx.Record({"x": [np.array([value])]}, [])
    assert record.to_json() == f'{{"solution":{{"Dense":{{"x":[{{"v":1,"dim":[1],"data":[{text}]}}]}}}},"num_occurrences":[]}}'


NAMES_AND_VALUES = [
    ("x", -1.2345678901234567e-300),  # 24 bytes a number: more than the first estimate
    ("\x01" * 300, 0.5),  # every byte of the name escaped
    ("é✓" * 10, -1.2345678901234567e-300),  # non-ASCII names take the other route to a str
]


@pytest.mark.parametrize("name, value", NAMES_AND_VALUES)
def test_record_json_longer_than_estimated(name, value):
    count = 5000
    record = kx.Record({name: [np.full(count, value)]}, [1])
    head = '{"solution":{"Dense":{' + json.dumps(name, ensure_ascii=False) + ':[{"v":1,"dim":[5000],"data":['
    text = record.to_json()
    assert text == head + ",".join([repr(value)] * count) + ']}]}},"num_occurrences":[1]}'
    assert kx.Record.from_json(text) == record


@pytest.mark.parametrize("name, value", NAMES_AND_VALUES)
def test_evaluation_json_longer_than_estimated(name, value):
    numbers = "[" + ",".join([repr(value)] * 5000) + "]"
    quoted = json.dumps(name, ensure_ascii=False)
    evaluation = kx.Evaluation(energy=[value] * 5000, constraint_forall={name: [[1, 2]]},
                               constraint_values=[{name: [value] * 5000}])
    text = evaluation.to_json()
    assert text == (f'{{"energy":{numbers},"objective":[],"constraint_violations":{{}},'
                    f'"constraint_forall":{{{quoted}:[[1,2]]}},"constraint_values":[{{{quoted}:{numbers}}}],'
                    f'"penalty":{{}}}}')
    assert kx.Evaluation.from_json(text) == evaluation


@pytest.mark.parametrize("text", ["\ud800", '{"record": "\udfff"}'])
def test_sample_set_from_json_leaves_text_orjson_refuses_to_orjson(text):
    orjson = pytest.importorskip("orjson")
    with pytest.raises(orjson.JSONDecodeError) as expected:
        orjson.loads(text)
    raises_exactly(orjson.JSONDecodeError, str(expected.value), lambda: kx.SampleSet.from_json(text))
    raises_exactly(TypeError, "argument 'json': 'bytes' object cannot be converted to 'str'",
                   lambda: kx.SampleSet.from_json(text.encode("utf-8", "surrogatepass")))


class Verdict(dict):
    """Metadata whose == answers as told, even when compared with itself."""

    verdict = True

    def __eq__(self, other):
        if isinstance(self.verdict, Exception):
            raise self.verdict
        return self.verdict

    __hash__ = None


@pytest.mark.parametrize(
    "verdict, equal",
    [
        (True, True),
        (False, False),
        (0, False),
        ([1], True),
        (np.array([1, 1]), ValueError("The truth value of an array with more than one element is ambiguous. "
                                      "Use a.any() or a.all()")),
        (LookupError("no verdict"), LookupError("no verdict")),
    ],
)
def test_sample_set_eq_asks_the_metadata_even_when_shared(verdict, equal):
    metadata = Verdict()
    metadata.verdict = verdict
    a = kx.SampleSet(kx.Record({}, []), kx.Evaluation(), kx.MeasuringTime(), metadata)
    b = a.feasible()
    assert b.metadata is a.metadata
    if isinstance(equal, Exception):
        raises_exactly(type(equal), str(equal), lambda: a == b)
        raises_exactly(type(equal), str(equal), lambda: a != b)
    else:
        assert (a == b) is equal and (a != b) is (not equal)


def test_sample_set_text_shows_metadata_text_utf8_cannot_hold(monkeypatch):
    class Surrogate:
        def __repr__(self):
            return "\ud800"

    reported = []
    monkeypatch.setattr("sys.unraisablehook", reported.append)
    s = kx.SampleSet(kx.Record({}, []), kx.Evaluation(), kx.MeasuringTime(), {"k": Surrogate()})
    assert repr(s).endswith(", total=None), metadata={'k': \ud800})")
    assert str(s) == repr(s) and reported == []


class Watched(np.ndarray):
    """A float64 array that notes every time it is iterated element by element."""

    iterations = []

    def __iter__(self):
        Watched.iterations.append(self.shape)
        return super().__iter__()


def test_dense_arrays_are_not_iterated_while_the_sparse_form_is_tried():
    Watched.iterations.clear()
    big = np.arange(100000.0).view(Watched)
    three = np.arange(3.0).view(Watched)  # three items, but floats: not a sparse sample
    record = kx.Record({"x": [big]}, [1])
    assert record.is_dense() and Watched.iterations == []
    assert record.solution["x"][0].tolist()[-1] == 99999.0
    # Three items may be a sparse sample: only then is the sequence taken apart.
    assert kx.Record({"x": [three]}, [1]).is_dense() and Watched.iterations == [(3,)]
