#include "korvex/core/print/printer.hpp"

#include <charconv>
#include <string_view>
#include <variant>

#include "korvex/core/expression/overloaded.hpp"
#include "korvex/core/print/number_text.hpp"

namespace korvex {
namespace {

// What an enclosing node is, as far as the parenthesis rule cares: the category of its record
// and, for operators and decision variables, its kind within that category.
enum class Category : uint8_t {
  NumberLit,
  Placeholder,
  Element,
  DecisionVar,
  Subscript,
  ArrayLength,
  Unary,
  Binary,
  Commutative,
  Reduction,
  Comparison,
  Logical,
};

struct Context {
  Category category = Category::NumberLit;
  uint8_t kind = 0;

  template <class Kind>
  bool is(Category c, Kind k) const {
    return category == c && kind == static_cast<uint8_t>(k);
  }
};

template <class Kind>
Context entry(Category category, Kind kind) {
  return Context{category, static_cast<uint8_t>(kind)};
}

Context context_of(const Node& node) {
  switch (node.kind()) {
    case ExprKind::NumberLit:
      return Context{Category::NumberLit};
    case ExprKind::Placeholder:
      return Context{Category::Placeholder};
    case ExprKind::Element:
      return Context{Category::Element};
    case ExprKind::DecisionVar:
      return entry(Category::DecisionVar, node.as<DecisionVar>().kind);
    case ExprKind::Subscript:
      return Context{Category::Subscript};
    case ExprKind::ArrayLength:
      return Context{Category::ArrayLength};
    case ExprKind::UnaryOp:
      return entry(Category::Unary, node.as<UnaryOp>().kind);
    case ExprKind::BinaryOp:
      return entry(Category::Binary, node.as<BinaryOp>().kind);
    case ExprKind::CommutativeOp:
      return entry(Category::Commutative, node.as<CommutativeOp>().kind);
    case ExprKind::ReductionOp:
      return entry(Category::Reduction, node.as<ReductionOp>().kind);
  }
  return Context{};
}

Context context_of(const CondNode& node) {
  return std::visit(overloaded{
                        [](const ComparisonOp& c) { return entry(Category::Comparison, c.kind); },
                        [](const LogicalOp& l) { return entry(Category::Logical, l.kind); },
                    },
                    node.data);
}

bool is_logarithm(Context c) {
  return c.is(Category::Unary, UnaryKind::Ln) || c.is(Category::Unary, UnaryKind::Log10) ||
         c.is(Category::Unary, UnaryKind::Log2);
}

// Whether `child` is wrapped in parentheses under `parent`. Only the pair decides, never the side
// of the parent the child stands on, so x ** (y ** z) and (x ** y) ** z both keep theirs.
bool parenthesised(Context parent, Context child) {
  const bool mul = parent.is(Category::Commutative, CommutativeKind::Mul);
  const bool pow = parent.is(Category::Binary, BinaryKind::Pow);
  const bool mod = parent.is(Category::Binary, BinaryKind::Mod);
  const bool reduction = parent.category == Category::Reduction;
  const bool log = is_logarithm(parent);
  switch (child.category) {
    case Category::Binary:
      switch (static_cast<BinaryKind>(child.kind)) {
        case BinaryKind::Pow:
          return pow || reduction || log;
        case BinaryKind::Mod:
          return mul || pow || mod || reduction || log;
      }
      return false;
    case Category::Commutative:
      switch (static_cast<CommutativeKind>(child.kind)) {
        case CommutativeKind::Add:
          return mul || pow || mod || reduction || log;
        case CommutativeKind::Mul:
          return pow || mod || log;
        case CommutativeKind::Min:
        case CommutativeKind::Max:
          return false;
      }
      return false;
    case Category::Reduction:
      return pow || log;
    case Category::NumberLit:
    case Category::Placeholder:
    case Category::Element:
    case Category::DecisionVar:
    case Category::Subscript:
    case Category::ArrayLength:
    case Category::Unary:
    case Category::Comparison:
    case Category::Logical:
      return false;
  }
  return false;
}

// The number a multiplication starts with, when further factors follow it.
const Number* leading_coefficient(const CommutativeOp& op) {
  if (op.kind != CommutativeKind::Mul || op.terms.size() < 2) return nullptr;
  const auto* literal = op.terms.front()->get_if<NumberLit>();
  return literal ? &literal->value : nullptr;
}

const Number* leading_coefficient(const Node& node) {
  const auto* op = node.get_if<CommutativeOp>();
  return op ? leading_coefficient(*op) : nullptr;
}

void append_unsigned(std::string& out, uint64_t value) {
  char buffer[24];
  auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, written.ptr);
}

std::string_view unary_name(UnaryKind kind) {
  switch (kind) {
    case UnaryKind::Abs:
      return "abs";
    case UnaryKind::Ceil:
      return "ceil";
    case UnaryKind::Floor:
      return "floor";
    case UnaryKind::Ln:
      return "ln";
    case UnaryKind::Log10:
      return "log10";
    case UnaryKind::Log2:
      return "log2";
  }
  return "";
}

std::string_view comparison_symbol(ComparisonKind kind) {
  switch (kind) {
    case ComparisonKind::Equal:
      return " == ";
    case ComparisonKind::NotEqual:
      return " != ";
    case ComparisonKind::LessThan:
      return " < ";
    case ComparisonKind::LessThanEqual:
      return " <= ";
    case ComparisonKind::GreaterThan:
      return " > ";
    case ComparisonKind::GreaterThanEqual:
      return " >= ";
  }
  return "";
}

// Writes expressions and conditions in one form into one buffer. The stack of enclosing nodes
// lives in the call frames: each Enter holds the entry it covers and restores it on leaving, so
// `top_` is always the node whose operands are being written.
class Printer {
 public:
  Printer(std::string& out, Form form) : out_(out), form_(form) {}

