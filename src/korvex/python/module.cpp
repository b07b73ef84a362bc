// Module initialisation: the version, the exception classes, then every function and class in
// the one fixed registration order below. Class families register themselves with the host
// registry; this file decides only the order.
#include <atomic>
#include <cstring>
#include <string_view>

#include "korvex/python/host/type.hpp"

namespace korvex::py {
namespace {

constexpr const char* kFunctionOrder[] = {
    "is_linear",
    "is_quadratic",
    "is_higher_order",
    "is_dynamic_degree",
    "extract_nodes",
    "extract_variables",
    "is_same",
    "abs",
    "ceil",
    "floor",
    "log2",
    "log10",
    "ln",
    "min",
    "max",
    "sum",
    "prod",
    "to_protobuf",
    "from_protobuf",
    "replace",
    "concatenate",
};

constexpr const char* kClassOrder[] = {
    "DataType",
    "NumberLit",
    "Placeholder",
    "Range",
    "Element",
    "Subscript",
    "ArrayLength",
    "DummyIndexedVar",
    "BinaryVar",
    "IntegerVar",
    "ContinuousVar",
    "SemiIntegerVar",
    "SemiContinuousVar",
    "AbsOp",
    "CeilOp",
    "FloorOp",
    "Log2Op",
    "Log10Op",
    "LnOp",
    "AddOp",
    "MulOp",
    "ModOp",
    "MinOp",
    "MaxOp",
    "PowOp",
    "SumOp",
    "ProdOp",
    "AndOp",
    "OrOp",
    "XorOp",
    "EqualOp",
    "NotEqualOp",
    "LessThanOp",
    "LessThanEqualOp",
    "GreaterThanOp",
    "GreaterThanEqualOp",
    "Problem",
    "ProblemSense",
    "Constraint",
    "ConstraintSense",
    "CustomPenaltyTerm",
    "Evaluation",
    "Record",
    "SolvingTime",
    "SystemTime",
    "MeasuringTime",
    "SampleSet",
};

std::atomic<bool> initialised{false};

// m_size 0 (not -1): the interpreter then calls the initialisation entry again on a second
// import instead of copying a cached module, so the once-only rule can refuse it.
PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "korvex", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr};

// Sets module.name = value and appends name to __all__.
bool add(PyObject* module, PyObject* all, const char* name, PyObject* value) {
  if (value == nullptr) return false;
  Ref key = Ref::steal(PyUnicode_InternFromString(name));
  if (!key) return false;
  if (PyObject_SetAttr(module, key.get(), value) < 0) return false;
  return PyList_Append(all, key.get()) == 0;
}

bool add_exception(PyObject* module, PyObject* all, const char* qualified, PyObject** slot) {
  PyObject* type = PyErr_NewException(qualified, PyExc_Exception, nullptr);
  if (type == nullptr) return false;
  *slot = type;  // kept for the life of the process
  return add(module, all, std::strchr(qualified, '.') + 1, type);
}

PyObject* initialise() {
  bool expected = false;
  if (!initialised.compare_exchange_strong(expected, true)) {
    PyErr_SetString(PyExc_ImportError,
                    "korvex may be initialised only once per interpreter process");
    return nullptr;
  }
  Ref module = Ref::steal(PyModule_Create(&module_def));
  if (!module) return nullptr;
  Ref all = Ref::steal(PyObject_GetAttrString(module.get(), "__all__"));
  if (!all) {
    PyErr_Clear();
    all = Ref::steal(PyList_New(0));
    if (!all || PyObject_SetAttrString(module.get(), "__all__", all.get()) < 0) return nullptr;
  }
  Ref version = Ref::steal(PyUnicode_FromString("1.0.0-rc5"));
  if (!add(module.get(), all.get(), "__version__", version.get())) return nullptr;
  ExceptionClasses& exceptions = exception_classes();
  if (!add_exception(module.get(), all.get(), "korvex.ModelingError", &exceptions.modeling) ||
      !add_exception(module.get(), all.get(), "korvex.ProtobufSerializationError",
                     &exceptions.protobuf_serialization) ||
      !add_exception(module.get(), all.get(), "korvex.ProtobufDeserializationError",
                     &exceptions.protobuf_deserialization)) {
    return nullptr;
  }
  Ref module_name = Ref::steal(PyUnicode_FromString("korvex"));
  if (!module_name) return nullptr;
  for (const char* name : kFunctionOrder) {
    for (const PyMethodDef& def : registered_functions()) {
      if (std::string_view(def.ml_name) != name) continue;
      Ref function =
          Ref::steal(PyCFunction_NewEx(const_cast<PyMethodDef*>(&def), nullptr, module_name.get()));
      if (!add(module.get(), all.get(), name, function.get())) return nullptr;
    }
  }
  for (const char* name : kClassOrder) {
    for (const auto& [class_name, type] : registered_classes()) {
      if (std::string_view(class_name) != name) continue;
      if (!add(module.get(), all.get(), name, reinterpret_cast<PyObject*>(type()))) return nullptr;
    }
  }
  return module.release();
}

}  // namespace
}  // namespace korvex::py

PyMODINIT_FUNC PyInit_korvex() {
  try {
    return korvex::py::initialise();
  } catch (...) {
    korvex::py::raise_cpp_exception();
    return nullptr;
  }
}
