#include "korvex/python/model/model.hpp"

#include "korvex/core/expression/equality.hpp"
#include "korvex/python/expression/convert.hpp"
#include "korvex/python/host/enum.hpp"

namespace korvex::py {
namespace {

constexpr const char* kConstraintSenseNames[] = {"EQUAL", "LESS_THAN_EQUAL", "GREATER_THAN_EQUAL"};
const EnumSpec kConstraintSense{"ConstraintSense",
                                "The sense of a constraint: EQUAL, LESS_THAN_EQUAL or "
                                "GREATER_THAN_EQUAL.",
                                kConstraintSenseNames, 3};
constexpr const char* kProblemSenseNames[] = {"MINIMIZE", "MAXIMIZE"};
const EnumSpec kProblemSense{"ProblemSense",
                             "The optimisation sense of a problem: MINIMIZE or MAXIMIZE.",
                             kProblemSenseNames, 2};

PyTypeObject* constraint_sense_type() { return enum_type(kConstraintSense); }
PyTypeObject* problem_sense_type() { return enum_type(kProblemSense); }

Result<Ref> new_string(const std::string& s) {
  Ref out = Ref::steal(PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size())));
  if (!out) return python_error();
  return out;
}

// ---- forall lists -------------------------------------------------------------------------------

std::optional<ForallItem> read_item(PyObject* object) {
  if (const Expr* e = expr_of(object); e != nullptr && (*e)->kind() == ExprKind::Element) {
    return ForallItem{*e, nullptr};
  }
  if (!PyTuple_Check(object) || PyTuple_GET_SIZE(object) != 2) return std::nullopt;
  const Expr* e = expr_of(PyTuple_GET_ITEM(object, 0));
  if (e == nullptr || (*e)->kind() != ExprKind::Element) return std::nullopt;
  PyObject* condition = PyTuple_GET_ITEM(object, 1);
  if (condition == Py_None) return ForallItem{*e, nullptr};
  const Cond* c = cond_of(condition);
  if (c == nullptr) return std::nullopt;
  return ForallItem{*e, *c};
}

Result<Ref> forall_list(const ForallList& forall) {
  Ref out = Ref::steal(PyList_New(static_cast<Py_ssize_t>(forall.size())));
  if (!out) return python_error();
  for (size_t k = 0; k < forall.size(); ++k) {
    KX_TRY_ASSIGN(element, wrap(forall[k].element));
    Ref condition = Ref::borrow(Py_None);
    if (forall[k].condition) {
      KX_TRY_ASSIGN(c, wrap(forall[k].condition));
      condition = std::move(c);
    }
    PyObject* pair = PyTuple_Pack(2, element.get(), condition.get());
    if (pair == nullptr) return python_error();
    PyList_SET_ITEM(out.get(), static_cast<Py_ssize_t>(k), pair);
  }
  return out;
}

// ---- Constraint ---------------------------------------------------------------------------------

const Constraint& constraint_of(PyObject* self) { return *value_of<ConstraintPtr>(self); }

Result<Ref> constraint_new(PyTypeObject*, const Bound& args) {
  KX_TRY_ASSIGN(name, argument("name", to_string(args[0])));
  KX_TRY_ASSIGN(condition, argument("expression", to_conditional_expr(args[1])));
  KX_TRY_ASSIGN(forall, argument("forall", read_forall(args[2])));
  KX_TRY_ASSIGN(constraint, make_constraint(std::move(name), condition, std::move(forall)));
  return py::wrap<ConstraintPtr>(constraint_type(), std::move(constraint));
}
const Constructor kConstraintNew{
    Signature("Constraint(name, expression, *, forall=None)", "Constraint.__new__()"),
    constraint_new};

Result<Ref> constraint_name(PyObject* self) { return new_string(constraint_of(self).name); }
Result<Ref> constraint_sense(PyObject* self) {
  return enum_member(kConstraintSense, static_cast<int>(constraint_of(self).sense));
}
Result<Ref> constraint_left(PyObject* self) { return wrap(constraint_of(self).left); }
Result<Ref> constraint_right(PyObject* self) { return wrap(constraint_of(self).right); }
Result<Ref> constraint_expression(PyObject* self) {
  const Constraint& c = constraint_of(self);
  KX_TRY_ASSIGN(cond, make_cond(ComparisonOp{comparison_kind(c.sense), c.left, c.right, {}}));
  return wrap(std::move(cond));
}
Result<Ref> constraint_forall(PyObject* self) { return forall_list(constraint_of(self).forall); }

Result<Ref> is_equality(PyObject* self, const Bound&) {
  return Ref::borrow(constraint_of(self).sense == ConstraintSense::Equal ? Py_True : Py_False);
}
Result<Ref> is_inequality(PyObject* self, const Bound&) {
  return Ref::borrow(constraint_of(self).sense != ConstraintSense::Equal ? Py_True : Py_False);
}
const Callable kIsEquality{Signature("is_equality($self)", "Constraint.is_equality()",
                                     "True when the constraint is an equality."),
                           is_equality};
