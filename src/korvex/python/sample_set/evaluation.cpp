// Evaluation: energies, objectives, violations, forall tuples, values and penalties per sample.
#include <algorithm>

#include "korvex/core/sample_set/json.hpp"
#include "korvex/python/host/numpy.hpp"
#include "korvex/python/sample_set/classes.hpp"
#include "korvex/python/sample_set/forms.hpp"

namespace korvex::py::sample_set_binding {
namespace {

Evaluation& self_evaluation(PyObject* self) { return value_of<Evaluation>(self); }

Result<std::vector<FloatMap>> to_float_maps(PyObject* object) {
  std::vector<FloatMap> out;
  KX_TRY(for_each_item(object, [&](PyObject* item) -> Result<void> {
    KX_TRY_ASSIGN(map, to_float_map(item));
    out.push_back(std::move(map));
    return {};
  }));
  return out;
}

Result<Ref> float_array_maps(const std::vector<FloatMap>& maps) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(maps.size())));
  if (!list) return python_error();
  for (size_t s = 0; s < maps.size(); ++s) {
    KX_TRY_ASSIGN(dict, float_array_map(maps[s]));
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(s), dict.release());
  }
  return list;
}

// Reads field `index` (in the order of the constructor's signature) from `value` into `e`.
Result<void> read_field(Evaluation& e, int index, PyObject* value) {
  switch (index) {
    case 0: {
      KX_TRY_ASSIGN(v, to_floats(value));
      e.energy = std::move(v);
      return {};
    }
    case 1: {
      KX_TRY_ASSIGN(v, to_floats(value));
      e.objective = std::move(v);
      return {};
    }
    case 2: {
      KX_TRY_ASSIGN(v, to_float_map(value));
      e.constraint_violations = std::move(v);
      return {};
    }
    case 3: {
      KX_TRY_ASSIGN(v, to_forall_map(value));
      e.constraint_forall = std::move(v);
      return {};
    }
    case 4: {
      KX_TRY_ASSIGN(v, to_float_maps(value));
      e.constraint_values = std::move(v);
      return {};
    }
    default: {
      KX_TRY_ASSIGN(v, to_float_map(value));
      e.penalty = std::move(v);
      return {};
    }
  }
}

constexpr const char* kFields[] = {
    "energy", "objective", "constraint_violations", "constraint_forall", "constraint_values",
    "penalty"};

Result<Ref> field_to_python(const Evaluation& e, int index) {
  switch (index) {
    case 0:
      return numpy::new_float64_vector(e.energy);
    case 1:
      return numpy::new_float64_vector(e.objective);
    case 2:
      return float_array_map(e.constraint_violations);
    case 3:
      return forall_array_map(e.constraint_forall);
    case 4:
      return float_array_maps(e.constraint_values);
    default:
      return float_array_map(e.penalty);
  }
}

template <int I>
Result<Ref> get_field(PyObject* self) {
  return field_to_python(self_evaluation(self), I);
}

// A setter accepts only a real value (None fails as any other wrong value does); a failure
// leaves the field unchanged.
template <int I>
Result<void> set_field(PyObject* self, PyObject* value) {
  Evaluation copy;
  KX_TRY(read_field(copy, I, value));
  Evaluation& e = self_evaluation(self);
  switch (I) {
    case 0:
      e.energy = std::move(copy.energy);
      break;
    case 1:
      e.objective = std::move(copy.objective);
      break;
    case 2:
      e.constraint_violations = std::move(copy.constraint_violations);
      break;
    case 3:
      e.constraint_forall = std::move(copy.constraint_forall);
      break;
    case 4:
      e.constraint_values = std::move(copy.constraint_values);
      break;
    default:
      e.penalty = std::move(copy.penalty);
      break;
  }
  return {};
}

