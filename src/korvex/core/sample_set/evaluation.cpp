#include "korvex/core/sample_set/evaluation.hpp"

#include "korvex/core/sample_set/ndarray.hpp"
#include "korvex/core/sample_set/number_text.hpp"

namespace korvex::sample_set {

Result<IndexMatrix> forall_matrix(const IndexTuples& tuples) {
  IndexMatrix matrix;
  matrix.rows = tuples.size();
  matrix.columns = tuples.empty() ? 0 : tuples[0].size();
  // Lengths are checked before reserving: rows times the first row's length is no bound on the
  // data when the other rows are shorter.
  for (const auto& tuple : tuples) {
    if (tuple.size() != matrix.columns) {
      return fail(ErrorKind::Type, "invalid length: " + std::to_string(tuple.size()) +
                                       ", but expected " + std::to_string(matrix.columns));
    }
  }
  matrix.data.reserve(matrix.rows * matrix.columns);
  for (const auto& tuple : tuples)
    matrix.data.insert(matrix.data.end(), tuple.begin(), tuple.end());
  return matrix;
}

void append_quoted_name(std::string& out, const std::string& name) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
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
        if (byte < 0x20 || byte == 0x7f) {
          out += "\\u{";
          if (byte >= 0x10) out += kHex[byte >> 4];
          out += kHex[byte & 0xf];
          out += '}';
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

namespace {

void append_floats(std::string& out, const std::vector<double>& values) {
  out += '[';
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ", ";
    append_debug(out, values[i]);
  }
  out += ']';
}

void append_tuples(std::string& out, const IndexTuples& tuples) {
  out += '[';
  for (size_t i = 0; i < tuples.size(); ++i) {
    if (i > 0) out += ", ";
    append_index_list(out, tuples[i]);
  }
  out += ']';
}

template <class Map, class F>
void append_map(std::string& out, const Map& map, F&& value_text) {
  out += '{';
  bool first = true;
  for (const auto& [name, value] : map) {
    if (!first) out += ", ";
    first = false;
    append_quoted_name(out, name);
    out += ": ";
    value_text(out, value);
  }
  out += '}';
}

}  // namespace

std::string evaluation_text(const Evaluation& e) {
  std::string out = "Evaluation(energy=";
  append_floats(out, e.energy);
  out += ", objective=";
  append_floats(out, e.objective);
  out += ", constraint_violations=";
  append_map(out, e.constraint_violations, append_floats);
  out += ", constraint_forall=";
  append_map(out, e.constraint_forall, append_tuples);
  out += ", constraint_values=[";
  for (size_t s = 0; s < e.constraint_values.size(); ++s) {
    if (s > 0) out += ", ";
    append_map(out, e.constraint_values[s], append_floats);
  }
  out += "], penalty=";
  append_map(out, e.penalty, append_floats);
  out += ')';
  return out;
}

}  // namespace korvex::sample_set