  void root(const Expr& expr) {
    Enter enter(*this, context_of(*expr));
    write(*expr);
  }
  void root(const Cond& cond) {
    Enter enter(*this, context_of(*cond));
    write(*cond);
  }
  void root_comparison(ComparisonKind kind, const Expr& left, const Expr& right) {
    Enter enter(*this, entry(Category::Comparison, kind));
    write_comparison(kind, left, right);
  }
  // The expression as its own parent, so the parenthesis rule applies to it at the root.
  void nested(const Expr& expr) {
    Enter enter(*this, context_of(*expr));
    child(expr);
  }
  void range(const Range& range);

 private:
  class Enter {
   public:
    Enter(Printer& printer, Context context) : printer_(printer), covered_(printer.top_) {
      printer_.top_ = context;
    }
    ~Enter() { printer_.top_ = covered_; }
    Enter(const Enter&) = delete;
    Enter& operator=(const Enter&) = delete;

   private:
    Printer& printer_;
    Context covered_;
  };

  bool wraps(Context parent, Context child) const;
  void open_parenthesis();
  void close_parenthesis();
  std::string_view times() const;
  void child(const Expr& expr);
  void child(const Cond& cond);
  template <class List>
  void children(const List& list, size_t from, std::string_view separator);

  void write(const Node& node);
  void write(const CondNode& node);
  void write_number(const Number& value);
  void write_number_without_minus(const Number& value);
  void write_placeholder(const Placeholder& p);
  void write_element(const Element& e);
  void write_decision_var(const DecisionVar& v);
  void write_subscript(const Subscript& s);
  void write_array_length(const ArrayLength& a);
  void write_unary(const UnaryOp& op);
  void write_binary(const BinaryOp& op);
  void write_commutative(const CommutativeOp& op);
  void write_addition(const Terms& terms);
  bool is_subtracted(const Node& term) const;
  void write_subtracted(const Expr& term);
  void write_multiplication(const CommutativeOp& op);
  void write_reduction(const ReductionOp& op);
  void write_set(const BelongTo& set);
  void write_comparison(ComparisonKind kind, const Expr& left, const Expr& right);
  void write_logical(const LogicalOp& op);
  void write_suffixes(const OptString& latex, const OptString& description);

