// The number text of the modelling classes: integers in decimal, floats in the shortest decimal
// that reads back to the same double, never in exponent notation.
#pragma once

#include <string>

#include "korvex/core/expression/expression.hpp"

namespace korvex {

// 1 -> "1", -3 -> "-3", 0.5 -> "0.5", 1.0 -> "1", 1e21 -> "1" and 21 zeros, "inf", "-inf", "NaN".
std::string number_text(const Number& value);
void append_number_text(std::string& out, const Number& value);

// Whether the text of `value` starts with a minus sign: a negative integer, or a float with its
// sign bit set other than NaN (which prints "NaN" whatever its sign bit), so -0.0 and -inf count.
bool text_has_minus(const Number& value);

// Whether `value` is the literal -1, integer or float.
bool is_minus_one(const Number& value);

}  // namespace korvex
