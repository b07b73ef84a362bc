// Record: the samples of a solve, dense (NumPy arrays) or sparse (coordinate lists).
#include <algorithm>
#include <optional>

#include "korvex/core/sample_set/json.hpp"
#include "korvex/python/host/numpy.hpp"
#include "korvex/python/sample_set/classes.hpp"
#include "korvex/python/sample_set/forms.hpp"

namespace korvex::py::sample_set_binding {
namespace {

constexpr const char* kSolutionError =
    "Failed to extract a solution. The solution must be a dict of str to a list of numpy.ndarray "
    "or Tuple[List[List[int]], List[int|float], Tuple[int,..]].";

// Reads one sparse sample: a 3-tuple, or any sequence of three lists (as JSON readers give).
Result<CooFormat> coo_from_python(PyObject* object) {
  PyObject* parts[3];
  Ref holder;
  if (PyTuple_Check(object) && PyTuple_GET_SIZE(object) == 3) {
    for (int i = 0; i < 3; ++i) parts[i] = PyTuple_GET_ITEM(object, i);
  } else {
    if (PyUnicode_Check(object) || !PySequence_Check(object)) return type_error("not a sample");
    // The length first: a dense sample (a NumPy array of millions of floats) is tried here too,
    // and turning it into a tuple would make one Python float per element only to refuse it.
    Py_ssize_t length = PySequence_Size(object);
    if (length < 0) {
      PyErr_Clear();  // no usable __len__: the tuple below tells
    } else if (length != 3) {
      return type_error("not a sample");
    }
    holder = Ref::steal(PySequence_Tuple(object));
    if (!holder) return python_error();
    if (PyTuple_GET_SIZE(holder.get()) != 3) return type_error("not a sample");
    for (int i = 0; i < 3; ++i) {
      parts[i] = PyTuple_GET_ITEM(holder.get(), i);
      if (!PyList_Check(parts[i])) return type_error("not a sample");
    }
  }
  CooFormat coo;
  KX_TRY(for_each_item(parts[0], [&](PyObject* axis) -> Result<void> {
    KX_TRY_ASSIGN(indices, to_integers(axis));
    coo.non_zero_indices.push_back(std::move(indices));
    return {};
  }));
  KX_TRY_ASSIGN(values, to_floats(parts[1]));
  coo.non_zero_values = std::move(values);
  KX_TRY_ASSIGN(shape, to_integers(parts[2]));
  coo.shape = std::move(shape);
  return coo;
}

// Reads every item of the dict with `sample`; nullopt (error cleared) when one does not read.
template <class T, class F>
Result<std::optional<std::map<std::string, std::vector<T>>>> try_form(PyObject* items, F&& sample) {
  using Map = std::map<std::string, std::vector<T>>;
  Map out;
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items); ++i) {
    PyObject* pair = PyList_GET_ITEM(items, i);
    auto name = to_string(PyTuple_GET_ITEM(pair, 0));
    if (!name) {
      PyErr_Clear();
      return std::optional<Map>();
    }
    std::vector<T> samples;
    auto read = for_each_item(PyTuple_GET_ITEM(pair, 1), [&](PyObject* element) -> Result<void> {
      KX_TRY_ASSIGN(value, sample(element));
      samples.push_back(std::move(value));
      return {};
    });
    if (!read) {
      // Without NumPy the dense form cannot be told apart; say so rather than blame the input.
      if (read.error().kind == ErrorKind::Import) return std::move(read).error();
      PyErr_Clear();
      return std::optional<Map>();
    }
    out.insert_or_assign(std::move(*name), std::move(samples));
  }
  return std::optional<Map>(std::move(out));
}

Result<NdArray> dense_from_python(PyObject* object) {
  KX_TRY_ASSIGN(is_array, numpy::is_float64_array(object));
  if (!is_array) return type_error("not a float64 array");
  // NumPy 2 allows more axes than a record holds; such an array would not read back from JSON.
  if (PyArray_NDIM(reinterpret_cast<PyArrayObject*>(object)) > static_cast<int>(kMaxAxes)) {
    return type_error("too many axes");
  }
  NdArray array;
  numpy::read_float64(object, array.shape, array.data);
  return array;
}

