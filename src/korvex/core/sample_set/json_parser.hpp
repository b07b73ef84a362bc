// The JSON reader's tokenizer and combinators: it reads a text straight into values, counts
// every nesting of an array or object (including skipped values) against kMaxJsonDepth, and
// reports the first problem with its line and column. Used only by json_reader.cpp.
#pragma once

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "korvex/core/sample_set/json.hpp"

namespace korvex::sample_set::json_detail {

using Status = Result<void>;

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  // An error whose position is the last consumed byte (`end` bytes read in all).
  Error error_at(size_t end, std::string message) const {
    size_t line = 1, line_start = 0;
    for (size_t i = 0; i < end && i < text_.size(); ++i) {
      if (text_[i] == '\n') {
        ++line;
        line_start = i + 1;
      }
    }
    size_t column = end > line_start ? end - line_start : 0;
    message += " at line " + std::to_string(line) + " column " + std::to_string(column);
    return Error{ErrorKind::Value, std::move(message)};
  }
  // An error at the next, not yet consumed, byte (or at the end of the text).
  Error error_here(std::string message) const {
    return error_at(pos_ < text_.size() ? pos_ + 1 : pos_, std::move(message));
  }

  void ws() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c != ' ' && c != '\n' && c != '\t' && c != '\r') break;
      ++pos_;
    }
  }
  // The next significant byte, or 0 at the end of the text.
  char peek() {
    ws();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  bool at_end() {
    ws();
    return pos_ >= text_.size();
  }

  Status enter() {
    if (++depth_ > kMaxJsonDepth) return error_here("recursion limit exceeded");
    ++pos_;
    return {};
  }

  // Reads `[item, item, ...]`, calling item() with the reader at each element.
  template <class F>
  Status array(F&& item) {
    KX_TRY(enter());
    if (peek() == ']') {
      ++pos_;
      --depth_;
      return {};
    }
    while (true) {
      KX_TRY(item());
      char c = peek();
      if (c == ',') {
        ++pos_;
        KX_TRY(value_follows());
        continue;
      }
      if (c == ']') {
        ++pos_;
        --depth_;
        return {};
      }
      if (c == '\0') return error_here("EOF while parsing a list");
      return error_here("expected `,` or `]`");
    }
  }

  // Reads `{"key": value, ...}`, calling member(key) with the reader at each value.
  template <class F>
  Status object(F&& member) {
    KX_TRY(enter());
    char c = peek();
    if (c == '}') {
      ++pos_;
      --depth_;
      return {};
    }
    while (true) {
      if (c == '\0') return error_here("EOF while parsing an object");
      if (c != '"') return error_here("key must be a string");
      KX_TRY_ASSIGN(key, string());
      c = peek();
      if (c == '\0') return error_here("EOF while parsing an object");
      if (c != ':') return error_here("expected `:`");
      ++pos_;
      KX_TRY(value_follows());
      KX_TRY(member(std::move(key)));
      c = peek();
      if (c == ',') {
        ++pos_;
        c = peek();
        if (c == '}') return error_here("trailing comma");
        continue;
      }
      if (c == '}') {
        ++pos_;
        --depth_;
        return {};
      }
      if (c == '\0') return error_here("EOF while parsing an object");
      return error_here("expected `,` or `}`");
    }
  }

  Status value_follows() {
    char c = peek();
    if (c == '\0') return error_here("EOF while parsing a value");
    if (c == ']' || c == '}') return error_here(c == ']' ? "trailing comma" : "expected value");
    return {};
  }

  Result<std::string> string() {
    ++pos_;  // the opening quote
    std::string out;
    while (true) {
      size_t start = pos_;
      while (pos_ < text_.size()) {
        auto c = static_cast<unsigned char>(text_[pos_]);
        if (c == '"' || c == '\\' || c < 0x20) break;
        ++pos_;
      }
      out.append(text_.data() + start, pos_ - start);
      if (pos_ >= text_.size()) return error_at(pos_, "EOF while parsing a string");
      char c = text_[pos_++];
      if (c == '"') return out;
      if (c != '\\') {
        return error_at(pos_, "control character (\\u0000-\\u001F) found while parsing a string");
      }
      if (pos_ >= text_.size()) return error_at(pos_, "EOF while parsing a string");
      char e = text_[pos_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          KX_TRY_ASSIGN(unit, hex4());
          uint32_t code = unit;
          if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return error_at(pos_, "lone trailing surrogate in hex escape");
          }
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (pos_ + 1 >= text_.size() || text_[pos_] != '\\' || text_[pos_ + 1] != 'u') {
              return error_at(pos_, "lone leading surrogate in hex escape");
            }
            pos_ += 2;
            KX_TRY_ASSIGN(low, hex4());
            if (low < 0xDC00 || low > 0xDFFF) {
              return error_at(pos_, "lone leading surrogate in hex escape");
            }
            code = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          }
          append_utf8(out, code);
          break;
        }
        default:
          return error_at(pos_, "invalid escape");
      }
    }
  }

  Result<uint32_t> hex4() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      if (pos_ >= text_.size()) return error_at(pos_, "EOF while parsing a string");
      char c = text_[pos_++];
      uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return error_at(pos_, "invalid escape");
      }
      value = value * 16 + digit;
    }
    return value;
  }

  static void append_utf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // The extent of a JSON number at pos_, validated by the grammar; sets `integral`.
  Result<std::string_view> number_text(bool& integral) {
    size_t start = pos_;
    integral = true;
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    auto digit = [&] { return pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; };
    if (!digit()) return error_here("invalid number");
    if (text_[pos_] == '0') {
      ++pos_;
    } else {
      while (digit()) ++pos_;
    }
    if (pos_ < text_.size() && text_[pos_] == '.') {
      integral = false;
      ++pos_;
      if (!digit()) return error_here("invalid number");
      while (digit()) ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      integral = false;
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!digit()) return error_here("invalid number");
      while (digit()) ++pos_;
    }
    return text_.substr(start, pos_ - start);
  }

  static bool number_start(char c) { return c == '-' || (c >= '0' && c <= '9'); }

  Result<double> f64() {
    char c = peek();
    if (!number_start(c)) return invalid_type("f64");
    bool integral;
    KX_TRY_ASSIGN(digits, number_text(integral));
    double value = 0.0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc::result_out_of_range) {
      // from_chars reports underflow too; strtod gives the rounded value (0 or subnormal).
      std::string copy(digits);
      value = std::strtod(copy.c_str(), nullptr);
      if (value == HUGE_VAL || value == -HUGE_VAL) return error_at(pos_, "number out of range");
    }
    (void)end;
    return value;
  }

  Result<Time> time() {
    if (peek() == 'n') {
      KX_TRY(literal("null"));
      return Time{};
    }
    KX_TRY_ASSIGN(value, f64());
    return Time{value};
  }

  Result<uint64_t> u64() {
    char c = peek();
    if (!number_start(c)) return invalid_type("u64");
    bool integral;
    KX_TRY_ASSIGN(digits, number_text(integral));
    if (!integral) {
      return error_at(pos_,
                      "invalid type: floating point `" + std::string(digits) + "`, expected u64");
    }
    if (digits[0] == '-') {
      return error_at(pos_, "invalid value: integer `" + std::string(digits) + "`, expected u64");
    }
    uint64_t value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    (void)end;
    if (ec != std::errc()) {
      return error_at(pos_, "invalid value: integer `" + std::string(digits) + "`, expected u64");
    }
    return value;
  }

  Status literal(const char* word) {
    size_t length = std::strlen(word);
    for (size_t i = 0; i < length; ++i) {
      if (pos_ >= text_.size()) return error_at(pos_, "EOF while parsing a value");
      if (text_[pos_] != word[i]) return error_here("expected ident");
      ++pos_;
    }
    return {};
  }

  // "invalid type: {found}, expected {expected}" for the value at pos_, which is consumed
  // unless it is an array or object (those are reported where they open).
  Error invalid_type(const std::string& expected) {
    char c = peek();
    std::string found;
    switch (c) {
      case '\0':
        return error_here("EOF while parsing a value");
      case '[':
        return error_here("invalid type: sequence, expected " + expected);
      case '{':
        return error_here("invalid type: map, expected " + expected);
      case '"': {
        auto text = string();
        if (!text) return std::move(text).error();
        found = "string \"" + *text + "\"";
        break;
      }
      case 't':
      case 'f': {
        bool value = c == 't';
        auto ok = literal(value ? "true" : "false");
        if (!ok) return std::move(ok).error();
        found = value ? "boolean `true`" : "boolean `false`";
        break;
      }
      case 'n': {
        auto ok = literal("null");
        if (!ok) return std::move(ok).error();
        found = "null";
        break;
      }
      default: {
        if (!number_start(c)) return error_here("expected value");
        bool integral;
        auto digits = number_text(integral);
        if (!digits) return std::move(digits).error();
        found = (integral ? "integer `" : "floating point `") + std::string(*digits) + "`";
      }
    }
    return error_at(pos_, "invalid type: " + found + ", expected " + expected);
  }

  // Validates and skips one value of any kind.
  Status skip() {
    char c = peek();
    switch (c) {
      case '\0':
        return error_here("EOF while parsing a value");
      case '[':
        return array([&] { return skip(); });
      case '{':
        return object([&](std::string&&) { return skip(); });
      case '"': {
        KX_TRY(string());
        return {};
      }
      case 't':
        return literal("true");
      case 'f':
        return literal("false");
      case 'n':
        return literal("null");
      default: {
        if (!number_start(c)) return error_here("expected value");
        bool integral;
        KX_TRY(number_text(integral));
        return {};
      }
    }
  }

  // Reads a sequence of `item` values into `out`.
  template <class T, class F>
  Status list(std::vector<T>& out, F&& item) {
    if (peek() != '[') return invalid_type("a sequence");
    return array([&]() -> Status {
      KX_TRY_ASSIGN(value, item());
      out.push_back(std::move(value));
      return {};
    });
  }

  Status floats(std::vector<double>& out) {
    return list(out, [&] { return f64(); });
  }
  Status integers(std::vector<uint64_t>& out) {
    return list(out, [&] { return u64(); });
  }

  // Reads an object of name to `item` values; a repeated name keeps the last value.
  template <class Map, class F>
  Status map(Map& out, F&& item) {
    if (peek() != '{') return invalid_type("a map");
    return object([&](std::string&& key) -> Status {
      typename Map::mapped_type value;
      KX_TRY(item(value));
      out.insert_or_assign(std::move(key), std::move(value));
      return {};
    });
  }

  // A record-like value: an object with the named fields in any order (unknown keys skipped,
  // each field at most once, `required` ones present), or an array of all fields in order.
  template <size_t N, class F>
  Status structure(const char* name, const std::array<const char*, N>& fields,
                   const std::array<bool, N>& required, F&& field) {
    std::string expected = std::string("struct ") + name;
    char c = peek();
    if (c == '[') {
      size_t count = 0;
      auto described = expected + " with " + std::to_string(N) + " elements";
      KX_TRY(array([&]() -> Status {
        if (count >= N)
          return error_here("invalid length " + std::to_string(count + 1) + ", expected " +
                            described);
        return field(count++);
      }));
      if (count < N)
        return error_at(pos_,
                        "invalid length " + std::to_string(count) + ", expected " + described);
      return {};
    }
    if (c != '{') return invalid_type(expected);
    std::array<bool, N> seen{};
    KX_TRY(object([&](std::string&& key) -> Status {
      for (size_t i = 0; i < N; ++i) {
        if (key == fields[i]) {
          if (seen[i]) return error_at(pos_, std::string("duplicate field `") + fields[i] + "`");
          seen[i] = true;
          return field(i);
        }
      }
      return skip();
    }));
    for (size_t i = 0; i < N; ++i) {
      if (required[i] && !seen[i]) {
        return error_at(pos_, std::string("missing field `") + fields[i] + "`");
      }
    }
    return {};
  }

  // Runs `read` over the whole text, which must hold nothing else but whitespace.
  template <class T, class F>
  Result<T> document(F&& read) {
    if (at_end()) return error_at(pos_, "EOF while parsing a value");
    T value{};
    KX_TRY(read(value));
    if (!at_end()) return error_here("trailing characters");
    return value;
  }

  size_t pos() const { return pos_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace korvex::sample_set::json_detail
