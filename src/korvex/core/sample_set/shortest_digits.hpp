// The shortest decimal that reads back to the same double (the closest one among the shortest,
// ties to even), by the Ryu method: exact integer arithmetic with 128-bit products.
#pragma once

#include <cstdint>

namespace korvex::sample_set {

struct Decimal {
  uint64_t digits;   // at most 17 decimal digits, no trailing zero beyond what is needed
  int32_t exponent;  // value = digits * 10^exponent
};

// For a finite, strictly positive double.
Decimal shortest_decimal(double value);

}  // namespace korvex::sample_set
