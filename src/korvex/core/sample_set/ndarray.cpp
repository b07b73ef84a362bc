#include "korvex/core/sample_set/ndarray.hpp"

#include <unistd.h>

#include <algorithm>
#include <limits>

#include "korvex/core/sample_set/number_text.hpp"

namespace korvex::sample_set {
namespace {

std::string shape_text(const std::vector<uint64_t>& shape) {
  std::string out;
  append_index_list(out, shape);
  return out;
}

// Physical memory in bytes: an array larger than this could only be "allocated" by the
// kernel's overcommit and would then bring the machine down while being zeroed.
uint64_t physical_memory() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

constexpr size_t kManyElements = 500;
constexpr size_t kLimitLastAxes = 11;
constexpr size_t kLimitOtherAxes = 6;

struct ArrayPrinter {
  std::string& out;
  const NdArray& array;
  std::vector<uint64_t> strides;  // in elements
  bool abbreviate;

  size_t limit(size_t axis) const {
    if (!abbreviate) return std::numeric_limits<size_t>::max();
    size_t from_last = array.shape.size() - 1 - axis;
    return from_last <= 1 ? kLimitLastAxes : kLimitOtherAxes;
  }

  template <class F>
  void entries(size_t length, size_t limit, const std::string& separator, F&& entry) {
    if (length == 0) return;
    if (length <= limit) {
      for (size_t i = 0; i < length; ++i) {
        if (i > 0) out += separator;
        entry(i);
      }
      return;
    }
    size_t edge = limit / 2;
    for (size_t i = 0; i < edge; ++i) {
      if (i > 0) out += separator;
      entry(i);
    }
    if (edge > 0) out += separator;
    out += "...";
    for (size_t i = length - edge; i < length; ++i) {
      out += separator;
      entry(i);
    }
  }

  void print(size_t axis, uint64_t offset) {
    size_t ndim = array.shape.size();
    size_t remaining = ndim - axis;
    if (remaining == 1) {
      out += '[';
      entries(array.shape[axis], limit(axis), ", ",
              [&](size_t i) { append_plain(out, array.data[offset + i]); });
      out += ']';
      return;
    }
    std::string separator = ",\n";
    separator.append(remaining - 2, '\n');
    separator.append(axis + 1, ' ');
    out += '[';
    entries(array.shape[axis], limit(axis), separator,
            [&](size_t i) { print(axis + 1, offset + i * strides[axis]); });
    out += ']';
  }
};

}  // namespace

Result<uint64_t> checked_element_count(const std::vector<uint64_t>& shape) {
  if (shape.size() > kMaxAxes) {
    return fail(ErrorKind::Value, "the shape " + shape_text(shape) + " has " +
                                      std::to_string(shape.size()) + " axes, more than " +
                                      std::to_string(kMaxAxes));
  }
  // Every axis length must fit too, even when another axis is empty: NumPy takes them signed.
  constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t count = 1;
  bool overflow = false;
  for (uint64_t length : shape) {
    overflow |= length > kMax;
    if (!overflow && count != 0) {
      overflow |= __builtin_mul_overflow(count, length, &count) || count > kMax;
    }
  }
  if (overflow) {
    return fail(ErrorKind::Value, "the shape " + shape_text(shape) +
                                      " has more elements than fit in a signed 64-bit size");
  }
  if (count > physical_memory() / sizeof(double)) {
    return fail(ErrorKind::Value, "the shape " + shape_text(shape) + " has " +
                                      std::to_string(count) + " elements, more than fit in memory");
  }
  return count;
}

void append_index_list(std::string& out, const std::vector<uint64_t>& values) {
  out += '[';
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ", ";
    out += std::to_string(values[i]);
  }
  out += ']';
}

void append_array_text(std::string& out, const NdArray& array) {
  size_t ndim = array.shape.size();
  if (ndim == 0) {
    append_plain(out, array.data.empty() ? 0.0 : array.data[0]);
    return;
  }
  if (std::find(array.shape.begin(), array.shape.end(), 0) != array.shape.end()) {
    out.append(ndim, '[');
    out.append(ndim, ']');
    return;
  }
  ArrayPrinter printer{out, array, std::vector<uint64_t>(ndim, 1),
                       array.data.size() >= kManyElements};
  for (size_t axis = ndim - 1; axis > 0; --axis) {
    printer.strides[axis - 1] = printer.strides[axis] * array.shape[axis];
  }
  printer.print(0, 0);
}

}  // namespace korvex::sample_set