Result<Ref> coo_to_python(const CooFormat& coo) {
  Ref indices = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(coo.non_zero_indices.size())));
  if (!indices) return python_error();
  for (size_t a = 0; a < coo.non_zero_indices.size(); ++a) {
    KX_TRY_ASSIGN(list, integer_list(coo.non_zero_indices[a]));
    PyTuple_SET_ITEM(indices.get(), static_cast<Py_ssize_t>(a), list.release());
  }
  KX_TRY_ASSIGN(values, float_list(coo.non_zero_values));
  KX_TRY_ASSIGN(shape_list, integer_list(coo.shape));
  Ref shape = Ref::steal(PyList_AsTuple(shape_list.get()));
  if (!shape) return python_error();
  Ref out = Ref::steal(PyTuple_Pack(3, indices.get(), values.get(), shape.get()));
  if (!out) return python_error();
  return out;
}

Result<Ref> sample_to_python(const CooFormat& coo) { return coo_to_python(coo); }
Result<Ref> sample_to_python(const NdArray& array) {
  return numpy::new_float64(array.shape, array.data.data());
}

// A new list of one Python object per sample of one variable.
template <class Samples>
Result<Ref> samples_to_list(const Samples& samples) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(samples.size())));
  if (!list) return python_error();
  for (size_t s = 0; s < samples.size(); ++s) {
    KX_TRY_ASSIGN(item, sample_to_python(samples[s]));
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(s), item.release());
  }
  return list;
}

Result<Ref> solution_to_python(const Solution& solution) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  Result<void> done = std::visit(
      [&](const auto& map) -> Result<void> {
        for (const auto& [name, samples] : map) {
          KX_TRY_ASSIGN(list, samples_to_list(samples));
          KX_TRY(set_item(dict.get(), name, std::move(list)));
        }
        return {};
      },
      solution);
  if (!done) return std::move(done).error();
  return dict;
}

Record& self_record(PyObject* self) { return value_of<Record>(self); }

// The JSON text as a str; only the names can make it non-ASCII.
Result<Ref> record_json(const Record& record) {
  bool ascii = std::visit(
      [](const auto& map) {
        return std::all_of(map.begin(), map.end(),
                           [](const auto& item) { return is_ascii(item.first); });
      },
      record.solution);
  return json_str(ascii, [&](JsonOutput& output) { return write_json(record, output); });
}

Result<Ref> wrap_record(Record record) { return wrap(record_type(), std::move(record)); }

const Signature kNew("Record(solution, num_occurrences)", "Record.__new__()");

PyObject* record_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> Result<Ref> {
    KX_TRY_ASSIGN(bound, Bound::tuple(kNew, args, kwargs));
    KX_TRY_ASSIGN(solution, argument("solution", solution_from_python(bound[0])));
    KX_TRY_ASSIGN(counts, argument("num_occurrences", to_integers(bound[1])));
    return wrap(type, Record{std::move(solution), std::move(counts)});
  });
}

Result<Ref> get_solution(PyObject* self) { return solution_to_python(self_record(self).solution); }
Result<void> set_solution(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(solution, solution_from_python(value));
  self_record(self).solution = std::move(solution);
  return {};
}
Result<Ref> get_counts(PyObject* self) { return integer_list(self_record(self).num_occurrences); }
Result<void> set_counts(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(counts, to_integers(value));
  self_record(self).num_occurrences = std::move(counts);
  return {};
}

Result<Ref> boolean(bool value) { return Ref::borrow(value ? Py_True : Py_False); }

const Callable kIsDense{
    Signature("is_dense($self)", "Record.is_dense()", "True if the samples are dense arrays."),
    [](PyObject* self, const Bound&) { return boolean(is_dense(self_record(self))); }};
const Callable kIsSparse{
    Signature("is_sparse($self)", "Record.is_sparse()", "True if the samples are sparse."),
    [](PyObject* self, const Bound&) { return boolean(!is_dense(self_record(self))); }};
const Callable kToDense{
    Signature("to_dense($self)", "Record.to_dense()", "A new record with dense samples."),
    [](PyObject* self, const Bound&) -> Result<Ref> {
      KX_TRY_ASSIGN(dense, to_dense(self_record(self)));
      return wrap_record(std::move(dense));
    }};
const Callable kToSparse{
    Signature("to_sparse($self)", "Record.to_sparse()", "A new record with sparse samples."),
    [](PyObject* self, const Bound&) { return wrap_record(to_sparse(self_record(self))); }};
