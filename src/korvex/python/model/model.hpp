// The model classes: Constraint, ConstraintSense, CustomPenaltyTerm, Problem, ProblemSense.
#pragma once

#include <optional>

#include "korvex/core/model/model.hpp"
#include "korvex/python/host/type.hpp"

namespace korvex::py {

PyTypeObject* constraint_type();
PyTypeObject* custom_penalty_term_type();
PyTypeObject* problem_type();

// Structural identity of two model objects of the same class; nullopt when they are not both
// a Problem, both a Constraint or both a CustomPenaltyTerm.
std::optional<bool> model_is_same(PyObject* src, PyObject* dst);

// Reads a forall argument: None, one item, or a sequence of items.
Result<ForallList> read_forall(PyObject* object);

}  // namespace korvex::py
