// The expression classes as Python sees them, and the conversions between Python objects and
// expression values.
#pragma once

#include <string>
#include <vector>

#include "korvex/core/expression/expression.hpp"
#include "korvex/python/host/type.hpp"

namespace korvex::py {

// Every Python class that wraps an Expr, in registration order within its family.
enum class ExprClass : uint8_t {
  NumberLit,
  Placeholder,
  Element,
  BinaryVar,
  IntegerVar,
  ContinuousVar,
  SemiIntegerVar,
  SemiContinuousVar,
  Subscript,
  ArrayLength,
  AbsOp,
  CeilOp,
  FloorOp,
  Log2Op,
  Log10Op,
  LnOp,
  AddOp,
  MulOp,
  ModOp,
  MinOp,
  MaxOp,
  PowOp,
  SumOp,
  ProdOp,
  Count,
};

// A decision variable sliced with at least one `:`; not an expression until reduced.
struct DummyIndexed {
  Expr variable;
  std::vector<Expr> subscripts;
  std::vector<Expr> dummy_indices;
};
PyTypeObject* dummy_indexed_var_type();
PyTypeObject* range_type();

// Every Python class that wraps a Cond.
enum class CondClass : uint8_t {
  AndOp,
  OrOp,
  XorOp,
  EqualOp,
  NotEqualOp,
  LessThanOp,
  LessThanEqualOp,
  GreaterThanOp,
  GreaterThanEqualOp,
  Count,
};

const char* class_name(ExprClass c);
const char* class_name(CondClass c);
ExprClass class_of(const Node& node);
CondClass class_of(const CondNode& node);
PyTypeObject* expr_type(ExprClass c);
PyTypeObject* cond_type(CondClass c);

// The value of an expression-family object, or null when `object` is not one.
const Expr* expr_of(PyObject* object);
const Cond* cond_of(PyObject* object);

// A new Python object of the class that matches the value's variant and kind.
Result<Ref> wrap(Expr expr);
Result<Ref> wrap(Cond cond);
Result<Ref> wrap_list(const std::vector<Expr>& list);
Result<Ref> wrap_tuple(const std::vector<Expr>& list);

// Any Python object to an expression, by the thirteen steps of the conversion.
Result<Expr> to_expression(PyObject* object);
// A number literal from a Python number (steps 1 and 2), or nullopt with no error set.
std::optional<Number> to_number(PyObject* object);
// A condition object to its value.
Result<Cond> to_conditional_expr(PyObject* object);
// An expression-family object through its class's scalar test.
Result<Expr> as_scalar_expression(PyObject* object);

// Argument conversions shared by every family.
Result<std::string> to_string(PyObject* object);
Result<OptString> to_optional_string(PyObject* object);  // absent or None: nullopt
Result<uint64_t> to_u64(PyObject* object);
// The items of a sequence that is not a string (borrowed references kept alive by `keep`).
Result<std::vector<PyObject*>> sequence_items(PyObject* object, Ref& keep);
Result<std::vector<Expr>> to_expression_list(PyObject* object);

// The '{type_name}' part of messages.
std::string type_name(PyObject* object);

// Builds the type of one class (called once per class, on first need).
PyTypeObject* build_operand_type(ExprClass c);
PyTypeObject* build_operator_type(ExprClass c);
PyTypeObject* build_cond_type(CondClass c);

// Slots and methods shared by every expression class: dealloc, str/repr, set_latex, and the
// arithmetic and comparison slots.
TypeBuilder expression_type_builder(ExprClass c, const char* doc, const Signature* ctor);
// Adds the arithmetic and comparison slots (defined with the operators).
void add_operator_slots(TypeBuilder& builder, ExprClass c);
void add_cond_operator_slots(TypeBuilder& builder, CondClass c);
// Adds [...] to placeholders, elements, subscripts and decision variables.
void add_subscript_slot(TypeBuilder& builder, ExprClass c);

}  // namespace korvex::py
