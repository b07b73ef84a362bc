#include "korvex/python/sample_set/convert.hpp"

#include <algorithm>
#include <new>

#include "korvex/python/host/numpy.hpp"

namespace korvex::py::sample_set_binding {

Error cannot_convert(PyObject* object, const char* class_name) {
  return type_error(std::string("'") + short_type_name(Py_TYPE(object)) +
                    "' object cannot be converted to '" + class_name + "'");
}

Result<std::string> to_string(PyObject* object) {
  if (!PyUnicode_Check(object)) return cannot_convert(object, "str");
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(object, &size);
  if (data == nullptr) return python_error();
  return std::string(data, static_cast<size_t>(size));
}

Result<PyObject*> to_dict(PyObject* object) {
  if (!PyDict_Check(object)) return cannot_convert(object, "dict");
  return object;
}

Result<double> to_float(PyObject* object) {
  double value = PyFloat_AsDouble(object);
  if (value == -1.0 && PyErr_Occurred()) return python_error();
  return value;
}

Result<uint64_t> to_integer(PyObject* object) {
  Ref index = Ref::steal(PyNumber_Index(object));
  if (!index) return python_error();
  unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return python_error();
  return static_cast<uint64_t>(value);
}

Result<Time> to_time(PyObject* object) {
  if (object == nullptr || object == Py_None) return Time{};
  KX_TRY_ASSIGN(value, to_float(object));
  return Time{value};
}

Result<std::vector<double>> to_floats(PyObject* object) {
  std::vector<double> out;
  // A one-dimensional float64 array is copied in one go rather than element by element; without
  // NumPy nothing is an array, and the sequence protocol reads the rest.
  if (!PyList_Check(object) && !PyTuple_Check(object) && !PyUnicode_Check(object)) {
    auto is_array = numpy::is_float64_array(object);
    if (is_array && *is_array && PyArray_NDIM(reinterpret_cast<PyArrayObject*>(object)) == 1) {
      std::vector<uint64_t> shape;
      numpy::read_float64(object, shape, out);
      return out;
    }
  }
  if (PyList_Check(object)) out.reserve(static_cast<size_t>(PyList_GET_SIZE(object)));
  KX_TRY(for_each_item(object, [&](PyObject* item) -> Result<void> {
    KX_TRY_ASSIGN(value, to_float(item));
    out.push_back(value);
    return {};
  }));
  return out;
}

Result<std::vector<uint64_t>> to_integers(PyObject* object) {
  std::vector<uint64_t> out;
  KX_TRY(for_each_item(object, [&](PyObject* item) -> Result<void> {
    KX_TRY_ASSIGN(value, to_integer(item));
    out.push_back(value);
    return {};
  }));
  return out;
}

Result<FloatMap> to_float_map(PyObject* object) {
  KX_TRY_ASSIGN(dict, to_dict(object));
  Ref items = Ref::steal(PyDict_Items(dict));
  if (!items) return python_error();
  FloatMap out;
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
    PyObject* pair = PyList_GET_ITEM(items.get(), i);
    KX_TRY_ASSIGN(name, to_string(PyTuple_GET_ITEM(pair, 0)));
    KX_TRY_ASSIGN(values, to_floats(PyTuple_GET_ITEM(pair, 1)));
    out.insert_or_assign(std::move(name), std::move(values));
  }
  return out;
}

Result<ForallMap> to_forall_map(PyObject* object) {
  KX_TRY_ASSIGN(dict, to_dict(object));
  Ref items = Ref::steal(PyDict_Items(dict));
  if (!items) return python_error();
  ForallMap out;
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
    PyObject* pair = PyList_GET_ITEM(items.get(), i);
    KX_TRY_ASSIGN(name, to_string(PyTuple_GET_ITEM(pair, 0)));
    IndexTuples tuples;
    KX_TRY(for_each_item(PyTuple_GET_ITEM(pair, 1), [&](PyObject* tuple) -> Result<void> {
      KX_TRY_ASSIGN(indices, to_integers(tuple));
      tuples.push_back(std::move(indices));
      return {};
    }));
    out.insert_or_assign(std::move(name), std::move(tuples));
  }
  return out;
}

