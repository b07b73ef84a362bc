// An n-dimensional array of doubles: a shape and its elements in row-major order, held
// contiguously so conversions to and from NumPy are one copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvex/core/error.hpp"

namespace korvex::sample_set {

// NumPy's own limit on the number of axes.
constexpr size_t kMaxAxes = 32;

struct NdArray {
  std::vector<uint64_t> shape;
  std::vector<double> data;  // row-major; size is the product of shape (1 for no axes)

  // Elements compare as floats, so an array holding NaN never equals another one.
  bool operator==(const NdArray&) const = default;
};

// The number of elements of `shape`, refused when it does not fit a signed 64-bit size or when
// so many doubles could never be allocated; checked before anything is allocated.
Result<uint64_t> checked_element_count(const std::vector<uint64_t>& shape);

// "[1, 3]": a list of integers in brackets.
void append_index_list(std::string& out, const std::vector<uint64_t>& values);

// The array text form: nested brackets with line breaks by depth and abbreviation of arrays of
// 500 or more elements; elements in the plain decimal form.
void append_array_text(std::string& out, const NdArray& array);

}  // namespace korvex::sample_set
