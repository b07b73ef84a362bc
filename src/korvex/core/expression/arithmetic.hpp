// The arithmetic of expressions: literal folding and the normalisation of sums and products,
// subtraction, negation, division, power and modulo with their checks.
#pragma once

#include "korvex/core/expression/expression.hpp"

namespace korvex {

// Literal arithmetic. Integer results that do not fit 64 bits become the Float nearest to the
// exact result rather than wrapping around.
Number add_numbers(const Number& a, const Number& b);
Number sub_numbers(const Number& a, const Number& b);
Number mul_numbers(const Number& a, const Number& b);
Number neg_number(const Number& a);
bool is_zero(const Number& n);
bool is_one(const Number& n);

Result<Expr> add(const Expr& l, const Expr& r);
Result<Expr> sub(const Expr& l, const Expr& r);
Result<Expr> mul(const Expr& l, const Expr& r);
Result<Expr> neg(const Expr& a);
Result<Expr> div(const Expr& l, const Expr& r);
Result<Expr> pow(const Expr& base, const Expr& exponent);
Result<Expr> mod(const Expr& l, const Expr& r);

// A sum or product of a list: literals folded into one (last in a sum, first in a product),
// never collapsed to a single term.
Result<Expr> new_sum(std::vector<Expr> terms);
Result<Expr> new_product(std::vector<Expr> terms);

Result<Expr> unary(UnaryKind kind, const Expr& operand);
Result<Expr> min_max(CommutativeKind kind, std::vector<Expr> terms);

bool cond_contains_decision_variable(const Cond& cond);
Result<Cond> compare(ComparisonKind kind, const Expr& l, const Expr& r);
Result<Cond> logical(LogicalKind kind, std::vector<Cond> terms);
// One level of a reduction: a condition must not hold a decision variable.
Result<Expr> reduction(ReductionKind kind, const Expr& index, const Cond& condition,
                       const Expr& operand);

}  // namespace korvex
