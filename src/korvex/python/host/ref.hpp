// Owning handle for a PyObject*: wrapper code never calls Py_DECREF by hand.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace korvex::py {

class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) {
      PyObject* old = p_;
      p_ = other.p_;
      other.p_ = nullptr;
      Py_XDECREF(old);
    }
    return *this;
  }
  ~Ref() { Py_XDECREF(p_); }

  // Takes over a new reference (may be null, which then signals a set Python error).
  static Ref steal(PyObject* p) { return Ref(p); }
  // Adds a reference to a borrowed object.
  static Ref borrow(PyObject* p) {
    Py_XINCREF(p);
    return Ref(p);
  }

  PyObject* get() const { return p_; }
  // Gives the reference away, as a slot or function returns it to the interpreter.
  PyObject* release() {
    PyObject* p = p_;
    p_ = nullptr;
    return p;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  explicit Ref(PyObject* p) : p_(p) {}
  PyObject* p_ = nullptr;
};

}  // namespace korvex::py
