// The printer of the modelling classes: one walk, a stack of enclosing nodes, and the forms.
#pragma once

#include <cstdint>
#include <string>

#include "korvex/core/expression/expression.hpp"

namespace korvex {

enum class Form : uint8_t { Str, Repr };

std::string print(const Expr& expr, Form form);
std::string print(const Cond& cond, Form form);
std::string print_nested(const Expr& expr, Form form);
std::string print_range(const Range& range, Form form);
void append(std::string& out, const Expr& expr, Form form);
void append_nested(std::string& out, const Expr& expr, Form form);

}  // namespace korvex
