// SampleSet: record, evaluation and measuring time by value, the metadata dict by reference;
// its filters, conversions and the module function concatenate.
#include "korvex/python/sample_set/classes.hpp"

namespace korvex::py::sample_set_binding {
namespace {

SampleSetValue& self_value(PyObject* self) { return value_of<SampleSetValue>(self); }

Result<Ref> new_dict() {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  return dict;
}

// A new SampleSet sharing `metadata`.
Result<Ref> wrap_sample_set(SampleSet core, PyObject* metadata) {
  return wrap(sample_set_type(), SampleSetValue{std::move(core), Ref::borrow(metadata)});
}

Result<Ref> wrap_sample_set(SampleSet core, Ref metadata) {
  return wrap(sample_set_type(), SampleSetValue{std::move(core), std::move(metadata)});
}

Result<PyObject*> metadata_dict(PyObject* object) {
  if (!PyDict_Check(object)) return cannot_convert(object, "dict");
  return object;
}

const Signature kNew("SampleSet(record, evaluation, measuring_time, metadata=None)",
                     "SampleSet.__new__()");

PyObject* sample_set_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> Result<Ref> {
    KX_TRY_ASSIGN(bound, Bound::tuple(kNew, args, kwargs));
    KX_TRY_ASSIGN(record, argument("record", value_as<Record>(bound[0], record_type(), "Record")));
    KX_TRY_ASSIGN(
        evaluation,
        argument("evaluation", value_as<Evaluation>(bound[1], evaluation_type(), "Evaluation")));
    KX_TRY_ASSIGN(
        time, argument("measuring_time",
                       value_as<MeasuringTime>(bound[2], measuring_time_type(), "MeasuringTime")));
    Ref metadata;
    if (bound.has(3) && bound[3] != Py_None) {
      KX_TRY_ASSIGN(dict, argument("metadata", metadata_dict(bound[3])));
      metadata = Ref::borrow(dict);
    } else {
      KX_TRY_ASSIGN(dict, new_dict());
      metadata = std::move(dict);
    }
    return wrap(type, SampleSetValue{SampleSet{std::move(record), std::move(evaluation), time},
                                     std::move(metadata)});
  });
}

Result<Ref> get_record(PyObject* self) { return wrap(record_type(), self_value(self).core.record); }
Result<void> set_record(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(record, value_as<Record>(value, record_type(), "Record"));
  self_value(self).core.record = std::move(record);
  return {};
}
Result<Ref> get_evaluation(PyObject* self) {
  return wrap(evaluation_type(), self_value(self).core.evaluation);
}
Result<void> set_evaluation(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(evaluation, value_as<Evaluation>(value, evaluation_type(), "Evaluation"));
  self_value(self).core.evaluation = std::move(evaluation);
  return {};
}
Result<Ref> get_measuring_time(PyObject* self) {
  return wrap(measuring_time_type(), self_value(self).core.measuring_time);
}
Result<void> set_measuring_time(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(time, value_as<MeasuringTime>(value, measuring_time_type(), "MeasuringTime"));
  self_value(self).core.measuring_time = time;
  return {};
}
Result<Ref> get_metadata(PyObject* self) { return Ref::borrow(self_value(self).metadata.get()); }
Result<void> set_metadata(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(dict, metadata_dict(value));
  self_value(self).metadata = Ref::borrow(dict);
  return {};
}

Result<Tolerance> tolerance(const Bound& args) {
  Tolerance t;
  if (args.has(0)) {
    KX_TRY_ASSIGN(rtol, argument("rtol", to_float(args[0])));
    t.rtol = rtol;
  }
  if (args.has(1)) {
    KX_TRY_ASSIGN(atol, argument("atol", to_float(args[1])));
    t.atol = atol;
  }
  return t;
}

Result<Ref> selection(PyObject* self, const std::vector<size_t>& indices) {
  const SampleSetValue& value = self_value(self);
  return wrap_sample_set(select(value.core, indices), value.metadata.get());
}

Result<Ref> feasible(PyObject* self, const Bound& args) {
  KX_TRY_ASSIGN(t, tolerance(args));
  const SampleSetValue& value = self_value(self);
  if (value.core.evaluation.constraint_violations.empty()) {
    return wrap_sample_set(value.core, value.metadata.get());
  }
  KX_TRY_ASSIGN(indices, feasible_indices(value.core.evaluation, t, true));
  return selection(self, indices);
}

