#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>

#include "korvex/core/expression/expression.hpp"
#include "korvex/core/expression/overloaded.hpp"

namespace korvex {
namespace {

uint64_t mix(uint64_t h, uint64_t v) {
  // 64-bit variant of boost's hash_combine with a murmur finaliser on the value.
  v ^= v >> 33;
  v *= 0xff51afd7ed558ccdULL;
  v ^= v >> 33;
  return h ^ (v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

uint64_t hash_string(std::string_view s) { return std::hash<std::string_view>{}(s); }

uint64_t hash_double(double d) {
  if (d == 0.0) d = 0.0;  // -0.0 equals 0.0
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

struct Summary {
  uint64_t hash;
  uint32_t depth = 0;
  bool has_nan = false;
  void add(const Expr& e) {
    hash = mix(hash, e->hash);
    depth = std::max(depth, e->depth);
    has_nan = has_nan || e->has_nan;
  }
  void add(const Cond& c) {
    if (!c) {
      hash = mix(hash, 0);
      return;
    }
    hash = mix(hash, c->hash);
    depth = std::max(depth, c->depth);
    has_nan = has_nan || c->has_nan;
  }
  void add(const std::vector<Expr>& list) {
    hash = mix(hash, list.size());
    for (const Expr& e : list) add(e);
  }
  void add(const Bound& b) {
    hash = mix(hash, static_cast<uint64_t>(b.kind));
    add(b.value);
  }
  void add(const BelongTo& b) {
    if (const Range* r = std::get_if<Range>(&b)) {
      hash = mix(hash, 1);
      add(r->start);
      add(r->end);
    } else {
      hash = mix(hash, 2);
      add(std::get<Expr>(b));
    }
  }
  void add_value(uint64_t v) { hash = mix(hash, v); }
};

Summary summarise(const ExprData& data) {
  Summary s{static_cast<uint64_t>(data.index()) * 0x9ddfea08eb382d69ULL};
  std::visit(overloaded{
                 [&](const NumberLit& n) {
                   double d = n.value.as_double();
                   s.has_nan = std::isnan(d);
                   s.add_value(hash_double(d));
                 },
                 [&](const Placeholder& p) {
                   s.add_value(hash_string(p.name));
                   s.add_value(p.ndim);
                 },
                 [&](const Element& e) {
                   s.add_value(hash_string(e.name));
                   s.add_value(e.ndim);
                   s.add(e.belong_to);
                 },
                 [&](const DecisionVar& v) {
                   s.add_value(static_cast<uint64_t>(v.kind));
                   s.add_value(hash_string(v.name));
                   s.add(v.shape);
                   s.add(v.lower);
                   s.add(v.upper);
                 },
                 [&](const Subscript& v) {
                   s.add(v.variable);
                   s.add(v.subscripts);
                   s.add_value(v.ndim);
                 },
                 [&](const ArrayLength& a) {
                   s.add(a.array);
                   s.add_value(a.axis);
                 },
                 [&](const UnaryOp& u) {
                   s.add_value(static_cast<uint64_t>(u.kind));
                   s.add(u.operand);
                 },
                 [&](const BinaryOp& b) {
                   s.add_value(static_cast<uint64_t>(b.kind));
                   s.add(b.left);
                   s.add(b.right);
                 },
                 [&](const CommutativeOp& c) {
                   // A left fold over the terms, so appending one term updates it in O(1).
                   s.add_value(static_cast<uint64_t>(c.kind));
                   for (const Expr& t : c.terms) s.add(t);
                 },
                 [&](const ReductionOp& r) {
                   s.add_value(static_cast<uint64_t>(r.kind));
                   s.add(r.index);
                   s.add(r.condition);
                   s.add(r.operand);
                 },
             },
             data);
  return s;
}

Summary summarise(const CondData& data) {
  Summary s{0x2545f4914f6cdd1dULL + data.index()};
  std::visit(overloaded{
                 [&](const ComparisonOp& c) {
                   s.add_value(static_cast<uint64_t>(c.kind));
                   s.add(c.left);
                   s.add(c.right);
                 },
                 [&](const LogicalOp& l) {
                   s.add_value(static_cast<uint64_t>(l.kind));
                   s.add_value(l.terms.size());
                   for (const Cond& t : l.terms) s.add(t);
                 },
             },
             data);
  return s;
}

Error too_deep() {
  return make_error(ErrorKind::Recursion, "the expression is nested more than " +
                                              std::to_string(kMaxDepth) + " levels deep");
}

}  // namespace

Result<Expr> make_expr(ExprData data) {
  Summary s = summarise(data);
  if (s.depth >= kMaxDepth) return too_deep();
  auto node = std::make_shared<Node>();
  node->data = std::move(data);
  node->hash = s.hash;
  node->depth = s.depth + 1;
  node->has_nan = s.has_nan;
  return Expr(std::move(node));
}

Result<Expr> append_term(const Expr& op, Expr term) {
  const auto& c = op->as<CommutativeOp>();
  Summary s{op->hash};
  s.depth = op->depth - 1;
  s.has_nan = op->has_nan;
  s.add(term);
  if (s.depth >= kMaxDepth) return too_deep();
  auto node = std::make_shared<Node>();
  node->data = CommutativeOp{c.kind, c.terms.appended(std::move(term)), std::nullopt};
  node->hash = s.hash;
  node->depth = s.depth + 1;
  node->has_nan = s.has_nan;
  return Expr(std::move(node));
}

Result<Cond> make_cond(CondData data) {
  Summary s = summarise(data);
  if (s.depth >= kMaxDepth) return too_deep();
  auto node = std::make_shared<CondNode>();
  node->data = std::move(data);
  node->hash = s.hash;
  node->depth = s.depth + 1;
  node->has_nan = s.has_nan;
  return Cond(std::move(node));
}

Expr number_expr(Number value) { return *make_expr(NumberLit{value}); }

Expr with_latex(const Expr& expr, OptString latex) {
  if (expr->kind() == ExprKind::NumberLit) return expr;
  auto node = std::make_shared<Node>(*expr);
  std::visit(overloaded{
                 [](NumberLit&) {},
                 [&](Placeholder& r) { r.latex = std::move(latex); },
                 [&](Element& r) { r.latex = std::move(latex); },
                 [&](DecisionVar& r) { r.latex = std::move(latex); },
                 [&](Subscript& r) { r.latex = std::move(latex); },
                 [&](ArrayLength& r) { r.latex = std::move(latex); },
                 [&](UnaryOp& r) { r.latex = std::move(latex); },
                 [&](BinaryOp& r) { r.latex = std::move(latex); },
                 [&](CommutativeOp& r) { r.latex = std::move(latex); },
                 [&](ReductionOp& r) { r.latex = std::move(latex); },
             },
             node->data);
  return node;
}

Cond with_latex(const Cond& cond, OptString latex) {
  auto node = std::make_shared<CondNode>(*cond);
  std::visit([&](auto& r) { r.latex = std::move(latex); }, node->data);
  return node;
}

uint64_t ndim_of(const Node& node) {
  switch (node.kind()) {
    case ExprKind::Placeholder:
      return node.as<Placeholder>().ndim;
    case ExprKind::Element:
      return node.as<Element>().ndim;
    case ExprKind::DecisionVar:
      return node.as<DecisionVar>().shape.size();
    case ExprKind::Subscript:
      return node.as<Subscript>().ndim;
    case ExprKind::NumberLit:
    case ExprKind::ArrayLength:
    case ExprKind::UnaryOp:
    case ExprKind::BinaryOp:
    case ExprKind::CommutativeOp:
    case ExprKind::ReductionOp:
      return 0;
  }
  return 0;
}

bool contains_decision_variable(const Expr& expr) {
  switch (expr->kind()) {
    case ExprKind::DecisionVar:
      return true;
    case ExprKind::Subscript:
      return expr->as<Subscript>().variable->kind() == ExprKind::DecisionVar;
    case ExprKind::BinaryOp: {
      const auto& b = expr->as<BinaryOp>();
      return contains_decision_variable(b.left) || contains_decision_variable(b.right);
    }
    case ExprKind::CommutativeOp:
      for (const Expr& t : expr->as<CommutativeOp>().terms) {
        if (contains_decision_variable(t)) return true;
      }
      return false;
    case ExprKind::ReductionOp:
      return contains_decision_variable(expr->as<ReductionOp>().operand);
    case ExprKind::NumberLit:
    case ExprKind::Placeholder:
    case ExprKind::Element:
    case ExprKind::ArrayLength:
    case ExprKind::UnaryOp:
      return false;
  }
  return false;
}

std::string_view var_kind_text(VarKind kind) {
  switch (kind) {
    case VarKind::Binary:
      return "Binary";
    case VarKind::Integer:
      return "Integer";
    case VarKind::Continuous:
      return "Continuous";
    case VarKind::SemiInteger:
      return "SemiInteger";
    case VarKind::SemiContinuous:
      return "SemiContinuous";
  }
  return "";
}

}  // namespace korvex
