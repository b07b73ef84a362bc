#pragma once

#include <string>

#include "korvex/core/expression/expression.hpp"

namespace korvex {
std::string number_text(const Number& value);
}  // namespace korvex