Result<Ref> infeasible(PyObject* self, const Bound& args) {
  KX_TRY_ASSIGN(t, tolerance(args));
  const SampleSetValue& value = self_value(self);
  if (value.core.evaluation.constraint_violations.empty()) return selection(self, {});
  KX_TRY_ASSIGN(indices, feasible_indices(value.core.evaluation, t, false));
  return selection(self, indices);
}

Result<Ref> lowest(PyObject* self, const Bound& args) {
  KX_TRY_ASSIGN(t, tolerance(args));
  KX_TRY_ASSIGN(indices, lowest_indices(self_value(self).core.evaluation, t));
  return selection(self, indices);
}

Result<Ref> dense(PyObject* self, const Bound&) {
  const SampleSetValue& value = self_value(self);
  KX_TRY_ASSIGN(record, to_dense(value.core.record));
  return wrap_sample_set(
      SampleSet{std::move(record), value.core.evaluation, value.core.measuring_time},
      value.metadata.get());
}

Result<Ref> boolean(bool value) { return Ref::borrow(value ? Py_True : Py_False); }

Result<Ref> sample_set_to_dict(const SampleSetValue& value) {
  KX_TRY_ASSIGN(dict, new_dict());
  KX_TRY(set_item(dict.get(), "record", record_to_dict(value.core.record)));
  KX_TRY(set_item(dict.get(), "evaluation", evaluation_to_dict(value.core.evaluation)));
  KX_TRY(set_item(dict.get(), "measuring_time", measuring_time_to_dict(value.core.measuring_time)));
  KX_TRY(set_item(dict.get(), "metadata", Ref::borrow(value.metadata.get())));
  return dict;
}

// A part of a SampleSet dict: absent is a ValueError, not a dict a TypeError.
Result<Ref> required_part(PyObject* dict, const char* key) {
  KX_TRY_ASSIGN(part, dict_get(dict, key));
  if (!part) {
    return fail(ErrorKind::Value, std::string("the key '") + key + "' is not included in the dict");
  }
  if (!PyDict_Check(part.get())) {
    return fail(ErrorKind::Type, std::string("the value of the key '") + key + "' is not dict");
  }
  return part;
}

Result<Ref> sample_set_from_dict(PyObject* dict) {
  KX_TRY_ASSIGN(record_dict, required_part(dict, "record"));
  KX_TRY_ASSIGN(record, record_from_dict(record_dict.get()));
  KX_TRY_ASSIGN(evaluation_dict, required_part(dict, "evaluation"));
  KX_TRY_ASSIGN(evaluation, evaluation_from_dict(evaluation_dict.get()));
  KX_TRY_ASSIGN(time_dict, required_part(dict, "measuring_time"));
  KX_TRY_ASSIGN(time, measuring_time_from_dict(time_dict.get()));
  KX_TRY_ASSIGN(metadata, dict_get(dict, "metadata"));
  Ref stored;
  if (!metadata) {
    KX_TRY_ASSIGN(fresh, new_dict());
    stored = std::move(fresh);
  } else if (!PyDict_Check(metadata.get())) {
    return fail(ErrorKind::Type, "the value of the key 'metadata' is not dict");
  } else {
    stored = std::move(metadata);
  }
  return wrap_sample_set(SampleSet{std::move(record), std::move(evaluation), time},
                         std::move(stored));
}

Result<Ref> call_helper(const char* name, PyObject* argument) {
  KX_TRY_ASSIGN(function, helper_function(name));
  Ref out = Ref::steal(PyObject_CallOneArg(function, argument));
  if (!out) return python_error();
  return out;
}

Result<Ref> to_json_text(PyObject* self, const Bound&) {
  KX_TRY_ASSIGN(dict, sample_set_to_dict(self_value(self)));
  return call_helper("dump", dict.get());
}

