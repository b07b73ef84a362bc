#include "korvex/python/host/error.hpp"

#include <stdexcept>

namespace korvex::py {

ExceptionClasses& exception_classes() {
  static ExceptionClasses classes;
  return classes;
}

PyObject* exception_class(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Modeling:
      return exception_classes().modeling;
    case ErrorKind::Type:
      return PyExc_TypeError;
    case ErrorKind::Value:
      return PyExc_ValueError;
    case ErrorKind::Index:
      return PyExc_IndexError;
    case ErrorKind::ZeroDivision:
      return PyExc_ZeroDivisionError;
    case ErrorKind::Attribute:
      return PyExc_AttributeError;
    case ErrorKind::Recursion:
      return PyExc_RecursionError;
    case ErrorKind::Overflow:
      return PyExc_OverflowError;
    case ErrorKind::Runtime:
      return PyExc_RuntimeError;
    case ErrorKind::Import:
      return PyExc_ImportError;
    case ErrorKind::ProtobufSerialization:
      return exception_classes().protobuf_serialization;
    case ErrorKind::ProtobufDeserialization:
      return exception_classes().protobuf_deserialization;
    case ErrorKind::PythonSet:
      return nullptr;
  }
  return PyExc_SystemError;
}

void raise(const Error& error) {
  if (error.kind == ErrorKind::PythonSet) {
    if (!PyErr_Occurred()) {
      PyErr_SetString(PyExc_SystemError, "korvex: an error was reported without an exception");
    }
    return;
  }
  PyObject* type = exception_class(error.kind);
  if (type == nullptr) type = PyExc_SystemError;
  Ref message = Ref::steal(PyUnicode_DecodeUTF8(
      error.message.data(), static_cast<Py_ssize_t>(error.message.size()), "replace"));
  if (!message) return;
  PyErr_SetObject(type, message.get());
}

Error set_error(PyObject* type, std::string_view message) {
  Ref text = Ref::steal(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (text) PyErr_SetObject(type, text.get());
  return python_error();
}

Ref fetch_exception() {
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  if (type == nullptr) return Ref();
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value != nullptr && traceback != nullptr) PyException_SetTraceback(value, traceback);
  Py_XDECREF(type);
  Py_XDECREF(traceback);
  return Ref::steal(value);
}

static std::string object_text(PyObject* object) {
  Ref text = Ref::steal(PyObject_Str(object));
  if (!text) {
    PyErr_Clear();
    return "<unprintable>";
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text.get(), &size);
  if (data == nullptr) {
    PyErr_Clear();
    return "<unprintable>";
  }
  return std::string(data, static_cast<size_t>(size));
}

std::string describe_exception_chain(PyObject* exception) {
  std::string out;
  int guard_count = 0;
  for (PyObject* e = exception; e != nullptr && guard_count < 64; ++guard_count) {
    if (!out.empty()) out += ", caused by ";
    out += short_type_name(Py_TYPE(e));
    out += ": ";
    out += object_text(e);
    Ref cause = Ref::steal(PyException_GetCause(e));
    e = cause.get();  // still alive: the exception holds its own reference to the cause
  }
  return out;
}

Error decorate_argument(const char* name, Error error) {
  Ref original;
  if (error.kind == ErrorKind::Type) {
    Ref text = Ref::steal(PyUnicode_DecodeUTF8(
        error.message.data(), static_cast<Py_ssize_t>(error.message.size()), "replace"));
    if (!text) return python_error();
    original = Ref::steal(PyObject_CallOneArg(PyExc_TypeError, text.get()));
    if (!original) return python_error();
  } else if (error.kind == ErrorKind::PythonSet && PyErr_ExceptionMatches(PyExc_TypeError)) {
    original = fetch_exception();
    if (!original) return python_error();
  } else {
    return error;
  }
  std::string message = std::string("argument '") + name + "': " + object_text(original.get());
  Ref text = Ref::steal(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (!text) return python_error();
  Ref decorated = Ref::steal(PyObject_CallOneArg(PyExc_TypeError, text.get()));
  if (!decorated) return python_error();
  PyException_SetCause(decorated.get(), original.release());  // steals the reference
  PyErr_SetObject(PyExc_TypeError, decorated.get());
  return python_error();
}

void raise_cpp_exception() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::length_error&) {
    // A container asked for more elements than it can hold: out of memory, not an internal fault.
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_Format(PyExc_SystemError, "korvex internal error: %s", e.what());
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "korvex internal error");
  }
}

}  // namespace korvex::py
