// The text forms of expressions and conditions. One walk serves every form: it writes each node
// by its kind's rule for the form and decides parentheses from the enclosing node alone, so a
// new form adds one case to each rule rather than a second walk.
#pragma once

#include <cstdint>
#include <string>

#include "korvex/core/expression/expression.hpp"

namespace korvex {

// Str: names and operator symbols, as an expression is written by hand.
// Repr: the same operator syntax with leaves written as constructor calls.
enum class Form : uint8_t { Str, Repr };

// Class entry: the object's own text; the root is never parenthesised.
std::string print(const Expr& expr, Form form);
std::string print(const Cond& cond, Form form);
void append(std::string& out, const Expr& expr, Form form);
void append(std::string& out, const Cond& cond, Form form);

// Nested entry: the expression written as a child of itself, for an expression that sits inside
// another object (a range bound, a penalty term). A power or a modulo gets parentheses.
std::string print_nested(const Expr& expr, Form form);
void append_nested(std::string& out, const Expr& expr, Form form);

// Str "[{start}..{end})", repr "({start}, {end})", both bounds through the nested entry.
std::string print_range(const Range& range, Form form);
void append_range(std::string& out, const Range& range, Form form);

// The class entry of the comparison `left {kind} right`, for holders that keep the two sides and
// the sense apart (a constraint) and should not build a node just to print it.
void append_comparison(std::string& out, ComparisonKind kind, const Expr& left, const Expr& right,
                       Form form);

}  // namespace korvex
