#include "korvex/core/expression/arithmetic.hpp"

#include <cmath>

#include "korvex/core/expression/equality.hpp"

namespace korvex {

// ---- literal arithmetic -------------------------------------------------------------------------

Number add_numbers(const Number& a, const Number& b) {
  if (a.is_integer() && b.is_integer()) {
    int64_t out;
    if (!__builtin_add_overflow(a.integer, b.integer, &out)) return Number::of_int(out);
    return Number::of_float(static_cast<double>(static_cast<__int128>(a.integer) + b.integer));
  }
  return Number::of_float(a.as_double() + b.as_double());
}

Number sub_numbers(const Number& a, const Number& b) {
  if (a.is_integer() && b.is_integer()) {
    int64_t out;
    if (!__builtin_sub_overflow(a.integer, b.integer, &out)) return Number::of_int(out);
    return Number::of_float(static_cast<double>(static_cast<__int128>(a.integer) - b.integer));
  }
  return Number::of_float(a.as_double() - b.as_double());
}

Number mul_numbers(const Number& a, const Number& b) {
  if (a.is_integer() && b.is_integer()) {
    int64_t out;
    if (!__builtin_mul_overflow(a.integer, b.integer, &out)) return Number::of_int(out);
    return Number::of_float(static_cast<double>(static_cast<__int128>(a.integer) * b.integer));
  }
  return Number::of_float(a.as_double() * b.as_double());
}

Number neg_number(const Number& a) {
  if (a.is_integer()) {
    if (a.integer == INT64_MIN) return Number::of_float(-static_cast<double>(INT64_MIN));
    return Number::of_int(-a.integer);
  }
  return Number::of_float(-a.real);
}

bool is_zero(const Number& n) { return n.is_integer() ? n.integer == 0 : n.real == 0.0; }
bool is_one(const Number& n) { return n.is_integer() ? n.integer == 1 : n.real == 1.0; }

namespace {

const Number* literal(const Expr& e) {
  const auto* lit = e->get_if<NumberLit>();
  return lit != nullptr ? &lit->value : nullptr;
}

bool is_zero_literal(const Expr& e) {
  const Number* n = literal(e);
  return n != nullptr && is_zero(*n);
}

const OptString& latex_of(const Node& node) {
  static const OptString kNone;
  switch (node.kind()) {
    case ExprKind::Placeholder:
      return node.as<Placeholder>().latex;
    case ExprKind::Element:
      return node.as<Element>().latex;
    case ExprKind::DecisionVar:
      return node.as<DecisionVar>().latex;
    case ExprKind::ArrayLength:
      return node.as<ArrayLength>().latex;
    case ExprKind::UnaryOp:
      return node.as<UnaryOp>().latex;
    case ExprKind::BinaryOp:
      return node.as<BinaryOp>().latex;
    case ExprKind::CommutativeOp:
      return node.as<CommutativeOp>().latex;
    case ExprKind::ReductionOp:
      return node.as<ReductionOp>().latex;
    // Literals and subscripts never count as carrying a LaTeX text.
    case ExprKind::NumberLit:
    case ExprKind::Subscript:
      return kNone;
  }
  return kNone;
}

// An operand with its own LaTeX text is an opaque term: never opened, merged into or folded.
bool opaque(const Expr& e) { return latex_of(*e).has_value(); }

const CommutativeOp* as_kind(const Expr& e, CommutativeKind kind) {
  if (opaque(e)) return nullptr;
  const auto* c = e->get_if<CommutativeOp>();
  return c != nullptr && c->kind == kind ? c : nullptr;
}

Result<Expr> make_commutative(CommutativeKind kind, std::vector<Expr> terms) {
  return make_expr(CommutativeOp{kind, std::move(terms), std::nullopt});
}

// Drops zero literals; a single remaining term stands for itself.
Result<Expr> finish_sum(std::vector<Expr> terms) {
  std::erase_if(terms, is_zero_literal);
  if (terms.size() == 1) return terms.front();
  return make_commutative(CommutativeKind::Add, std::move(terms));
}

Result<Expr> add_constant(const CommutativeOp& sum, const Number& constant) {
  std::vector<Expr> terms = sum.terms;
  if (const Number* last = terms.empty() ? nullptr : literal(terms.back())) {
    terms.back() = number_expr(add_numbers(*last, constant));
  } else {
    terms.push_back(number_expr(constant));
  }
  return finish_sum(std::move(terms));
}

// Appends a non-literal term to the sum node `sum`, before its literal if it ends with one.
Result<Expr> append_to_sum(const Expr& sum, const Expr& term) {
  const Terms& existing = sum->as<CommutativeOp>().terms;
  if (existing.empty() || literal(existing.back()) == nullptr) return append_term(sum, term);
  std::vector<Expr> terms = existing;
  terms.insert(terms.end() - 1, term);
  return make_commutative(CommutativeKind::Add, std::move(terms));
}

Result<Expr> merge_sums(const CommutativeOp& l, const CommutativeOp& r) {
  std::optional<Number> constant;
  std::vector<Expr> terms;
  terms.reserve(l.terms.size() + r.terms.size());
  for (const auto* side : {&l, &r}) {
    for (const Expr& t : side->terms) {
      if (const Number* n = literal(t)) {
        constant = constant ? add_numbers(*constant, *n) : *n;
      } else {
        terms.push_back(t);
      }
    }
  }
  if (constant) terms.push_back(number_expr(*constant));
  return finish_sum(std::move(terms));
}

Result<Expr> multiply_constant(const CommutativeOp& product, const Number& constant) {
  std::vector<Expr> terms = product.terms;
  if (const Number* first = terms.empty() ? nullptr : literal(terms.front())) {
    terms.front() = number_expr(mul_numbers(*first, constant));
  } else {
    terms.insert(terms.begin(), number_expr(constant));
  }
  return make_commutative(CommutativeKind::Mul, std::move(terms));
}

Result<Expr> merge_products(const CommutativeOp& l, const CommutativeOp& r) {
  std::vector<Expr> right = r.terms;
  std::vector<Expr> terms = l.terms;
  if (const Number* first = right.empty() ? nullptr : literal(right.front())) {
    // The literal leaves R by moving R's last term into its place.
    Number constant = *first;
    right.front() = right.back();
    right.pop_back();
    if (const Number* mine = terms.empty() ? nullptr : literal(terms.front())) {
      terms.front() = number_expr(mul_numbers(*mine, constant));
    } else {
      terms.insert(terms.begin(), number_expr(constant));
    }
  }
  terms.insert(terms.end(), right.begin(), right.end());
  return make_commutative(CommutativeKind::Mul, std::move(terms));
}

}  // namespace

Result<Expr> new_sum(std::vector<Expr> terms) {
  Number total = Number::of_int(0);
  bool any = false;
  std::vector<Expr> out;
  out.reserve(terms.size() + 1);
  for (Expr& t : terms) {
    if (const Number* n = literal(t)) {
      total = add_numbers(total, *n);
      any = true;
    } else {
      out.push_back(std::move(t));
    }
  }
  if (any && !is_zero(total)) out.push_back(number_expr(total));
  return make_commutative(CommutativeKind::Add, std::move(out));
}

Result<Expr> new_product(std::vector<Expr> terms) {
  Number total = Number::of_int(1);
  bool any = false;
  std::vector<Expr> out;
  out.reserve(terms.size() + 1);
  for (Expr& t : terms) {
    if (const Number* n = literal(t)) {
      total = mul_numbers(total, *n);
      any = true;
    } else {
      out.push_back(std::move(t));
    }
  }
  if (any && !is_one(total)) out.insert(out.begin(), number_expr(total));
  return make_commutative(CommutativeKind::Mul, std::move(out));
}

Result<Expr> add(const Expr& l, const Expr& r) {
  const Number* ln = literal(l);
  const Number* rn = literal(r);
  if (ln != nullptr && rn != nullptr) return number_expr(add_numbers(*ln, *rn));
  if (ln != nullptr && is_zero(*ln)) return r;
  if (rn != nullptr && is_zero(*rn)) return l;
  const CommutativeOp* ls = as_kind(l, CommutativeKind::Add);
  const CommutativeOp* rs = as_kind(r, CommutativeKind::Add);
  if (ln != nullptr) {
    if (rs != nullptr) return add_constant(*rs, *ln);
    return new_sum({r, l});
  }
  if (ls != nullptr) {
    if (rn != nullptr) return add_constant(*ls, *rn);
    if (rs != nullptr) return merge_sums(*ls, *rs);
    return append_to_sum(l, r);
  }
  if (rs != nullptr) return append_to_sum(r, l);
  return new_sum({l, r});
}

Result<Expr> mul(const Expr& l, const Expr& r) {
  const Number* ln = literal(l);
  const Number* rn = literal(r);
  if (ln != nullptr && rn != nullptr) return number_expr(mul_numbers(*ln, *rn));
  if ((ln != nullptr && is_zero(*ln)) || (rn != nullptr && is_zero(*rn))) return int_expr(0);
  if (rn != nullptr && is_one(*rn)) return l;
  if (ln != nullptr && is_one(*ln)) return r;
  const CommutativeOp* lp = as_kind(l, CommutativeKind::Mul);
  const CommutativeOp* rp = as_kind(r, CommutativeKind::Mul);
  if (ln != nullptr) {
    if (rp != nullptr) return multiply_constant(*rp, *ln);
    return new_product({l, r});
  }
  if (!opaque(l) && !opaque(r)) {
    const auto* lpow = l->get_if<BinaryOp>();
    const auto* rpow = r->get_if<BinaryOp>();
    if (lpow != nullptr && rpow != nullptr && lpow->kind == BinaryKind::Pow &&
        rpow->kind == BinaryKind::Pow && equal(lpow->left, rpow->left)) {
      KX_TRY_ASSIGN(exponent, add(lpow->right, rpow->right));
      return make_expr(BinaryOp{BinaryKind::Pow, lpow->left, std::move(exponent), std::nullopt});
    }
  }
  if (lp != nullptr) {
    if (rn != nullptr) return multiply_constant(*lp, *rn);
    if (rp != nullptr) return merge_products(*lp, *rp);
    return append_term(l, r);
  }
  if (rn != nullptr) return new_product({r, l});
  if (rp != nullptr) return append_term(r, l);
  return new_product({l, r});
}

Result<Expr> sub(const Expr& l, const Expr& r) {
  if (is_zero_literal(l)) {
    if (is_zero_literal(r)) return int_expr(0);
    return mul(int_expr(-1), r);
  }
  if (is_zero_literal(r)) return l;
  const Number* ln = literal(l);
  const Number* rn = literal(r);
  if (ln != nullptr && rn != nullptr) return number_expr(sub_numbers(*ln, *rn));
  KX_TRY_ASSIGN(negated, mul(int_expr(-1), r));
  return add(l, negated);
}

Result<Expr> neg(const Expr& a) {
  if (const Number* n = literal(a)) return number_expr(neg_number(*n));
  return mul(int_expr(-1), a);
}

Result<Expr> pow(const Expr& base, const Expr& exponent) {
  if (contains_decision_variable(exponent)) {
    return modeling_error("the exponent contains a decision variable");
  }
  const Number* e = literal(exponent);
  if (contains_decision_variable(base)) {
    bool positive = e != nullptr && (e->is_integer() ? e->integer > 0 : e->real > 0.0);
    if (!positive)
      return modeling_error("a decision variable can be raised to only a positive power");
  }
  if (is_zero_literal(base) && e != nullptr &&
      (e->is_integer() ? e->integer < 0 : std::signbit(e->real))) {
    return make_error(ErrorKind::ZeroDivision, "zero cannot be raised to a negative power");
  }
  return make_expr(BinaryOp{BinaryKind::Pow, base, exponent, std::nullopt});
}

Result<Expr> div(const Expr& l, const Expr& r) {
  if (is_zero_literal(r)) return make_error(ErrorKind::ZeroDivision, "division by zero");
  KX_TRY_ASSIGN(inverse, pow(r, int_expr(-1)));
  return mul(l, inverse);
}

Result<Expr> mod(const Expr& l, const Expr& r) {
  if (contains_decision_variable(l) || contains_decision_variable(r)) {
    return modeling_error("the modulo op contains a decision variable");
  }
  if (is_zero_literal(r)) return make_error(ErrorKind::ZeroDivision, "modulo by zero");
  return make_expr(BinaryOp{BinaryKind::Mod, l, r, std::nullopt});
}

Result<Expr> unary(UnaryKind kind, const Expr& operand) {
  if (contains_decision_variable(operand)) {
    return modeling_error("the operand of the unary op contains a decision variable");
  }
  return make_expr(UnaryOp{kind, operand, std::nullopt});
}

Result<Expr> min_max(CommutativeKind kind, std::vector<Expr> terms) {
  for (size_t i = 0; i < terms.size(); ++i) {
    if (contains_decision_variable(terms[i])) {
      return modeling_error("the " + std::to_string(i) + "-th term contains a decision variable");
    }
  }
  return make_commutative(kind, std::move(terms));
}

bool cond_contains_decision_variable(const Cond& cond) {
  if (const auto* c = cond->get_if<ComparisonOp>()) {
    return contains_decision_variable(c->left) || contains_decision_variable(c->right);
  }
  for (const Cond& t : cond->as<LogicalOp>().terms) {
    if (cond_contains_decision_variable(t)) return true;
  }
  return false;
}

Result<Cond> compare(ComparisonKind kind, const Expr& l, const Expr& r) {
  return make_cond(ComparisonOp{kind, l, r, std::nullopt});
}

Result<Cond> logical(LogicalKind kind, std::vector<Cond> terms) {
  return make_cond(LogicalOp{kind, std::move(terms), std::nullopt});
}

Result<Expr> reduction(ReductionKind kind, const Expr& index, const Cond& condition,
                       const Expr& operand) {
  if (condition && cond_contains_decision_variable(condition)) {
    return modeling_error("the condition expression contains a decision variable");
  }
  return make_expr(ReductionOp{kind, index, condition, operand, std::nullopt});
}

}  // namespace korvex
