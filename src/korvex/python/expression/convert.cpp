#include "korvex/python/expression/convert.hpp"

#include "korvex/core/expression/operand.hpp"

namespace korvex::py {

const char* class_name(ExprClass c) {
  static constexpr const char* kNames[] = {
      "NumberLit",  "Placeholder",   "Element",        "BinaryVar",
      "IntegerVar", "ContinuousVar", "SemiIntegerVar", "SemiContinuousVar",
      "Subscript",  "ArrayLength",   "AbsOp",          "CeilOp",
      "FloorOp",    "Log2Op",        "Log10Op",        "LnOp",
      "AddOp",      "MulOp",         "ModOp",          "MinOp",
      "MaxOp",      "PowOp",         "SumOp",          "ProdOp"};
  return kNames[static_cast<size_t>(c)];
}

const char* class_name(CondClass c) {
  static constexpr const char* kNames[] = {
      "AndOp",           "OrOp",          "XorOp",
      "EqualOp",         "NotEqualOp",    "LessThanOp",
      "LessThanEqualOp", "GreaterThanOp", "GreaterThanEqualOp"};
  return kNames[static_cast<size_t>(c)];
}

ExprClass class_of(const Node& node) {
  switch (node.kind()) {
    case ExprKind::NumberLit:
      return ExprClass::NumberLit;
    case ExprKind::Placeholder:
      return ExprClass::Placeholder;
    case ExprKind::Element:
      return ExprClass::Element;
    case ExprKind::DecisionVar:
      switch (node.as<DecisionVar>().kind) {
        case VarKind::Binary:
          return ExprClass::BinaryVar;
        case VarKind::Integer:
          return ExprClass::IntegerVar;
        case VarKind::Continuous:
          return ExprClass::ContinuousVar;
        case VarKind::SemiInteger:
          return ExprClass::SemiIntegerVar;
        case VarKind::SemiContinuous:
          return ExprClass::SemiContinuousVar;
      }
      break;
    case ExprKind::Subscript:
      return ExprClass::Subscript;
    case ExprKind::ArrayLength:
      return ExprClass::ArrayLength;
    case ExprKind::UnaryOp:
      switch (node.as<UnaryOp>().kind) {
        case UnaryKind::Abs:
          return ExprClass::AbsOp;
        case UnaryKind::Ceil:
          return ExprClass::CeilOp;
        case UnaryKind::Floor:
          return ExprClass::FloorOp;
        case UnaryKind::Ln:
          return ExprClass::LnOp;
        case UnaryKind::Log10:
          return ExprClass::Log10Op;
        case UnaryKind::Log2:
          return ExprClass::Log2Op;
      }
      break;
    case ExprKind::BinaryOp:
      return node.as<BinaryOp>().kind == BinaryKind::Pow ? ExprClass::PowOp : ExprClass::ModOp;
    case ExprKind::CommutativeOp:
      switch (node.as<CommutativeOp>().kind) {
        case CommutativeKind::Add:
          return ExprClass::AddOp;
        case CommutativeKind::Mul:
          return ExprClass::MulOp;
        case CommutativeKind::Min:
          return ExprClass::MinOp;
        case CommutativeKind::Max:
          return ExprClass::MaxOp;
      }
      break;
    case ExprKind::ReductionOp:
      return node.as<ReductionOp>().kind == ReductionKind::Sum ? ExprClass::SumOp
                                                               : ExprClass::ProdOp;
  }
  return ExprClass::NumberLit;
}

CondClass class_of(const CondNode& node) {
  if (const auto* c = node.get_if<ComparisonOp>()) {
    switch (c->kind) {
      case ComparisonKind::Equal:
        return CondClass::EqualOp;
      case ComparisonKind::NotEqual:
        return CondClass::NotEqualOp;
      case ComparisonKind::LessThan:
        return CondClass::LessThanOp;
      case ComparisonKind::LessThanEqual:
        return CondClass::LessThanEqualOp;
      case ComparisonKind::GreaterThan:
        return CondClass::GreaterThanOp;
      case ComparisonKind::GreaterThanEqual:
        return CondClass::GreaterThanEqualOp;
    }
  }
  switch (node.as<LogicalOp>().kind) {
    case LogicalKind::And:
      return CondClass::AndOp;
    case LogicalKind::Or:
      return CondClass::OrOp;
    case LogicalKind::Xor:
      return CondClass::XorOp;
  }
  return CondClass::AndOp;
}

// Every expression-family class, and no other type, deallocates through wrapper_dealloc<Expr>
// (likewise for conditions), so one pointer comparison recognises them all.
const Expr* expr_of(PyObject* object) {
  if (Py_TYPE(object)->tp_dealloc != wrapper_dealloc<Expr>) return nullptr;
  return &value_of<Expr>(object);
}

const Cond* cond_of(PyObject* object) {
  if (Py_TYPE(object)->tp_dealloc != wrapper_dealloc<Cond>) return nullptr;
  return &value_of<Cond>(object);
}

Result<Ref> wrap(Expr expr) {
  PyTypeObject* type = expr_type(class_of(*expr));
  return py::wrap<Expr>(type, std::move(expr));
}

Result<Ref> wrap(Cond cond) {
  PyTypeObject* type = cond_type(class_of(*cond));
  return py::wrap<Cond>(type, std::move(cond));
}

Result<Ref> wrap_list(const std::vector<Expr>& list) {
  Ref out = Ref::steal(PyList_New(static_cast<Py_ssize_t>(list.size())));
  if (!out) return python_error();
  for (size_t i = 0; i < list.size(); ++i) {
    KX_TRY_ASSIGN(item, wrap(list[i]));
    PyList_SET_ITEM(out.get(), static_cast<Py_ssize_t>(i), item.release());
  }
  return out;
}

Result<Ref> wrap_tuple(const std::vector<Expr>& list) {
  Ref out = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(list.size())));
  if (!out) return python_error();
  for (size_t i = 0; i < list.size(); ++i) {
    KX_TRY_ASSIGN(item, wrap(list[i]));
    PyTuple_SET_ITEM(out.get(), static_cast<Py_ssize_t>(i), item.release());
  }
  return out;
}

