// The decimal forms of doubles used by the sample-set texts: all of them start from the shortest
// digits that read back to the same double and differ only in layout.
#pragma once

#include <string>

namespace korvex::sample_set {

// Plain form: never an exponent, no fraction for integral values (2, 0.5, 1e20 written out).
void append_plain(std::string& out, double value);
// Debug form: at least one fractional digit; exponent form below 1e-4 or from 1e16 on.
void append_debug(std::string& out, double value);
// JSON form: ".0" for integral values, exponent form outside [1e-5, 1e16), null when not finite.
void append_json_number(std::string& out, double value);
// The same written at `out`, which must have room for kMaxJsonNumber bytes (the text takes at
// most 24; the rest is scratch room for fixed-size copies); returns the end.
constexpr int kMaxJsonNumber = 48;
char* write_json_number(char* out, double value);

inline std::string plain(double value) {
  std::string out;
  append_plain(out, value);
  return out;
}
inline std::string debug(double value) {
  std::string out;
  append_debug(out, value);
  return out;
}

}  // namespace korvex::sample_set
