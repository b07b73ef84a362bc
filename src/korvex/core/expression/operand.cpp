#include "korvex/core/expression/operand.hpp"

#include "korvex/core/print/number_text.hpp"
#include "korvex/core/print/printer.hpp"

namespace korvex {

std::string subscript_text(const Expr& subscript) { return print(subscript, Form::Str); }

static std::string ndim_message(const std::string& what, uint64_t ndim) {
  return "the dimensionality of the " + what + " must be zero, but is actually " +
         std::to_string(ndim);
}

Result<Expr> as_scalar(const Expr& node) {
  switch (node->kind()) {
    case ExprKind::Placeholder: {
      const auto& p = node->as<Placeholder>();
      if (p.ndim == 0) return node;
      return modeling_error(ndim_message("Placeholder { name: " + p.name + " }", p.ndim));
    }
    case ExprKind::Element: {
      const auto& e = node->as<Element>();
      if (e.ndim == 0) return node;
      return modeling_error(ndim_message("Element { name: " + e.name + " }", e.ndim));
    }
    case ExprKind::DecisionVar: {
      const auto& v = node->as<DecisionVar>();
      if (v.shape.empty()) return node;
      return modeling_error(ndim_message(
          std::string(var_kind_text(v.kind)) + "Var { name: " + v.name + " }", v.shape.size()));
    }
    case ExprKind::Subscript: {
      const auto& s = node->as<Subscript>();
      if (s.ndim == 0) return node;
      return modeling_error("the dimensionality of the subscripted variable `" +
                            subscript_text(node) + "` must be zero, but actually " +
                            std::to_string(s.ndim));
    }
    case ExprKind::NumberLit:
    case ExprKind::ArrayLength:
    case ExprKind::UnaryOp:
    case ExprKind::BinaryOp:
    case ExprKind::CommutativeOp:
    case ExprKind::ReductionOp:
      return node;
  }
  return node;
}

Result<Range> make_range(Expr start, Expr end) {
  const auto* s = start->get_if<NumberLit>();
  const auto* e = end->get_if<NumberLit>();
  if (s != nullptr && e != nullptr) {
    bool larger, same;
    if (s->value.is_integer() && e->value.is_integer()) {
      larger = s->value.integer > e->value.integer;
      same = s->value.integer == e->value.integer;
    } else {
      larger = s->value.as_double() > e->value.as_double();
      same = s->value.as_double() == e->value.as_double();
    }
    if (larger || same) {
      return value_error("`Range.start` (= " + number_text(s->value) + ") is " +
                         (larger ? "larger than" : "equal to") +
                         " `Range.end` (= " + number_text(e->value) + ")");
    }
  }
  if (contains_decision_variable(start)) {
    return modeling_error("the lower bound contains a decision variable");
  }
  if (contains_decision_variable(end)) {
    return modeling_error("the upper bound contains a decision variable");
  }
  return Range{std::move(start), std::move(end)};
}

Expr make_placeholder(std::string name, uint64_t ndim, OptString latex, OptString description) {
  return *make_expr(Placeholder{std::move(name), ndim, std::move(latex), std::move(description)});
}

Result<Expr> make_element(std::string name, BelongTo belong_to, OptString latex,
                          OptString description) {
  uint64_t ndim = 0;
  if (const Expr* array = std::get_if<Expr>(&belong_to)) ndim = ndim_of(**array) - 1;
  return make_expr(Element{std::move(name), std::move(belong_to), ndim, std::move(latex),
                           std::move(description)});
}

static std::string_view bound_noun(VarKind kind, bool upper) {
  switch (kind) {
    case VarKind::Binary:
      return "a binary variable";
    case VarKind::Integer:
      return "an integer variable";
    case VarKind::Continuous:
      return "a continuous variable";
    case VarKind::SemiInteger:
      return upper ? "a semi-integer integer variable" : "a semi-integer variable";
    case VarKind::SemiContinuous:
      return "a semi-continuous variable";
  }
  return "";
}

static uint64_t bound_ndim(const Bound& b) {
  return b.kind == Bound::Kind::Expression ? 0 : ndim_of(*b.value);
}

Result<Expr> make_decision_var(VarKind kind, std::string name, std::vector<Expr> shape, Bound lower,
                               Bound upper, OptString latex, OptString description) {
  if (kind == VarKind::Binary) {
    lower = Bound{Bound::Kind::Expression, int_expr(0)};
    upper = Bound{Bound::Kind::Expression, int_expr(1)};
  } else {
    const uint64_t ndim = shape.size();
    for (bool is_upper : {false, true}) {
      uint64_t n = bound_ndim(is_upper ? upper : lower);
      if (n != 0 && n != ndim) {
        return modeling_error(
            std::string("the number of dimensions of a ") + (is_upper ? "upper" : "lower") +
            " bound (= " + std::to_string(n) + ") must be equal to zero or the number of " +
            std::string(bound_noun(kind, is_upper)) + " (= " + std::to_string(ndim) + ")");
      }
    }
  }
  return make_expr(DecisionVar{kind, std::move(name), std::move(shape), std::move(lower),
                               std::move(upper), std::move(latex), std::move(description)});
}

Result<void> check_subscript_list(const std::vector<Expr>& subscripts) {
  if (subscripts.empty()) return modeling_error("the number of subscripts is zero");
  for (const Expr& s : subscripts) {
    if (contains_decision_variable(s)) {
      return modeling_error("a subscript contains a decision variable");
    }
  }
  return {};
}

static std::string variable_text(const Expr& variable) {
  switch (variable->kind()) {
    case ExprKind::Placeholder:
      return variable->as<Placeholder>().name;
    case ExprKind::Element:
      return variable->as<Element>().name;
    case ExprKind::DecisionVar:
      return variable->as<DecisionVar>().name;
    case ExprKind::Subscript:
      return subscript_text(variable);
    case ExprKind::NumberLit:
    case ExprKind::ArrayLength:
    case ExprKind::UnaryOp:
    case ExprKind::BinaryOp:
    case ExprKind::CommutativeOp:
    case ExprKind::ReductionOp:
      break;
  }
  return print(variable, Form::Str);
}

std::string not_subscriptable_message(const Expr& variable) {
  switch (variable->kind()) {
    case ExprKind::Placeholder:
      return "the scalar `Placeholder { name: " + variable->as<Placeholder>().name +
             " }` is not subscriptable";
    case ExprKind::Element:
      return "the scalar `Element { name: " + variable->as<Element>().name +
             " }` is not subscriptable";
    case ExprKind::DecisionVar: {
      const auto& v = variable->as<DecisionVar>();
      return "the scalar `" + std::string(var_kind_text(v.kind)) + "Var { name: " + v.name +
             " }` is not subscriptable";
    }
    case ExprKind::Subscript:
    case ExprKind::NumberLit:
    case ExprKind::ArrayLength:
    case ExprKind::UnaryOp:
    case ExprKind::BinaryOp:
    case ExprKind::CommutativeOp:
    case ExprKind::ReductionOp:
      break;
  }
  return "the scalar `" + print(variable, Form::Str) + "` is not subscriptable";
}

Result<Expr> make_subscript(const Expr& variable, std::vector<Expr> subscripts) {
  const uint64_t n = ndim_of(*variable);
  const uint64_t k = subscripts.size();
  if (k > n) {
    return modeling_error("the number of subscripts (= " + std::to_string(k) +
                          ") is greater than the dimensionality of the variable `" +
                          variable_text(variable) + "` (= " + std::to_string(n) + ")");
  }
  if (const auto* inner = variable->get_if<Subscript>()) {
    std::vector<Expr> combined = inner->subscripts;
    combined.insert(combined.end(), std::make_move_iterator(subscripts.begin()),
                    std::make_move_iterator(subscripts.end()));
    KX_TRY(check_subscript_list(combined));
    return make_expr(Subscript{inner->variable, std::move(combined), n - k, std::nullopt});
  }
  return make_expr(Subscript{variable, std::move(subscripts), n - k, std::nullopt});
}

Result<void> check_array_length_target(const Expr& array) {
  switch (array->kind()) {
    case ExprKind::Placeholder:
      if (array->as<Placeholder>().ndim == 0) {
        return modeling_error("the placeholder " + array->as<Placeholder>().name + " is a scalar");
      }
      return {};
    case ExprKind::Element:
      if (array->as<Element>().ndim == 0) {
        return modeling_error("the element " + array->as<Element>().name + " is a scalar");
      }
      return {};
    case ExprKind::Subscript: {
      const auto& s = array->as<Subscript>();
      if (s.variable->kind() == ExprKind::DecisionVar) {
        return modeling_error("the subscripted variable " + subscript_text(array) +
                              " is a decision variable");
      }
      if (s.ndim == 0) {
        return modeling_error("the subscripted variable " + subscript_text(array) + " is a scalar");
      }
      return {};
    }
    case ExprKind::NumberLit:
    case ExprKind::DecisionVar:
    case ExprKind::ArrayLength:
    case ExprKind::UnaryOp:
    case ExprKind::BinaryOp:
    case ExprKind::CommutativeOp:
    case ExprKind::ReductionOp:
      break;
  }
  return type_error("unsupported type");
}

Result<Expr> make_array_length(const Expr& array, uint64_t axis, OptString latex,
                               OptString description) {
  KX_TRY(check_array_length_target(array));
  if (axis >= ndim_of(*array)) {
    return modeling_error("axis " + std::to_string(axis) +
                          " is out of bounds for the axis of the array " + variable_text(array));
  }
  return make_expr(ArrayLength{array, axis, std::move(latex), std::move(description)});
}

Result<std::vector<Expr>> shape_of(const Expr& node) {
  std::vector<Expr> shape;
  if (const auto* v = node->get_if<DecisionVar>()) return v->shape;
  if (const auto* s = node->get_if<Subscript>()) {
    if (const auto* v = s->variable->get_if<DecisionVar>()) {
      shape.assign(v->shape.begin() + static_cast<ptrdiff_t>(s->subscripts.size()), v->shape.end());
      return shape;
    }
  }
  const uint64_t n = ndim_of(*node);
  shape.reserve(n);
  for (uint64_t axis = 0; axis < n; ++axis) {
    KX_TRY_ASSIGN(length, make_array_length(node, axis, std::nullopt, std::nullopt));
    shape.push_back(std::move(length));
  }
  return shape;
}

}  // namespace korvex