  std::string& out_;
  const Form form_;
  Context top_;
};

bool Printer::wraps(Context parent, Context child) const {
  switch (form_) {
    case Form::Str:
    case Form::Repr:
      // The brackets of the function (or abs's bars) already enclose its operand.
      if (parent.category == Category::Unary) return false;
      break;
  }
  return parenthesised(parent, child);
}

void Printer::open_parenthesis() {
  switch (form_) {
    case Form::Str:
    case Form::Repr:
      out_ += '(';
      break;
  }
}

void Printer::close_parenthesis() {
  switch (form_) {
    case Form::Str:
    case Form::Repr:
      out_ += ')';
      break;
  }
}

// The separator of the factors of a product.
std::string_view Printer::times() const {
  switch (form_) {
    case Form::Str:
    case Form::Repr:
      return " * ";
  }
  return " * ";
}

void Printer::child(const Expr& expr) {
  const Context self = context_of(*expr);
  const bool wrapped = wraps(top_, self);
  Enter enter(*this, self);
  if (wrapped) open_parenthesis();
  write(*expr);
  if (wrapped) close_parenthesis();
}

void Printer::child(const Cond& cond) {
  // No parenthesis rule covers a condition: they sit only under conditions and reductions.
  Enter enter(*this, context_of(*cond));
  write(*cond);
}

template <class List>
void Printer::children(const List& list, size_t from, std::string_view separator) {
  for (size_t i = from; i < list.size(); ++i) {
    if (i > from) out_ += separator;
    child(list[i]);
  }
}

void Printer::range(const Range& range) {
  switch (form_) {
    case Form::Str:
      out_ += '[';
      nested(range.start);
      out_ += "..";
      nested(range.end);
      out_ += ')';
      break;
    case Form::Repr:
      out_ += '(';
      nested(range.start);
      out_ += ", ";
      nested(range.end);
      out_ += ')';
      break;
  }
}

void Printer::write(const Node& node) {
  switch (node.kind()) {
    case ExprKind::NumberLit:
      return write_number(node.as<NumberLit>().value);
    case ExprKind::Placeholder:
      return write_placeholder(node.as<Placeholder>());
    case ExprKind::Element:
      return write_element(node.as<Element>());
    case ExprKind::DecisionVar:
      return write_decision_var(node.as<DecisionVar>());
    case ExprKind::Subscript:
      return write_subscript(node.as<Subscript>());
    case ExprKind::ArrayLength:
      return write_array_length(node.as<ArrayLength>());
    case ExprKind::UnaryOp:
      return write_unary(node.as<UnaryOp>());
    case ExprKind::BinaryOp:
      return write_binary(node.as<BinaryOp>());
    case ExprKind::CommutativeOp:
      return write_commutative(node.as<CommutativeOp>());
    case ExprKind::ReductionOp:
      return write_reduction(node.as<ReductionOp>());
  }
}

void Printer::write(const CondNode& node) {
  std::visit(overloaded{
                 [&](const ComparisonOp& c) { write_comparison(c.kind, c.left, c.right); },
                 [&](const LogicalOp& l) { write_logical(l); },
             },
             node.data);
}

void Printer::write_number(const Number& value) {
  switch (form_) {
    case Form::Str:
      append_number_text(out_, value);
      break;
    case Form::Repr:
      out_ += "NumberLit(value=";
      append_number_text(out_, value);
      out_ += ')';
      break;
  }
}

// The magnitude of a number whose text starts with a minus sign. The sign is cut from the text
// rather than negating the value, which would overflow for the smallest 64-bit integer.
void Printer::write_number_without_minus(const Number& value) {
  const size_t at = out_.size();
  append_number_text(out_, value);
  if (out_.size() > at && out_[at] == '-') out_.erase(at, 1);
}

void Printer::write_placeholder(const Placeholder& p) {
  switch (form_) {
    case Form::Str:
      out_ += p.name;
      break;
    case Form::Repr:
      out_ += "Placeholder(name='";
      out_ += p.name;
      out_ += "', ndim=";
      append_unsigned(out_, p.ndim);
      write_suffixes(p.latex, p.description);
      out_ += ')';
      break;
  }
}

void Printer::write_element(const Element& e) {
  switch (form_) {
    case Form::Str:
      out_ += e.name;
      break;
    case Form::Repr:
      out_ += "Element(name='";
      out_ += e.name;
      out_ += "', belong_to=";
      // A set that is a subscript is written as the subscript's repr, like any other array.
      std::visit(overloaded{
                     [&](const Range& r) { range(r); },
                     [&](const Expr& array) { child(array); },
                 },
                 e.belong_to);
      write_suffixes(e.latex, e.description);
      out_ += ')';
      break;
  }
}

void Printer::write_decision_var(const DecisionVar& v) {
  switch (form_) {
    case Form::Str:
      out_ += v.name;
      break;
    case Form::Repr:
      out_ += var_kind_text(v.kind);
      out_ += "Var(name='";
      out_ += v.name;
      out_ += "', shape=[";
      children(v.shape, 0, ", ");
      out_ += ']';
      // A binary variable's bounds are always 0 and 1, so its constructor takes none.
      if (v.kind != VarKind::Binary) {
        out_ += ", lower_bound=";
        child(v.lower.value);
        out_ += ", upper_bound=";
        child(v.upper.value);
      }
      write_suffixes(v.latex, v.description);
      out_ += ')';
      break;
  }
}

void Printer::write_subscript(const Subscript& s) {
  switch (form_) {
    case Form::Str:
    case Form::Repr:
      child(s.variable);
      out_ += '[';
      children(s.subscripts, 0, ", ");
      out_ += ']';
      break;
  }
}

void Printer::write_array_length(const ArrayLength& a) {
  switch (form_) {
    case Form::Str:
      out_ += "len(";
      child(a.array);
      out_ += ", ";
      append_unsigned(out_, a.axis);
      out_ += ')';
      break;
    case Form::Repr:
      out_ += "ArrayLength(array=";
      child(a.array);
      out_ += ", axis=";
      append_unsigned(out_, a.axis);
      write_suffixes(a.latex, a.description);
      out_ += ')';
      break;
  }
}

void Printer::write_unary(const UnaryOp& op) {
  switch (form_) {
    case Form::Str:
      if (op.kind == UnaryKind::Abs) {
        out_ += '|';
        child(op.operand);
        out_ += '|';
        return;
      }
      break;
    case Form::Repr:
      break;
  }
  out_ += unary_name(op.kind);
  out_ += '(';
  child(op.operand);
  out_ += ')';
}

void Printer::write_binary(const BinaryOp& op) {
  switch (form_) {
    case Form::Str:
    case Form::Repr:
      switch (op.kind) {
        case BinaryKind::Pow:
          child(op.left);
          out_ += " ** ";
          child(op.right);
          break;
        case BinaryKind::Mod:
          child(op.left);
          out_ += " % ";
          child(op.right);
          break;
      }
      break;
  }
}

void Printer::write_commutative(const CommutativeOp& op) {
  switch (op.kind) {
    case CommutativeKind::Add:
      return write_addition(op.terms);
    case CommutativeKind::Mul:
      return write_multiplication(op);
    case CommutativeKind::Min:
    case CommutativeKind::Max:
      switch (form_) {
        case Form::Str:
        case Form::Repr:
          out_ += op.kind == CommutativeKind::Min ? "min(" : "max(";
          children(op.terms, 0, ", ");
          out_ += ')';
          break;
      }
      return;
  }
}

// A subtracted term is written after " - " (or "- " when it comes first, so that the sign of a
// first term never eats text written before the addition).
void Printer::write_addition(const Terms& terms) {
  bool first = true;
  for (const Expr& term : terms) {
    if (is_subtracted(*term)) {
      out_ += first ? "- " : " - ";
      write_subtracted(term);
    } else {
      if (!first) out_ += " + ";
      child(term);
    }
    first = false;
  }
}

// Str turns every visibly negative literal or leading coefficient into a subtraction; repr keeps
// its literals spelt out and rewrites only a negation, a product that starts with -1.
bool Printer::is_subtracted(const Node& term) const {
  const Number* coefficient = leading_coefficient(term);
  switch (form_) {
    case Form::Str:
      if (const auto* literal = term.get_if<NumberLit>()) return text_has_minus(literal->value);
      return coefficient && text_has_minus(*coefficient);
    case Form::Repr:
      return coefficient && is_minus_one(*coefficient);
  }
  return false;
}

// The term of a subtraction without its sign: a literal's magnitude, or a product's factors after
// its coefficient, led by the coefficient's magnitude unless that is 1.
void Printer::write_subtracted(const Expr& term) {
  Enter enter(*this, context_of(*term));
  if (const auto* literal = term->get_if<NumberLit>()) {
    write_number_without_minus(literal->value);
    return;
  }
  const auto& op = term->as<CommutativeOp>();
  const Number& coefficient = *leading_coefficient(op);
  if (!is_minus_one(coefficient)) {
    write_number_without_minus(coefficient);
    out_ += times();
  }
  children(op.terms, 1, times());
}

void Printer::write_multiplication(const CommutativeOp& op) {
  switch (form_) {
    case Form::Str:
    case Form::Repr: {
      const Number* coefficient = leading_coefficient(op);
      size_t from = 0;
      if (coefficient && is_minus_one(*coefficient)) {
        out_ += "- ";
        from = 1;
      }
      children(op.terms, from, times());
      break;
    }
  }
}

void Printer::write_reduction(const ReductionOp& op) {
  switch (op.kind) {
    case ReductionKind::Sum:
      out_ += "sum(";
      break;
    case ReductionKind::Prod:
      out_ += "prod(";
      break;
  }
  switch (form_) {
    case Form::Str: {
      const Element& index = op.index->as<Element>();
      out_ += index.name;
      out_ += " in ";
      write_set(index.belong_to);
      if (op.condition) {
        out_ += " s.t. ";
        child(op.condition);
      }
      break;
    }
    case Form::Repr:
      child(op.index);
      if (op.condition) {
        out_ += ", ";
        child(op.condition);
      }
      break;
  }
  out_ += ", ";
  child(op.operand);
  out_ += ')';
}

// The set of a reduction's index in str form: a range, or the array's own str text.
void Printer::write_set(const BelongTo& set) {
  std::visit(overloaded{
                 [&](const Range& r) { range(r); },
                 [&](const Expr& array) { child(array); },
             },
             set);
}

void Printer::write_comparison(ComparisonKind kind, const Expr& left, const Expr& right) {
  switch (form_) {
    case Form::Str:
    case Form::Repr:
      child(left);
      out_ += comparison_symbol(kind);
      child(right);
      break;
  }
}

void Printer::write_logical(const LogicalOp& op) {
  std::string_view separator;
  switch (form_) {
    case Form::Str:
      switch (op.kind) {
        case LogicalKind::And:
          separator = " and ";
          break;
        case LogicalKind::Or:
          separator = " or ";
          break;
        case LogicalKind::Xor:
          separator = " xor ";
          break;
      }
      break;
    case Form::Repr:
      switch (op.kind) {
        case LogicalKind::And:
          separator = " & ";
          break;
        case LogicalKind::Or:
          separator = " | ";
          break;
        case LogicalKind::Xor:
          separator = " ^ ";
          break;
      }
      break;
  }
  bool first = true;
  for (const Cond& term : op.terms) {
    if (!first) out_ += separator;
    child(term);
    first = false;
  }
}

// The strings go in as they are, without escaping, so a quote in them shows as written.
void Printer::write_suffixes(const OptString& latex, const OptString& description) {
  if (latex) {
    out_ += ", latex='";
    out_ += *latex;
    out_ += '\'';
  }
  if (description) {
    out_ += ", description='";
    out_ += *description;
    out_ += '\'';
  }
}

}  // namespace

void append(std::string& out, const Expr& expr, Form form) { Printer(out, form).root(expr); }

void append(std::string& out, const Cond& cond, Form form) { Printer(out, form).root(cond); }

void append_nested(std::string& out, const Expr& expr, Form form) {
  Printer(out, form).nested(expr);
}

void append_range(std::string& out, const Range& range, Form form) {
  Printer(out, form).range(range);
}

void append_comparison(std::string& out, ComparisonKind kind, const Expr& left, const Expr& right,
                       Form form) {
  Printer(out, form).root_comparison(kind, left, right);
}

std::string print(const Expr& expr, Form form) {
  std::string out;
  append(out, expr, form);
  return out;
}

std::string print(const Cond& cond, Form form) {
  std::string out;
  append(out, cond, form);
  return out;
}

std::string print_nested(const Expr& expr, Form form) {
  std::string out;
  append_nested(out, expr, form);
  return out;
}

std::string print_range(const Range& range, Form form) {
  std::string out;
  append_range(out, range, form);
  return out;
}

}  // namespace korvex
