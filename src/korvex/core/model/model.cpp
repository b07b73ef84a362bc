#include "korvex/core/model/model.hpp"

#include <cmath>
#include <unordered_set>

#include "korvex/core/expression/equality.hpp"
#include "korvex/core/expression/walk.hpp"
#include "korvex/core/print/printer.hpp"

namespace korvex {
namespace {

bool same(const Expr& a, const Expr& b);
bool same(const Cond& a, const Cond& b);

bool same(const std::vector<Expr>& a, const std::vector<Expr>& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    if (!same(a[k], b[k])) return false;
  }
  return true;
}

bool same(const BelongTo& a, const BelongTo& b) {
  if (a.index() != b.index()) return false;
  if (const Range* r = std::get_if<Range>(&a)) {
    const Range& s = std::get<Range>(b);
    return same(r->start, s.start) && same(r->end, s.end);
  }
  return same(std::get<Expr>(a), std::get<Expr>(b));
}

bool same(const Bound& a, const Bound& b) { return a.kind == b.kind && same(a.value, b.value); }

// Structural equality, except that a NaN literal matches a NaN literal. The scope and name checks
// ask whether two occurrences are the same element or variable, and an element over a range that
// ends at NaN, or a variable with a NaN bound, is still itself.
bool same(const Expr& a, const Expr& b) {
  if (!a->has_nan && !b->has_nan) return equal(a, b);
  if (a == b) return true;
  if (a->has_nan != b->has_nan || a->kind() != b->kind()) return false;
  switch (a->kind()) {
    case ExprKind::NumberLit: {
      const Number &x = a->as<NumberLit>().value, &y = b->as<NumberLit>().value;
      return std::isnan(x.as_double()) && std::isnan(y.as_double());
    }
    case ExprKind::Placeholder:
      return equal(a, b);
    case ExprKind::Element: {
      const auto &x = a->as<Element>(), &y = b->as<Element>();
      return x.name == y.name && x.ndim == y.ndim && same(x.belong_to, y.belong_to);
    }
    case ExprKind::DecisionVar: {
      const auto &x = a->as<DecisionVar>(), &y = b->as<DecisionVar>();
      return x.kind == y.kind && x.name == y.name && same(x.shape, y.shape) &&
             same(x.lower, y.lower) && same(x.upper, y.upper);
    }
    case ExprKind::Subscript: {
      const auto &x = a->as<Subscript>(), &y = b->as<Subscript>();
      return x.ndim == y.ndim && x.latex == y.latex && same(x.variable, y.variable) &&
             same(x.subscripts, y.subscripts);
    }
    case ExprKind::ArrayLength: {
      const auto &x = a->as<ArrayLength>(), &y = b->as<ArrayLength>();
      return x.axis == y.axis && same(x.array, y.array);
    }
    case ExprKind::UnaryOp: {
      const auto &x = a->as<UnaryOp>(), &y = b->as<UnaryOp>();
      return x.kind == y.kind && same(x.operand, y.operand);
    }
    case ExprKind::BinaryOp: {
      const auto &x = a->as<BinaryOp>(), &y = b->as<BinaryOp>();
      return x.kind == y.kind && same(x.left, y.left) && same(x.right, y.right);
    }
    case ExprKind::CommutativeOp: {
      const auto &x = a->as<CommutativeOp>(), &y = b->as<CommutativeOp>();
      return x.kind == y.kind && same(x.terms, y.terms);
    }
    case ExprKind::ReductionOp: {
      const auto &x = a->as<ReductionOp>(), &y = b->as<ReductionOp>();
      return x.kind == y.kind && same(x.index, y.index) && same(x.condition, y.condition) &&
             same(x.operand, y.operand);
    }
  }
  return false;
}

bool same(const Cond& a, const Cond& b) {
  if (!a || !b) return !a && !b;
  if (!a->has_nan && !b->has_nan) return equal(a, b);
  if (a == b) return true;
  if (a->has_nan != b->has_nan || a->data.index() != b->data.index()) return false;
  if (const auto* x = a->get_if<ComparisonOp>()) {
    const auto& y = b->as<ComparisonOp>();
    return x->kind == y.kind && same(x->left, y.left) && same(x->right, y.right);
  }
  const auto &x = a->as<LogicalOp>(), &y = b->as<LogicalOp>();
  if (x.kind != y.kind || x.terms.size() != y.terms.size()) return false;
  for (size_t k = 0; k < x.terms.size(); ++k) {
    if (!same(x.terms[k], y.terms[k])) return false;
  }
  return true;
}

// The stored hash covers a NaN's bits, which same() ignores; nodes with a NaN share one bucket.
struct ExprHash {
  size_t operator()(const Expr& e) const { return e->has_nan ? 0 : static_cast<size_t>(e->hash); }
};
struct ExprEqual {
  bool operator()(const Expr& a, const Expr& b) const { return same(a, b); }
};

// A set of expressions under structural equality that remembers the order of insertion, so
// names in messages come out in a stable order.
class ExprSet {
 public:
  bool insert(const Expr& e) {
    if (!set_.insert(e).second) return false;
    order_.push_back(e);
    return true;
  }
  bool contains(const Expr& e) const { return set_.count(e) != 0; }
  const std::vector<Expr>& items() const { return order_; }
  size_t size() const { return order_.size(); }

