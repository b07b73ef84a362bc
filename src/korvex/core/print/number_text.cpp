#include "korvex/core/print/number_text.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

namespace korvex {

namespace {

// Writes a finite double as its shortest round-trip digits laid out without an exponent. The
// digits come from the scientific form because fixed notation would spell a large value such as
// 1e23 by its exact binary value, 99999999999999991611392, instead of 1 and 23 zeros.
void append_plain_decimal(std::string& out, double value) {
  char buffer[32];  // "-d.dddddddddddddddde-308" at most
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view text(buffer, written.ptr - buffer);
  const size_t e = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  exponent);
  std::string_view mantissa = text.substr(0, e);
  if (mantissa.front() == '-') {
    out += '-';
    mantissa.remove_prefix(1);
  }
  // The significant digits d1 d2 ... dn stand for d1.d2...dn times ten to the exponent.
  char digit_buffer[20];  // at most 17 significant digits
  size_t digit_count = 0;
  for (char c : mantissa) {
    if (c != '.') digit_buffer[digit_count++] = c;
  }
  const std::string_view digits(digit_buffer, digit_count);
  const long integral = static_cast<long>(exponent) + 1;  // digits before the decimal point
  const long count = static_cast<long>(digit_count);
  if (integral <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-integral), '0');
    out += digits;
  } else if (integral >= count) {
    out += digits;
    out.append(static_cast<size_t>(integral - count), '0');
  } else {
    out += digits.substr(0, static_cast<size_t>(integral));
    out += '.';
    out += digits.substr(static_cast<size_t>(integral));
  }
}

}  // namespace

void append_number_text(std::string& out, const Number& value) {
  switch (value.kind) {
    case Number::Kind::Integer: {
      char buffer[24];
      const auto written = std::to_chars(buffer, buffer + sizeof buffer, value.integer);
      out.append(buffer, written.ptr);
      return;
    }
    case Number::Kind::Float:
      if (std::isnan(value.real)) {
        out += "NaN";
      } else if (std::isinf(value.real)) {
        out += value.real < 0 ? "-inf" : "inf";
      } else {
        append_plain_decimal(out, value.real);
      }
      return;
  }
}

std::string number_text(const Number& value) {
  std::string out;
  append_number_text(out, value);
  return out;
}

bool text_has_minus(const Number& value) {
  switch (value.kind) {
    case Number::Kind::Integer:
      return value.integer < 0;
    case Number::Kind::Float:
      return std::signbit(value.real) && !std::isnan(value.real);
  }
  return false;
}

bool is_minus_one(const Number& value) {
  switch (value.kind) {
    case Number::Kind::Integer:
      return value.integer == -1;
    case Number::Kind::Float:
      return value.real == -1.0;
  }
  return false;
}

}  // namespace korvex
