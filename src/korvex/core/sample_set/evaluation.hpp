// What evaluating a model on each sample gave: energies, objectives, and per constraint its
// violations, forall index tuples, values and penalties. Filled by whoever evaluated.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "korvex/core/error.hpp"

namespace korvex::sample_set {

using FloatMap = std::map<std::string, std::vector<double>>;
using IndexTuples = std::vector<std::vector<uint64_t>>;
using ForallMap = std::map<std::string, IndexTuples>;

struct Evaluation {
  std::vector<double> energy;
  std::vector<double> objective;
  FloatMap constraint_violations;
  ForallMap constraint_forall;
  std::vector<FloatMap> constraint_values;  // one map per sample
  FloatMap penalty;

  bool operator==(const Evaluation&) const = default;
};

// The forall tuples as a row-major matrix: every tuple must have the first tuple's length.
struct IndexMatrix {
  size_t rows = 0;
  size_t columns = 0;
  std::vector<uint64_t> data;
};
Result<IndexMatrix> forall_matrix(const IndexTuples& tuples);

// A name in the text forms: in double quotes, with quotes, backslashes and control characters
// escaped.
void append_quoted_name(std::string& out, const std::string& name);

std::string evaluation_text(const Evaluation& evaluation);

}  // namespace korvex::sample_set
