// SolvingTime, SystemTime and MeasuringTime: optional durations in seconds.
#include "korvex/core/sample_set/json.hpp"
#include "korvex/python/sample_set/classes.hpp"
#include "korvex/python/sample_set/forms.hpp"

namespace korvex::py::sample_set_binding {
namespace {

template <class T>
std::string json_text(const T& value) {
  return to_json(value);
}

template <class T, Time T::* Member>
Result<Ref> get_time(PyObject* self) {
  return from_time(value_of<T>(self).*Member);
}

template <class T, Time T::* Member>
Result<void> set_time(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(time, to_time(value));
  value_of<T>(self).*Member = time;
  return {};
}

// One optional time field: its name and where it lives.
template <class T>
struct TimeField {
  const char* name;
  Time T::* member;
};

constexpr TimeField<SolvingTime> kSolvingFields[] = {
    {"preprocess", &SolvingTime::preprocess},
    {"solve", &SolvingTime::solve},
    {"postprocess", &SolvingTime::postprocess},
};
constexpr TimeField<SystemTime> kSystemFields[] = {
    {"post_problem_and_instance_data", &SystemTime::post_problem_and_instance_data},
    {"request_queue", &SystemTime::request_queue},
    {"fetch_problem_and_instance_data", &SystemTime::fetch_problem_and_instance_data},
    {"fetch_result", &SystemTime::fetch_result},
    {"deserialize_solution", &SystemTime::deserialize_solution},
};

template <class T, size_t N>
Result<T> times_from_bound(const Bound& bound, const TimeField<T> (&fields)[N]) {
  T value;
  for (size_t i = 0; i < N; ++i) {
    KX_TRY_ASSIGN(time, argument(fields[i].name, to_time(bound[static_cast<int>(i)])));
    value.*fields[i].member = time;
  }
  return value;
}

// Absent or None gives an absent time.
template <class T, size_t N>
Result<T> times_from_dict(PyObject* dict, const TimeField<T> (&fields)[N]) {
  T value;
  for (size_t i = 0; i < N; ++i) {
    KX_TRY_ASSIGN(item, dict_get(dict, fields[i].name));
    KX_TRY_ASSIGN(time, to_time(item.get()));
    value.*fields[i].member = time;
  }
  return value;
}

template <class T, size_t N>
Result<Ref> times_to_dict(const T& value, const TimeField<T> (&fields)[N]) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  for (size_t i = 0; i < N; ++i) {
    KX_TRY(set_item(dict.get(), fields[i].name, from_time(value.*fields[i].member)));
  }
  return dict;
}

Result<Ref> solving_to_dict(const SolvingTime& t) { return times_to_dict(t, kSolvingFields); }
Result<Ref> system_to_dict(const SystemTime& t) { return times_to_dict(t, kSystemFields); }

// ---- SolvingTime ----

const Signature kSolvingNew("SolvingTime(preprocess=None, solve=None, postprocess=None)",
                            "SolvingTime.__new__()");

PyObject* solving_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> Result<Ref> {
    KX_TRY_ASSIGN(bound, Bound::tuple(kSolvingNew, args, kwargs));
    KX_TRY_ASSIGN(value, times_from_bound(bound, kSolvingFields));
    return wrap(type, value);
  });
}

PyObject* solving_repr(PyObject* self) {
  return guard([&]() { return from_string(solving_time_text(value_of<SolvingTime>(self))); });
}

PyObject* solving_compare(PyObject* self, PyObject* other, int op) {
  return guard([&]() -> Result<Ref> {
    if (!PyObject_TypeCheck(other, solving_time_type())) return Ref::borrow(Py_NotImplemented);
    return compare(value_of<SolvingTime>(self) == value_of<SolvingTime>(other), op, "SolvingTime");
  });
}

struct SolvingForms {
  static constexpr const char* kName = "SolvingTime";
  static constexpr const char* kNoun = "Solving times";
  using Value = SolvingTime;
  static PyTypeObject* type() { return solving_time_type(); }
  static Result<Ref> to_dict(const SolvingTime& t) { return solving_to_dict(t); }
  static Result<SolvingTime> from_dict(PyObject* dict) {
    return times_from_dict(dict, kSolvingFields);
  }
  static Result<Ref> to_json(const SolvingTime& t) { return from_string(json_text(t)); }
  static Result<SolvingTime> from_json(const std::string& text) {
    return solving_time_from_json(text);
  }
};

