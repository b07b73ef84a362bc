// Construction and validation of the operands: ranges, elements, decision variables,
// subscripts and array lengths. Every failure is a returned error with the exact message.
#pragma once

#include "korvex/core/expression/expression.hpp"

namespace korvex {

// "{name}[{subscripts}]": the text form of a subscript used in messages.
std::string subscript_text(const Expr& subscript);

// The scalar test of an operand of a known class: the node itself when its ndim is 0.
Result<Expr> as_scalar(const Expr& node);

// A range [start, end): literals must be ordered, and neither end may hold a decision variable.
Result<Range> make_range(Expr start, Expr end);

Expr make_placeholder(std::string name, uint64_t ndim, OptString latex, OptString description);

// An element over `belong_to`; its ndim is 0 over a range, else the set's ndim minus one.
Result<Expr> make_element(std::string name, BelongTo belong_to, OptString latex,
                          OptString description);

// Binary variables hold the bounds 0 and 1; other kinds get the bound dimension test.
Result<Expr> make_decision_var(VarKind kind, std::string name, std::vector<Expr> shape, Bound lower,
                               Bound upper, OptString latex, OptString description);

// The subscript-list rule: not empty, and no subscript holds a decision variable.
Result<void> check_subscript_list(const std::vector<Expr>& subscripts);

// Subscript construction of `variable` (Placeholder, Element, DecisionVar or Subscript node):
// too many subscripts is an error; a subscript of a subscript is flattened.
Result<Expr> make_subscript(const Expr& variable, std::vector<Expr> subscripts);

// "the scalar `...` is not subscriptable" for a scalar variable node.
std::string not_subscriptable_message(const Expr& variable);

// The target checks of an array length (array must be an array that a length can measure).
Result<void> check_array_length_target(const Expr& array);
// An array length of `array` at `axis`, after the target and axis checks.
Result<Expr> make_array_length(const Expr& array, uint64_t axis, OptString latex,
                               OptString description);

// The shape of an array-capable node: one array length per axis, or for a decision variable
// (and a subscript of one) its shape expressions for the remaining axes.
Result<std::vector<Expr>> shape_of(const Expr& node);

}  // namespace korvex
