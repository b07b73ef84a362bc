// Subscripts and slices ([...]), DummyIndexedVar, and the module functions that build nodes:
// abs, ceil, floor, log2, log10, ln, min, max, sum and prod.
#include "korvex/core/expression/arithmetic.hpp"
#include "korvex/core/expression/operand.hpp"
#include "korvex/core/print/printer.hpp"
#include "korvex/python/expression/convert.hpp"

namespace korvex::py {
namespace {

// ---- subscripts ---------------------------------------------------------------------------------

Error wrapped_modeling(PyObject* type, const Error& error) {
  if (error.kind != ErrorKind::Modeling) return error;
  return set_error(type, "ModelingError: " + error.message);
}

Result<std::vector<Expr>> subscript_list(PyObject* index) {
  if (auto one = to_expression(index)) return std::vector<Expr>{std::move(one).value()};
  PyErr_Clear();
  return to_expression_list(index);
}

// [...] on placeholders, elements and subscripts: rule failures are reported wrapped.
PyObject* array_subscript(PyObject* self, PyObject* index) {
  return guard([&]() -> Result<Ref> {
    const Expr& variable = value_of<Expr>(self);
    if (ndim_of(*variable) == 0) {
      return set_error(PyExc_TypeError, "ModelingError: " + not_subscriptable_message(variable));
    }
    KX_TRY_ASSIGN(subscripts, subscript_list(index));
    KX_TRY(check_subscript_list(subscripts));
    auto result = make_subscript(variable, std::move(subscripts));
    if (!result) return wrapped_modeling(PyExc_IndexError, result.error());
    return wrap(std::move(result).value());
  });
}

// One position of a decision variable's index: an expression, or a slice (kept as the object).
struct Position {
  Expr expr;
  PyObject* slice = nullptr;
};

// The four index forms of a decision variable, tried in order; nullopt when none applies.
std::optional<std::vector<Position>> variable_positions(PyObject* index, Ref& keep) {
  if (auto one = to_expression(index)) return std::vector<Position>{{std::move(one).value()}};
  PyErr_Clear();
  if (PySlice_Check(index)) return std::vector<Position>{{nullptr, index}};
  if (PyUnicode_Check(index) || !PySequence_Check(index)) return std::nullopt;
  keep = Ref::steal(PySequence_Fast(index, "expected a sequence"));
  if (!keep) {
    PyErr_Clear();
    return std::nullopt;
  }
  std::vector<Position> positions;
  Py_ssize_t size = PySequence_Fast_GET_SIZE(keep.get());
  PyObject** items = PySequence_Fast_ITEMS(keep.get());
  for (Py_ssize_t k = 0; k < size; ++k) {
    if (PySlice_Check(items[k])) {
      positions.push_back({nullptr, items[k]});
    } else if (auto e = to_expression(items[k])) {
      positions.push_back({std::move(e).value()});
    } else {
      PyErr_Clear();
      return std::nullopt;
    }
  }
  return positions;
}

Result<Ref> sliced_variable(const Expr& variable, std::vector<Position> positions) {
  const auto& var = variable->as<DecisionVar>();
  DummyIndexed dummy{variable, {}, {}};
  for (size_t axis = 0; axis < positions.size(); ++axis) {
    Position& p = positions[axis];
    if (!p.slice) {
      dummy.subscripts.push_back(std::move(p.expr));
      continue;
    }
    Ref start = Ref::steal(PyObject_GetAttrString(p.slice, "start"));
    Ref stop = Ref::steal(PyObject_GetAttrString(p.slice, "stop"));
    Ref step = Ref::steal(PyObject_GetAttrString(p.slice, "step"));
    if (!start || !stop || !step) return python_error();
    if (step.get() != Py_None) {
      KX_TRY_ASSIGN(step_expr, to_expression(step.get()));
      return modeling_error("The " + std::to_string(axis) + "-th subscript of the " +
                            std::string(var_kind_text(var.kind)) + "Var named '" + var.name +
                            "' uses a slice with a step `" + print(step_expr, Form::Str) +
                            "`. However, the slice with a step is not supported.");
    }
    Expr first = int_expr(0);
    if (start.get() != Py_None) {
      KX_TRY_ASSIGN(converted, to_expression(start.get()));
      first = std::move(converted);
    }
    Expr last;
    if (stop.get() != Py_None) {
      KX_TRY_ASSIGN(converted, to_expression(stop.get()));
      last = std::move(converted);
    } else if (axis < var.shape.size()) {
      last = var.shape[axis];
    } else {
      // No shape expression to end an open slice beyond the variable's axes.
      return modeling_error("the number of subscripts (= " + std::to_string(positions.size()) +
                            ") is greater than the dimensionality of the variable `" + var.name +
                            "` (= " + std::to_string(var.shape.size()) + ")");
    }
    KX_TRY_ASSIGN(range, make_range(std::move(first), std::move(last)));
    std::string a = std::to_string(axis);
    KX_TRY_ASSIGN(element,
                  make_element("__dummy_" + var.name + "_" + a, BelongTo(std::move(range)),
                               "\\ast_{" + a + "}", "dummy index at " + a + " for " + var.name));
    dummy.subscripts.push_back(element);
    dummy.dummy_indices.push_back(std::move(element));
  }
  KX_TRY(check_subscript_list(dummy.subscripts));
  return py::wrap<DummyIndexed>(dummy_indexed_var_type(), std::move(dummy));
}

PyObject* variable_subscript(PyObject* self, PyObject* index) {
  return guard([&]() -> Result<Ref> {
    const Expr& variable = value_of<Expr>(self);
    Ref keep;
    std::optional<std::vector<Position>> positions = variable_positions(index, keep);
    if (!positions) {
      Ref text = Ref::steal(PyObject_Repr(index));
      if (!text) return python_error();
      const char* repr = PyUnicode_AsUTF8(text.get());
      if (repr == nullptr) return python_error();
      return index_error(std::string("Invalid index: ") + repr);
    }
    bool sliced = false;
    for (const Position& p : *positions) sliced = sliced || p.slice != nullptr;
    if (sliced) return sliced_variable(variable, std::move(*positions));
    if (ndim_of(*variable) == 0) return modeling_error(not_subscriptable_message(variable));
    std::vector<Expr> subscripts;
    for (Position& p : *positions) subscripts.push_back(std::move(p.expr));
    KX_TRY(check_subscript_list(subscripts));
    KX_TRY_ASSIGN(result, make_subscript(variable, std::move(subscripts)));
    return wrap(std::move(result));
  });
}

// ---- reductions
// -----------------------------------------------------------------------------------

struct IndexItem {
  Expr element;
  Cond condition;
};

Result<Expr> nest(ReductionKind kind, const std::vector<IndexItem>& items, Expr operand) {
  if (items.empty()) return value_error("the index of a reduction must name at least one element");
  for (size_t k = items.size(); k-- > 0;) {
    KX_TRY_ASSIGN(level, reduction(kind, items[k].element, items[k].condition, operand));
    operand = std::move(level);
  }
  return operand;
}

// "{Class}: {message}" of the pending exception, clearing it.
std::string pending_text() {
  Ref e = fetch_exception();
  return e ? describe_exception_chain(e.get()) : std::string("TypeError: unknown error");
}

std::string error_text(const Error& error) {
  if (error.kind == ErrorKind::PythonSet) return pending_text();
  raise(error);
  return pending_text();
}

std::string field_error(const std::string& field, const std::string& cause) {
  return "TypeError: failed to extract field " + field + ".0, caused by " + cause;
}

const Expr* element_of(PyObject* object) {
  const Expr* e = expr_of(object);
  return e != nullptr && (*e)->kind() == ExprKind::Element ? e : nullptr;
}

// An index item: an Element, or an (Element, condition) tuple; on failure, the error text of
// the IndexItem enum.
Result<IndexItem> index_item(PyObject* object, std::string* why) {
  if (const Expr* e = element_of(object)) return IndexItem{*e, nullptr};
  std::string element_error =
      field_error("IndexItem::Element",
                  "TypeError: '" + type_name(object) + "' object cannot be converted to 'Element'");
  std::string pair_error;
  if (!PyTuple_Check(object)) {
    pair_error = "TypeError: '" + type_name(object) + "' object cannot be converted to 'PyTuple'";
  } else if (PyTuple_GET_SIZE(object) != 2) {
    pair_error = "TypeError: expected tuple of length 2, but got tuple of length " +
                 std::to_string(PyTuple_GET_SIZE(object));
  } else if (const Expr* e = element_of(PyTuple_GET_ITEM(object, 0))) {
    auto condition = to_conditional_expr(PyTuple_GET_ITEM(object, 1));
    if (condition) return IndexItem{*e, std::move(condition).value()};
    pair_error = error_text(condition.error());
  } else {
    pair_error = "TypeError: '" + type_name(PyTuple_GET_ITEM(object, 0)) +
                 "' object cannot be converted to 'Element'";
  }
  *why =
      "TypeError: failed to extract enum IndexItem ('Element | ConditionalElement')\n"
      "- variant Element (Element): " +
      element_error + "\n- variant ConditionalElement (ConditionalElement): " +
      field_error("IndexItem::ConditionalElement", pair_error);
  return type_error("index item");
}

Result<std::vector<IndexItem>> read_index(PyObject* index) {
  std::string single_error;
  if (auto item = index_item(index, &single_error)) return std::vector<IndexItem>{*item};
  std::string sequence_error;
  Ref keep;
  auto items = sequence_items(index, keep);
  if (items) {
    std::vector<IndexItem> out;
    for (PyObject* object : *items) {
      std::string why;
      auto item = index_item(object, &why);
      if (!item) {
        sequence_error = why;
        break;
      }
      out.push_back(std::move(item).value());
    }
    if (sequence_error.empty()) return out;
  } else {
    sequence_error = error_text(items.error());
  }
  return type_error(
      "failed to extract enum Index ('Single | Sequence')\n- variant Single "
      "(Single): " +
      field_error("Index::Single", single_error) +
      "\n- variant Sequence (Sequence): " + field_error("Index::Sequence", sequence_error));
}

template <ReductionKind K>
Result<Ref> reduction_body(PyObject*, const Bound& args) {
  KX_TRY_ASSIGN(items, argument("index", read_index(args[0])));
  KX_TRY_ASSIGN(operand, argument("operand", to_expression(args[1])));
  KX_TRY_ASSIGN(result, nest(K, items, std::move(operand)));
  return wrap(std::move(result));
}

const Callable kSum{Signature("sum(index, operand)", "sum()",
                              "A SumOp of `operand` over `index`: an Element, an (Element, "
                              "condition) tuple, or a sequence of them, the first outermost.\n\n"
                              "    sum(i, a[i])\n    sum([i, (j, j != i)], x[i, j])"),
                    reduction_body<ReductionKind::Sum>};
const Callable kProd{Signature("prod(index, operand)", "prod()",
                               "A ProdOp of `operand` over `index`: an Element, an (Element, "
                               "condition) tuple, or a sequence of them, the first outermost.\n\n"
                               "    prod(i, a[i])"),
                     reduction_body<ReductionKind::Prod>};
KX_REGISTER_FUNCTION(kSum);
KX_REGISTER_FUNCTION(kProd);

template <ReductionKind K>
Result<Ref> dummy_reduce(PyObject* self, const Bound&) {
  const DummyIndexed& dummy = value_of<DummyIndexed>(self);
  if (ndim_of(*dummy.variable) == 0)
    return modeling_error(not_subscriptable_message(dummy.variable));
  KX_TRY_ASSIGN(subscript, make_subscript(dummy.variable, dummy.subscripts));
  KX_TRY_ASSIGN(operand, as_scalar(subscript));
  std::vector<IndexItem> items;
  for (const Expr& e : dummy.dummy_indices) items.push_back({e, nullptr});
  KX_TRY_ASSIGN(result, nest(K, items, std::move(operand)));
  return wrap(std::move(result));
}

const Callable kDummySum{
    Signature("sum($self)", "DummyIndexedVar.sum()", "The SumOp over the sliced positions."),
    dummy_reduce<ReductionKind::Sum>};
const Callable kDummyProd{
    Signature("prod($self)", "DummyIndexedVar.prod()", "The ProdOp over the sliced positions."),
    dummy_reduce<ReductionKind::Prod>};

// ---- unary functions and min/max ----------------------------------------------------------------

template <UnaryKind K>
Result<Ref> unary_body(PyObject*, const Bound& args) {
  KX_TRY_ASSIGN(operand, argument("operand", to_expression(args[0])));
  KX_TRY_ASSIGN(result, unary(K, operand));
  return wrap(std::move(result));
}

#define KX_UNARY(var, name, Kind, Class)                                                     \
  const Callable var{Signature(name "(operand)", name "()",                                  \
                               "A " Class " of `operand`. An operand containing a decision " \
                               "variable raises ModelingError."),                            \
                     unary_body<UnaryKind::Kind>};                                           \
  KX_REGISTER_FUNCTION(var)

KX_UNARY(kAbs, "abs", Abs, "AbsOp");
KX_UNARY(kCeil, "ceil", Ceil, "CeilOp");
KX_UNARY(kFloor, "floor", Floor, "FloorOp");
KX_UNARY(kLog2, "log2", Log2, "Log2Op");
KX_UNARY(kLog10, "log10", Log10, "Log10Op");
KX_UNARY(kLn, "ln", Ln, "LnOp (natural logarithm)");

template <CommutativeKind K>
Result<Ref> min_max_body(PyObject*, const Bound& args) {
  std::vector<Expr> terms;
  terms.reserve(static_cast<size_t>(args.varargs_count()));
  for (Py_ssize_t k = 0; k < args.varargs_count(); ++k) {
    KX_TRY_ASSIGN(term, argument("operands", to_expression(args.varargs()[k])));
    terms.push_back(std::move(term));
  }
  KX_TRY_ASSIGN(result, min_max(K, std::move(terms)));
  return wrap(std::move(result));
}

const Callable kMin{Signature("min(*operands)", "min()",
                              "A MinOp of the operands, in call order. An operand containing a "
                              "decision variable raises ModelingError."),
                    min_max_body<CommutativeKind::Min>};
const Callable kMax{Signature("max(*operands)", "max()",
                              "A MaxOp of the operands, in call order. An operand containing a "
                              "decision variable raises ModelingError."),
                    min_max_body<CommutativeKind::Max>};
KX_REGISTER_FUNCTION(kMin);
KX_REGISTER_FUNCTION(kMax);

}  // namespace

void add_subscript_slot(TypeBuilder& builder, ExprClass c) {
  bool variable = c >= ExprClass::BinaryVar && c <= ExprClass::SemiContinuousVar;
  builder.slot(Py_mp_subscript,
               reinterpret_cast<void*>(variable ? variable_subscript : array_subscript));
}

PyTypeObject* dummy_indexed_var_type() {
  static PyTypeObject* type =
      wrapper_type<DummyIndexed>("DummyIndexedVar",
                                 "A decision variable sliced with `:`; reduce it with sum() or "
                                 "prod().")
          .method(method_def<kDummySum>())
          .method(method_def<kDummyProd>())
          .build();
  return type;
}
KX_REGISTER_CLASS("DummyIndexedVar", dummy_indexed_var_type);

}  // namespace korvex::py
