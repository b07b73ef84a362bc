#include "korvex/core/expression/equality.hpp"

namespace korvex {
namespace {

bool equal_numbers(const Number& a, const Number& b) {
  if (a.is_integer() && b.is_integer()) return a.integer == b.integer;
  return a.as_double() == b.as_double();
}

bool equal_data(const Node& a, const Node& b) {
  switch (a.kind()) {
    case ExprKind::NumberLit:
      return equal_numbers(a.as<NumberLit>().value, b.as<NumberLit>().value);
    case ExprKind::Placeholder: {
      const auto &x = a.as<Placeholder>(), &y = b.as<Placeholder>();
      return x.name == y.name && x.ndim == y.ndim;
    }
    case ExprKind::Element: {
      const auto &x = a.as<Element>(), &y = b.as<Element>();
      return x.name == y.name && x.ndim == y.ndim && equal(x.belong_to, y.belong_to);
    }
    case ExprKind::DecisionVar: {
      const auto &x = a.as<DecisionVar>(), &y = b.as<DecisionVar>();
      return x.kind == y.kind && x.name == y.name && equal(x.shape, y.shape) &&
             equal(x.lower, y.lower) && equal(x.upper, y.upper);
    }
    case ExprKind::Subscript: {
      const auto &x = a.as<Subscript>(), &y = b.as<Subscript>();
      return x.ndim == y.ndim && x.latex == y.latex && equal(x.variable, y.variable) &&
             equal(x.subscripts, y.subscripts);
    }
    case ExprKind::ArrayLength: {
      const auto &x = a.as<ArrayLength>(), &y = b.as<ArrayLength>();
      return x.axis == y.axis && equal(x.array, y.array);
    }
    case ExprKind::UnaryOp: {
      const auto &x = a.as<UnaryOp>(), &y = b.as<UnaryOp>();
      return x.kind == y.kind && equal(x.operand, y.operand);
    }
    case ExprKind::BinaryOp: {
      const auto &x = a.as<BinaryOp>(), &y = b.as<BinaryOp>();
      return x.kind == y.kind && equal(x.left, y.left) && equal(x.right, y.right);
    }
    case ExprKind::CommutativeOp: {
      const auto &x = a.as<CommutativeOp>(), &y = b.as<CommutativeOp>();
      if (x.kind != y.kind || x.terms.size() != y.terms.size()) return false;
      for (size_t i = 0; i < x.terms.size(); ++i) {
        if (!equal(x.terms[i], y.terms[i])) return false;
      }
      return true;
    }
    case ExprKind::ReductionOp: {
      const auto &x = a.as<ReductionOp>(), &y = b.as<ReductionOp>();
      return x.kind == y.kind && equal(x.index, y.index) && equal(x.condition, y.condition) &&
             equal(x.operand, y.operand);
    }
  }
  return false;
}

}  // namespace

bool equal(const Expr& a, const Expr& b) {
  if (a == b && !a->has_nan) return true;
  if (a->hash != b->hash || a->kind() != b->kind()) return false;
  return equal_data(*a, *b);
}

bool equal(const Cond& a, const Cond& b) {
  if (!a || !b) return !a && !b;
  if (a == b && !a->has_nan) return true;
  if (a->hash != b->hash || a->data.index() != b->data.index()) return false;
  if (const auto* x = a->get_if<ComparisonOp>()) {
    const auto& y = b->as<ComparisonOp>();
    return x->kind == y.kind && equal(x->left, y.left) && equal(x->right, y.right);
  }
  const auto &x = a->as<LogicalOp>(), &y = b->as<LogicalOp>();
  if (x.kind != y.kind || x.terms.size() != y.terms.size()) return false;
  for (size_t i = 0; i < x.terms.size(); ++i) {
    if (!equal(x.terms[i], y.terms[i])) return false;
  }
  return true;
}

bool equal(const Range& a, const Range& b) {
  return equal(a.start, b.start) && equal(a.end, b.end);
}

bool equal(const BelongTo& a, const BelongTo& b) {
  if (a.index() != b.index()) return false;
  if (const Range* r = std::get_if<Range>(&a)) return equal(*r, std::get<Range>(b));
  return equal(std::get<Expr>(a), std::get<Expr>(b));
}

bool equal(const Bound& a, const Bound& b) { return a.kind == b.kind && equal(a.value, b.value); }

bool equal(const std::vector<Expr>& a, const std::vector<Expr>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!equal(a[i], b[i])) return false;
  }
  return true;
}

}  // namespace korvex
