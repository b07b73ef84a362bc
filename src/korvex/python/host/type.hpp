// Building type objects from slot tables, method tables from declared signatures, and the
// registry through which each class family hands its classes and functions to the module.
#pragma once

#include <new>
#include <utility>
#include <vector>

#include "korvex/python/host/args.hpp"
#include "korvex/python/host/error.hpp"

namespace korvex::py {

// A method or module function: its declared signature and its body.
struct Callable {
  Signature sig;
  Result<Ref> (*body)(PyObject* self, const Bound& args);
};

template <const Callable& C>
PyObject* fastcall(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> Result<Ref> {
    KX_TRY_ASSIGN(bound, Bound::fast(C.sig, args, nargs, kwnames));
    return C.body(self, bound);
  });
}

template <const Callable& C>
PyMethodDef method_def() {
  return PyMethodDef{C.sig.name().c_str(),
                     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fastcall<C>)),
                     METH_FASTCALL | METH_KEYWORDS, C.sig.doc()};
}

// A constructor (tp_new): its declared signature and its body.
struct Constructor {
  Signature sig;
  Result<Ref> (*body)(PyTypeObject* type, const Bound& args);
};

template <const Constructor& C>
PyObject* constructor(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> Result<Ref> {
    KX_TRY_ASSIGN(bound, Bound::tuple(C.sig, args, kwargs));
    return C.body(type, bound);
  });
}

// Marks a method as a static method (called on the class, as from_dict and from_json are).
inline PyMethodDef static_method(PyMethodDef def) {
  def.ml_flags |= METH_STATIC;
  return def;
}

// A property getter from a function of the object.
template <Result<Ref> (*F)(PyObject*)>
PyObject* property_getter(PyObject* self, void*) {
  return guard([&]() -> Result<Ref> { return F(self); });
}

// A property setter; deleting the attribute is refused.
template <Result<void> (*F)(PyObject*, PyObject*)>
int property_setter(PyObject* self, PyObject* value, void*) {
  if (value == nullptr) {
    PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
    return -1;
  }
  return guard_int([&]() -> Result<int> {
    auto result = F(self, value);
    if (!result) return std::move(result).error();
    return 0;
  });
}

// tp_new of a class without a constructor.
PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*);

// A wrapper object: PyObject_HEAD followed by one C++ value.
template <class T>
struct Wrapper {
  PyObject_HEAD T value;
};

template <class T>
T& value_of(PyObject* object) {
  return reinterpret_cast<Wrapper<T>*>(object)->value;
}

template <class T>
void wrapper_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  reinterpret_cast<Wrapper<T>*>(self)->value.~T();
  type->tp_free(self);
  Py_DECREF(type);
}

// Creates an instance of `type` (a Wrapper<T> type) holding `value`.
template <class T>
Result<Ref> wrap(PyTypeObject* type, T value) {
  Ref object = Ref::steal(type->tp_alloc(type, 0));
  if (!object) return python_error();
  new (&reinterpret_cast<Wrapper<T>*>(object.get())->value) T(std::move(value));
  return object;
}

class TypeBuilder {
 public:
  // `name` is the bare class name; the type reports module korvex. `doc` is the documentation;
  // a class with a constructor passes the constructor's signature to prepend its first line.
  TypeBuilder(const char* name, int basicsize, const char* doc, const Signature* ctor = nullptr);
  TypeBuilder& slot(int id, void* function);
  // Extra type flags, e.g. Py_TPFLAGS_HAVE_GC for a class that holds arbitrary Python objects.
  TypeBuilder& flags(unsigned long extra);
  TypeBuilder& method(PyMethodDef def);
  TypeBuilder& property(const char* name, ::getter get, ::setter set = nullptr,
                        const char* doc = nullptr);
  // Creates the type object; it lives until the process ends.
  PyTypeObject* build();

 private:
  std::string qualified_name_;
  std::string doc_;
  int basicsize_;
  std::vector<PyType_Slot> slots_;
  std::vector<PyMethodDef> methods_;
  std::vector<PyGetSetDef> properties_;
  bool has_new_ = false;
  unsigned long flags_ = Py_TPFLAGS_DEFAULT;
  std::string ctor_text_;  // "(name, *, ...)" of the constructor, if any
#if PY_VERSION_HEX < 0x030A0000
  static bool attach_signature(PyObject* type, const std::string& text);
#endif
};

template <class T>
TypeBuilder wrapper_type(const char* name, const char* doc, const Signature* ctor = nullptr) {
  TypeBuilder builder(name, static_cast<int>(sizeof(Wrapper<T>)), doc, ctor);
  builder.slot(Py_tp_dealloc, reinterpret_cast<void*>(wrapper_dealloc<T>));
  return builder;
}

// The registry of what a class family offers; module initialisation registers it in the one
// fixed order, skipping nothing that exists.
void register_function(PyMethodDef def);
void register_class(const char* name, PyTypeObject* (*type)());
const std::vector<PyMethodDef>& registered_functions();
const std::vector<std::pair<const char*, PyTypeObject* (*)()>>& registered_classes();

// Defines a module function body's Callable and registers it at static initialisation.
#define KX_REGISTER_FUNCTION(callable)         \
  static const bool kx_registered_##callable = \
      (::korvex::py::register_function(::korvex::py::method_def<callable>()), true)

#define KX_REGISTER_CLASS(name, type_getter)            \
  static const bool kx_registered_class_##type_getter = \
      (::korvex::py::register_class(name, type_getter), true)

}  // namespace korvex::py
