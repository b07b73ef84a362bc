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

char* write_json_number(char* out, double value) {
  if (!std::isfinite(value)) {
    std::memcpy(out, "null", 4);
    return out + 4;
  }
  if (std::signbit(value)) *out++ = '-';
  double magnitude = std::fabs(value);
  if (magnitude == 0.0) {
    std::memcpy(out, "0.0", 3);
    return out + 3;
  }
  // Lay the scientific digits out in place: this runs once per element of every dense array.
  char buffer[32];
  char* end =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific).ptr;
  char* e = buffer + 1;
  while (*e != 'e') ++e;
  int exponent = 0;
  for (const char* q = e + 2; q < end; ++q) exponent = exponent * 10 + (*q - '0');
  if (e[1] == '-') exponent = -exponent;
  // Digits: buffer[0] and, when there is a fraction, buffer[2..e).
  const char* fraction = buffer + 2;
  int fraction_count = e > buffer + 1 ? static_cast<int>(e - fraction) : 0;
  int point = exponent + 1;
  if (point <= -5 || point > 16) {
    out = static_cast<char*>(std::memcpy(out, buffer, e - buffer)) + (e - buffer);
    *out++ = 'e';
    return std::to_chars(out, out + 8, exponent).ptr;
  }
  if (point <= 0) {
    *out++ = '0';
    *out++ = '.';
    for (int i = 0; i < -point; ++i) *out++ = '0';
    *out++ = buffer[0];
    std::memcpy(out, fraction, fraction_count);
    return out + fraction_count;
  }
  *out++ = buffer[0];
  int integral_from_fraction = point - 1;
  if (integral_from_fraction >= fraction_count) {
    std::memcpy(out, fraction, fraction_count);
    out += fraction_count;
    for (int i = fraction_count; i < integral_from_fraction; ++i) *out++ = '0';
    *out++ = '.';
    *out++ = '0';
    return out;
  }
  std::memcpy(out, fraction, integral_from_fraction);
  out += integral_from_fraction;
  *out++ = '.';
  int rest = fraction_count - integral_from_fraction;
  std::memcpy(out, fraction + integral_from_fraction, rest);
  return out + rest;
}

void append_json_number(std::string& out, double value) {
  char buffer[kMaxJsonNumber];
  out.append(buffer, write_json_number(buffer, value));
}

}  // namespace korvex::sample_set