std::optional<Number> to_number(PyObject* object) {
  if (PyLong_CheckExact(object) || PyIndex_Check(object)) {
    Ref index = Ref::steal(PyNumber_Index(object));
    if (index) {
      int overflow = 0;
      long long v = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
      if (overflow == 0 && !(v == -1 && PyErr_Occurred())) return Number::of_int(v);
    }
    PyErr_Clear();
  }
  double d = PyFloat_AsDouble(object);
  if (d == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    return std::nullopt;
  }
  return Number::of_float(d);
}

Result<Expr> to_expression(PyObject* object) {
  // Wrappers first: they never take the number steps, and this is the hot path of operators.
  if (const Expr* expr = expr_of(object)) {
    if (ndim_of(**expr) != 0) return type_error("failed to convert into expression.");
    return *expr;
  }
  if (std::optional<Number> n = to_number(object)) return number_expr(*n);
  if (PyObject_TypeCheck(object, dummy_indexed_var_type())) {
    // A sliced variable must be reduced before it is an expression.
    const auto& dummy = value_of<DummyIndexed>(object);
    const auto& var = dummy.variable->as<DecisionVar>();
    return modeling_error("dummy indexed " + std::string(var_kind_text(var.kind)) +
                          "Var with name '" + var.name +
                          "' must be called the `sum` or `prod` method to be converted into an "
                          "expression.");
  }
  return type_error("failed to convert into expression.");
}

Result<Cond> to_conditional_expr(PyObject* object) {
  if (const Cond* cond = cond_of(object)) return *cond;
  return type_error("failed to convert into a conditional expression.");
}

Result<Expr> as_scalar_expression(PyObject* object) {
  const Expr* expr = expr_of(object);
  if (expr == nullptr) return type_error("failed to convert into expression.");
  return as_scalar(*expr);
}

std::string type_name(PyObject* object) { return short_type_name(Py_TYPE(object)); }

static Error cannot_convert(PyObject* object, const char* class_name) {
  // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) on "'" + std::string at -O3.
  std::string message = "'";
  message += type_name(object);
  message += "' object cannot be converted to '";
  message += class_name;
  message += "'";
  return type_error(std::move(message));
}

Result<std::string> to_string(PyObject* object) {
  if (!PyUnicode_Check(object)) return cannot_convert(object, "PyString");
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(object, &size);
  if (data == nullptr) return python_error();
  return std::string(data, static_cast<size_t>(size));
}

Result<OptString> to_optional_string(PyObject* object) {
  if (object == nullptr || object == Py_None) return OptString();
  KX_TRY_ASSIGN(text, to_string(object));
  return OptString(std::move(text));
}

Result<uint64_t> to_u64(PyObject* object) {
  Ref index = Ref::steal(PyNumber_Index(object));
  if (!index) return python_error();
  unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return python_error();
  return static_cast<uint64_t>(v);
}

Result<std::vector<PyObject*>> sequence_items(PyObject* object, Ref& keep) {
  if (PyUnicode_Check(object)) return type_error("Can't extract `str` to `Vec`");
  if (!PySequence_Check(object)) return cannot_convert(object, "Sequence");
  // A tuple copy owns its items: converting one item may run Python code that empties a list.
  keep = Ref::steal(PySequence_Tuple(object));
  if (!keep) return python_error();
  Py_ssize_t size = PyTuple_GET_SIZE(keep.get());
  PyObject** items = &PyTuple_GET_ITEM(keep.get(), 0);
  return std::vector<PyObject*>(items, items + size);
}

Result<std::vector<Expr>> to_expression_list(PyObject* object) {
  Ref keep;
  KX_TRY_ASSIGN(items, sequence_items(object, keep));
  std::vector<Expr> out;
  out.reserve(items.size());
  for (PyObject* item : items) {
    KX_TRY_ASSIGN(expr, to_expression(item));
    out.push_back(std::move(expr));
  }
  return out;
}

}  // namespace korvex::py