PyTypeObject* build_solving() {
  return add_forms<SolvingForms>(
             wrapper_type<SolvingTime>(
                 "SolvingTime", "The solver's own phases, in seconds; None where not measured.",
                 &kSolvingNew)
                 .slot(Py_tp_new, reinterpret_cast<void*>(solving_new))
                 .slot(Py_tp_repr, reinterpret_cast<void*>(solving_repr))
                 .slot(Py_tp_str, reinterpret_cast<void*>(solving_repr))
                 .slot(Py_tp_richcompare, reinterpret_cast<void*>(solving_compare))
                 .property("preprocess",
                           property_getter<get_time<SolvingTime, &SolvingTime::preprocess>>,
                           property_setter<set_time<SolvingTime, &SolvingTime::preprocess>>)
                 .property("solve", property_getter<get_time<SolvingTime, &SolvingTime::solve>>,
                           property_setter<set_time<SolvingTime, &SolvingTime::solve>>)
                 .property("postprocess",
                           property_getter<get_time<SolvingTime, &SolvingTime::postprocess>>,
                           property_setter<set_time<SolvingTime, &SolvingTime::postprocess>>))
      .build();
}

// ---- SystemTime ----

const Signature kSystemNew(
    "SystemTime(post_problem_and_instance_data=None, request_queue=None, "
    "fetch_problem_and_instance_data=None, fetch_result=None, deserialize_solution=None)",
    "SystemTime.__new__()");

PyObject* system_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> Result<Ref> {
    KX_TRY_ASSIGN(bound, Bound::tuple(kSystemNew, args, kwargs));
    KX_TRY_ASSIGN(value, times_from_bound(bound, kSystemFields));
    return wrap(type, value);
  });
}

PyObject* system_repr(PyObject* self) {
  return guard([&]() { return from_string(system_time_text(value_of<SystemTime>(self))); });
}

PyObject* system_compare(PyObject* self, PyObject* other, int op) {
  return guard([&]() -> Result<Ref> {
    if (!PyObject_TypeCheck(other, system_time_type())) return Ref::borrow(Py_NotImplemented);
    return compare(value_of<SystemTime>(self) == value_of<SystemTime>(other), op, "SystemTime");
  });
}

template <Time SystemTime::* Member>
void add_system_property(TypeBuilder& builder, const char* name) {
  builder.property(name, property_getter<get_time<SystemTime, Member>>,
                   property_setter<set_time<SystemTime, Member>>);
}

struct SystemForms {
  static constexpr const char* kName = "SystemTime";
  static constexpr const char* kNoun = "System times";
  using Value = SystemTime;
  static PyTypeObject* type() { return system_time_type(); }
  static Result<Ref> to_dict(const SystemTime& t) { return system_to_dict(t); }
  static Result<SystemTime> from_dict(PyObject* dict) {
    return times_from_dict(dict, kSystemFields);
  }
  static Result<Ref> to_json(const SystemTime& t) { return from_string(json_text(t)); }
  static Result<SystemTime> from_json(const std::string& text) {
    return system_time_from_json(text);
  }
};

PyTypeObject* build_system() {
  TypeBuilder builder = wrapper_type<SystemTime>(
      "SystemTime", "The steps of a remote solving service, in seconds; None where not measured.",
      &kSystemNew);
  builder.slot(Py_tp_new, reinterpret_cast<void*>(system_new))
      .slot(Py_tp_repr, reinterpret_cast<void*>(system_repr))
      .slot(Py_tp_str, reinterpret_cast<void*>(system_repr))
      .slot(Py_tp_richcompare, reinterpret_cast<void*>(system_compare));
  add_system_property<&SystemTime::post_problem_and_instance_data>(
      builder, "post_problem_and_instance_data");
  add_system_property<&SystemTime::request_queue>(builder, "request_queue");
  add_system_property<&SystemTime::fetch_problem_and_instance_data>(
      builder, "fetch_problem_and_instance_data");
  add_system_property<&SystemTime::fetch_result>(builder, "fetch_result");
  add_system_property<&SystemTime::deserialize_solution>(builder, "deserialize_solution");
  return add_forms<SystemForms>(builder).build();
}

// ---- MeasuringTime ----

const Signature kMeasuringNew("MeasuringTime(solve=None, system=None, total=None)",
                              "MeasuringTime.__new__()");

PyObject* measuring_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> Result<Ref> {
    KX_TRY_ASSIGN(bound, Bound::tuple(kMeasuringNew, args, kwargs));
    MeasuringTime value;
    if (bound.has(0) && bound[0] != Py_None) {
      KX_TRY_ASSIGN(solve, argument("solve", value_as<SolvingTime>(bound[0], solving_time_type(),
                                                                   "SolvingTime")));
      value.solve = solve;
    }
    if (bound.has(1) && bound[1] != Py_None) {
      KX_TRY_ASSIGN(system, argument("system", value_as<SystemTime>(bound[1], system_time_type(),
                                                                    "SystemTime")));
      value.system = system;
    }
    KX_TRY_ASSIGN(total, argument("total", to_time(bound[2])));
    value.total = total;
    return wrap(type, value);
  });
}

