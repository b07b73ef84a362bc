// The sample-set operations that need no Python: the feasibility test, selection of samples by
// index, the lowest-objective filter and the merges of concatenation. The metadata dict lives
// in the binding, which shares it between results.
#pragma once

#include <cstddef>
#include <vector>

#include "korvex/core/error.hpp"
#include "korvex/core/sample_set/evaluation.hpp"
#include "korvex/core/sample_set/record.hpp"
#include "korvex/core/sample_set/timing.hpp"

namespace korvex::sample_set {

struct SampleSet {
  Record record;
  Evaluation evaluation;
  MeasuringTime measuring_time;

  bool operator==(const SampleSet&) const = default;
};

struct Tolerance {
  double rtol = 1e-5;
  double atol = 1e-8;
};

// Indices of the samples whose summed violation is (in)feasible, ascending. Fails when the
// violation lists differ in length.
Result<std::vector<size_t>> feasible_indices(const Evaluation& evaluation, Tolerance tolerance,
                                             bool feasible);

// The samples at `indices`, in that order. A list that has entries but not a selected index makes
// its whole part (record or evaluation) the default one; a list empty for every sample stays
// empty rather than counting as too short.
SampleSet select(const SampleSet& source, const std::vector<size_t>& indices);

// The feasible samples whose objective equals the lowest feasible objective (NaN never wins).
Result<std::vector<size_t>> lowest_indices(const Evaluation& evaluation, Tolerance tolerance);

// Appends `next` to the accumulator `into`, as concatenation does.
Result<void> merge_record(Record& into, const Record& next);
void merge_evaluation(Evaluation& into, const Evaluation& next);

}  // namespace korvex::sample_set