Result<Ref> from_json_text(PyObject*, const Bound& args) {
  // Only the class is checked: the text itself, even one orjson refuses (a lone surrogate), is
  // orjson's to judge, and its errors pass unchanged.
  if (!PyUnicode_Check(args[0])) {
    return decorate_argument_error("json", cannot_convert(args[0], "str"));
  }
  KX_TRY_ASSIGN(loaded, call_helper("load", args[0]));
  KX_TRY_ASSIGN(dict, to_dict(loaded.get()));
  return sample_set_from_dict(dict);
}

Result<Ref> to_pandas(PyObject* self, const Bound&) {
  const SampleSetValue& value = self_value(self);
  KX_TRY_ASSIGN(records, record_to_pandas(value.core.record));
  KX_TRY_ASSIGN(evaluations, evaluation_to_pandas(value.core.evaluation));
  Ref pandas = Ref::steal(PyImport_ImportModule("pandas"));
  if (!pandas) return python_error();
  Ref concat = Ref::steal(PyObject_GetAttrString(pandas.get(), "concat"));
  if (!concat) return python_error();
  Ref frames = Ref::steal(PyList_New(2));
  if (!frames) return python_error();
  PyList_SET_ITEM(frames.get(), 0, records.release());
  PyList_SET_ITEM(frames.get(), 1, evaluations.release());
  Ref args = Ref::steal(PyTuple_Pack(1, frames.get()));
  Ref kwargs = Ref::steal(Py_BuildValue("{s:i}", "axis", 1));
  if (!args || !kwargs) return python_error();
  Ref frame = Ref::steal(PyObject_Call(concat.get(), args.get(), kwargs.get()));
  if (!frame) return python_error();
  return frame;
}

// The keys of the metadata items that are root spans (a dict whose "parent_id" is None or "").
Result<Ref> root_span_keys(PyObject* metadata) {
  Ref roots = Ref::steal(PyList_New(0));
  if (!roots) return python_error();
  Ref items = Ref::steal(PyDict_Items(metadata));
  if (!items) return python_error();
  Ref parent_key = Ref::steal(PyUnicode_InternFromString("parent_id"));
  if (!parent_key) return python_error();
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
    PyObject* pair = PyList_GET_ITEM(items.get(), i);
    PyObject* key = PyTuple_GET_ITEM(pair, 0);
    PyObject* value = PyTuple_GET_ITEM(pair, 1);
    if (!PyDict_Check(value)) continue;
    PyObject* parent = PyDict_GetItemWithError(value, parent_key.get());
    if (parent == nullptr) {
      if (PyErr_Occurred()) return python_error();
      continue;
    }
    bool root = parent == Py_None || (PyUnicode_Check(parent) && PyUnicode_GET_LENGTH(parent) == 0);
    if (!root) continue;
    if (!PyUnicode_Check(key)) return cannot_convert(key, "str");
    if (PyList_Append(roots.get(), key) < 0) return python_error();
  }
  return roots;
}

Result<Ref> backend_calculation_time(PyObject* self, const Bound&) {
  // Held for the whole call: the span lookups run user code that may replace the metadata.
  Ref metadata = Ref::borrow(self_value(self).metadata.get());
  KX_TRY_ASSIGN(roots, root_span_keys(metadata.get()));
  KX_TRY_ASSIGN(function, helper_function("backend_times"));
  Ref out =
      Ref::steal(PyObject_CallFunctionObjArgs(function, metadata.get(), roots.get(), nullptr));
  if (!out) return python_error();
  return out;
}

const Callable kToDict{
    Signature("to_dict($self)", "SampleSet.to_dict()", "The dict form."),
    [](PyObject* self, const Bound&) { return sample_set_to_dict(self_value(self)); }};
const Callable kFromDict{
    Signature("from_dict(dict)", "SampleSet.from_dict()", "A sample set from its dict form."),
    [](PyObject*, const Bound& args) -> Result<Ref> {
      KX_TRY_ASSIGN(dict, argument("dict", to_dict(args[0])));
      return sample_set_from_dict(dict);
    }};
const Callable kToJson{Signature("to_json($self)", "SampleSet.to_json()", "The JSON text."),
                       to_json_text};
const Callable kFromJson{
    Signature("from_json(json)", "SampleSet.from_json()", "A sample set from JSON text."),
    from_json_text};
const Callable kToPandas{
    Signature("to_pandas($self)", "SampleSet.to_pandas()", "A pandas DataFrame."), to_pandas};
