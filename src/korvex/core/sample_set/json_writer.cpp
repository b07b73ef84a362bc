#include <charconv>

#include "korvex/core/sample_set/json.hpp"
#include "korvex/core/sample_set/number_text.hpp"

namespace korvex::sample_set {
namespace {

class Writer {
 public:
  std::string out;

  void string(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
      auto byte = static_cast<unsigned char>(c);
      switch (c) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\b':
          out += "\\b";
          break;
        case '\f':
          out += "\\f";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (byte < 0x20) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
          } else {
            out += c;
          }
      }
    }
    out += '"';
  }

  void key(const char* name) {
    out += '"';
    out += name;
    out += "\":";
  }

  void integer(uint64_t value) {
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;
    out.append(buffer, end);
  }

  void number(double value) { append_json_number(out, value); }

  void time(const Time& value) {
    if (value) {
      number(*value);
    } else {
      out += "null";
    }
  }

  template <class T, class F>
  void array(const std::vector<T>& items, F&& item) {
    out += '[';
    for (size_t i = 0; i < items.size(); ++i) {
      if (i > 0) out += ',';
      item(items[i]);
    }
    out += ']';
  }

  void numbers(const std::vector<double>& values) {
    // Numbers go through a stack buffer appended in blocks: no zero-filled worst-case resize
    // and one capacity check per block rather than per number.
    char block[4096];
    char* p = block;
    *p++ = '[';
    for (size_t i = 0; i < values.size(); ++i) {
      if (p > block + sizeof block - kMaxJsonNumber - 2) {
        out.append(block, p);
        p = block;
      }
      if (i > 0) *p++ = ',';
      p = write_json_number(p, values[i]);
    }
    *p++ = ']';
    out.append(block, p);
  }
  void integers(const std::vector<uint64_t>& values) {
    array(values, [&](uint64_t v) { integer(v); });
  }

  template <class Map, class F>
  void object(const Map& map, F&& value) {
    out += '{';
    bool first = true;
    for (const auto& [name, item] : map) {
      if (!first) out += ',';
      first = false;
      string(name);
      out += ':';
      value(item);
    }
    out += '}';
  }

  void float_map(const FloatMap& map) {
    object(map, [&](const std::vector<double>& v) { numbers(v); });
  }

  void solving(const SolvingTime& t) {
    out += '{';
    key("preprocess");
    time(t.preprocess);
    out += ',';
    key("solve");
    time(t.solve);
    out += ',';
    key("postprocess");
    time(t.postprocess);
    out += '}';
  }

  void system(const SystemTime& t) {
    out += '{';
    key("post_problem_and_instance_data");
    time(t.post_problem_and_instance_data);
    out += ',';
    key("request_queue");
    time(t.request_queue);
    out += ',';
    key("fetch_problem_and_instance_data");
    time(t.fetch_problem_and_instance_data);
    out += ',';
    key("fetch_result");
    time(t.fetch_result);
    out += ',';
    key("deserialize_solution");
    time(t.deserialize_solution);
    out += '}';
  }
};

}  // namespace

std::string to_json(const Record& record) {
  Writer w;
  w.out += '{';
  w.key("solution");
  w.out += '{';
  if (is_dense(record)) {
    // Most doubles take under 20 bytes; reserving once saves the copies of a growing buffer.
    size_t elements = 0;
    for (const auto& [name, samples] : std::get<DenseMap>(record.solution)) {
      for (const NdArray& a : samples) elements += a.data.size();
    }
    w.out.reserve(elements * 20 + 64);
    w.key("Dense");
    w.object(std::get<DenseMap>(record.solution), [&](const std::vector<NdArray>& samples) {
      w.array(samples, [&](const NdArray& a) {
        w.out += "{\"v\":1,\"dim\":";
        w.integers(a.shape);
        w.out += ",\"data\":";
        w.numbers(a.data);
        w.out += '}';
      });
    });
  } else {
    w.key("Sparse");
    w.object(std::get<SparseMap>(record.solution), [&](const std::vector<CooFormat>& samples) {
      w.array(samples, [&](const CooFormat& c) {
        w.out += '[';
        w.array(c.non_zero_indices, [&](const std::vector<uint64_t>& l) { w.integers(l); });
        w.out += ',';
        w.numbers(c.non_zero_values);
        w.out += ',';
        w.integers(c.shape);
        w.out += ']';
      });
    });
  }
  w.out += "},";
  w.key("num_occurrences");
  w.integers(record.num_occurrences);
  w.out += '}';
  return std::move(w.out);
}

std::string to_json(const Evaluation& e) {
  Writer w;
  w.out += '{';
  w.key("energy");
  w.numbers(e.energy);
  w.out += ',';
  w.key("objective");
  w.numbers(e.objective);
  w.out += ',';
  w.key("constraint_violations");
  w.float_map(e.constraint_violations);
  w.out += ',';
  w.key("constraint_forall");
  w.object(e.constraint_forall, [&](const IndexTuples& tuples) {
    w.array(tuples, [&](const std::vector<uint64_t>& t) { w.integers(t); });
  });
  w.out += ',';
  w.key("constraint_values");
  w.array(e.constraint_values, [&](const FloatMap& m) { w.float_map(m); });
  w.out += ',';
  w.key("penalty");
  w.float_map(e.penalty);
  w.out += '}';
  return std::move(w.out);
}

std::string to_json(const SolvingTime& time) {
  Writer w;
  w.solving(time);
  return std::move(w.out);
}

std::string to_json(const SystemTime& time) {
  Writer w;
  w.system(time);
  return std::move(w.out);
}

std::string to_json(const MeasuringTime& time) {
  Writer w;
  w.out += '{';
  w.key("solve");
  w.solving(time.solve);
  w.out += ',';
  w.key("system");
  w.system(time.system);
  w.out += ',';
  w.key("total");
  w.time(time.total);
  w.out += '}';
  return std::move(w.out);
}

}  // namespace korvex::sample_set
