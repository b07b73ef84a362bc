// The own JSON forms of the records, evaluations and timing records: a compact writer and a
// reader that parses straight into the values (no document tree) and reports the first problem
// with its line and column.
#pragma once

#include <string>
#include <string_view>

#include "korvex/core/error.hpp"
#include "korvex/core/sample_set/evaluation.hpp"
#include "korvex/core/sample_set/record.hpp"
#include "korvex/core/sample_set/timing.hpp"

namespace korvex::sample_set {

// Values nested deeper than this are refused, so no input can exhaust the stack.
constexpr int kMaxJsonDepth = 128;

std::string to_json(const Record& record);
std::string to_json(const Evaluation& evaluation);
std::string to_json(const SolvingTime& time);
std::string to_json(const SystemTime& time);
std::string to_json(const MeasuringTime& time);

// Each fails with a ValueError: the reader's message and " at line {line} column {column}".
Result<Record> record_from_json(std::string_view text);
Result<Evaluation> evaluation_from_json(std::string_view text);
Result<SolvingTime> solving_time_from_json(std::string_view text);
Result<SystemTime> system_time_from_json(std::string_view text);
Result<MeasuringTime> measuring_time_from_json(std::string_view text);

}  // namespace korvex::sample_set
