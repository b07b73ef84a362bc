#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <variant>

#include "korvex/core/sample_set/json.hpp"
#include "korvex/core/sample_set/number_text.hpp"

namespace korvex::sample_set {
namespace {

class Writer {
 public:
  Writer(JsonOutput& output, size_t capacity) : output_(output) { grow(0, capacity); }

  size_t size() const { return static_cast<size_t>(cur_ - begin_); }

  // The write position with room for `n` more bytes.
  char* room(size_t n) {
    if (n > static_cast<size_t>(end_ - cur_)) {
      grow(size(), std::max(size() + n, 2 * capacity()));
    }
    return cur_;
  }

  void put(char c) {
    *room(1) = c;
    ++cur_;
  }
  void put(std::string_view text) {
    std::memcpy(room(text.size()), text.data(), text.size());
    cur_ += text.size();
  }

  void string(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    // At most six bytes per byte of text (\u00XX) and the two quotes.
    char* p = room(6 * text.size() + 2);
    *p++ = '"';
    for (char c : text) {
      auto byte = static_cast<unsigned char>(c);
      switch (c) {
        case '"':
          p = copy(p, "\\\"");
          break;
        case '\\':
          p = copy(p, "\\\\");
          break;
        case '\b':
          p = copy(p, "\\b");
          break;
        case '\f':
          p = copy(p, "\\f");
          break;
        case '\n':
          p = copy(p, "\\n");
          break;
        case '\r':
          p = copy(p, "\\r");
          break;
        case '\t':
          p = copy(p, "\\t");
          break;
        default:
          if (byte < 0x20) {
            p = copy(p, "\\u00");
            *p++ = kHex[byte >> 4];
            *p++ = kHex[byte & 0xf];
          } else {
            *p++ = c;
          }
      }
    }
    *p++ = '"';
    cur_ = p;
  }

  void key(std::string_view name) {
    char* p = room(name.size() + 3);
    *p++ = '"';
    p = copy(p, name);
    *p++ = '"';
    *p++ = ':';
    cur_ = p;
  }

  void integer(uint64_t value) {
    char* p = room(20);
    cur_ = std::to_chars(p, p + 20, value).ptr;
  }

  void number(double value) { cur_ = write_json_number(room(kMaxJsonNumber), value); }

  void time(const Time& value) {
    if (value) {
      number(*value);
    } else {
      put("null");
    }
  }

  template <class T, class F>
  void array(const std::vector<T>& items, F&& item) {
    put('[');
    for (size_t i = 0; i < items.size(); ++i) {
      if (i > 0) put(',');
      item(items[i]);
    }
    put(']');
  }

  // Runs once per element of every dense array: one room check per number, digits written in
  // place.
  void numbers(const std::vector<double>& values) {
    put('[');
    for (size_t i = 0; i < values.size(); ++i) {
      char* p = room(kMaxJsonNumber + 1);
      if (i > 0) *p++ = ',';
      cur_ = write_json_number(p, values[i]);
    }
    put(']');
  }
  void integers(const std::vector<uint64_t>& values) {
    array(values, [&](uint64_t v) { integer(v); });
  }

  template <class Map, class F>
  void object(const Map& map, F&& value) {
    put('{');
    bool first = true;
    for (const auto& [name, item] : map) {
      if (!first) put(',');
      first = false;
      string(name);
      put(':');
      value(item);
    }
    put('}');
  }

  void float_map(const FloatMap& map) {
    object(map, [&](const std::vector<double>& v) { numbers(v); });
  }

  void solving(const SolvingTime& t) {
    put('{');
    key("preprocess");
    time(t.preprocess);
    put(',');
    key("solve");
    time(t.solve);
    put(',');
    key("postprocess");
    time(t.postprocess);
    put('}');
  }

  void system(const SystemTime& t) {
    put('{');
    key("post_problem_and_instance_data");
    time(t.post_problem_and_instance_data);
    put(',');
    key("request_queue");
    time(t.request_queue);
    put(',');
    key("fetch_problem_and_instance_data");
    time(t.fetch_problem_and_instance_data);
    put(',');
    key("fetch_result");
    time(t.fetch_result);
    put(',');
    key("deserialize_solution");
    time(t.deserialize_solution);
    put('}');
  }

 private:
  size_t capacity() const { return static_cast<size_t>(end_ - begin_); }

  static char* copy(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
  }

  void grow(size_t used, size_t capacity) {
    begin_ = output_.resize(used, capacity);
    cur_ = begin_ + used;
    end_ = begin_ + capacity;
  }

