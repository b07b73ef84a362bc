// The sample-set classes as the other files of this family see them: their type objects and the
// conversions between their Python objects and core values.
#pragma once

#include "korvex/core/sample_set/sample_set.hpp"
#include "korvex/python/host/type.hpp"

namespace korvex::py::sample_set_binding {

using namespace ::korvex::sample_set;

PyTypeObject* record_type();
PyTypeObject* evaluation_type();
PyTypeObject* solving_time_type();
PyTypeObject* system_time_type();
PyTypeObject* measuring_time_type();
PyTypeObject* sample_set_type();

// The value behind a SampleSet: the core value and the metadata dict, held by reference.
struct SampleSetValue {
  SampleSet core;
  Ref metadata;
};

// Reads a solution dict (sparse tried first, then dense).
Result<Solution> solution_from_python(PyObject* object);

// Dict forms.
Result<Ref> record_to_dict(const Record& record);
Result<Record> record_from_dict(PyObject* dict);
Result<Ref> evaluation_to_dict(const Evaluation& evaluation);
Result<Evaluation> evaluation_from_dict(PyObject* dict);
Result<Ref> measuring_time_to_dict(const MeasuringTime& time);
Result<MeasuringTime> measuring_time_from_dict(PyObject* dict);

// DataFrame forms.
Result<Ref> record_to_pandas(const Record& record);
Result<Ref> evaluation_to_pandas(const Evaluation& evaluation);

// A Python object of one of the classes, or the "cannot be converted" TypeError.
template <class T>
Result<T> value_as(PyObject* object, PyTypeObject* type, const char* class_name);

}  // namespace korvex::py::sample_set_binding

#include "korvex/python/sample_set/convert.hpp"

namespace korvex::py::sample_set_binding {

template <class T>
Result<T> value_as(PyObject* object, PyTypeObject* type, const char* class_name) {
  if (type == nullptr) return python_error();
  if (!PyObject_TypeCheck(object, type)) return cannot_convert(object, class_name);
  return value_of<T>(object);
}

}  // namespace korvex::py::sample_set_binding
