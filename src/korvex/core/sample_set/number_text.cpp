#include "korvex/core/sample_set/number_text.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "korvex/core/sample_set/shortest_digits.hpp"

namespace korvex::sample_set {
namespace {

// The shortest round-trip digits of a finite, non-zero |value| and where the decimal point goes:
// value = 0.d1d2d3... * 10^point.
struct Digits {
  char digits[32];  // 17 digits and the slack write_digits needs
  int count = 0;
  int point = 0;
};

static_assert(std::endian::native == std::endian::little, "digits are assembled little-endian");

constexpr uint64_t kPow10[20] = {1u,
                                 10u,
                                 100u,
                                 1000u,
                                 10000u,
                                 100000u,
                                 1000000u,
                                 10000000u,
                                 100000000u,
                                 1000000000u,
                                 10000000000u,
                                 100000000000u,
                                 1000000000000u,
                                 10000000000000u,
                                 100000000000000u,
                                 1000000000000000u,
                                 10000000000000000u,
                                 100000000000000000u,
                                 1000000000000000000u,
                                 10000000000000000000u};

// The number of decimal digits of n > 0, from its bit length: no division on the way.
[[gnu::always_inline]] inline int decimal_length(uint64_t n) {
  int bits = 64 - __builtin_clzll(n | 1);
  int guess = (bits * 1233) >> 12;  // floor(bits * log10(2)) for bits <= 64
  return guess + (n >= kPow10[guess]);
}

// The eight digits of n < 10^8 as ASCII bytes, most significant at the lowest address once
// stored: the number is split into halves, quarters and single digits inside one 64-bit word
// (four lanes of 16 bits, then eight of 8), so the digits take a few multiplications.
[[gnu::always_inline]] inline uint64_t eight_digits(uint32_t n) {
  uint64_t x = (n / 10000) | (static_cast<uint64_t>(n % 10000) << 32);
  uint64_t q = ((x * 5243) >> 19) & 0x0000007F0000007Full;  // each lane / 100
  x = q | ((x - q * 100) << 16);
  q = ((x * 103) >> 10) & 0x000F000F000F000Full;  // each lane / 10
  x = q | ((x - q * 10) << 8);
  return x + 0x3030303030303030ull;
}

// Writes the `count` digits of n (at most 17) at out[0..count); `out` must have room for
// count + 8 bytes, as whole 8-byte groups are stored and a short one may write past its digits.
[[gnu::always_inline]] inline void write_digits(char* out, uint64_t n, int count) {
  if (count <= 8) {
    uint64_t digits = eight_digits(static_cast<uint32_t>(n)) >> (8 * (8 - count));
    std::memcpy(out, &digits, 8);
    return;
  }
  uint64_t high = n / 100000000;
  auto low = static_cast<uint32_t>(n - high * 100000000);
  int high_count = count - 8;
  if (high_count > 8) {
    *out++ = static_cast<char>('0' + high / 100000000);
    high %= 100000000;
    high_count = 8;
  }
  uint64_t head = eight_digits(static_cast<uint32_t>(high)) >> (8 * (8 - high_count));
  std::memcpy(out, &head, 8);
  uint64_t tail = eight_digits(low);
  std::memcpy(out + high_count, &tail, 8);
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
  // Fixed-size copies below (zeros, the digits after the point) stay clear of library calls; the
  // room of kMaxJsonNumber bytes covers what they write past the number.
  if (point <= 0) {
    std::memcpy(out, "0.0000", 6);  // at most four zeros: point >= -4
    out += 2 - point;
    write_digits(out, decimal.digits, count);
    return out + count;
  }
  write_digits(out, decimal.digits, count);
  if (point >= count) {
    out += count;
    std::memcpy(out, "0000000000000000", 16);  // point <= 16
    out += point - count;
    std::memcpy(out, ".0", 2);
    return out + 2;
  }
  char fraction[16];  // count - point <= 16 digits after the point
  std::memcpy(fraction, out + point, 16);
  out[point] = '.';
  std::memcpy(out + point + 1, fraction, 16);
  return out + count + 1;
}

void append_json_number(std::string& out, double value) {
  char buffer[kMaxJsonNumber];
  out.append(buffer, write_json_number(buffer, value));
}

}  // namespace korvex::sample_set
