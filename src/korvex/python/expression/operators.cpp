// The operator slots: arithmetic on expression classes, comparisons building conditions, and
// the logical slots of condition classes. A slot keeps the Python order of its operands and,
// once its own object is recognised, raises instead of returning NotImplemented.
#include "korvex/core/expression/arithmetic.hpp"
#include "korvex/core/print/printer.hpp"
#include "korvex/python/expression/convert.hpp"

namespace korvex::py {
namespace {

bool is_var_class(ExprClass c) {
  return c >= ExprClass::BinaryVar && c <= ExprClass::SemiContinuousVar;
}

// Whether `object` is an instance of a class that has the general arithmetic slots (decision
// variables have their own division and no modulo).
bool has_general_slots(PyObject* object) {
  const Expr* e = expr_of(object);
  return e != nullptr && !is_var_class(class_of(**e));
}

bool is_var_object(PyObject* object) {
  const Expr* e = expr_of(object);
  return e != nullptr && is_var_class(class_of(**e));
}

bool is_expr_object(PyObject* object) { return expr_of(object) != nullptr; }

using BinaryFn = Result<Expr> (*)(const Expr&, const Expr&);

PyObject* binary_slot(PyObject* a, PyObject* b, BinaryFn op, bool (*owns)(PyObject*)) {
  return guard([&]() -> Result<Ref> {
    if (owns(a)) {
      KX_TRY_ASSIGN(self, as_scalar_expression(a));
      KX_TRY_ASSIGN(other, to_expression(b));
      KX_TRY_ASSIGN(result, op(self, other));
      return wrap(std::move(result));
    }
    if (owns(b)) {
      KX_TRY_ASSIGN(other, to_expression(a));
      KX_TRY_ASSIGN(self, as_scalar_expression(b));
      KX_TRY_ASSIGN(result, op(other, self));
      return wrap(std::move(result));
    }
    return Ref::borrow(Py_NotImplemented);
  });
}

template <BinaryFn Op>
PyObject* general_slot(PyObject* a, PyObject* b) {
  return binary_slot(a, b, Op, is_expr_object);
}

PyObject* nb_add(PyObject* a, PyObject* b) { return general_slot<add>(a, b); }
PyObject* nb_sub(PyObject* a, PyObject* b) { return general_slot<sub>(a, b); }
PyObject* nb_mul(PyObject* a, PyObject* b) { return general_slot<mul>(a, b); }
PyObject* nb_mod(PyObject* a, PyObject* b) { return binary_slot(a, b, mod, has_general_slots); }
PyObject* nb_div(PyObject* a, PyObject* b) { return binary_slot(a, b, div, has_general_slots); }

PyObject* var_div(PyObject* a, PyObject* b) {
  return guard([&]() -> Result<Ref> {
    if (is_var_object(a)) {
      KX_TRY_ASSIGN(other, to_expression(b));
      KX_TRY_ASSIGN(self, as_scalar_expression(a));
      if (contains_decision_variable(other)) {
        const auto& v = self->as<DecisionVar>();
        return modeling_error("Cannot divide a " + std::string(var_kind_text(v.kind)) +
                              "Var named \"" + v.name +
                              "\" by a decision variable or an expression containing a decision "
                              "variable (right = " +
                              print(other, Form::Str) + ").");
      }
      KX_TRY_ASSIGN(result, div(self, other));
      return wrap(std::move(result));
    }
    if (is_var_object(b)) {
      KX_TRY_ASSIGN(other, to_expression(a));
      const auto& v = (*expr_of(b))->as<DecisionVar>();
      return modeling_error("Cannot use a " + std::string(var_kind_text(v.kind)) + "Var named \"" +
                            v.name + "\" as a divisor (dividend = " + print(other, Form::Str) +
                            ").");
    }
    return Ref::borrow(Py_NotImplemented);
  });
}

PyObject* nb_pow(PyObject* a, PyObject* b, PyObject* m) {
  return guard([&]() -> Result<Ref> {
    Expr base, exponent;
    if (is_expr_object(a)) {
      KX_TRY_ASSIGN(self, as_scalar_expression(a));
      KX_TRY_ASSIGN(other, to_expression(b));
      base = std::move(self);
      exponent = std::move(other);
    } else if (is_expr_object(b)) {
      KX_TRY_ASSIGN(other, to_expression(a));
      KX_TRY_ASSIGN(self, as_scalar_expression(b));
      base = std::move(other);
      exponent = std::move(self);
    } else {
      return Ref::borrow(Py_NotImplemented);
    }
    Expr modulo;
    if (m != nullptr && m != Py_None) {
      KX_TRY_ASSIGN(converted, to_expression(m));
      modulo = std::move(converted);
    }
    KX_TRY_ASSIGN(power, pow(base, exponent));
    if (!modulo) return wrap(std::move(power));
    KX_TRY_ASSIGN(result, mod(power, modulo));
    return wrap(std::move(result));
  });
}

PyObject* nb_neg(PyObject* a) {
  return guard([&]() -> Result<Ref> {
    KX_TRY_ASSIGN(self, as_scalar_expression(a));
    KX_TRY_ASSIGN(result, neg(self));
    return wrap(std::move(result));
  });
}

PyObject* richcompare(PyObject* self, PyObject* other, int op) {
  return guard([&]() -> Result<Ref> {
    if (!is_expr_object(self) || op < Py_LT || op > Py_GE) return Ref::borrow(Py_NotImplemented);
    ComparisonKind kind = ComparisonKind::Equal;
    switch (op) {
      case Py_LT:
        kind = ComparisonKind::LessThan;
        break;
      case Py_LE:
        kind = ComparisonKind::LessThanEqual;
        break;
      case Py_EQ:
        kind = ComparisonKind::Equal;
        break;
      case Py_NE:
        kind = ComparisonKind::NotEqual;
        break;
      case Py_GT:
        kind = ComparisonKind::GreaterThan;
        break;
      case Py_GE:
        kind = ComparisonKind::GreaterThanEqual;
        break;
    }
    KX_TRY_ASSIGN(left, as_scalar_expression(self));
    KX_TRY_ASSIGN(right, to_expression(other));
    KX_TRY_ASSIGN(result, compare(kind, left, right));
    return wrap(std::move(result));
  });
}

template <LogicalKind K>
PyObject* logical_slot(PyObject* a, PyObject* b) {
  return guard([&]() -> Result<Ref> {
    if (cond_of(a) != nullptr) {
      Cond self = *cond_of(a);
      KX_TRY_ASSIGN(other, to_conditional_expr(b));
      KX_TRY_ASSIGN(result, logical(K, {std::move(self), std::move(other)}));
      return wrap(std::move(result));
    }
    if (cond_of(b) != nullptr) {
      KX_TRY_ASSIGN(other, to_conditional_expr(a));
      KX_TRY_ASSIGN(result, logical(K, {std::move(other), *cond_of(b)}));
      return wrap(std::move(result));
    }
    return Ref::borrow(Py_NotImplemented);
  });
}

}  // namespace

void add_operator_slots(TypeBuilder& builder, ExprClass c) {
  builder.slot(Py_nb_add, reinterpret_cast<void*>(nb_add));
  builder.slot(Py_nb_subtract, reinterpret_cast<void*>(nb_sub));
  builder.slot(Py_nb_multiply, reinterpret_cast<void*>(nb_mul));
  builder.slot(Py_nb_power, reinterpret_cast<void*>(nb_pow));
  builder.slot(Py_nb_negative, reinterpret_cast<void*>(nb_neg));
  if (is_var_class(c)) {
    builder.slot(Py_nb_true_divide, reinterpret_cast<void*>(var_div));
  } else {
    builder.slot(Py_nb_true_divide, reinterpret_cast<void*>(nb_div));
    builder.slot(Py_nb_remainder, reinterpret_cast<void*>(nb_mod));
  }
  builder.slot(Py_tp_richcompare, reinterpret_cast<void*>(richcompare));
}

void add_cond_operator_slots(TypeBuilder& builder, CondClass) {
  builder.slot(Py_nb_and, reinterpret_cast<void*>(logical_slot<LogicalKind::And>));
  builder.slot(Py_nb_or, reinterpret_cast<void*>(logical_slot<LogicalKind::Or>));
  builder.slot(Py_nb_xor, reinterpret_cast<void*>(logical_slot<LogicalKind::Xor>));
}

}  // namespace korvex::py
