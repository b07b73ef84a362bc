// The one argument binder: every constructor, method and module function declares its text
// signature once; the binder parses it, binds calls with the exact binding messages and builds
// the docstring whose first line lets inspect.signature work.
#pragma once

#include <string>
#include <vector>

#include "korvex/core/error.hpp"
#include "korvex/python/host/ref.hpp"

namespace korvex::py {

constexpr int kMaxParams = 12;

struct Param {
  std::string name;
  bool required = true;
  bool keyword_only = false;
};

class Signature {
 public:
  // `text` is a text signature such as "len_at($self, axis, *, latex=None, description=None)" or
  // "Placeholder(name, *, ndim=0, latex=None, description=None)"; `function` is how messages
  // name the callable: "Placeholder.__new__()", "Subscript.len_at()", "abs()".
  Signature(std::string text, std::string function, const char* doc = nullptr);

  const std::string& text() const { return text_; }
  // "{text}\n--\n\n{doc}", as the interpreter reads a signature from a docstring.
  const char* doc() const { return doc_.c_str(); }
  const std::string& function() const { return function_; }
  // The callable's own name, the text before '('.
  const std::string& name() const { return name_; }
  const std::vector<Param>& params() const { return params_; }
  bool has_varargs() const { return varargs_; }

 private:
  std::string text_;
  std::string function_;
  std::string doc_;
  std::string name_;
  std::vector<Param> params_;
  bool varargs_ = false;
  int positional_ = 0;  // parameters before '*'
  int required_positional_ = 0;
  friend class Bound;
};

// The bound arguments of one call: borrowed references, null where an argument is absent.
class Bound {
 public:
  PyObject* operator[](int i) const { return values_[i]; }
  bool has(int i) const { return values_[i] != nullptr; }
  PyObject* const* varargs() const { return varargs_; }
  Py_ssize_t varargs_count() const { return varargs_count_; }

  // Binds a vectorcall-style call (METH_FASTCALL | METH_KEYWORDS).
  static Result<Bound> fast(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames);
  // Binds a tuple-and-dict call (tp_new, tp_init).
  static Result<Bound> tuple(const Signature& sig, PyObject* args, PyObject* kwargs);

 private:
  Result<void> bind_keyword(const Signature& sig, PyObject* key, PyObject* value);
  Result<void> check_missing(const Signature& sig);
  PyObject* values_[kMaxParams] = {};
  // The caller's keyword dict may be reachable from Python code that a conversion runs; the
  // values are borrowed from this copy instead, which nothing else can change.
  Ref kwargs_;
  PyObject* const* varargs_ = nullptr;
  Py_ssize_t varargs_count_ = 0;
};

Error decorate_argument_error(const char* name, Error error);

// Decorates a conversion TypeError with the argument's name (other errors pass unchanged).
template <class T>
Result<T> argument(const char* name, Result<T> converted) {
  if (converted) return converted;
  return decorate_argument_error(name, std::move(converted).error());
}

}  // namespace korvex::py
