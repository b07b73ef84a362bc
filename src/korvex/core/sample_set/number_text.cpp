#include "korvex/core/sample_set/number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

#include "korvex/core/sample_set/shortest_digits.hpp"

namespace korvex::sample_set {
namespace {

// The shortest round-trip digits of a finite, non-zero |value| and where the decimal point goes:
// value = 0.d1d2d3... * 10^point.
struct Digits {
  char digits[24];
  int count = 0;
  int point = 0;
};

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int decimal_length(uint64_t n) {
  int length = 1;
  while (n >= 10000) {
    n /= 10000;
    length += 4;
  }
  return length + (n >= 10) + (n >= 100) + (n >= 1000);
}

// Writes the `count` digits of n at out[0..count) from the right: eight at a time in 32-bit
// arithmetic, then two at a time.
void write_digits(char* out, uint64_t n, int count) {
  char* p = out + count;
  while (n >= 100000000) {
    auto low = static_cast<uint32_t>(n % 100000000);
    n /= 100000000;
    uint32_t high4 = low / 10000, low4 = low % 10000;
    p -= 8;
    std::memcpy(p, kPairs + 2 * (high4 / 100), 2);
    std::memcpy(p + 2, kPairs + 2 * (high4 % 100), 2);
    std::memcpy(p + 4, kPairs + 2 * (low4 / 100), 2);
    std::memcpy(p + 6, kPairs + 2 * (low4 % 100), 2);
  }
  auto m = static_cast<uint32_t>(n);
  while (m >= 100) {
    p -= 2;
    std::memcpy(p, kPairs + 2 * (m % 100), 2);
    m /= 100;
  }
  if (m >= 10) {
    p -= 2;
    std::memcpy(p, kPairs + 2 * m, 2);
  } else {
    *--p = static_cast<char>('0' + m);
  }
}

// The shortest digits without trailing zeros (Ryu may leave some below an exact integer).
Decimal stripped(double magnitude) {
  Decimal decimal = shortest_decimal(magnitude);
  while (decimal.digits % 10 == 0) {
    decimal.digits /= 10;
    ++decimal.exponent;
  }
  return decimal;
}

Digits shortest(double magnitude) {
  Decimal decimal = stripped(magnitude);
  Digits d;
  d.count = decimal_length(decimal.digits);
  write_digits(d.digits, decimal.digits, d.count);
  d.point = decimal.exponent + d.count;
  return d;
}

// Digits laid out without exponent at `out`; `min_fraction` forces ".0" for integral values.
char* write_fixed(char* out, const Digits& d, bool min_fraction) {
  if (d.point <= 0) {
    *out++ = '0';
    *out++ = '.';
    std::memset(out, '0', -d.point);
    out += -d.point;
    std::memcpy(out, d.digits, d.count);
    return out + d.count;
  }
  if (d.point >= d.count) {
    std::memcpy(out, d.digits, d.count);
    out += d.count;
    std::memset(out, '0', d.point - d.count);
    out += d.point - d.count;
    if (min_fraction) {
      *out++ = '.';
      *out++ = '0';
    }
    return out;
  }
  std::memcpy(out, d.digits, d.point);
  out += d.point;
  *out++ = '.';
  std::memcpy(out, d.digits + d.point, d.count - d.point);
  return out + (d.count - d.point);
}

// "1e-7", "1.5e16": the first digit, the rest after a point, a lower-case e, no plus sign.
char* write_exponent(char* out, const Digits& d) {
  *out++ = d.digits[0];
  if (d.count > 1) {
    *out++ = '.';
    std::memcpy(out, d.digits + 1, d.count - 1);
    out += d.count - 1;
  }
  *out++ = 'e';
  return std::to_chars(out, out + 8, d.point - 1).ptr;
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

// The fixed form can be long (1e300 written out); size the buffer for the digits it needs.
void append_fixed(std::string& out, const Digits& d, bool min_fraction) {
  size_t start = out.size();
  int length = d.count + (d.point > 0 ? d.point : -d.point) + 4;
  out.resize(start + static_cast<size_t>(length));
  char* end = write_fixed(out.data() + start, d, min_fraction);
  out.resize(static_cast<size_t>(end - out.data()));
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
    char buffer[kMaxJsonNumber];
    out.append(buffer, write_exponent(buffer, d));
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
  // This runs once per element of every dense array: digits go straight to their place.
  Decimal decimal = stripped(magnitude);
  int count = decimal_length(decimal.digits);
  int point = decimal.exponent + count;
  if (point <= -5 || point > 16) {
    Digits d;
    d.count = count;
    d.point = point;
    write_digits(d.digits, decimal.digits, count);
    return write_exponent(out, d);
  }
  if (point <= 0) {
    *out++ = '0';
    *out++ = '.';
    std::memset(out, '0', -point);
    out += -point;
    write_digits(out, decimal.digits, count);
    return out + count;
  }
  write_digits(out, decimal.digits, count);
  if (point >= count) {
    out += count;
    std::memset(out, '0', point - count);
    out += point - count;
    *out++ = '.';
    *out++ = '0';
    return out;
  }
  std::memmove(out + point + 1, out + point, count - point);
  out[point] = '.';
  return out + count + 1;
}

void append_json_number(std::string& out, double value) {
  char buffer[kMaxJsonNumber];
  out.append(buffer, write_json_number(buffer, value));
}

}  // namespace korvex::sample_set
