// How long the steps of a solve took, in seconds; a missing measurement is absent, never 0.
#pragma once

#include <optional>
#include <string>

namespace korvex::sample_set {

using Time = std::optional<double>;

struct SolvingTime {
  Time preprocess, solve, postprocess;
  bool operator==(const SolvingTime&) const = default;
};

struct SystemTime {
  Time post_problem_and_instance_data, request_queue, fetch_problem_and_instance_data, fetch_result,
      deserialize_solution;
  bool operator==(const SystemTime&) const = default;
};

struct MeasuringTime {
  SolvingTime solve;
  SystemTime system;
  Time total;
  bool operator==(const MeasuringTime&) const = default;
};

std::string solving_time_text(const SolvingTime& time);
std::string system_time_text(const SystemTime& time);
std::string measuring_time_text(const MeasuringTime& time);

}  // namespace korvex::sample_set
