#include "korvex/core/sample_set/shortest_digits.hpp"

#include <cstring>

#include "korvex/core/sample_set/shortest_digits_table.hpp"

namespace korvex::sample_set {
namespace {

using detail::kPow5InvSplit;
using detail::kPow5Split;
using u128 = unsigned __int128;

constexpr int kMantissaBits = 52;
constexpr int kBias = 1023;
constexpr int kPow5InvBitCount = 125;
constexpr int kPow5BitCount = 125;

// ceil(log2(5^e)) for e > 0 (1 for e == 0).
int pow5_bits(int e) { return static_cast<int>((static_cast<uint32_t>(e) * 1217359) >> 19) + 1; }
// floor(log10(2^e)) and floor(log10(5^e)).
uint32_t log10_pow2(int e) { return (static_cast<uint32_t>(e) * 78913) >> 18; }
uint32_t log10_pow5(int e) { return (static_cast<uint32_t>(e) * 732923) >> 20; }

uint32_t pow5_factor(uint64_t value) {
  uint32_t count = 0;
  while (value % 5 == 0) {
    value /= 5;
    ++count;
  }
  return count;
}

bool multiple_of_pow5(uint64_t value, uint32_t p) { return pow5_factor(value) >= p; }
bool multiple_of_pow2(uint64_t value, uint32_t p) {
  return (value & ((uint64_t{1} << p) - 1)) == 0;
}

uint64_t mul_shift(uint64_t m, const uint64_t* mul, int j) {
  u128 low = static_cast<u128>(m) * mul[0];
  u128 high = static_cast<u128>(m) * mul[1];
  return static_cast<uint64_t>(((low >> 64) + high) >> (j - 64));
}

}  // namespace

Decimal shortest_decimal(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const uint64_t ieee_mantissa = bits & ((uint64_t{1} << kMantissaBits) - 1);
  const uint32_t ieee_exponent = static_cast<uint32_t>(bits >> kMantissaBits) & 0x7ff;

  int e2;
  uint64_t m2;
  if (ieee_exponent == 0) {
    e2 = 1 - kBias - kMantissaBits - 2;
    m2 = ieee_mantissa;
  } else {
    e2 = static_cast<int>(ieee_exponent) - kBias - kMantissaBits - 2;
    m2 = (uint64_t{1} << kMantissaBits) | ieee_mantissa;
  }
  const bool accept_bounds = (m2 & 1) == 0;

  // The value and its two neighbours' midpoints, scaled by 4 and then by a power of ten.
  const uint64_t mv = 4 * m2;
  const uint32_t mm_shift = ieee_mantissa != 0 || ieee_exponent <= 1;
  uint64_t vr, vp, vm;
  int e10;
  bool vm_trailing_zeros = false;
  bool vr_trailing_zeros = false;
  if (e2 >= 0) {
    const uint32_t q = log10_pow2(e2) - (e2 > 3);
    e10 = static_cast<int>(q);
    const int k = kPow5InvBitCount + pow5_bits(static_cast<int>(q)) - 1;
    const int i = -e2 + static_cast<int>(q) + k;
    vr = mul_shift(mv, kPow5InvSplit[q], i);
    vp = mul_shift(mv + 2, kPow5InvSplit[q], i);
    vm = mul_shift(mv - 1 - mm_shift, kPow5InvSplit[q], i);
    if (q <= 21) {
      if (mv % 5 == 0) {
        vr_trailing_zeros = multiple_of_pow5(mv, q);
      } else if (accept_bounds) {
        vm_trailing_zeros = multiple_of_pow5(mv - 1 - mm_shift, q);
      } else {
        vp -= multiple_of_pow5(mv + 2, q);
      }
    }
  } else {
    const uint32_t q = log10_pow5(-e2) - (-e2 > 1);
    e10 = static_cast<int>(q) + e2;
    const int i = -e2 - static_cast<int>(q);
    const int k = pow5_bits(i) - kPow5BitCount;
    const int j = static_cast<int>(q) - k;
    vr = mul_shift(mv, kPow5Split[i], j);
    vp = mul_shift(mv + 2, kPow5Split[i], j);
    vm = mul_shift(mv - 1 - mm_shift, kPow5Split[i], j);
    if (q <= 1) {
      vr_trailing_zeros = true;
      if (accept_bounds) {
        vm_trailing_zeros = mm_shift == 1;
      } else {
        --vp;
      }
    } else if (q < 63) {
      vr_trailing_zeros = multiple_of_pow2(mv, q);
    }
  }

  // Remove digits while the interval still holds a shorter number.
  int removed = 0;
  uint64_t output;
  if (vm_trailing_zeros || vr_trailing_zeros) {
    uint8_t last_removed = 0;
    while (vp / 10 > vm / 10) {
      vm_trailing_zeros &= vm % 10 == 0;
      vr_trailing_zeros &= last_removed == 0;
      last_removed = static_cast<uint8_t>(vr % 10);
      vr /= 10;
      vp /= 10;
      vm /= 10;
      ++removed;
    }
    if (vm_trailing_zeros) {
      while (vm % 10 == 0) {
        vr_trailing_zeros &= last_removed == 0;
        last_removed = static_cast<uint8_t>(vr % 10);
        vr /= 10;
        vp /= 10;
        vm /= 10;
        ++removed;
      }
    }
    if (vr_trailing_zeros && last_removed == 5 && vr % 2 == 0) last_removed = 4;  // ties to even
    output = vr + ((vr == vm && (!accept_bounds || !vm_trailing_zeros)) || last_removed >= 5);
  } else {
    bool round_up = false;
    if (vp / 100 > vm / 100) {
      round_up = vr % 100 >= 50;
      vr /= 100;
      vp /= 100;
      vm /= 100;
      removed += 2;
    }
    while (vp / 10 > vm / 10) {
      round_up = vr % 10 >= 5;
      vr /= 10;
      vp /= 10;
      vm /= 10;
      ++removed;
    }
    output = vr + (vr == vm || round_up);
  }
  return Decimal{output, e10 + removed};
}

}  // namespace korvex::sample_set
