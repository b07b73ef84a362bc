// The own JSON forms of the records, evaluations and timing records: a compact writer and a
// reader that parses straight into the values (no document tree) and reports the first problem
// with its line and column.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "korvex/core/error.hpp"
#include "korvex/core/sample_set/evaluation.hpp"
#include "korvex/core/sample_set/record.hpp"
#include "korvex/core/sample_set/timing.hpp"

namespace korvex::sample_set {

// Values nested deeper than this are refused, so no input can exhaust the stack.
constexpr int kMaxJsonDepth = 128;

// Where the writer puts its text: one buffer it asks to grow. The binding backs one with a Python
// str so that a large record's JSON is written once, in place, with no copy afterwards.
class JsonOutput {
 public:
  virtual ~JsonOutput() = default;
  // Resizes the buffer to `capacity` bytes, keeping the first `used`, and returns its start;
  // throws std::bad_alloc when it cannot.
  virtual char* resize(size_t used, size_t capacity) = 0;
};

// A JsonOutput over a std::string.
class StringOutput final : public JsonOutput {
 public:
  std::string text;
  char* resize(size_t, size_t capacity) override {
    text.resize(capacity);
    return text.data();
  }
};

// Write the JSON of a record or an evaluation into `output` and return its length in bytes.
size_t write_json(const Record& record, JsonOutput& output);
size_t write_json(const Evaluation& evaluation, JsonOutput& output);

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
