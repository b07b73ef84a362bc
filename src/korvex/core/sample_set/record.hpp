// Samples of a solve: per decision-variable name, one value per sample, dense or sparse.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "korvex/core/error.hpp"
#include "korvex/core/sample_set/ndarray.hpp"

namespace korvex::sample_set {

// One sparse sample of one variable; index lists are axis-major (one list per axis).
struct CooFormat {
  std::vector<std::vector<uint64_t>> non_zero_indices;
  std::vector<double> non_zero_values;
  std::vector<uint64_t> shape;

  bool operator==(const CooFormat&) const = default;
};

// std::map over std::string orders keys byte by byte (char_traits compares as unsigned char),
// which is the UTF-8 byte order every output lists names in.
using SparseMap = std::map<std::string, std::vector<CooFormat>>;
using DenseMap = std::map<std::string, std::vector<NdArray>>;
// Sparse comes first: it is the default, and the order shows in the JSON reader's messages.
using Solution = std::variant<SparseMap, DenseMap>;

struct Record {
  Solution solution;
  std::vector<uint64_t> num_occurrences;

  bool operator==(const Record&) const = default;
};

inline bool is_dense(const Record& record) { return record.solution.index() == 1; }

// Expands one sparse sample; fails on coordinates that do not fit the shape.
Result<NdArray> coo_to_dense(const CooFormat& coo);
// Keeps the elements that do not compare equal to 0.0, in row-major order.
CooFormat dense_to_coo(const NdArray& array);

Result<Record> to_dense(const Record& record);
Record to_sparse(const Record& record);

std::string record_text(const Record& record);

}  // namespace korvex::sample_set
