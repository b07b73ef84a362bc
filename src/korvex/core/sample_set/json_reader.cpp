// The own JSON forms read into records, evaluations and timing records.
#include <array>
#include <limits>
#include <string>

#include "korvex/core/sample_set/json.hpp"
#include "korvex/core/sample_set/json_parser.hpp"

namespace korvex::sample_set {
namespace {

using json_detail::Reader;
using json_detail::Status;

constexpr std::array<bool, 3> kAllOf3{true, true, true};

Status read_array_object(Reader& r, NdArray& out) {
  if (r.peek() != '{') return r.invalid_type("an array object with `v`, `dim` and `data`");
  static constexpr std::array<const char*, 3> kFields{"v", "dim", "data"};
  std::array<bool, 3> seen{};
  uint64_t version = 0;
  KX_TRY(r.object([&](std::string&& key) -> Status {
    size_t i = 0;
    while (i < 3 && key != kFields[i]) ++i;
    if (i == 3) {
      return r.error_at(r.pos(), "unknown field `" + key + "`, expected one of `v`, `dim`, `data`");
    }
    if (seen[i]) return r.error_at(r.pos(), "duplicate field `" + key + "`");
    seen[i] = true;
    if (i == 0) {
      KX_TRY_ASSIGN(v, r.u64());
      version = v;
      if (version != 1) {
        return r.error_at(r.pos(), "unknown array version: " + std::to_string(version));
      }
      return {};
    }
    return i == 1 ? r.integers(out.shape) : r.floats(out.data);
  }));
  for (size_t i = 0; i < 3; ++i) {
    if (!seen[i]) return r.error_at(r.pos(), std::string("missing field `") + kFields[i] + "`");
  }
  if (out.shape.size() > kMaxAxes) {
    return r.error_at(r.pos(), "the array has " + std::to_string(out.shape.size()) +
                                   " axes, more than " + std::to_string(kMaxAxes));
  }
  // Axis lengths, and the product of the non-zero ones, must fit a signed 64-bit size as NumPy
  // takes them: an empty array of shape [2^64 - 1, 0] could never be handed out.
  constexpr auto kMaxSize = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t nonzero = 1;
  bool empty = false, overflow = false;
  for (uint64_t length : out.shape) {
    if (length == 0) {
      empty = true;
      continue;
    }
    overflow |= __builtin_mul_overflow(nonzero, length, &nonzero) || nonzero > kMaxSize;
  }
  uint64_t count = empty ? 0 : nonzero;
  if (overflow || count != out.data.size()) {
    return r.error_at(r.pos(), "data and dimension must match in size");
  }
  return {};
}

Status read_coo(Reader& r, CooFormat& out) {
  static constexpr std::array<const char*, 3> kFields{"non_zero_indices", "non_zero_values",
                                                      "shape"};
  return r.structure("COOFormat", kFields, kAllOf3, [&](size_t i) -> Status {
    if (i == 0) {
      return r.list(out.non_zero_indices, [&]() -> Result<std::vector<uint64_t>> {
        std::vector<uint64_t> axis;
        KX_TRY(r.integers(axis));
        return axis;
      });
    }
    return i == 1 ? r.floats(out.non_zero_values) : r.integers(out.shape);
  });
}

template <class T, class F>
Status read_samples(Reader& r, std::map<std::string, std::vector<T>>& out, F&& sample) {
  return r.map(out, [&](std::vector<T>& samples) {
    return r.list(samples, [&]() -> Result<T> {
      T value;
      KX_TRY(sample(r, value));
      return value;
    });
  });
}

Status read_solution(Reader& r, Solution& out) {
  if (r.peek() != '{') return r.invalid_type("enum Solution");
  int variants = 0;
  KX_TRY(r.object([&](std::string&& key) -> Status {
    if (variants++ > 0) {
      return r.error_at(r.pos(), "expected exactly one of the keys `Sparse` and `Dense`");
    }
    if (key == "Sparse") {
      SparseMap map;
      KX_TRY(read_samples(r, map, read_coo));
      out = std::move(map);
      return {};
    }
    if (key == "Dense") {
      DenseMap map;
      KX_TRY(read_samples(r, map, read_array_object));
      out = std::move(map);
      return {};
    }
    return r.error_at(r.pos(), "unknown variant `" + key + "`, expected `Sparse` or `Dense`");
  }));
  if (variants == 0) {
    return r.error_at(r.pos(), "expected exactly one of the keys `Sparse` and `Dense`");
  }
  return {};
}

Status read_record(Reader& r, Record& out) {
  static constexpr std::array<const char*, 2> kFields{"solution", "num_occurrences"};
  return r.structure("PyRecord", kFields, std::array<bool, 2>{true, true}, [&](size_t i) {
    return i == 0 ? read_solution(r, out.solution) : r.integers(out.num_occurrences);
  });
}

Status read_float_map(Reader& r, FloatMap& out) {
  return r.map(out, [&](std::vector<double>& v) { return r.floats(v); });
}

Status read_evaluation(Reader& r, Evaluation& out) {
  static constexpr std::array<const char*, 6> kFields{
      "energy", "objective", "constraint_violations", "constraint_forall", "constraint_values",
      "penalty"};
  std::array<bool, 6> required;
  required.fill(true);
  return r.structure("PyEvaluation", kFields, required, [&](size_t i) -> Status {
    switch (i) {
      case 0:
        return r.floats(out.energy);
      case 1:
        return r.floats(out.objective);
      case 2:
        return read_float_map(r, out.constraint_violations);
      case 3:
        return r.map(out.constraint_forall, [&](IndexTuples& tuples) {
          return r.list(tuples, [&]() -> Result<std::vector<uint64_t>> {
            std::vector<uint64_t> tuple;
            KX_TRY(r.integers(tuple));
            return tuple;
          });
        });
      case 4:
        return r.list(out.constraint_values, [&]() -> Result<FloatMap> {
          FloatMap map;
          KX_TRY(read_float_map(r, map));
          return map;
        });
      default:
        return read_float_map(r, out.penalty);
    }
  });
}

template <size_t N>
Status read_times(Reader& r, const char* name, const std::array<const char*, N>& fields,
                  const std::array<Time*, N>& targets) {
  std::array<bool, N> required{};
  return r.structure(name, fields, required, [&](size_t i) -> Status {
    KX_TRY_ASSIGN(value, r.time());
    *targets[i] = value;
    return {};
  });
}

Status read_solving_time(Reader& r, SolvingTime& out) {
  static constexpr std::array<const char*, 3> kFields{"preprocess", "solve", "postprocess"};
  return read_times<3>(r, "PySolvingTime", kFields,
                       {&out.preprocess, &out.solve, &out.postprocess});
}

Status read_system_time(Reader& r, SystemTime& out) {
  static constexpr std::array<const char*, 5> kFields{
      "post_problem_and_instance_data", "request_queue", "fetch_problem_and_instance_data",
      "fetch_result", "deserialize_solution"};
  return read_times<5>(
      r, "PySystemTime", kFields,
      {&out.post_problem_and_instance_data, &out.request_queue,
       &out.fetch_problem_and_instance_data, &out.fetch_result, &out.deserialize_solution});
}

Status read_measuring_time(Reader& r, MeasuringTime& out) {
  static constexpr std::array<const char*, 3> kFields{"solve", "system", "total"};
  return r.structure("PyMeasuringTime", kFields, std::array<bool, 3>{true, true, false},
                     [&](size_t i) -> Status {
                       if (i == 0) return read_solving_time(r, out.solve);
                       if (i == 1) return read_system_time(r, out.system);
                       KX_TRY_ASSIGN(value, r.time());
                       out.total = value;
                       return {};
                     });
}

template <class T>
Result<T> read_document(std::string_view text, Status (*read)(Reader&, T&)) {
  Reader reader(text);
  return reader.document<T>([&](T& value) { return read(reader, value); });
}

}  // namespace

Result<Record> record_from_json(std::string_view text) {
  return read_document<Record>(text, read_record);
}
Result<Evaluation> evaluation_from_json(std::string_view text) {
  return read_document<Evaluation>(text, read_evaluation);
}
Result<SolvingTime> solving_time_from_json(std::string_view text) {
  return read_document<SolvingTime>(text, read_solving_time);
}
Result<SystemTime> system_time_from_json(std::string_view text) {
  return read_document<SystemTime>(text, read_system_time);
}
Result<MeasuringTime> measuring_time_from_json(std::string_view text) {
  return read_document<MeasuringTime>(text, read_measuring_time);
}

}  // namespace korvex::sample_set
