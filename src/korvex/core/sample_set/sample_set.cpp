#include "korvex/core/sample_set/sample_set.hpp"

#include <cmath>
#include <limits>

namespace korvex::sample_set {

Result<std::vector<size_t>> feasible_indices(const Evaluation& evaluation, Tolerance tolerance,
                                             bool feasible) {
  const auto& rows = evaluation.constraint_violations;
  const size_t n = rows.size();
  const size_t m = n == 0 ? 0 : rows.begin()->second.size();
  size_t total_values = 0;
  bool mismatch = false;
  for (const auto& [name, list] : rows) {
    total_values += list.size();
    mismatch |= list.size() != m;
  }
  if (mismatch) {
    if (total_values < n * m) {
      return fail(ErrorKind::Value, "ShapeError/OutOfBounds: out of bounds indexing");
    }
    return fail(ErrorKind::Value, "ShapeError/IncompatibleShape: incompatible shapes");
  }
  std::vector<double> totals(m, 0.0);
  for (const auto& [name, list] : rows) {
    const double* values = list.data();
    for (size_t s = 0; s < m; ++s) totals[s] += values[s];
  }
  std::vector<size_t> indices;
  indices.reserve(m);
  for (size_t s = 0; s < m; ++s) {
    double t = totals[s];
    // A NaN total compares false. An infinite one would pass whenever rtol > 0 (inf <= inf), yet
    // an infinite violation is never satisfied, so only finite totals can be feasible.
    bool ok =
        std::isfinite(t) && std::fabs(0.0 - t) <= tolerance.atol + tolerance.rtol * std::fabs(t);
    if (ok == feasible) indices.push_back(s);
  }
  return indices;
}

namespace {

// Whether every selected index lies in `list`; an empty list stays empty and always fits.
template <class T>
bool fits(const std::vector<T>& list, const std::vector<size_t>& indices, size_t max_index) {
  return list.empty() || indices.empty() || max_index < list.size();
}

template <class T>
std::vector<T> take(const std::vector<T>& list, const std::vector<size_t>& indices) {
  std::vector<T> out;
  if (list.empty()) return out;
  out.reserve(indices.size());
  for (size_t i : indices) out.push_back(list[i]);
  return out;
}

template <class Map>
bool map_fits(const Map& map, const std::vector<size_t>& indices, size_t max_index) {
  for (const auto& [name, list] : map) {
    if (!fits(list, indices, max_index)) return false;
  }
  return true;
}

template <class Map>
Map take_map(const Map& map, const std::vector<size_t>& indices) {
  Map out;
  for (const auto& [name, list] : map) out.emplace_hint(out.end(), name, take(list, indices));
  return out;
}

Record select_record(const Record& source, const std::vector<size_t>& indices, size_t max_index) {
  if (!fits(source.num_occurrences, indices, max_index)) return Record{};
  Record out;
  bool ok = std::visit([&](const auto& map) { return map_fits(map, indices, max_index); },
                       source.solution);
  if (!ok) return Record{};
  std::visit([&](const auto& map) { out.solution = take_map(map, indices); }, source.solution);
  out.num_occurrences = take(source.num_occurrences, indices);
  return out;
}

Evaluation select_evaluation(const Evaluation& source, const std::vector<size_t>& indices,
                             size_t max_index) {
  if (!fits(source.energy, indices, max_index) || !fits(source.objective, indices, max_index) ||
      !fits(source.constraint_values, indices, max_index) ||
      !map_fits(source.constraint_violations, indices, max_index) ||
      !map_fits(source.penalty, indices, max_index)) {
    return Evaluation{};
  }
  Evaluation out;
  out.energy = take(source.energy, indices);
  out.objective = take(source.objective, indices);
  out.constraint_violations = take_map(source.constraint_violations, indices);
  out.constraint_forall = source.constraint_forall;
  out.constraint_values = take(source.constraint_values, indices);
  out.penalty = take_map(source.penalty, indices);
  return out;
}

}  // namespace

SampleSet select(const SampleSet& source, const std::vector<size_t>& indices) {
  size_t max_index = 0;
  for (size_t i : indices) max_index = i > max_index ? i : max_index;
  return SampleSet{select_record(source.record, indices, max_index),
                   select_evaluation(source.evaluation, indices, max_index), source.measuring_time};
}

Result<std::vector<size_t>> lowest_indices(const Evaluation& evaluation, Tolerance tolerance) {
  if (evaluation.constraint_violations.empty()) {
    return fail(ErrorKind::Value, "constraint violation is empty");
  }
  KX_TRY_ASSIGN(feasible, feasible_indices(evaluation, tolerance, true));
  const auto& objective = evaluation.objective;
  double lowest = std::numeric_limits<double>::infinity();
  for (size_t s : feasible) {
    // A feasible sample without an objective cannot be ranked; saying so beats guessing.
    if (s >= objective.size()) {
      return fail(ErrorKind::Value, "the objective has no value for the feasible sample " +
                                        std::to_string(s) + " (it holds " +
                                        std::to_string(objective.size()) + " values)");
    }
    if (objective[s] < lowest) lowest = objective[s];
  }
  std::vector<size_t> out;
  for (size_t s : feasible) {
    if (objective[s] == lowest) out.push_back(s);
  }
  return out;
}

Result<void> merge_record(Record& into, const Record& next) {
  if (is_dense(into)) {
    return fail(ErrorKind::Value,
                is_dense(next) ? "Failed to extend the dense solution with the dense solution."
                               : "Failed to extend the dense solution with the sparse solution.");
  }
  if (is_dense(next)) {
    return fail(ErrorKind::Value, "Failed to extend the sparse solution with the dense solution.");
  }
  auto& target = std::get<SparseMap>(into.solution);
  for (const auto& [name, samples] : std::get<SparseMap>(next.solution)) {
    auto& list = target[name];
    list.insert(list.end(), samples.begin(), samples.end());
  }
  into.num_occurrences.insert(into.num_occurrences.end(), next.num_occurrences.begin(),
                              next.num_occurrences.end());
  return {};
}

void merge_evaluation(Evaluation& into, const Evaluation& next) {
  auto extend = [](auto& list, const auto& more) {
    list.insert(list.end(), more.begin(), more.end());
  };
  extend(into.energy, next.energy);
  extend(into.objective, next.objective);
  extend(into.constraint_values, next.constraint_values);
  for (const auto& [name, list] : next.constraint_violations) {
    extend(into.constraint_violations[name], list);
  }
  for (const auto& [name, list] : next.penalty) extend(into.penalty[name], list);
  into.constraint_forall = next.constraint_forall;
}

}  // namespace korvex::sample_set
