// Turning core errors into Python exceptions, and the guard every entry point runs inside.
#pragma once

#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "korvex/core/error.hpp"
#include "korvex/python/host/ref.hpp"

namespace korvex::py {

// The module's own exception classes, created once per process by module initialisation.
struct ExceptionClasses {
  PyObject* modeling = nullptr;
  PyObject* protobuf_serialization = nullptr;
  PyObject* protobuf_deserialization = nullptr;
};
ExceptionClasses& exception_classes();

// The one table from error kind to Python exception class.
PyObject* exception_class(ErrorKind kind);

// Sets the Python error indicator for `error` (a PythonSet error is already set).
void raise(const Error& error);

// An error standing for "the Python error indicator is set".
inline Error python_error() { return Error{ErrorKind::PythonSet, {}}; }

// Sets `type` with `message` and returns the matching PythonSet error.
Error set_error(PyObject* type, std::string_view message);

// Raises a TypeError "argument '{name}': {message}" for a TypeError (set or pending), keeping
// the original as __cause__; other errors pass unchanged.
Error decorate_argument(const char* name, Error error);

// "{Class}: {message}" of an exception object followed by ", caused by ..." for its cause chain.
std::string describe_exception_chain(PyObject* exception);

// The bare name of a type ("int", "Placeholder"): tp_name after its last dot, as every supported
// CPython writes it, without relying on the interpreter's private helpers.
inline const char* short_type_name(PyTypeObject* type) {
  const char* name = type->tp_name;
  const char* dot = std::strrchr(name, '.');
  return dot != nullptr ? dot + 1 : name;
}

// Fetches the pending exception as a normalised object (new reference), clearing the indicator.
Ref fetch_exception();

// Reports the failure of a C++ exception as a Python exception.
void raise_cpp_exception();

// Runs `body` (which returns Result<Ref>) and hands its object, or a raised exception, to the
// interpreter. No C++ exception crosses this boundary.
template <class F>
PyObject* guard(F&& body) noexcept {
  try {
    Result<Ref> result = body();
    if (result) return std::move(result).value().release();
    raise(result.error());
    return nullptr;
  } catch (...) {
    raise_cpp_exception();
    return nullptr;
  }
}

// The same for slots that return an int (0 on success, -1 on failure).
template <class F>
int guard_int(F&& body) noexcept {
  try {
    Result<int> result = body();
    if (result) return result.value();
    raise(result.error());
    return -1;
  } catch (...) {
    raise_cpp_exception();
    return -1;
  }
}

}  // namespace korvex::py
