#include "korvex/python/host/enum.hpp"

#include <string>
#include <utility>
#include <vector>

namespace korvex::py {
namespace {

PyObject* enum_repr(PyObject* self) {
  const EnumValue& v = value_of<EnumValue>(self);
  std::string text = std::string(v.spec->class_name) + "." + v.spec->members[v.value];
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* enum_int(PyObject* self) { return PyLong_FromLong(value_of<EnumValue>(self).value); }

Py_hash_t enum_hash(PyObject* self) { return value_of<EnumValue>(self).value; }

PyObject* enum_richcompare(PyObject* self, PyObject* other, int op) {
  if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
  long mine = value_of<EnumValue>(self).value;
  bool same;
  Ref index = Ref::steal(PyNumber_Index(other));
  if (index) {
    int overflow = 0;
    long long theirs = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (theirs == -1 && PyErr_Occurred()) return nullptr;
    same = overflow == 0 && theirs == mine;
  } else {
    PyErr_Clear();
    if (Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
    same = value_of<EnumValue>(other).value == mine;
  }
  return PyBool_FromLong((op == Py_EQ) == same);
}

PyTypeObject* build_enum_type(const EnumSpec& spec) {
  PyTypeObject* type = wrapper_type<EnumValue>(spec.class_name, spec.doc)
                           .slot(Py_tp_repr, reinterpret_cast<void*>(enum_repr))
                           .slot(Py_nb_int, reinterpret_cast<void*>(enum_int))
                           .slot(Py_tp_hash, reinterpret_cast<void*>(enum_hash))
                           .slot(Py_tp_richcompare, reinterpret_cast<void*>(enum_richcompare))
                           .build();
  if (type == nullptr) return nullptr;
  for (int v = 0; v < spec.count; ++v) {
    auto member = wrap<EnumValue>(type, EnumValue{v, &spec});
    if (!member) {
      raise(member.error());
      return nullptr;
    }
    if (PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), spec.members[v],
                               member.value().get()) < 0) {
      return nullptr;
    }
  }
  return type;
}

}  // namespace

PyTypeObject* enum_type(const EnumSpec& spec) {
  // One class for each EnumSpec, kept for the life of the process; there are few and static.
  static std::vector<std::pair<const EnumSpec*, PyTypeObject*>> built;
  for (const auto& [s, t] : built) {
    if (s == &spec) return t;
  }
  PyTypeObject* type = build_enum_type(spec);
  if (type != nullptr) built.emplace_back(&spec, type);
  return type;
}

Result<Ref> enum_member(const EnumSpec& spec, int value) {
  PyTypeObject* type = enum_type(spec);
  if (type == nullptr) return python_error();
  return wrap<EnumValue>(type, EnumValue{value, &spec});
}

Result<int> to_enum(const EnumSpec& spec, PyObject* object) {
  PyTypeObject* type = enum_type(spec);
  if (type == nullptr) return python_error();
  if (Py_TYPE(object) == type) return value_of<EnumValue>(object).value;
  return type_error(std::string("'") + short_type_name(Py_TYPE(object)) +
                    "' object cannot be converted to '" + spec.class_name + "'");
}

}  // namespace korvex::py
