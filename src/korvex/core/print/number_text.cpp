#include "korvex/core/print/number_text.hpp"

#include <charconv>
#include <cmath>

namespace korvex {

void append_number_text(std::string& out, const Number& value) {
  // Large enough for any double in fixed notation: the smallest subnormal needs 2 + 323 zeros +
  // its digits, the largest finite value 309 digits.
  char buffer[400];
  std::to_chars_result written;
  switch (value.kind) {
    case Number::Kind::Integer:
      written = std::to_chars(buffer, buffer + sizeof buffer, value.integer);
      break;
    case Number::Kind::Float: {
      double d = value.real;
      if (std::isnan(d)) {
        out += "NaN";
        return;
      }
      if (std::isinf(d)) {
        out += d < 0 ? "-inf" : "inf";
        return;
      }
      // Fixed notation without a precision gives the shortest digits that round-trip, padded with
      // zeros instead of an exponent, and no fraction for an integral value.
      written = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed);
      break;
    }
  }
  out.append(buffer, written.ptr);
}

std::string number_text(const Number& value) {
  std::string out;
  append_number_text(out, value);
  return out;
}

bool text_has_minus(const Number& value) {
  switch (value.kind) {
    case Number::Kind::Integer: return value.integer < 0;
    case Number::Kind::Float: return std::signbit(value.real) && !std::isnan(value.real);
  }
  return false;
}

bool is_minus_one(const Number& value) {
  switch (value.kind) {
    case Number::Kind::Integer: return value.integer == -1;
    case Number::Kind::Float: return value.real == -1.0;
  }
  return false;
}

}  // namespace korvex