const Callable kIsInequality{Signature("is_inequality($self)", "Constraint.is_inequality()",
                                       "True when the constraint is an inequality."),
                             is_inequality};

PyObject* constraint_repr(PyObject* self) {
  return guard([&]() -> Result<Ref> { return new_string(constraint_text(constraint_of(self))); });
}

// ---- CustomPenaltyTerm --------------------------------------------------------------------------

const CustomPenaltyTerm& term_of(PyObject* self) { return *value_of<PenaltyPtr>(self); }

Result<Ref> term_new(PyTypeObject*, const Bound& args) {
  KX_TRY_ASSIGN(name, argument("name", to_string(args[0])));
  KX_TRY_ASSIGN(expression, argument("expression", to_expression(args[1])));
  KX_TRY_ASSIGN(forall, argument("forall", read_forall(args[2])));
  KX_TRY_ASSIGN(
      term, make_custom_penalty_term(std::move(name), std::move(expression), std::move(forall)));
  return py::wrap<PenaltyPtr>(custom_penalty_term_type(), std::move(term));
}
const Constructor kTermNew{
    Signature("CustomPenaltyTerm(name, expression, *, forall=None)", "CustomPenaltyTerm.__new__()"),
    term_new};

Result<Ref> term_name(PyObject* self) { return new_string(term_of(self).name); }
Result<Ref> term_expression(PyObject* self) { return wrap(term_of(self).expression); }
Result<Ref> term_forall(PyObject* self) { return forall_list(term_of(self).forall); }

PyObject* term_repr(PyObject* self) {
  return guard(
      [&]() -> Result<Ref> { return new_string(custom_penalty_term_text(term_of(self))); });
}

// ---- Problem
// --------------------------------------------------------------------------------------

Problem& problem_of(PyObject* self) { return value_of<Problem>(self); }

Result<Ref> problem_new(PyTypeObject* type, const Bound& args) {
  KX_TRY_ASSIGN(name, argument("name", to_string(args[0])));
  int sense = 0;
  if (args.has(1)) {
    KX_TRY_ASSIGN(s, argument("sense", to_enum(kProblemSense, args[1])));
    sense = s;
  }
  return py::wrap<Problem>(type, make_problem(std::move(name), static_cast<ProblemSense>(sense)));
}
const Constructor kProblemNew{Signature("Problem(name, *, sense=...)", "Problem.__new__()"),
                              problem_new};

Result<Ref> problem_name(PyObject* self) { return new_string(problem_of(self).name); }
Result<Ref> problem_objective(PyObject* self) { return wrap(problem_of(self).objective); }
Result<Ref> problem_sense(PyObject* self) {
  return enum_member(kProblemSense, static_cast<int>(problem_of(self).sense));
}
Result<void> set_problem_sense(PyObject* self, PyObject* value) {
  KX_TRY_ASSIGN(sense, to_enum(kProblemSense, value));
  problem_of(self).sense = static_cast<ProblemSense>(sense);
  return {};
}

template <class Map, class Ptr>
Result<Ref> parts_dict(const Map& map, PyTypeObject* type) {
  Ref out = Ref::steal(PyDict_New());
  if (!out) return python_error();
  for (const auto& [name, part] : map) {
    KX_TRY_ASSIGN(object, py::wrap<Ptr>(type, part));
    KX_TRY_ASSIGN(key, new_string(name));
    if (PyDict_SetItem(out.get(), key.get(), object.get()) < 0) return python_error();
  }
  return out;
}

Result<Ref> problem_constraints(PyObject* self) {
  return parts_dict<decltype(Problem::constraints), ConstraintPtr>(problem_of(self).constraints,
                                                                   constraint_type());
}
Result<Ref> problem_penalties(PyObject* self) {
  return parts_dict<decltype(Problem::custom_penalty_terms), PenaltyPtr>(
      problem_of(self).custom_penalty_terms, custom_penalty_term_type());
}

PyObject* problem_iadd(PyObject* self, PyObject* part) {
  return guard([&]() -> Result<Ref> {
    if (Py_TYPE(self) != problem_type()) return Ref::borrow(Py_NotImplemented);
    Problem& problem = problem_of(self);
    if (auto objective = to_expression(part)) {
      KX_TRY(add_objective(problem, std::move(objective).value()));
    } else if (PyErr_Clear(), Py_TYPE(part) == constraint_type()) {
      KX_TRY(add_constraint(problem, value_of<ConstraintPtr>(part)));
    } else if (Py_TYPE(part) == custom_penalty_term_type()) {
      KX_TRY(add_custom_penalty_term(problem, value_of<PenaltyPtr>(part)));
    } else {
      return type_error("unsupported operand type(s) for +=");
    }
    return Ref::borrow(self);
  });
}