struct RecordForms {
  static constexpr const char* kName = "Record";
  static constexpr const char* kNoun = "A record";
  using Value = Record;
  static PyTypeObject* type() { return record_type(); }
  static Result<Ref> to_dict(const Record& r) { return record_to_dict(r); }
  static Result<Record> from_dict(PyObject* dict) { return record_from_dict(dict); }
  static Result<Ref> to_json(const Record& r) { return record_json(r); }
  static Result<Record> from_json(const std::string& text) { return record_from_json(text); }
};

const Callable kToPandas{
    Signature("to_pandas($self)", "Record.to_pandas()", "A pandas DataFrame."),
    [](PyObject* self, const Bound&) { return record_to_pandas(self_record(self)); }};

PyObject* record_repr(PyObject* self) {
  return guard([&]() { return from_string(record_text(self_record(self))); });
}

PyObject* record_compare(PyObject* self, PyObject* other, int op) {
  return guard([&]() -> Result<Ref> {
    if (!PyObject_TypeCheck(other, record_type())) return Ref::borrow(Py_NotImplemented);
    return compare(self_record(self) == self_record(other), op, "Record");
  });
}

PyTypeObject* build() {
  return add_forms<RecordForms>(
             wrapper_type<Record>(
                 "Record",
                 "The samples of a solve: for every decision variable one value per sample, dense "
                 "or sparse, and how often each sample was seen.",
                 &kNew)
                 .slot(Py_tp_new, reinterpret_cast<void*>(record_new))
                 .slot(Py_tp_repr, reinterpret_cast<void*>(record_repr))
                 .slot(Py_tp_str, reinterpret_cast<void*>(record_repr))
                 .slot(Py_tp_richcompare, reinterpret_cast<void*>(record_compare))
                 .property("solution", property_getter<get_solution>, property_setter<set_solution>)
                 .property("num_occurrences", property_getter<get_counts>,
                           property_setter<set_counts>)
                 .method(method_def<kIsDense>())
                 .method(method_def<kIsSparse>())
                 .method(method_def<kToDense>())
                 .method(method_def<kToSparse>())
                 .method(method_def<kToPandas>()))
      .build();
}

}  // namespace

Result<Solution> solution_from_python(PyObject* object) {
  if (!PyDict_Check(object)) return type_error(kSolutionError);
  Ref items = Ref::steal(PyDict_Items(object));
  if (!items) return python_error();
  KX_TRY_ASSIGN(sparse, try_form<CooFormat>(items.get(), coo_from_python));
  if (sparse) return Solution(std::move(*sparse));
  KX_TRY_ASSIGN(dense, try_form<NdArray>(items.get(), dense_from_python));
  if (dense) return Solution(std::move(*dense));
  return type_error(kSolutionError);
}

Result<Ref> record_to_dict(const Record& record) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  KX_TRY(set_item(dict.get(), "solution", solution_to_python(record.solution)));
  KX_TRY(set_item(dict.get(), "num_occurrences", integer_list(record.num_occurrences)));
  return dict;
}

Result<Record> record_from_dict(PyObject* dict) {
  Record record;
  KX_TRY_ASSIGN(solution, dict_get(dict, "solution"));
  if (solution) {
    KX_TRY_ASSIGN(read, solution_from_python(solution.get()));
    record.solution = std::move(read);
  }
  KX_TRY_ASSIGN(counts, dict_get(dict, "num_occurrences"));
  if (counts) {
    KX_TRY_ASSIGN(read, to_integers(counts.get()));
    record.num_occurrences = std::move(read);
  }
  return record;
}

Result<Ref> record_to_pandas(const Record& record) {
  Ref columns = Ref::steal(PyDict_New());
  if (!columns) return python_error();
  Result<void> done = std::visit(
      [&](const auto& map) -> Result<void> {
        for (const auto& [name, samples] : map) {
          KX_TRY_ASSIGN(list, samples_to_list(samples));
          KX_TRY(set_item(columns.get(), "solution[" + name + "]", std::move(list)));
        }
        return {};
      },
      record.solution);
  if (!done) return std::move(done).error();
  KX_TRY(set_item(columns.get(), "num_occurrences", integer_list(record.num_occurrences)));
  return data_frame(columns.get());
}

PyTypeObject* record_type() {
  static PyTypeObject* type = build();
  return type;
}

KX_REGISTER_CLASS("Record", record_type);

}  // namespace korvex::py::sample_set_binding
