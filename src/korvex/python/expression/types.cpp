// The type tables of the expression and condition classes, the members they share, and the
// classes of the operator nodes (their getters; construction lives with the operators).
#include <utility>

#include "korvex/core/print/printer.hpp"
#include "korvex/python/expression/convert.hpp"

namespace korvex::py {

PyTypeObject* expr_type(ExprClass c) {
  static PyTypeObject* types[static_cast<size_t>(ExprClass::Count)] = {};
  PyTypeObject*& type = types[static_cast<size_t>(c)];
  if (type == nullptr) {
    type = c <= ExprClass::ArrayLength ? build_operand_type(c) : build_operator_type(c);
  }
  return type;
}

PyTypeObject* cond_type(CondClass c) {
  static PyTypeObject* types[static_cast<size_t>(CondClass::Count)] = {};
  PyTypeObject*& type = types[static_cast<size_t>(c)];
  if (type == nullptr) type = build_cond_type(c);
  return type;
}

namespace {

PyObject* expr_repr(PyObject* self) {
  return guard([&]() -> Result<Ref> {
    std::string text = print(value_of<Expr>(self), Form::Repr);
    return Ref::steal(
        PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  });
}

PyObject* expr_str(PyObject* self) {
  return guard([&]() -> Result<Ref> {
    std::string text = print(value_of<Expr>(self), Form::Str);
    return Ref::steal(
        PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  });
}

PyObject* cond_repr(PyObject* self) {
  return guard([&]() -> Result<Ref> {
    std::string text = print(value_of<Cond>(self), Form::Repr);
    return Ref::steal(
        PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  });
}

PyObject* cond_str(PyObject* self) {
  return guard([&]() -> Result<Ref> {
    std::string text = print(value_of<Cond>(self), Form::Str);
    return Ref::steal(
        PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  });
}

// set_latex replaces this object's own root with a changed copy: nothing else can see it.
Result<Ref> expr_set_latex(PyObject* self, const Bound& args) {
  KX_TRY_ASSIGN(latex, argument("latex", to_optional_string(args[0])));
  Expr& value = value_of<Expr>(self);
  value = with_latex(value, std::move(latex));
  return Ref::borrow(Py_None);
}

Result<Ref> cond_set_latex(PyObject* self, const Bound& args) {
  KX_TRY_ASSIGN(latex, argument("latex", to_optional_string(args[0])));
  Cond& value = value_of<Cond>(self);
  value = with_latex(value, std::move(latex));
  return Ref::borrow(Py_None);
}

// Every set_latex shares one body; only the owner class in messages differs.
template <ExprClass C>
struct ExprSetLatex {
  static inline const Callable callable{
      Signature("set_latex($self, latex=None)", std::string(class_name(C)) + ".set_latex()",
                "Sets the LaTeX text shown for this object (None restores the default)."),
      expr_set_latex};
};

template <CondClass C>
struct CondSetLatex {
  static inline const Callable callable{
      Signature("set_latex($self, latex=None)", std::string(class_name(C)) + ".set_latex()",
                "Sets the LaTeX text shown for this condition (None restores the default)."),
      cond_set_latex};
};

template <size_t... I>
PyMethodDef expr_set_latex_def(ExprClass c, std::index_sequence<I...>) {
  PyMethodDef defs[] = {method_def<ExprSetLatex<static_cast<ExprClass>(I)>::callable>()...};
  return defs[static_cast<size_t>(c)];
}

template <size_t... I>
PyMethodDef cond_set_latex_def(CondClass c, std::index_sequence<I...>) {
  PyMethodDef defs[] = {method_def<CondSetLatex<static_cast<CondClass>(I)>::callable>()...};
  return defs[static_cast<size_t>(c)];
}

const Expr& operand_of(PyObject* self) { return value_of<Expr>(self); }

Result<Ref> get_operand(PyObject* self) { return wrap(operand_of(self)->as<UnaryOp>().operand); }
Result<Ref> get_left(PyObject* self) { return wrap(operand_of(self)->as<BinaryOp>().left); }
Result<Ref> get_right(PyObject* self) { return wrap(operand_of(self)->as<BinaryOp>().right); }
Result<Ref> get_terms(PyObject* self) {
  return wrap_list(std::vector<Expr>(operand_of(self)->as<CommutativeOp>().terms));
}
Result<Ref> get_index(PyObject* self) { return wrap(operand_of(self)->as<ReductionOp>().index); }
Result<Ref> get_condition(PyObject* self) {
  const Cond& condition = operand_of(self)->as<ReductionOp>().condition;
  if (!condition) return Ref::borrow(Py_None);
  return wrap(condition);
}
Result<Ref> get_reduction_operand(PyObject* self) {
  return wrap(operand_of(self)->as<ReductionOp>().operand);
}

Result<Ref> get_cond_left(PyObject* self) {
  return wrap(value_of<Cond>(self)->as<ComparisonOp>().left);
}
Result<Ref> get_cond_right(PyObject* self) {
  return wrap(value_of<Cond>(self)->as<ComparisonOp>().right);
}
Result<Ref> get_cond_terms(PyObject* self) {
  const auto& terms = value_of<Cond>(self)->as<LogicalOp>().terms;
  Ref out = Ref::steal(PyList_New(static_cast<Py_ssize_t>(terms.size())));
  if (!out) return python_error();
  for (size_t i = 0; i < terms.size(); ++i) {
    KX_TRY_ASSIGN(item, wrap(terms[i]));
    PyList_SET_ITEM(out.get(), static_cast<Py_ssize_t>(i), item.release());
  }
  return out;
}

template <ExprClass C>
PyTypeObject* expr_type_getter() {
  return expr_type(C);
}

template <CondClass C>
PyTypeObject* cond_type_getter() {
  return cond_type(C);
}

template <size_t... I>
bool register_expr_classes(std::index_sequence<I...>) {
  (register_class(class_name(static_cast<ExprClass>(I)),
                  expr_type_getter<static_cast<ExprClass>(I)>),
   ...);
  return true;
}

template <size_t... I>
bool register_cond_classes(std::index_sequence<I...>) {
  (register_class(class_name(static_cast<CondClass>(I)),
                  cond_type_getter<static_cast<CondClass>(I)>),
   ...);
  return true;
}

const bool kRegistered =
    register_expr_classes(std::make_index_sequence<static_cast<size_t>(ExprClass::Count)>()) &&
    register_cond_classes(std::make_index_sequence<static_cast<size_t>(CondClass::Count)>());

}  // namespace

TypeBuilder expression_type_builder(ExprClass c, const char* doc, const Signature* ctor) {
  TypeBuilder builder = wrapper_type<Expr>(class_name(c), doc, ctor);
  builder.slot(Py_tp_repr, reinterpret_cast<void*>(expr_repr));
  builder.slot(Py_tp_str, reinterpret_cast<void*>(expr_str));
  if (c != ExprClass::NumberLit) {
    builder.method(
        expr_set_latex_def(c, std::make_index_sequence<static_cast<size_t>(ExprClass::Count)>()));
  }
  add_operator_slots(builder, c);
  return builder;
}

PyTypeObject* build_operator_type(ExprClass c) {
  TypeBuilder builder = expression_type_builder(c, "An operator node of an expression.", nullptr);
  switch (c) {
    case ExprClass::AbsOp:
    case ExprClass::CeilOp:
    case ExprClass::FloorOp:
    case ExprClass::Log2Op:
    case ExprClass::Log10Op:
    case ExprClass::LnOp:
      builder.property("operand", property_getter<get_operand>);
      break;
    case ExprClass::PowOp:
      builder.property("base", property_getter<get_left>);
      builder.property("exponent", property_getter<get_right>);
      break;
    case ExprClass::ModOp:
      builder.property("left", property_getter<get_left>);
      builder.property("right", property_getter<get_right>);
      break;
    case ExprClass::AddOp:
    case ExprClass::MulOp:
    case ExprClass::MinOp:
    case ExprClass::MaxOp:
      builder.property("terms", property_getter<get_terms>);
      break;
    case ExprClass::SumOp:
    case ExprClass::ProdOp:
      builder.property("index", property_getter<get_index>);
      builder.property("condition", property_getter<get_condition>);
      builder.property("operand", property_getter<get_reduction_operand>);
      break;
    case ExprClass::NumberLit:
    case ExprClass::Placeholder:
    case ExprClass::Element:
    case ExprClass::BinaryVar:
    case ExprClass::IntegerVar:
    case ExprClass::ContinuousVar:
    case ExprClass::SemiIntegerVar:
    case ExprClass::SemiContinuousVar:
    case ExprClass::Subscript:
    case ExprClass::ArrayLength:
    case ExprClass::Count:
      break;
  }
  return builder.build();
}

PyTypeObject* build_cond_type(CondClass c) {
  TypeBuilder builder = wrapper_type<Cond>(class_name(c), "A condition.", nullptr);
  builder.slot(Py_tp_repr, reinterpret_cast<void*>(cond_repr));
  builder.slot(Py_tp_str, reinterpret_cast<void*>(cond_str));
  builder.method(
      cond_set_latex_def(c, std::make_index_sequence<static_cast<size_t>(CondClass::Count)>()));
  if (c >= CondClass::EqualOp) {
    builder.property("left", property_getter<get_cond_left>);
    builder.property("right", property_getter<get_cond_right>);
  } else {
    builder.property("terms", property_getter<get_cond_terms>);
  }
  add_cond_operator_slots(builder, c);
  return builder.build();
}

}  // namespace korvex::py