 private:
  std::unordered_set<Expr, ExprHash, ExprEqual> set_;
  std::vector<Expr> order_;
};

// A depth-first walk in stored order, as the checks below define it, that enters a node it has
// already entered only once: a model may hold one subtree many times over (`(a + 1) * (a + 2)`
// repeated), and a check meets nothing new the second time through it.
template <class Derived>
class OnceWalker : public Walker<Derived> {
 public:
  bool enter(const void* node) { return entered_.insert(node).second; }
  // An element structurally equal to one already walked has the same set, which is skipped.
  bool enter_set(const Expr& element) { return walked_sets_.insert(element); }

 protected:
  // Starts a new walk in which every node counts again.
  void forget_entered() {
    entered_.clear();
    walked_sets_ = ExprSet();
  }

 private:
  std::unordered_set<const void*> entered_;
  ExprSet walked_sets_;
};

// The elements an expression binds (reduction indices) and leaves free.
class ElementCollector : public OnceWalker<ElementCollector> {
 public:
  ExprSet bound;
  ExprSet free;

  void on_element(const Expr& e) {
    if (!bound.contains(e)) free.insert(e);
    walk_set(e);
  }
  // Both sets only grow, so what a walk skips as already entered would add nothing.
  void on_reduction(const ReductionOp& r) {
    bound.insert(r.index);
    walk_set(r.index);
    if (r.condition) walk(r.condition);
    walk(r.operand);
  }
};

std::string element_names(const std::vector<Expr>& elements) {
  std::string out;
  for (const Expr& e : elements) {
    if (!out.empty()) out += ", ";
    out += e->as<Element>().name;
  }
  return out;
}

Result<void> check_free_elements(const ForallList& forall, const ElementCollector& collected) {
  ExprSet f;
  for (const ForallItem& item : forall) f.insert(item.element);
  std::vector<Expr> shared;
  for (const Expr& e : f.items()) {
    if (collected.bound.contains(e)) shared.push_back(e);
  }
  if (!shared.empty()) {
    return modeling_error(
        "Invalid forall -- Elements in forall list are already associated with operators in the "
        "expression: " +
        element_names(shared));
  }
  std::vector<Expr> expression_only, forall_only;
  for (const Expr& e : collected.free.items()) {
    if (!f.contains(e)) expression_only.push_back(e);
  }
  for (const Expr& e : f.items()) {
    if (!collected.free.contains(e)) forall_only.push_back(e);
  }
  if (expression_only.empty() && forall_only.empty()) return {};
  std::string message = "Invalid forall:";
  if (!expression_only.empty()) {
    message += "\nExpression contained elements not used in the forall list or any operator: " +
               element_names(expression_only);
  }
  if (!forall_only.empty()) {
    message +=
        "\nForall list contained elements not in expression or already associated with "
        "operators: " +
        element_names(forall_only);
  }
  return modeling_error(std::move(message));
}

// The variables of a problem for the duplicated-name check, by name, first seen kept.
class VariableVisitor : public OnceWalker<VariableVisitor> {
 public:
  std::map<std::string, Expr> seen;
  std::vector<std::string> clashes;

