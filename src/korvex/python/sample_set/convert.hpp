// Conversions between Python objects and the sample-set values, shared by the class families.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korvex/core/sample_set/evaluation.hpp"
#include "korvex/core/sample_set/json.hpp"
#include "korvex/core/sample_set/timing.hpp"
#include "korvex/python/host/error.hpp"

namespace korvex::py::sample_set_binding {

using namespace ::korvex::sample_set;

// "'{type_name}' object cannot be converted to '{class_name}'".
Error cannot_convert(PyObject* object, const char* class_name);

Result<std::string> to_string(PyObject* object);
// A dict or subclass.
Result<PyObject*> to_dict(PyObject* object);
// A sequence that is not a str; calls item(element) for each element in order.
template <class F>
Result<void> for_each_item(PyObject* object, F&& item);

Result<std::vector<double>> to_floats(PyObject* object);
Result<std::vector<uint64_t>> to_integers(PyObject* object);
Result<uint64_t> to_integer(PyObject* object);
Result<double> to_float(PyObject* object);
Result<Time> to_time(PyObject* object);  // None or a number
Result<FloatMap> to_float_map(PyObject* object);
Result<ForallMap> to_forall_map(PyObject* object);

Result<Ref> from_string(const std::string& text);
Result<Ref> from_time(const Time& time);
Result<Ref> integer_list(const std::vector<uint64_t>& values);
Result<Ref> float_list(const std::vector<double>& values);
// A dict of name to 1-D float64 arrays.
Result<Ref> float_array_map(const FloatMap& map);
Result<Ref> forall_array_map(const ForallMap& map);
// Sets dict[key] = value, taking over `value`.
Result<void> set_item(PyObject* dict, const char* key, Result<Ref> value);
Result<void> set_item(PyObject* dict, const std::string& key, Result<Ref> value);

// A ternary comparison slot: == and != by `equal`, the orderings refused with
// "Comparison '{op}' not supported for {class}".
Result<Ref> compare(bool equal, int op, const char* class_name);

// dict[key] as a new reference, empty when the key is absent. Never borrowed: reading the value
// runs user code (__index__, __float__) that may remove it from the dict.
Result<Ref> dict_get(PyObject* dict, const char* key);

// Whether `text` holds only ASCII bytes.
bool is_ascii(const std::string& text);

// A str holding the JSON that write(JsonOutput&) -> length writes. When the caller knows the
// text is ASCII (no name holds other bytes) it is written straight into the str, without the
// copy and the UTF-8 decoding of a detour through std::string.
Result<Ref> json_str(bool ascii, const std::function<size_t(JsonOutput&)>& write);

// pandas.DataFrame(columns), pandas imported on each call.
Result<Ref> data_frame(PyObject* columns);

// Functions of a small Python text compiled once per process (orjson, the timing spans).
Result<PyObject*> helper_function(const char* name);

template <class F>
Result<void> for_each_item(PyObject* object, F&& item) {
  if (PyUnicode_Check(object)) return type_error("Can't extract `str` to `Vec`");
  if (PyList_Check(object) || PyTuple_Check(object)) {
    Py_ssize_t size = PySequence_Fast_GET_SIZE(object);
    for (Py_ssize_t i = 0; i < size; ++i) {
      // The list may shrink under item(); re-read the size and keep the element alive.
      if (i >= PySequence_Fast_GET_SIZE(object)) break;
      Ref element = Ref::borrow(PySequence_Fast_ITEMS(object)[i]);
      KX_TRY(item(element.get()));
      size = PySequence_Fast_GET_SIZE(object);
    }
    return {};
  }
  if (!PySequence_Check(object)) return cannot_convert(object, "Sequence");
  // Iterated rather than indexed up to len(): a __len__ that overstates (or raises) must not turn
  // into an IndexError from __getitem__.
  Ref iterator = Ref::steal(PyObject_GetIter(object));
  if (!iterator) return python_error();
  while (true) {
    Ref element = Ref::steal(PyIter_Next(iterator.get()));
    if (!element) {
      if (PyErr_Occurred()) return python_error();
      return {};
    }
    KX_TRY(item(element.get()));
  }
}

}  // namespace korvex::py::sample_set_binding
