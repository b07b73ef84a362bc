// is_same: structural identity of two objects read as the same kind.
#include "korvex/core/expression/equality.hpp"
#include "korvex/python/expression/convert.hpp"
#include "korvex/python/model/model.hpp"

namespace korvex::py {
namespace {

std::string qualname(PyObject* object) {
  Ref name = Ref::steal(
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__qualname__"));
  if (name && PyUnicode_Check(name.get())) {
    if (const char* text = PyUnicode_AsUTF8(name.get())) return text;
  }
  PyErr_Clear();
  return type_name(object);
}

// The array kinds read by class alone: both objects must be of one of these classes.
bool same_array_class(PyObject* src, PyObject* dst) {
  if (Py_TYPE(src) != Py_TYPE(dst)) return false;
  for (ExprClass c : {ExprClass::Placeholder, ExprClass::Element, ExprClass::BinaryVar,
                      ExprClass::IntegerVar, ExprClass::ContinuousVar, ExprClass::SemiIntegerVar,
                      ExprClass::SemiContinuousVar, ExprClass::Subscript}) {
    if (Py_TYPE(src) == expr_type(c)) return true;
  }
  return false;
}

Result<Ref> is_same_body(PyObject*, const Bound& args) {
  PyObject* src = args[0];
  PyObject* dst = args[1];
  std::optional<bool> same = model_is_same(src, dst);
  if (!same) {
    if (auto a = to_expression(src)) {
      if (auto b = to_expression(dst)) same = equal(*a, *b);
    }
    PyErr_Clear();
  }
  if (!same) {
    if (auto a = to_conditional_expr(src)) {
      if (auto b = to_conditional_expr(dst)) same = equal(*a, *b);
    }
  }
  if (!same && same_array_class(src, dst)) same = equal(value_of<Expr>(src), value_of<Expr>(dst));
  if (!same && Py_TYPE(src) == range_type() && Py_TYPE(dst) == range_type()) {
    same = equal(value_of<Range>(src), value_of<Range>(dst));
  }
  if (!same) {
    return type_error("the type of src (= " + qualname(src) +
                      ") is different from the type of dst (= " + qualname(dst) +
                      "), or one of them is unsupported type");
  }
  return Ref::borrow(*same ? Py_True : Py_False);
}

const Callable kIsSame{Signature("is_same(src, dst)", "is_same()",
                                 "True when the two objects describe the same model element."),
                       is_same_body};
KX_REGISTER_FUNCTION(kIsSame);

}  // namespace
}  // namespace korvex::py