  // From here on the variables met are checked against those collected so far, so every node
  // counts again.
  void start_checking() {
    checking_ = true;
    forget_entered();
  }

  void on_placeholder(const Expr& e) { meet(e, e->as<Placeholder>().name); }
  void on_decision_var(const Expr& e) { meet(e, e->as<DecisionVar>().name); }
  // An element brings the expressions of its set first, then itself: a placeholder it runs over
  // is a variable of the problem like any other.
  void on_element(const Expr& element) {
    walk_set(element);
    meet(element, element->as<Element>().name);
  }

 private:
  bool checking_ = false;

  void meet(const Expr& variable, const std::string& name) {
    auto [it, inserted] = seen.emplace(name, variable);
    if (inserted || !checking_) return;
    const Expr& other = it->second;
    if (other->kind() == variable->kind() && same(other, variable)) return;
    for (const std::string& c : clashes) {
      if (c == name) return;
    }
    clashes.push_back(name);
  }
};

Result<void> check_names(VariableVisitor& visitor) {
  if (visitor.clashes.empty()) return {};
  std::string names;
  for (const std::string& n : visitor.clashes) {
    if (!names.empty()) names += ", ";
    names += n;
  }
  return modeling_error("Duplicated name -- different variables share the same name(s): " + names);
}

void visit_constraints(VariableVisitor& v, const Problem& p, const std::string* skip) {
  for (const auto& [name, c] : p.constraints) {
    if (skip != nullptr && name == *skip) continue;
    v.walk(c->left);
    v.walk(c->right);
  }
}

void visit_penalties(VariableVisitor& v, const Problem& p, const std::string* skip) {
  for (const auto& [name, t] : p.custom_penalty_terms) {
    if (skip != nullptr && name == *skip) continue;
    v.walk(t->expression);
  }
}

}  // namespace

bool forall_is_valid(const ForallList& list) {
  ExprSet seen;
  for (const ForallItem& item : list) {
    if (!seen.insert(item.element)) return false;
    if (item.condition) {
      ElementCollector collector;
      collector.walk(item.condition);
      for (const Expr& e : collector.free.items()) {
        if (!seen.contains(e)) return false;
      }
    }
  }
  return true;
}

Result<ConstraintPtr> make_constraint(std::string name, const Cond& condition, ForallList forall) {
  ElementCollector collector;
  collector.walk(condition);
  KX_TRY(check_free_elements(forall, collector));
  const auto* cmp = condition->get_if<ComparisonOp>();
  ConstraintSense sense = ConstraintSense::Equal;
  bool valid = cmp != nullptr;
  if (valid) {
    switch (cmp->kind) {
      case ComparisonKind::Equal:
        sense = ConstraintSense::Equal;
        break;
      case ComparisonKind::LessThanEqual:
        sense = ConstraintSense::LessThanEqual;
        break;
      case ComparisonKind::GreaterThanEqual:
        sense = ConstraintSense::GreaterThanEqual;
        break;
      case ComparisonKind::NotEqual:
      case ComparisonKind::LessThan:
      case ComparisonKind::GreaterThan:
        valid = false;
        break;
    }
  }
  if (!valid) {
    return modeling_error(
        "Invalid constraint -- conditional must be a valid equality or non-strict inequality (==, "
        ">=, or <= only)");
  }
  if (!contains_decision_variable(cmp->left) && !contains_decision_variable(cmp->right)) {
    return modeling_error("expression does not contain a decision variable");
  }
  return std::make_shared<const Constraint>(
      Constraint{std::move(name), std::move(forall), cmp->left, cmp->right, sense});
}

Result<PenaltyPtr> make_custom_penalty_term(std::string name, Expr expression, ForallList forall) {
  ElementCollector collector;
  collector.walk(expression);
  KX_TRY(check_free_elements(forall, collector));
  if (!contains_decision_variable(expression)) {
    return modeling_error("the custom penalty term does not contain a decision variable");
  }
  return std::make_shared<const CustomPenaltyTerm>(
      CustomPenaltyTerm{std::move(name), std::move(expression), std::move(forall)});
}

