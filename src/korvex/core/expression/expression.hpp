// The expression model: immutable nodes with shared children. A node never changes after its
// factory built it; copying an expression copies one pointer. Every concern (equality, hash,
// printing, serialisation) is one function that switches over the variant order fixed here.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "korvex/core/error.hpp"

namespace korvex {

struct Node;
struct CondNode;
// A shared, immutable expression node; never null where a record holds one.
using Expr = std::shared_ptr<const Node>;
// A shared, immutable condition node; a reduction's absent condition is a null Cond.
using Cond = std::shared_ptr<const CondNode>;
using OptString = std::optional<std::string>;

// Trees deeper than this are refused with a RecursionError, so no recursive walk can overflow
// the C stack.
constexpr uint32_t kMaxDepth = 1000;

// The variant order of Expression; every switch over expression kinds follows it.
enum class ExprKind : uint8_t {
  NumberLit,
  Placeholder,
  Element,
  DecisionVar,
  Subscript,
  ArrayLength,
  UnaryOp,
  BinaryOp,
  CommutativeOp,
  ReductionOp,
};

struct Number {
  enum class Kind : uint8_t { Integer, Float };
  Kind kind = Kind::Integer;
  int64_t integer = 0;
  double real = 0.0;

  static Number of_int(int64_t v) { return Number{Kind::Integer, v, 0.0}; }
  static Number of_float(double v) { return Number{Kind::Float, 0, v}; }
  bool is_integer() const { return kind == Kind::Integer; }
  double as_double() const { return is_integer() ? static_cast<double>(integer) : real; }
};

struct NumberLit {
  Number value;
};

struct Placeholder {
  std::string name;
  uint64_t ndim = 0;
  OptString latex;
  OptString description;
};

// A half-open range [start, end); not an expression of its own.
struct Range {
  Expr start;
  Expr end;
};

// The set an element runs over: a range, or an array node (Placeholder, Element or Subscript
// with ndim >= 1).
using BelongTo = std::variant<Range, Expr>;

struct Element {
  std::string name;
  BelongTo belong_to;
  uint64_t ndim = 0;
  OptString latex;
  OptString description;
};

enum class VarKind : uint8_t { Binary, Integer, Continuous, SemiInteger, SemiContinuous };

// A decision variable's bound: a scalar expression, an array placeholder, or a subscript of one.
struct Bound {
  enum class Kind : uint8_t { Expression, Placeholder, Subscript };
  Kind kind = Kind::Expression;
  Expr value;
};

struct DecisionVar {
  VarKind kind = VarKind::Binary;
  std::string name;
  std::vector<Expr> shape;
  Bound lower;
  Bound upper;
  OptString latex;
  OptString description;
};

// `variable` is a Placeholder, Element or DecisionVar node (never a Subscript once built).
struct Subscript {
  Expr variable;
  std::vector<Expr> subscripts;
  uint64_t ndim = 0;
  OptString latex;
};

// `array` is a Placeholder, Element or Subscript node with ndim >= 1.
struct ArrayLength {
  Expr array;
  uint64_t axis = 0;
  OptString latex;
  OptString description;
};

enum class UnaryKind : uint8_t { Abs, Ceil, Floor, Ln, Log10, Log2 };
struct UnaryOp {
  UnaryKind kind = UnaryKind::Abs;
  Expr operand;
  OptString latex;
};

enum class BinaryKind : uint8_t { Pow, Mod };
struct BinaryOp {
  BinaryKind kind = BinaryKind::Pow;
  Expr left;
  Expr right;
  OptString latex;
};

// The terms of a sum, product, min or max. A node built by appending one term to another shares
// the other's buffer and sees one term more, while the other still sees only its own prefix; so a
// sum built term by term in a loop costs amortised O(1) a term rather than a copy of all terms.
// A deque keeps references to earlier terms valid when a later node appends, and the iterator
// reads by index, so no reader is disturbed by an append. Appends happen under the interpreter
// lock only.
class Terms {
 public:
  class Iterator {
   public:
    using value_type = Expr;
    using difference_type = std::ptrdiff_t;
    Iterator(const std::deque<Expr>* buffer, size_t index) : buffer_(buffer), index_(index) {}
    const Expr& operator*() const { return (*buffer_)[index_]; }
    const Expr* operator->() const { return &(*buffer_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }

   private:
    const std::deque<Expr>* buffer_;
    size_t index_;
  };