  JsonOutput& output_;
  char* begin_ = nullptr;
  char* cur_ = nullptr;
  char* end_ = nullptr;
};

// Enough room for a record's text in all but unusual cases (a number takes at most 21 bytes with
// its comma unless it is long and negative or small; escaped names take more), so the output is
// usually sized once; growing it is the exception.
size_t record_capacity(const Record& record) {
  size_t bytes = 64 + 21 * record.num_occurrences.size();
  std::visit(
      [&](const auto& map) {
        for (const auto& [name, samples] : map) {
          bytes += name.size() + 8;
          for (const auto& sample : samples) {
            if constexpr (std::is_same_v<std::decay_t<decltype(sample)>, NdArray>) {
              bytes += 32 + 21 * sample.shape.size() + 21 * sample.data.size();
            } else {
              bytes += 16 + 21 * sample.shape.size() + 21 * sample.non_zero_values.size();
              for (const auto& axis : sample.non_zero_indices) bytes += 2 + 21 * axis.size();
            }
          }
        }
      },
      record.solution);
  return bytes;
}

// The same for an evaluation.
size_t evaluation_capacity(const Evaluation& e) {
  size_t bytes = 160 + 21 * (e.energy.size() + e.objective.size());
  auto add_map = [&](const FloatMap& map) {
    for (const auto& [name, values] : map) bytes += name.size() + 6 + 21 * values.size();
  };
  add_map(e.constraint_violations);
  add_map(e.penalty);
  for (const FloatMap& map : e.constraint_values) add_map(map);
  for (const auto& [name, tuples] : e.constraint_forall) {
    bytes += name.size() + 6;
    for (const auto& tuple : tuples) bytes += 2 + 21 * tuple.size();
  }
  return bytes;
}

template <class F>
std::string small_text(F&& write) {
  StringOutput output;
  Writer w(output, 256);
  write(w);
  output.text.resize(w.size());
  return std::move(output.text);
}

}  // namespace

size_t write_json(const Record& record, JsonOutput& output) {
  Writer w(output, record_capacity(record));
  w.put('{');
  w.key("solution");
  w.put('{');
  if (is_dense(record)) {
    w.key("Dense");
    w.object(std::get<DenseMap>(record.solution), [&](const std::vector<NdArray>& samples) {
      w.array(samples, [&](const NdArray& a) {
        w.put("{\"v\":1,\"dim\":");
        w.integers(a.shape);
        w.put(",\"data\":");
        w.numbers(a.data);
        w.put('}');
      });
    });
  } else {
    w.key("Sparse");
    w.object(std::get<SparseMap>(record.solution), [&](const std::vector<CooFormat>& samples) {
      w.array(samples, [&](const CooFormat& c) {
        w.put('[');
        w.array(c.non_zero_indices, [&](const std::vector<uint64_t>& l) { w.integers(l); });
        w.put(',');
        w.numbers(c.non_zero_values);
        w.put(',');
        w.integers(c.shape);
        w.put(']');
      });
    });
  }
  w.put("},");
  w.key("num_occurrences");
  w.integers(record.num_occurrences);
  w.put('}');
  return w.size();
}

std::string to_json(const Record& record) {
  StringOutput output;
  output.text.resize(write_json(record, output));
  return std::move(output.text);
}

size_t write_json(const Evaluation& e, JsonOutput& output) {
  Writer w(output, evaluation_capacity(e));
  w.put('{');
  w.key("energy");
  w.numbers(e.energy);
  w.put(',');
  w.key("objective");
  w.numbers(e.objective);
  w.put(',');
  w.key("constraint_violations");
  w.float_map(e.constraint_violations);
  w.put(',');
  w.key("constraint_forall");
  w.object(e.constraint_forall, [&](const IndexTuples& tuples) {
    w.array(tuples, [&](const std::vector<uint64_t>& t) { w.integers(t); });
  });
  w.put(',');
  w.key("constraint_values");
  w.array(e.constraint_values, [&](const FloatMap& m) { w.float_map(m); });
  w.put(',');
  w.key("penalty");
  w.float_map(e.penalty);
  w.put('}');
  return w.size();
}

std::string to_json(const Evaluation& evaluation) {
  StringOutput output;
  output.text.resize(write_json(evaluation, output));
  return std::move(output.text);
}

std::string to_json(const SolvingTime& time) {
  return small_text([&](Writer& w) { w.solving(time); });
}

std::string to_json(const SystemTime& time) {
  return small_text([&](Writer& w) { w.system(time); });
}

std::string to_json(const MeasuringTime& time) {
  return small_text([&](Writer& w) {
    w.put('{');
    w.key("solve");
    w.solving(time.solve);
    w.put(',');
    w.key("system");
    w.system(time.system);
    w.put(',');
    w.key("total");
    w.time(time.total);
    w.put('}');
  });
}

}  // namespace korvex::sample_set