// Per sample, per constraint: forall tuple -> value. A constraint without a forall list has no
// tuples to key its values by, so its inner dict is empty.
Result<Ref> get_expr_values(PyObject* self) {
  const Evaluation& e = self_evaluation(self);
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(e.constraint_values.size())));
  if (!list) return python_error();
  for (size_t s = 0; s < e.constraint_values.size(); ++s) {
    Ref sample = Ref::steal(PyDict_New());
    if (!sample) return python_error();
    for (const auto& [name, values] : e.constraint_values[s]) {
      Ref inner = Ref::steal(PyDict_New());
      if (!inner) return python_error();
      auto forall = e.constraint_forall.find(name);
      if (forall != e.constraint_forall.end()) {
        const IndexTuples& tuples = forall->second;
        size_t count = std::min(values.size(), tuples.size());
        for (size_t i = 0; i < count; ++i) {
          KX_TRY_ASSIGN(indices, integer_list(tuples[i]));
          Ref key = Ref::steal(PyList_AsTuple(indices.get()));
          Ref value = Ref::steal(PyFloat_FromDouble(values[i]));
          if (!key || !value) return python_error();
          if (PyDict_SetItem(inner.get(), key.get(), value.get()) < 0) return python_error();
        }
      }
      KX_TRY(set_item(sample.get(), name, std::move(inner)));
    }
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(s), sample.release());
  }
  return list;
}

const Signature kNew(
    "Evaluation(energy=None, objective=None, constraint_violations=None, "
    "constraint_forall=None, constraint_values=None, penalty=None)",
    "Evaluation.__new__()");

PyObject* evaluation_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> Result<Ref> {
    KX_TRY_ASSIGN(bound, Bound::tuple(kNew, args, kwargs));
    Evaluation e;
    for (int i = 0; i < 6; ++i) {
      if (!bound.has(i) || bound[i] == Py_None) continue;
      auto read = read_field(e, i, bound[i]);
      if (!read) return decorate_argument_error(kFields[i], std::move(read).error());
    }
    return wrap(type, std::move(e));
  });
}

// The JSON text as a str; only the names can make it non-ASCII.
Result<Ref> evaluation_json(const Evaluation& e) {
  auto names_ascii = [](const auto& map) {
    return std::all_of(map.begin(), map.end(),
                       [](const auto& item) { return is_ascii(item.first); });
  };
  bool ascii = names_ascii(e.constraint_violations) && names_ascii(e.constraint_forall) &&
               names_ascii(e.penalty) &&
               std::all_of(e.constraint_values.begin(), e.constraint_values.end(), names_ascii);
  return json_str(ascii, [&](JsonOutput& output) { return write_json(e, output); });
}

struct EvaluationForms {
  static constexpr const char* kName = "Evaluation";
  static constexpr const char* kNoun = "An evaluation";
  using Value = Evaluation;
  static PyTypeObject* type() { return evaluation_type(); }
  static Result<Ref> to_dict(const Evaluation& e) { return evaluation_to_dict(e); }
  static Result<Evaluation> from_dict(PyObject* dict) { return evaluation_from_dict(dict); }
  static Result<Ref> to_json(const Evaluation& e) { return evaluation_json(e); }
  static Result<Evaluation> from_json(const std::string& text) {
    return evaluation_from_json(text);
  }
};

const Callable kToPandas{
    Signature("to_pandas($self)", "Evaluation.to_pandas()", "A pandas DataFrame."),
    [](PyObject* self, const Bound&) { return evaluation_to_pandas(self_evaluation(self)); }};

PyObject* evaluation_repr(PyObject* self) {
  return guard([&]() { return from_string(evaluation_text(self_evaluation(self))); });
}

PyObject* evaluation_compare(PyObject* self, PyObject* other, int op) {
  return guard([&]() -> Result<Ref> {
    if (!PyObject_TypeCheck(other, evaluation_type())) return Ref::borrow(Py_NotImplemented);
    return compare(self_evaluation(self) == self_evaluation(other), op, "Evaluation");
  });
}