const Callable kToDense{
    Signature("to_dense($self)", "SampleSet.to_dense()", "A new sample set whose record is dense."),
    dense};
const Callable kFeasible{Signature("feasible($self, rtol=1e-5, atol=1e-8)", "SampleSet.feasible()",
                                   "A new sample set of the feasible samples."),
                         feasible};
const Callable kInfeasible{
    Signature("infeasible($self, rtol=1e-5, atol=1e-8)", "SampleSet.infeasible()",
              "A new sample set of the infeasible samples."),
    infeasible};
const Callable kLowest{Signature("lowest($self, rtol=1e-5, atol=1e-8)", "SampleSet.lowest()",
                                 "A new sample set of the feasible samples with the lowest "
                                 "objective."),
                       lowest};
const Callable kIsDense{
    Signature("is_dense($self)", "SampleSet.is_dense()", "True if the record is dense."),
    [](PyObject* self, const Bound&) { return boolean(is_dense(self_value(self).core.record)); }};
const Callable kIsSparse{
    Signature("is_sparse($self)", "SampleSet.is_sparse()", "True if the record is sparse."),
    [](PyObject* self, const Bound&) { return boolean(!is_dense(self_value(self).core.record)); }};
const Callable kBackendTime{
    Signature("get_backend_calculation_time($self)", "SampleSet.get_backend_calculation_time()",
              "The solving service's step times, from the timing spans in the metadata."),
    backend_calculation_time};

PyObject* sample_set_repr(PyObject* self) {
  return guard([&]() -> Result<Ref> {
    const SampleSetValue& value = self_value(self);
    std::string text = "SampleSet(record=" + record_text(value.core.record) +
                       ", evaluation=" + evaluation_text(value.core.evaluation) +
                       ", measuring_time=" + measuring_time_text(value.core.measuring_time) +
                       ", metadata=";
    // Held while str() runs: a __repr__ inside may replace this object's metadata.
    Ref held = Ref::borrow(value.metadata.get());
    PyObject* metadata = held.get();
    Ref shown = Ref::steal(PyObject_Str(metadata));
    if (!shown) {
      PyErr_WriteUnraisable(metadata);
      text += std::string("<unprintable ") + short_type_name(Py_TYPE(metadata)) + " object>)";
      return from_string(text);
    }
    // Joined as str objects: the text str() gave may hold what UTF-8 cannot (a lone surrogate
    // from a user's __repr__), and it is shown as given.
    KX_TRY_ASSIGN(head, from_string(text));
    Ref joined = Ref::steal(PyUnicode_Concat(head.get(), shown.get()));
    if (!joined) return python_error();
    Ref tail = Ref::steal(PyUnicode_FromString(")"));
    if (!tail) return python_error();
    Ref out = Ref::steal(PyUnicode_Concat(joined.get(), tail.get()));
    if (!out) return python_error();
    return out;
  });
}

PyObject* sample_set_compare(PyObject* self, PyObject* other, int op) {
  return guard([&]() -> Result<Ref> {
    if (!PyObject_TypeCheck(other, sample_set_type())) return Ref::borrow(Py_NotImplemented);
    if (op != Py_EQ && op != Py_NE) return compare(false, op, "SampleSet");
    const SampleSetValue& a = self_value(self);
    const SampleSetValue& b = self_value(other);
    bool equal = a.core == b.core;
    if (equal) {
      // Held while == runs: an __eq__ inside may replace either object's metadata.
      Ref left = Ref::borrow(a.metadata.get());
      Ref right = Ref::borrow(b.metadata.get());
      // Python's == itself, even for one shared dict: a subclass's __eq__ has the say, and its
      // exceptions propagate (RichCompareBool would answer true for the same object unasked).
      Ref outcome = Ref::steal(PyObject_RichCompare(left.get(), right.get(), Py_EQ));
      if (!outcome) return python_error();
      int same = PyObject_IsTrue(outcome.get());
      if (same < 0) return python_error();
      equal = same == 1;
    }
    return compare(equal, op, "SampleSet");
  });
}

