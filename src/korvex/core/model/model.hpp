// The model: forall lists, constraints, custom penalty terms and problems, with the element
// scope checks and the duplicated-name check of a problem.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "korvex/core/expression/expression.hpp"

namespace korvex {

struct ForallItem {
  Expr element;    // an Element node
  Cond condition;  // may be null
};
using ForallList = std::vector<ForallItem>;

enum class ConstraintSense : uint8_t { Equal, LessThanEqual, GreaterThanEqual };
enum class ProblemSense : uint8_t { Minimize, Maximize };

struct Constraint {
  std::string name;
  ForallList forall;
  Expr left;
  Expr right;
  ConstraintSense sense = ConstraintSense::Equal;
};

struct CustomPenaltyTerm {
  std::string name;
  Expr expression;
  ForallList forall;
};

using ConstraintPtr = std::shared_ptr<const Constraint>;
using PenaltyPtr = std::shared_ptr<const CustomPenaltyTerm>;

struct Problem {
  // Ordered by the names' bytes: std::string compares its characters as unsigned char.
  std::map<std::string, ConstraintPtr> constraints;
  std::map<std::string, PenaltyPtr> custom_penalty_terms;
  std::string name;
  Expr objective;
  ProblemSense sense = ProblemSense::Minimize;
};

// A forall list is valid when no element repeats and each condition uses only its own and
// earlier elements (elements the condition binds itself aside).
bool forall_is_valid(const ForallList& list);

Result<ConstraintPtr> make_constraint(std::string name, const Cond& condition, ForallList forall);
Result<PenaltyPtr> make_custom_penalty_term(std::string name, Expr expression, ForallList forall);
Problem make_problem(std::string name, ProblemSense sense);

// problem += part; on failure the problem is unchanged.
Result<void> add_objective(Problem& problem, Expr objective);
Result<void> add_constraint(Problem& problem, ConstraintPtr constraint);
Result<void> add_custom_penalty_term(Problem& problem, PenaltyPtr term);

bool equal(const ForallList& a, const ForallList& b);
bool equal(const Constraint& a, const Constraint& b);
bool equal(const CustomPenaltyTerm& a, const CustomPenaltyTerm& b);
bool equal(const Problem& a, const Problem& b);

ComparisonKind comparison_kind(ConstraintSense sense);
// The text form shared by str and repr.
std::string constraint_text(const Constraint& constraint);
std::string custom_penalty_term_text(const CustomPenaltyTerm& term);

}  // namespace korvex