Result<Ref> from_string(const std::string& text) {
  Ref out = Ref::steal(
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape"));
  if (!out) return python_error();
  return out;
}

namespace {

// A JsonOutput backed by a new ASCII str: the text is written in place and the str shrunk to it.
class StrOutput final : public JsonOutput {
 public:
  Ref text;
  char* resize(size_t, size_t capacity) override {
    if (!text) {
      text = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(capacity), 127));
    } else {
      PyObject* grown = text.release();
      // A fresh str owned only here is resized in place (or moved, keeping its contents).
      int failed = PyUnicode_Resize(&grown, static_cast<Py_ssize_t>(capacity));
      text = Ref::steal(grown);
      if (failed < 0) text = Ref();
    }
    if (!text) {
      PyErr_Clear();
      throw std::bad_alloc();
    }
    return static_cast<char*>(PyUnicode_DATA(text.get()));
  }
};

}  // namespace

bool is_ascii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

Result<Ref> json_str(bool ascii, const std::function<size_t(JsonOutput&)>& write) {
  if (!ascii) {
    StringOutput output;
    output.text.resize(write(output));
    return from_string(output.text);
  }
  StrOutput output;
  size_t length = write(output);
  PyObject* text = output.text.release();
  if (PyUnicode_Resize(&text, static_cast<Py_ssize_t>(length)) < 0) {
    Py_XDECREF(text);
    return python_error();
  }
  return Ref::steal(text);
}

Result<Ref> from_time(const Time& time) {
  if (!time) return Ref::borrow(Py_None);
  Ref out = Ref::steal(PyFloat_FromDouble(*time));
  if (!out) return python_error();
  return out;
}

Result<Ref> integer_list(const std::vector<uint64_t>& values) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
  if (!list) return python_error();
  for (size_t i = 0; i < values.size(); ++i) {
    PyObject* item = PyLong_FromUnsignedLongLong(values[i]);
    if (item == nullptr) return python_error();
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list;
}

Result<Ref> float_list(const std::vector<double>& values) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
  if (!list) return python_error();
  for (size_t i = 0; i < values.size(); ++i) {
    PyObject* item = PyFloat_FromDouble(values[i]);
    if (item == nullptr) return python_error();
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list;
}

Result<void> set_item(PyObject* dict, const std::string& key, Result<Ref> value) {
  if (!value) return std::move(value).error();
  Ref name = Ref::steal(
      PyUnicode_DecodeUTF8(key.data(), static_cast<Py_ssize_t>(key.size()), "surrogateescape"));
  if (!name) return python_error();
  if (PyDict_SetItem(dict, name.get(), value->get()) < 0) return python_error();
  return {};
}

Result<void> set_item(PyObject* dict, const char* key, Result<Ref> value) {
  return set_item(dict, std::string(key), std::move(value));
}

Result<Ref> float_array_map(const FloatMap& map) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  for (const auto& [name, values] : map) {
    KX_TRY(set_item(dict.get(), name, numpy::new_float64_vector(values)));
  }
  return dict;
}

Result<Ref> forall_array_map(const ForallMap& map) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  for (const auto& [name, tuples] : map) {
    auto matrix = forall_matrix(tuples);
    if (!matrix) return std::move(matrix).error();
    KX_TRY(set_item(dict.get(), name,
                    numpy::new_uint64_matrix(matrix->rows, matrix->columns, matrix->data.data())));
  }
  return dict;
}

Result<Ref> dict_get(PyObject* dict, const char* key) {
  Ref name = Ref::steal(PyUnicode_FromString(key));
  if (!name) return python_error();
  Ref value = Ref::borrow(PyDict_GetItemWithError(dict, name.get()));
  if (!value && PyErr_Occurred()) return python_error();
  return value;
}

