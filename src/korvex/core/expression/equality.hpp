// Structural equality: what a value means, not how it is shown. Descriptions never take part;
// LaTeX texts only on subscripts. The stored hash is consistent with it.
#pragma once

#include "korvex/core/expression/expression.hpp"

namespace korvex {

bool equal(const Expr& a, const Expr& b);
bool equal(const Cond& a, const Cond& b);  // two null conditions are equal
bool equal(const Range& a, const Range& b);
bool equal(const BelongTo& a, const BelongTo& b);
bool equal(const Bound& a, const Bound& b);
bool equal(const std::vector<Expr>& a, const std::vector<Expr>& b);

}  // namespace korvex
