#include "korvex/python/host/type.hpp"

namespace korvex::py {

PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "No constructor defined");
  return nullptr;
}

TypeBuilder::TypeBuilder(const char* name, int basicsize, const char* doc, const Signature* ctor)
    : qualified_name_(std::string("korvex.") + name), basicsize_(basicsize) {
  if (ctor != nullptr) {
    // The class docstring starts with "Name(params)" so inspect.signature sees the constructor.
    std::string text = ctor->text();
    doc_ = text + "\n--\n\n";
    ctor_text_ = text.substr(text.find('('));
  }
  if (doc != nullptr) doc_ += doc;
}

TypeBuilder& TypeBuilder::slot(int id, void* function) {
  if (id == Py_tp_new) has_new_ = true;
  for (PyType_Slot& existing : slots_) {
    if (existing.slot == id) {  // a class replaces a shared slot, e.g. its own dealloc
      existing.pfunc = function;
      return *this;
    }
  }
  slots_.push_back(PyType_Slot{id, function});
  return *this;
}

TypeBuilder& TypeBuilder::flags(unsigned long extra) {
  flags_ |= extra;
  return *this;
}

TypeBuilder& TypeBuilder::method(PyMethodDef def) {
  methods_.push_back(def);
  return *this;
}

TypeBuilder& TypeBuilder::property(const char* name, ::getter get, ::setter set, const char* doc) {
  properties_.push_back(PyGetSetDef{name, get, set, doc, nullptr});
  return *this;
}

PyTypeObject* TypeBuilder::build() {
  // Everything the type points to must outlive it: the type lives for the whole process.
  auto* name = new std::string(qualified_name_);
  auto* doc = new std::string(doc_);
  auto* methods = new std::vector<PyMethodDef>(methods_);
  methods->push_back(PyMethodDef{nullptr, nullptr, 0, nullptr});
  auto* properties = new std::vector<PyGetSetDef>(properties_);
  properties->push_back(PyGetSetDef{nullptr, nullptr, nullptr, nullptr, nullptr});
  std::vector<PyType_Slot> slots = slots_;
  if (!has_new_) slots.push_back(PyType_Slot{Py_tp_new, reinterpret_cast<void*>(no_constructor)});
  slots.push_back(PyType_Slot{Py_tp_doc, const_cast<char*>(doc->c_str())});
  if (methods->size() > 1) slots.push_back(PyType_Slot{Py_tp_methods, methods->data()});
  if (properties->size() > 1) slots.push_back(PyType_Slot{Py_tp_getset, properties->data()});
  slots.push_back(PyType_Slot{0, nullptr});
  auto* stored_slots = new std::vector<PyType_Slot>(std::move(slots));
  auto* spec = new PyType_Spec{name->c_str(), basicsize_, 0, static_cast<unsigned int>(flags_),
                               stored_slots->data()};
  PyObject* type = PyType_FromSpec(spec);
#if PY_VERSION_HEX < 0x030A0000
  // Before 3.10 a heap type loses the signature line of its docstring, so the constructor's
  // signature is attached as __signature__, made by inspect from the same text.
  if (type != nullptr && !ctor_text_.empty() && !attach_signature(type, ctor_text_)) {
    Py_CLEAR(type);
  }
#endif
  return reinterpret_cast<PyTypeObject*>(type);
}

#if PY_VERSION_HEX < 0x030A0000
bool TypeBuilder::attach_signature(PyObject* type, const std::string& text) {
  Ref globals = Ref::steal(PyDict_New());
  if (!globals || PyDict_SetItemString(globals.get(), "__builtins__", PyEval_GetBuiltins()) < 0) {
    return false;
  }
  std::string code = "import inspect\ndef f" + text + ": pass\nsignature = inspect.signature(f)\n";
  Ref result = Ref::steal(PyRun_String(code.c_str(), Py_file_input, globals.get(), globals.get()));
  if (!result) return false;
  PyObject* signature = PyDict_GetItemString(globals.get(), "signature");
  return signature != nullptr && PyObject_SetAttrString(type, "__signature__", signature) == 0;
}
#endif

static std::vector<PyMethodDef>& functions() {
  static std::vector<PyMethodDef> list;
  return list;
}

static std::vector<std::pair<const char*, PyTypeObject* (*)()>>& classes() {
  static std::vector<std::pair<const char*, PyTypeObject* (*)()>> list;
  return list;
}

void register_function(PyMethodDef def) { functions().push_back(def); }
void register_class(const char* name, PyTypeObject* (*type)()) {
  classes().emplace_back(name, type);
}
const std::vector<PyMethodDef>& registered_functions() { return functions(); }
const std::vector<std::pair<const char*, PyTypeObject* (*)()>>& registered_classes() {
  return classes();
}

}  // namespace korvex::py