Result<Ref> data_frame(PyObject* columns) {
  Ref pandas = Ref::steal(PyImport_ImportModule("pandas"));
  if (!pandas) return python_error();
  Ref frame = Ref::steal(PyObject_CallMethod(pandas.get(), "DataFrame", "O", columns));
  if (!frame) return python_error();
  return frame;
}

Result<Ref> compare(bool equal, int op, const char* class_name) {
  const char* symbol = nullptr;
  switch (op) {
    case Py_EQ:
      return Ref::borrow(equal ? Py_True : Py_False);
    case Py_NE:
      return Ref::borrow(equal ? Py_False : Py_True);
    case Py_LT:
      symbol = "<";
      break;
    case Py_LE:
      symbol = "<=";
      break;
    case Py_GT:
      symbol = ">";
      break;
    default:
      symbol = ">=";
      break;
  }
  return type_error(std::string("Comparison '") + symbol + "' not supported for " + class_name);
}

namespace {

// orjson for the sample set's JSON, and the timing-span functions of
// get_backend_calculation_time; compiled once and kept for the life of the process.
constexpr const char* kHelperSource = R"PY(
import datetime


def timedelta(start, end):
    fmt = "%Y-%m-%dT%H:%M:%S.%fZ"
    return (datetime.datetime.strptime(end, fmt)
            - datetime.datetime.strptime(start, fmt)).total_seconds()


def get_timedelta_by_span(obj, res):
    res = {}
    for k, v in obj.items():
        if isinstance(v, dict):
            if "start_time" in v:
                res[k] = {
                    "time": timedelta(v["start_time"], v["end_time"]),
                    "span_id": v["context"]["span_id"],
                    "parent_id": v["parent_id"],
                }
            else:
                res[k] = get_timedelta_by_span(v, {})
    return res


def aggregate(obj, root_key, res):
    if res is None:
        if root_key not in obj:
            return {}
        root = obj.pop(root_key)
        res = {root_key: {"id": root["span_id"], "time": root["time"]}}
    for e in res.values():
        children = {
            k: {"id": v["span_id"], "time": v["time"]}
            for k, v in obj.items()
            if v.get("parent_id", "") == e["id"]
        }
        if children:
            del e["id"]
            del e["time"]
            e.update(aggregate(obj, root_key, children))
        else:
            del e["id"]
    return res


def reformat(obj):
    for k, v in obj.items():
        if isinstance(v, dict):
            obj[k] = v["time"] if "time" in v else reformat(v)
    return obj


def backend_times(metadata, roots):
    result = {}
    for root in roots:
        spans = get_timedelta_by_span(metadata, {})
        result.update(reformat(aggregate(spans, root, None)))
    return result


def _default(obj):
    import numpy
    if isinstance(obj, numpy.ndarray):
        return obj.tolist()
    return obj


def dump(obj):
    import orjson
    return orjson.dumps(obj, default=_default, option=orjson.OPT_SERIALIZE_NUMPY).decode("utf-8")


def load(text):
    import orjson
    return orjson.loads(text)
)PY";

}  // namespace

Result<PyObject*> helper_function(const char* name) {
  static PyObject* globals = nullptr;  // lives until the process ends
  if (globals == nullptr) {
    Ref code = Ref::steal(Py_CompileString(kHelperSource, "<korvex sample sets>", Py_file_input));
    if (!code) return python_error();
    Ref dict = Ref::steal(PyDict_New());
    if (!dict) return python_error();
    if (PyDict_SetItemString(dict.get(), "__builtins__", PyEval_GetBuiltins()) < 0) {
      return python_error();
    }
    Ref done = Ref::steal(PyEval_EvalCode(code.get(), dict.get(), dict.get()));
    if (!done) return python_error();
    globals = dict.release();
  }
  PyObject* function = PyDict_GetItemString(globals, name);
  if (function == nullptr) return fail(ErrorKind::Runtime, std::string("no helper ") + name);
  return function;
}

}  // namespace korvex::py::sample_set_binding
