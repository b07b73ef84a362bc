// A depth-first walk over expressions and conditions in stored order. A visitor derives from
// Walker and overrides the hooks it cares about; every other node is walked through.
#pragma once

#include "korvex/core/expression/expression.hpp"

namespace korvex {

template <class Derived>
class Walker {
 public:
  void walk(const Expr& e) {
    Derived& self = static_cast<Derived&>(*this);
    if (!self.enter(e.get())) return;
    switch (e->kind()) {
      case ExprKind::NumberLit:
        return;
      case ExprKind::Placeholder:
        self.on_placeholder(e);
        return;
      case ExprKind::DecisionVar:
        self.on_decision_var(e);
        return;
      case ExprKind::Element:
        self.on_element(e);
        return;
      case ExprKind::ReductionOp:
        self.on_reduction(e->as<ReductionOp>());
        return;
      case ExprKind::Subscript: {
        const auto& s = e->as<Subscript>();
        walk(s.variable);
        for (const Expr& t : s.subscripts) walk(t);
        return;
      }
      case ExprKind::ArrayLength:
        walk(e->as<ArrayLength>().array);
        return;
      case ExprKind::UnaryOp:
        walk(e->as<UnaryOp>().operand);
        return;
      case ExprKind::BinaryOp:
        walk(e->as<BinaryOp>().left);
        walk(e->as<BinaryOp>().right);
        return;
      case ExprKind::CommutativeOp:
        for (const Expr& t : e->as<CommutativeOp>().terms) walk(t);
        return;
    }
  }

  void walk(const Cond& c) {
    if (!static_cast<Derived&>(*this).enter(c.get())) return;
    if (const auto* cmp = c->get_if<ComparisonOp>()) {
      walk(cmp->left);
      walk(cmp->right);
      return;
    }
    for (const Cond& t : c->as<LogicalOp>().terms) walk(t);
  }

  // The expressions of the set an element runs over: both ends of a range, or the array.
  void walk_set(const Expr& element) {
    if (!static_cast<Derived&>(*this).enter_set(element)) return;
    const BelongTo& set = element->as<Element>().belong_to;
    if (const Range* r = std::get_if<Range>(&set)) {
      walk(r->start);
      walk(r->end);
    } else {
      walk(std::get<Expr>(set));
    }
  }

  // Default hooks. enter() and enter_set() let a visitor skip a node or an element's set it has
  // already walked.
  bool enter(const void*) { return true; }
  bool enter_set(const Expr&) { return true; }
  void on_placeholder(const Expr&) {}
  void on_decision_var(const Expr&) {}
  void on_element(const Expr& e) { walk_set(e); }
  void on_reduction(const ReductionOp& r) {
    static_cast<Derived&>(*this).on_element(r.index);
    if (r.condition) walk(r.condition);
    walk(r.operand);
  }
};

}  // namespace korvex