Problem make_problem(std::string name, ProblemSense sense) {
  Problem p;
  p.name = std::move(name);
  p.objective = int_expr(0);
  p.sense = sense;
  return p;
}

Result<void> add_objective(Problem& problem, Expr objective) {
  VariableVisitor v;
  visit_constraints(v, problem, nullptr);
  visit_penalties(v, problem, nullptr);
  v.start_checking();
  v.walk(objective);
  KX_TRY(check_names(v));
  problem.objective = std::move(objective);
  return {};
}

Result<void> add_constraint(Problem& problem, ConstraintPtr constraint) {
  VariableVisitor v;
  v.walk(problem.objective);
  visit_constraints(v, problem, &constraint->name);
  visit_penalties(v, problem, nullptr);
  v.start_checking();
  v.walk(constraint->left);
  v.walk(constraint->right);
  KX_TRY(check_names(v));
  problem.constraints[constraint->name] = std::move(constraint);
  return {};
}

Result<void> add_custom_penalty_term(Problem& problem, PenaltyPtr term) {
  VariableVisitor v;
  v.walk(problem.objective);
  visit_constraints(v, problem, nullptr);
  visit_penalties(v, problem, &term->name);
  v.start_checking();
  v.walk(term->expression);
  KX_TRY(check_names(v));
  problem.custom_penalty_terms[term->name] = std::move(term);
  return {};
}

bool equal(const ForallList& a, const ForallList& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    if (!equal(a[k].element, b[k].element) || !equal(a[k].condition, b[k].condition)) {
      return false;
    }
  }
  return true;
}

bool equal(const Constraint& a, const Constraint& b) {
  return a.name == b.name && a.sense == b.sense && equal(a.left, b.left) &&
         equal(a.right, b.right) && equal(a.forall, b.forall);
}

bool equal(const CustomPenaltyTerm& a, const CustomPenaltyTerm& b) {
  return a.name == b.name && equal(a.expression, b.expression) && equal(a.forall, b.forall);
}

bool equal(const Problem& a, const Problem& b) {
  if (a.name != b.name || a.sense != b.sense || !equal(a.objective, b.objective)) return false;
  if (a.constraints.size() != b.constraints.size() ||
      a.custom_penalty_terms.size() != b.custom_penalty_terms.size()) {
    return false;
  }
  for (auto i = a.constraints.begin(), j = b.constraints.begin(); i != a.constraints.end();
       ++i, ++j) {
    if (i->first != j->first || !equal(*i->second, *j->second)) return false;
  }
  for (auto i = a.custom_penalty_terms.begin(), j = b.custom_penalty_terms.begin();
       i != a.custom_penalty_terms.end(); ++i, ++j) {
    if (i->first != j->first || !equal(*i->second, *j->second)) return false;
  }
  return true;
}

ComparisonKind comparison_kind(ConstraintSense sense) {
  switch (sense) {
    case ConstraintSense::Equal:
      return ComparisonKind::Equal;
    case ConstraintSense::LessThanEqual:
      return ComparisonKind::LessThanEqual;
    case ConstraintSense::GreaterThanEqual:
      return ComparisonKind::GreaterThanEqual;
  }
  return ComparisonKind::Equal;
}

static void append_forall(std::string& out, const ForallList& forall) {
  if (forall.empty()) return;
  out += ", forall=[";
  for (size_t k = 0; k < forall.size(); ++k) {
    if (k > 0) out += ", ";
    const std::string& name = forall[k].element->as<Element>().name;
    if (forall[k].condition) {
      out += "(" + name + ", ";
      append(out, forall[k].condition, Form::Str);
      out += ")";
    } else {
      out += name;
    }
  }
  out += "]";
}

std::string constraint_text(const Constraint& c) {
  std::string out = "Constraint(name=\"" + c.name + "\", expression=";
  append_comparison(out, comparison_kind(c.sense), c.left, c.right, Form::Str);
  append_forall(out, c.forall);
  out += ")";
  return out;
}

std::string custom_penalty_term_text(const CustomPenaltyTerm& t) {
  std::string out = "CustomPenaltyTerm(name=\"" + t.name + "\", expression=";
  append_nested(out, t.expression, Form::Str);
  append_forall(out, t.forall);
  out += ")";
  return out;
}

}  // namespace korvex