PyTypeObject* build() {
  return add_forms<EvaluationForms>(
             wrapper_type<Evaluation>(
                 "Evaluation",
                 "What evaluating a model on each sample gave: energy, objective, constraint "
                 "violations, forall index tuples, constraint values and penalties.",
                 &kNew)
                 .slot(Py_tp_new, reinterpret_cast<void*>(evaluation_new))
                 .slot(Py_tp_repr, reinterpret_cast<void*>(evaluation_repr))
                 .slot(Py_tp_str, reinterpret_cast<void*>(evaluation_repr))
                 .slot(Py_tp_richcompare, reinterpret_cast<void*>(evaluation_compare))
                 .property("energy", property_getter<get_field<0>>, property_setter<set_field<0>>)
                 .property("objective", property_getter<get_field<1>>,
                           property_setter<set_field<1>>)
                 .property("constraint_violations", property_getter<get_field<2>>,
                           property_setter<set_field<2>>)
                 .property("constraint_forall", property_getter<get_field<3>>,
                           property_setter<set_field<3>>)
                 .property("constraint_values", property_getter<get_field<4>>,
                           property_setter<set_field<4>>)
                 .property("penalty", property_getter<get_field<5>>, property_setter<set_field<5>>)
                 .property("constraint_expr_values", property_getter<get_expr_values>)
                 .method(method_def<kToPandas>()))
      .build();
}

// {name: [[i, j], ...]} with plain lists, one new dict per call.
Result<Ref> forall_lists(const ForallMap& map) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  for (const auto& [name, tuples] : map) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(tuples.size())));
    if (!list) return python_error();
    for (size_t i = 0; i < tuples.size(); ++i) {
      KX_TRY_ASSIGN(tuple, integer_list(tuples[i]));
      PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), tuple.release());
    }
    KX_TRY(set_item(dict.get(), name, std::move(list)));
  }
  return dict;
}

Result<Ref> float_list_map(const FloatMap& map) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  for (const auto& [name, values] : map) KX_TRY(set_item(dict.get(), name, float_list(values)));
  return dict;
}

}  // namespace

Result<Ref> evaluation_to_dict(const Evaluation& e) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  for (int i = 0; i < 6; ++i) KX_TRY(set_item(dict.get(), kFields[i], field_to_python(e, i)));
  return dict;
}

Result<Evaluation> evaluation_from_dict(PyObject* dict) {
  Evaluation e;
  for (int i = 0; i < 6; ++i) {
    KX_TRY_ASSIGN(value, dict_get(dict, kFields[i]));
    if (value) KX_TRY(read_field(e, i, value.get()));
  }
  return e;
}

Result<Ref> evaluation_to_pandas(const Evaluation& e) {
  Ref columns = Ref::steal(PyDict_New());
  if (!columns) return python_error();
  KX_TRY(set_item(columns.get(), "energy", float_list(e.energy)));
  KX_TRY(set_item(columns.get(), "objective", float_list(e.objective)));
  if (e.constraint_forall.empty()) {
    KX_TRY(set_item(columns.get(), "constraint_forall", Ref::borrow(Py_None)));
  } else {
    Ref cells = Ref::steal(PyList_New(static_cast<Py_ssize_t>(e.energy.size())));
    if (!cells) return python_error();
    for (size_t s = 0; s < e.energy.size(); ++s) {
      KX_TRY_ASSIGN(cell, forall_lists(e.constraint_forall));
      PyList_SET_ITEM(cells.get(), static_cast<Py_ssize_t>(s), cell.release());
    }
    KX_TRY(set_item(columns.get(), "constraint_forall", std::move(cells)));
  }
  if (e.constraint_values.empty()) {
    KX_TRY(set_item(columns.get(), "constraint_values", Ref::borrow(Py_None)));
  } else {
    Ref cells = Ref::steal(PyList_New(static_cast<Py_ssize_t>(e.constraint_values.size())));
    if (!cells) return python_error();
    for (size_t s = 0; s < e.constraint_values.size(); ++s) {
      KX_TRY_ASSIGN(cell, float_list_map(e.constraint_values[s]));
      PyList_SET_ITEM(cells.get(), static_cast<Py_ssize_t>(s), cell.release());
    }
    KX_TRY(set_item(columns.get(), "constraint_values", std::move(cells)));
  }
  for (const auto& [name, values] : e.constraint_violations) {
    KX_TRY(set_item(columns.get(), "constraint_violation[" + name + "]", float_list(values)));
  }
  for (const auto& [name, values] : e.penalty) {
    KX_TRY(set_item(columns.get(), "penalty[" + name + "]", float_list(values)));
  }
  return data_frame(columns.get());
}

PyTypeObject* evaluation_type() {
  static PyTypeObject* type = build();
  return type;
}

KX_REGISTER_CLASS("Evaluation", evaluation_type);

}  // namespace korvex::py::sample_set_binding