Result<Ref> get_solve(PyObject* self) {
  return wrap(solving_time_type(), value_of<MeasuringTime>(self).solve);
}
Result<void> set_solve(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(solve, value_as<SolvingTime>(value, solving_time_type(), "SolvingTime"));
  value_of<MeasuringTime>(self).solve = solve;
  return {};
}
Result<Ref> get_system(PyObject* self) {
  return wrap(system_time_type(), value_of<MeasuringTime>(self).system);
}
Result<void> set_system(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(system, value_as<SystemTime>(value, system_time_type(), "SystemTime"));
  value_of<MeasuringTime>(self).system = system;
  return {};
}

PyObject* measuring_repr(PyObject* self) {
  return guard([&]() { return from_string(measuring_time_text(value_of<MeasuringTime>(self))); });
}

PyObject* measuring_compare(PyObject* self, PyObject* other, int op) {
  return guard([&]() -> Result<Ref> {
    if (!PyObject_TypeCheck(other, measuring_time_type())) return Ref::borrow(Py_NotImplemented);
    return compare(value_of<MeasuringTime>(self) == value_of<MeasuringTime>(other), op,
                   "MeasuringTime");
  });
}

struct MeasuringForms {
  static constexpr const char* kName = "MeasuringTime";
  static constexpr const char* kNoun = "Measuring times";
  using Value = MeasuringTime;
  static PyTypeObject* type() { return measuring_time_type(); }
  static Result<Ref> to_dict(const MeasuringTime& t) { return measuring_time_to_dict(t); }
  static Result<MeasuringTime> from_dict(PyObject* dict) { return measuring_time_from_dict(dict); }
  static Result<Ref> to_json(const MeasuringTime& t) { return from_string(json_text(t)); }
  static Result<MeasuringTime> from_json(const std::string& text) {
    return measuring_time_from_json(text);
  }
};

PyTypeObject* build_measuring() {
  return add_forms<MeasuringForms>(
             wrapper_type<MeasuringTime>(
                 "MeasuringTime",
                 "The solver's and the service's times and the total, in seconds. solve and system "
                 "are read and written as copies.",
                 &kMeasuringNew)
                 .slot(Py_tp_new, reinterpret_cast<void*>(measuring_new))
                 .slot(Py_tp_repr, reinterpret_cast<void*>(measuring_repr))
                 .slot(Py_tp_str, reinterpret_cast<void*>(measuring_repr))
                 .slot(Py_tp_richcompare, reinterpret_cast<void*>(measuring_compare))
                 .property("solve", property_getter<get_solve>, property_setter<set_solve>)
                 .property("system", property_getter<get_system>, property_setter<set_system>)
                 .property("total", property_getter<get_time<MeasuringTime, &MeasuringTime::total>>,
                           property_setter<set_time<MeasuringTime, &MeasuringTime::total>>))
      .build();
}

// A part of a MeasuringTime dict: absent gives the default, present must be a dict.
template <class T, size_t N>
Result<T> part_from_dict(PyObject* dict, const char* key, const TimeField<T> (&fields)[N]) {
  KX_TRY_ASSIGN(part, dict_get(dict, key));
  if (!part) return T{};
  if (!PyDict_Check(part.get())) {
    return fail(ErrorKind::Value, std::string("the value of the key '") + key + "' is not dict");
  }
  return times_from_dict(part.get(), fields);
}

}  // namespace

Result<Ref> measuring_time_to_dict(const MeasuringTime& t) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return python_error();
  KX_TRY(set_item(dict.get(), "solve", solving_to_dict(t.solve)));
  KX_TRY(set_item(dict.get(), "system", system_to_dict(t.system)));
  KX_TRY(set_item(dict.get(), "total", from_time(t.total)));
  return dict;
}

Result<MeasuringTime> measuring_time_from_dict(PyObject* dict) {
  MeasuringTime value;
  KX_TRY_ASSIGN(solve, part_from_dict(dict, "solve", kSolvingFields));
  KX_TRY_ASSIGN(system, part_from_dict(dict, "system", kSystemFields));
  KX_TRY_ASSIGN(total_item, dict_get(dict, "total"));
  KX_TRY_ASSIGN(total, to_time(total_item.get()));
  value.solve = solve;
  value.system = system;
  value.total = total;
  return value;
}

PyTypeObject* solving_time_type() {
  static PyTypeObject* type = build_solving();
  return type;
}
PyTypeObject* system_time_type() {
  static PyTypeObject* type = build_system();
  return type;
}
PyTypeObject* measuring_time_type() {
  static PyTypeObject* type = build_measuring();
  return type;
}

KX_REGISTER_CLASS("SolvingTime", solving_time_type);
KX_REGISTER_CLASS("SystemTime", system_time_type);
KX_REGISTER_CLASS("MeasuringTime", measuring_time_type);

}  // namespace korvex::py::sample_set_binding