// The metadata dict may hold the sample set itself, so the class takes part in garbage
// collection: a cycle through the metadata is found and broken by replacing the dict.
void sample_set_dealloc(PyObject* self) {
  PyObject_GC_UnTrack(self);
  PyTypeObject* type = Py_TYPE(self);
  value_of<SampleSetValue>(self).~SampleSetValue();
  type->tp_free(self);
  Py_DECREF(type);
}

int sample_set_traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(value_of<SampleSetValue>(self).metadata.get());
  Py_VISIT(Py_TYPE(self));
  return 0;
}

int sample_set_clear(PyObject* self) {
  Ref empty = Ref::steal(PyDict_New());
  if (!empty) {
    PyErr_Clear();
    return 0;
  }
  value_of<SampleSetValue>(self).metadata = std::move(empty);
  return 0;
}

PyTypeObject* build() {
  return wrapper_type<SampleSetValue>(
             "SampleSet",
             "What a solve returns: the samples, their evaluation, the measured times and "
             "free-form metadata (a dict held by reference).",
             &kNew)
      .flags(Py_TPFLAGS_HAVE_GC)
      .slot(Py_tp_dealloc, reinterpret_cast<void*>(sample_set_dealloc))
      .slot(Py_tp_traverse, reinterpret_cast<void*>(sample_set_traverse))
      .slot(Py_tp_clear, reinterpret_cast<void*>(sample_set_clear))
      .slot(Py_tp_new, reinterpret_cast<void*>(sample_set_new))
      .slot(Py_tp_repr, reinterpret_cast<void*>(sample_set_repr))
      .slot(Py_tp_str, reinterpret_cast<void*>(sample_set_repr))
      .slot(Py_tp_richcompare, reinterpret_cast<void*>(sample_set_compare))
      .property("record", property_getter<get_record>, property_setter<set_record>)
      .property("evaluation", property_getter<get_evaluation>, property_setter<set_evaluation>)
      .property("measuring_time", property_getter<get_measuring_time>,
                property_setter<set_measuring_time>)
      .property("metadata", property_getter<get_metadata>, property_setter<set_metadata>)
      .method(method_def<kToDict>())
      .method(static_method(method_def<kFromDict>()))
      .method(method_def<kToJson>())
      .method(static_method(method_def<kFromJson>()))
      .method(method_def<kToPandas>())
      .method(method_def<kToDense>())
      .method(method_def<kFeasible>())
      .method(method_def<kInfeasible>())
      .method(method_def<kLowest>())
      .method(method_def<kIsDense>())
      .method(method_def<kIsSparse>())
      .method(method_def<kBackendTime>())
      .build();
}

Result<Ref> concatenate_body(PyObject*, const Bound& args) {
  std::vector<Ref> inputs;  // kept alive while their values are read
  auto read = for_each_item(args[0], [&](PyObject* item) -> Result<void> {
    if (!PyObject_TypeCheck(item, sample_set_type())) return cannot_convert(item, "SampleSet");
    inputs.push_back(Ref::borrow(item));
    return {};
  });
  if (!read) return decorate_argument_error("sample_sets", std::move(read).error());
  if (inputs.empty()) return fail(ErrorKind::Value, "empty list is invalid");
  if (inputs.size() == 1) {
    const SampleSetValue& only = self_value(inputs[0].get());
    return wrap_sample_set(only.core, only.metadata.get());
  }
  // The inputs' times and metadata are not merged: the result has none of either.
  SampleSet merged;
  for (const Ref& input : inputs) {
    const SampleSet& next = self_value(input.get()).core;
    KX_TRY(merge_record(merged.record, next.record));
    merge_evaluation(merged.evaluation, next.evaluation);
  }
  KX_TRY_ASSIGN(metadata, new_dict());
  return wrap_sample_set(std::move(merged), std::move(metadata));
}

const Callable kConcatenate{Signature("concatenate(sample_sets)", "concatenate()",
                                      "Joins sample sets: samples, counts, energies, objectives, "
                                      "violations, values and penalties are appended in order."),
                            concatenate_body};
KX_REGISTER_FUNCTION(kConcatenate);

}  // namespace

PyTypeObject* sample_set_type() {
  static PyTypeObject* type = build();
  return type;
}

KX_REGISTER_CLASS("SampleSet", sample_set_type);

}  // namespace korvex::py::sample_set_binding