  Terms() = default;
  Terms(std::vector<Expr> terms)  // NOLINT: implicit, a list of terms is a Terms
      : buffer_(std::make_shared<std::deque<Expr>>(std::make_move_iterator(terms.begin()),
                                                   std::make_move_iterator(terms.end()))),
        size_(buffer_->size()) {}

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const Expr& operator[](size_t i) const { return (*buffer_)[i]; }
  const Expr& front() const { return (*buffer_)[0]; }
  const Expr& back() const { return (*buffer_)[size_ - 1]; }
  Iterator begin() const { return Iterator(buffer_.get(), 0); }
  Iterator end() const { return Iterator(buffer_.get(), size_); }
  operator std::vector<Expr>() const {  // NOLINT: implicit, a copy of the terms as a list
    if (!buffer_) return {};
    return std::vector<Expr>(buffer_->begin(), buffer_->begin() + static_cast<ptrdiff_t>(size_));
  }

  // These terms and one more; shares the buffer when no other node has appended to it yet.
  Terms appended(Expr term) const {
    Terms out;
    if (!buffer_) {
      out.buffer_ = std::make_shared<std::deque<Expr>>();
    } else if (buffer_->size() == size_) {
      out.buffer_ = buffer_;
    } else {
      out.buffer_ = std::make_shared<std::deque<Expr>>(
          buffer_->begin(), buffer_->begin() + static_cast<ptrdiff_t>(size_));
    }
    out.buffer_->push_back(std::move(term));
    out.size_ = size_ + 1;
    return out;
  }

 private:
  std::shared_ptr<std::deque<Expr>> buffer_;
  size_t size_ = 0;
};

enum class CommutativeKind : uint8_t { Add, Mul, Min, Max };
struct CommutativeOp {
  CommutativeKind kind = CommutativeKind::Add;
  Terms terms;
  OptString latex;
};

enum class ReductionKind : uint8_t { Sum, Prod };
// `index` is an Element node; `condition` may be null.
struct ReductionOp {
  ReductionKind kind = ReductionKind::Sum;
  Expr index;
  Cond condition;
  Expr operand;
  OptString latex;
};

using ExprData = std::variant<NumberLit, Placeholder, Element, DecisionVar, Subscript, ArrayLength,
                              UnaryOp, BinaryOp, CommutativeOp, ReductionOp>;

struct Node {
  ExprData data;
  uint64_t hash = 0;
  uint32_t depth = 1;
  // True when a NaN literal occurs anywhere below: such a node is not equal even to itself.
  bool has_nan = false;

  ExprKind kind() const { return static_cast<ExprKind>(data.index()); }
  template <class T>
  const T& as() const {
    return std::get<T>(data);
  }
  template <class T>
  const T* get_if() const {
    return std::get_if<T>(&data);
  }
};

enum class ComparisonKind : uint8_t {
  Equal,
  NotEqual,
  LessThan,
  LessThanEqual,
  GreaterThan,
  GreaterThanEqual,
};
struct ComparisonOp {
  ComparisonKind kind = ComparisonKind::Equal;
  Expr left;
  Expr right;
  OptString latex;
};

enum class LogicalKind : uint8_t { And, Or, Xor };
struct LogicalOp {
  LogicalKind kind = LogicalKind::And;
  std::vector<Cond> terms;
  OptString latex;
};

using CondData = std::variant<ComparisonOp, LogicalOp>;

struct CondNode {
  CondData data;
  uint64_t hash = 0;
  uint32_t depth = 1;
  bool has_nan = false;

  bool is_comparison() const { return data.index() == 0; }
  template <class T>
  const T& as() const {
    return std::get<T>(data);
  }
  template <class T>
  const T* get_if() const {
    return std::get_if<T>(&data);
  }
};

// Builds a node, computing its hash, depth and NaN flag once; a tree deeper than kMaxDepth is
// refused with a RecursionError.
Result<Expr> make_expr(ExprData data);
Result<Cond> make_cond(CondData data);

// The commutative node `op` with `term` appended, its hash, depth and NaN flag updated from the
// node's own in O(1).
Result<Expr> append_term(const Expr& op, Expr term);

// Shorthands for leaves that cannot fail.
Expr number_expr(Number value);
inline Expr int_expr(int64_t v) { return number_expr(Number::of_int(v)); }

// The same node with another LaTeX text (NumberLit has none and is returned unchanged).
Expr with_latex(const Expr& expr, OptString latex);
Cond with_latex(const Cond& cond, OptString latex);

// The number of axes of an array-capable node (Placeholder, Element, Subscript, DecisionVar);
// 0 for every other node.
uint64_t ndim_of(const Node& node);

bool contains_decision_variable(const Expr& expr);

std::string_view var_kind_text(VarKind kind);  // "Binary", "Integer", ...

}  // namespace korvex