KX_REGISTER_CLASS("Problem", problem_type);
KX_REGISTER_CLASS("ProblemSense", problem_sense_type);
KX_REGISTER_CLASS("Constraint", constraint_type);
KX_REGISTER_CLASS("ConstraintSense", constraint_sense_type);
KX_REGISTER_CLASS("CustomPenaltyTerm", custom_penalty_term_type);

}  // namespace

Result<ForallList> read_forall(PyObject* object) {
  if (object == nullptr || object == Py_None) return ForallList();
  if (auto item = read_item(object)) {
    ForallList list{*item};
    if (forall_is_valid(list)) return list;
  }
  if (!PyUnicode_Check(object) && PySequence_Check(object)) {
    Ref items = Ref::steal(PySequence_Fast(object, ""));
    if (items) {
      ForallList list;
      Py_ssize_t size = PySequence_Fast_GET_SIZE(items.get());
      bool ok = true;
      for (Py_ssize_t k = 0; k < size && ok; ++k) {
        auto item = read_item(PySequence_Fast_GET_ITEM(items.get(), k));
        ok = item.has_value();
        if (ok) list.push_back(*item);
      }
      if (ok && forall_is_valid(list)) return list;
    } else if (!PyErr_ExceptionMatches(PyExc_Exception)) {
      // An interrupt or exit raised while the sequence was read is no malformed forall list.
      return python_error();
    }
    PyErr_Clear();
  }
  return type_error("failed to create a forall list object");
}

PyTypeObject* constraint_type() {
  static PyTypeObject* type =
      wrapper_type<ConstraintPtr>(
          "Constraint",
          "A constraint: an equality or non-strict inequality that must hold, once or for every "
          "combination of the elements of its forall list.\n\n"
          "    Constraint(\"one\", sum(i, x[i, j]) == 1, forall=j)",
          &kConstraintNew.sig)
          .slot(Py_tp_new, reinterpret_cast<void*>(constructor<kConstraintNew>))
          .slot(Py_tp_repr, reinterpret_cast<void*>(constraint_repr))
          .slot(Py_tp_str, reinterpret_cast<void*>(constraint_repr))
          .property("name", property_getter<constraint_name>)
          .property("sense", property_getter<constraint_sense>)
          .property("left", property_getter<constraint_left>)
          .property("right", property_getter<constraint_right>)
          .property("expression", property_getter<constraint_expression>)
          .property("forall", property_getter<constraint_forall>)
          .method(method_def<kIsEquality>())
          .method(method_def<kIsInequality>())
          .build();
  return type;
}

PyTypeObject* custom_penalty_term_type() {
  static PyTypeObject* type =
      wrapper_type<PenaltyPtr>(
          "CustomPenaltyTerm",
          "An expression with a decision variable that a solver adds to its penalty, once or for "
          "every combination of the elements of its forall list.\n\n"
          "    CustomPenaltyTerm(\"one hot\", (sum(i, x[i]) - 1) ** 2)",
          &kTermNew.sig)
          .slot(Py_tp_new, reinterpret_cast<void*>(constructor<kTermNew>))
          .slot(Py_tp_repr, reinterpret_cast<void*>(term_repr))
          .slot(Py_tp_str, reinterpret_cast<void*>(term_repr))
          .property("name", property_getter<term_name>)
          .property("expression", property_getter<term_expression>)
          .property("forall", property_getter<term_forall>)
          .build();
  return type;
}

PyTypeObject* problem_type() {
  static PyTypeObject* type =
      wrapper_type<Problem>(
          "Problem",
          "An optimisation problem: a name, a sense, one objective, named constraints and named "
          "custom penalty terms, filled with `+=`.\n\n"
          "Attributes: name, sense (settable), objective, constraints, custom_penalty_terms.",
          &kProblemNew.sig)
          .slot(Py_tp_new, reinterpret_cast<void*>(constructor<kProblemNew>))
          .slot(Py_nb_inplace_add, reinterpret_cast<void*>(problem_iadd))
          .property("name", property_getter<problem_name>)
          .property("sense", property_getter<problem_sense>, property_setter<set_problem_sense>)
          .property("objective", property_getter<problem_objective>)
          .property("constraints", property_getter<problem_constraints>)
          .property("custom_penalty_terms", property_getter<problem_penalties>)
          .build();
  return type;
}

std::optional<bool> model_is_same(PyObject* src, PyObject* dst) {
  if (Py_TYPE(src) != Py_TYPE(dst)) return std::nullopt;
  if (Py_TYPE(src) == problem_type()) return equal(problem_of(src), problem_of(dst));
  if (Py_TYPE(src) == constraint_type()) return equal(constraint_of(src), constraint_of(dst));
  if (Py_TYPE(src) == custom_penalty_term_type()) return equal(term_of(src), term_of(dst));
  return std::nullopt;
}

}  // namespace korvex::py
