#include "korvex/core/sample_set/number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

namespace korvex::sample_set {
namespace {

// The shortest round-trip digits of a finite, non-zero |value| and the decimal exponent of the
// first digit: value = 0.d1d2d3... * 10^(point), so "point" is where the decimal point goes.
struct Digits {
  char digits[24];
  int count = 0;
  int point = 0;
};

Digits shortest(double magnitude) {
  char buffer[40];
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  (void)ec;  // 40 bytes always hold the scientific form of a double
  Digits d;
  const char* p = buffer;
  const char* e = static_cast<const char*>(std::memchr(buffer, 'e', end - buffer));
  for (; p < e; ++p) {
    if (*p != '.') d.digits[d.count++] = *p;
  }
  int exponent = 0;
  std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
  d.point = exponent + 1;
  return d;
}

// Digits laid out without exponent; `min_fraction` forces ".0" for integral values.
void append_fixed(std::string& out, const Digits& d, bool min_fraction) {
  if (d.point <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-d.point), '0');
    out.append(d.digits, d.count);
  } else if (d.point >= d.count) {
    out.append(d.digits, d.count);
    out.append(static_cast<size_t>(d.point - d.count), '0');
    if (min_fraction) out += ".0";
  } else {
    out.append(d.digits, d.point);
    out += '.';
    out.append(d.digits + d.point, d.count - d.point);
  }
}

void append_exponent(std::string& out, const Digits& d) {
  out += d.digits[0];
  if (d.count > 1) {
    out += '.';
    out.append(d.digits + 1, d.count - 1);
  }
  out += 'e';
  char buffer[8];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d.point - 1);
  (void)ec;
  out.append(buffer, end);
}

// Writes NaN, infinities and zeros; returns false for the finite non-zero values.
bool append_special(std::string& out, double value, const char* zero) {
  if (std::isnan(value)) {
    out += "NaN";
  } else if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
  } else if (value == 0.0) {
    if (std::signbit(value)) out += '-';
    out += zero;
  } else {
    return false;
  }
  return true;
}

}  // namespace

void append_plain(std::string& out, double value) {
  if (append_special(out, value, "0")) return;
  if (value < 0) out += '-';
  append_fixed(out, shortest(std::fabs(value)), false);
}

void append_debug(std::string& out, double value) {
  if (append_special(out, value, "0.0")) return;
  if (value < 0) out += '-';
  double magnitude = std::fabs(value);
  Digits d = shortest(magnitude);
  if (magnitude < 1e-4 || magnitude >= 1e16) {
    append_exponent(out, d);
  } else {
    append_fixed(out, d, true);
  }
}

void append_json_number(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  if (value == 0.0) {
    out += std::signbit(value) ? "-0.0" : "0.0";
    return;
  }
  if (value < 0) out += '-';
  Digits d = shortest(std::fabs(value));
  if (d.point > -5 && d.point <= 16) {
    append_fixed(out, d, true);
  } else {
    append_exponent(out, d);
  }
}

}  // namespace korvex::sample_set
