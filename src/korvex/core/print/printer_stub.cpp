// TEMPORARY stand-in until the printer lands.
#include <charconv>
#include <cmath>

#include "korvex/core/print/number_text.hpp"
#include "korvex/core/print/printer.hpp"

namespace korvex {
std::string number_text(const Number& v) {
  if (v.is_integer()) return std::to_string(v.integer);
  if (std::isnan(v.real)) return "NaN";
  if (std::isinf(v.real)) return v.real > 0 ? "inf" : "-inf";
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v.real, std::chars_format::fixed);
  return std::string(buf, r.ptr);
}
void append(std::string& out, const Expr& e, Form form) {
  switch (e->kind()) {
    case ExprKind::NumberLit: out += number_text(e->as<NumberLit>().value); return;
    case ExprKind::Placeholder: out += e->as<Placeholder>().name; return;
    case ExprKind::Element: out += e->as<Element>().name; return;
    case ExprKind::DecisionVar: out += e->as<DecisionVar>().name; return;
    case ExprKind::Subscript: {
      const auto& s = e->as<Subscript>();
      append(out, s.variable, form);
      out += "[";
      for (size_t i = 0; i < s.subscripts.size(); ++i) {
        if (i) out += ", ";
        append(out, s.subscripts[i], form);
      }
      out += "]";
      return;
    }
    default: out += "<expr>";
  }
}
void append_nested(std::string& out, const Expr& e, Form form) { append(out, e, form); }
std::string print(const Expr& e, Form form) { std::string s; append(s, e, form); return s; }
std::string print(const Cond&, Form) { return "<cond>"; }
std::string print_nested(const Expr& e, Form form) { return print(e, form); }
std::string print_range(const Range& r, Form form) {
  return "[" + print(r.start, form) + ".." + print(r.end, form) + ")";
}
}  // namespace korvex
