#include "korvex/core/sample_set/timing.hpp"

#include "korvex/core/sample_set/number_text.hpp"

namespace korvex::sample_set {
namespace {

void field(std::string& out, const char* name, const Time& time, bool first = false) {
  if (!first) out += ", ";
  out += name;
  out += '=';
  if (time) {
    append_plain(out, *time);
  } else {
    out += "None";
  }
}

}  // namespace

std::string solving_time_text(const SolvingTime& t) {
  std::string out = "SolvingTime(";
  field(out, "preprocess", t.preprocess, true);
  field(out, "solve", t.solve);
  field(out, "postprocess", t.postprocess);
  out += ')';
  return out;
}

std::string system_time_text(const SystemTime& t) {
  std::string out = "SystemTime(";
  field(out, "post_problem_and_instance_data", t.post_problem_and_instance_data, true);
  field(out, "request_queue", t.request_queue);
  field(out, "fetch_problem_and_instance_data", t.fetch_problem_and_instance_data);
  field(out, "fetch_result", t.fetch_result);
  field(out, "deserialize_solution", t.deserialize_solution);
  out += ')';
  return out;
}

std::string measuring_time_text(const MeasuringTime& t) {
  std::string out = "MeasuringTime(solve=" + solving_time_text(t.solve) +
                    ", system=" + system_time_text(t.system);
  field(out, "total", t.total);
  out += ')';
  return out;
}

}  // namespace korvex::sample_set
