// The operand classes: NumberLit, DataType, Placeholder, Range, Element, the five decision
// variable classes, Subscript and ArrayLength.
#include "korvex/core/expression/operand.hpp"
#include "korvex/core/print/printer.hpp"
#include "korvex/python/expression/convert.hpp"
#include "korvex/python/host/enum.hpp"

namespace korvex::py {
namespace {

// ---- shared getters -------------------------------------------------------------------------

const Expr& self_expr(PyObject* self) { return value_of<Expr>(self); }

Result<Ref> new_string(const std::string& s) {
  Ref out = Ref::steal(PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size())));
  if (!out) return python_error();
  return out;
}

Result<Ref> optional_string(const OptString& s) {
  if (!s) return Ref::borrow(Py_None);
  return new_string(*s);
}

Result<Ref> get_name(PyObject* self) {
  const Expr& e = self_expr(self);
  switch (e->kind()) {
    case ExprKind::Placeholder:
      return new_string(e->as<Placeholder>().name);
    case ExprKind::Element:
      return new_string(e->as<Element>().name);
    case ExprKind::DecisionVar:
      return new_string(e->as<DecisionVar>().name);
    case ExprKind::NumberLit:
    case ExprKind::Subscript:
    case ExprKind::ArrayLength:
    case ExprKind::UnaryOp:
    case ExprKind::BinaryOp:
    case ExprKind::CommutativeOp:
    case ExprKind::ReductionOp:
      break;
  }
  return Ref::borrow(Py_None);
}

Result<Ref> get_ndim(PyObject* self) {
  return Ref::steal(PyLong_FromUnsignedLongLong(ndim_of(*self_expr(self))));
}

Result<Ref> get_description(PyObject* self) {
  const Expr& e = self_expr(self);
  switch (e->kind()) {
    case ExprKind::Placeholder:
      return optional_string(e->as<Placeholder>().description);
    case ExprKind::Element:
      return optional_string(e->as<Element>().description);
    case ExprKind::ArrayLength:
      return optional_string(e->as<ArrayLength>().description);
    // Decision variables report a missing description as the empty string.
    case ExprKind::DecisionVar:
      return new_string(e->as<DecisionVar>().description.value_or(std::string()));
    case ExprKind::NumberLit:
    case ExprKind::Subscript:
    case ExprKind::UnaryOp:
    case ExprKind::BinaryOp:
    case ExprKind::CommutativeOp:
    case ExprKind::ReductionOp:
      break;
  }
  return Ref::borrow(Py_None);
}

Result<Ref> get_shape(PyObject* self) {
  KX_TRY_ASSIGN(shape, shape_of(self_expr(self)));
  return wrap_tuple(shape);
}

Result<Ref> len_at_body(PyObject* self, const Bound& args) {
  KX_TRY_ASSIGN(axis, argument("axis", to_u64(args[0])));
  KX_TRY_ASSIGN(latex, argument("latex", to_optional_string(args[1])));
  KX_TRY_ASSIGN(description, argument("description", to_optional_string(args[2])));
  const Expr& e = self_expr(self);
  if (e->kind() == ExprKind::Subscript && ndim_of(*e) == 0 &&
      e->as<Subscript>().variable->kind() != ExprKind::DecisionVar) {
    return modeling_error("Can't get length of a scalar");
  }
  KX_TRY_ASSIGN(length, make_array_length(e, axis, std::move(latex), std::move(description)));
  return wrap(std::move(length));
}

#define KX_LEN_AT(owner)                                                                  \
  const Callable k##owner##LenAt {                                                        \
    Signature("len_at($self, axis, *, latex=None, description=None)", #owner ".len_at()", \
              "The length of axis `axis` of this array, as an ArrayLength."),             \
        len_at_body                                                                       \
  }

KX_LEN_AT(Placeholder);
KX_LEN_AT(Element);
KX_LEN_AT(Subscript);

// ---- NumberLit ------------------------------------------------------------------------------

// Builds "failed to extract field {owner}.0" caused by the pending exception.
std::string failed_field(const char* owner) {
  Ref cause = fetch_exception();
  std::string message = std::string("failed to extract field ") + owner + ".0";
  Ref text = Ref::steal(PyUnicode_FromString(message.c_str()));
  Ref outer = text ? Ref::steal(PyObject_CallOneArg(PyExc_TypeError, text.get())) : Ref();
  if (!outer) {
    PyErr_Clear();
    return "TypeError: " + message;
  }
  if (cause) PyException_SetCause(outer.get(), cause.release());
  return describe_exception_chain(outer.get());
}

Result<Number> to_numeric_value(PyObject* value) {
  Ref index = Ref::steal(PyNumber_Index(value));
  if (index) {
    long long v = PyLong_AsLongLong(index.get());
    if (!(v == -1 && PyErr_Occurred())) return Number::of_int(v);
  }
  std::string integer_error = failed_field("NumericValue::Integer");
  double d = PyFloat_AsDouble(value);
  if (!(d == -1.0 && PyErr_Occurred())) return Number::of_float(d);
  std::string float_error = failed_field("NumericValue::Float");
  return type_error(
      "failed to extract enum NumericValue ('Integer | Float')\n- variant Integer "
      "(Integer): " +
      integer_error + "\n- variant Float (Float): " + float_error);
}

Result<Ref> number_lit_new(PyTypeObject*, const Bound& args) {
  KX_TRY_ASSIGN(value, argument("value", to_numeric_value(args[0])));
  return wrap(number_expr(value));
}
const Constructor kNumberLitNew{Signature("NumberLit(value)", "NumberLit.__new__()"),
                                number_lit_new};

Result<Ref> data_type_object(bool integer);

Result<Ref> get_value(PyObject* self) {
  const Number& n = self_expr(self)->as<NumberLit>().value;
  if (n.is_integer()) return Ref::steal(PyLong_FromLongLong(n.integer));
  return Ref::steal(PyFloat_FromDouble(n.real));
}

Result<Ref> get_dtype(PyObject* self) {
  return data_type_object(self_expr(self)->as<NumberLit>().value.is_integer());
}

// ---- DataType -------------------------------------------------------------------------------

constexpr const char* kDataTypeNames[] = {"FLOAT", "INTEGER"};
const EnumSpec kDataType{"DataType", "The type of a number literal: FLOAT or INTEGER.",
                         kDataTypeNames, 2};

PyTypeObject* data_type_type() { return enum_type(kDataType); }

Result<Ref> data_type_object(bool integer) { return enum_member(kDataType, integer ? 1 : 0); }

// ---- Placeholder ----------------------------------------------------------------------------

Result<Ref> placeholder_new(PyTypeObject*, const Bound& args) {
  KX_TRY_ASSIGN(name, argument("name", to_string(args[0])));
  uint64_t ndim = 0;
  if (args.has(1)) {
    KX_TRY_ASSIGN(n, argument("ndim", to_u64(args[1])));
    ndim = n;
  }
  KX_TRY_ASSIGN(latex, argument("latex", to_optional_string(args[2])));
  KX_TRY_ASSIGN(description, argument("description", to_optional_string(args[3])));
  return wrap(make_placeholder(std::move(name), ndim, std::move(latex), std::move(description)));
}
const Constructor kPlaceholderNew{
    Signature("Placeholder(name, *, ndim=0, latex=None, description=None)",
              "Placeholder.__new__()"),
    placeholder_new};

// ---- Range ----------------------------------------------------------------------------------

PyObject* range_repr(PyObject* self) {
  return guard(
      [&]() -> Result<Ref> { return new_string(print_range(value_of<Range>(self), Form::Repr)); });
}
PyObject* range_str(PyObject* self) {
  return guard(
      [&]() -> Result<Ref> { return new_string(print_range(value_of<Range>(self), Form::Str)); });
}
Result<Ref> get_start(PyObject* self) { return wrap(value_of<Range>(self).start); }
Result<Ref> get_end(PyObject* self) { return wrap(value_of<Range>(self).end); }

KX_REGISTER_CLASS("DataType", data_type_type);
KX_REGISTER_CLASS("Range", range_type);

// ---- Element --------------------------------------------------------------------------------

Result<BelongTo> to_belong_to(PyObject* object) {
  if (PyLong_Check(object) || PyIndex_Check(object)) {
    Ref index = Ref::steal(PyNumber_Index(object));
    if (index) {
      int overflow = 0;
      long long v = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
      if (overflow == 0 && !(v == -1 && PyErr_Occurred())) {
        KX_TRY_ASSIGN(range, make_range(int_expr(0), int_expr(v)));
        return BelongTo(std::move(range));
      }
    }
    PyErr_Clear();
  }
  if (PyTuple_Check(object) && PyTuple_GET_SIZE(object) == 2) {
    auto start = to_expression(PyTuple_GET_ITEM(object, 0));
    auto end = start ? to_expression(PyTuple_GET_ITEM(object, 1)) : Result<Expr>(start.error());
    if (start && end) {
      KX_TRY_ASSIGN(range, make_range(std::move(start).value(), std::move(end).value()));
      return BelongTo(std::move(range));
    }
    PyErr_Clear();
  }
  if (auto end = to_expression(object)) {
    KX_TRY_ASSIGN(range, make_range(int_expr(0), std::move(end).value()));
    return BelongTo(std::move(range));
  }
  PyErr_Clear();
  if (const Expr* array = expr_of(object)) {
    switch ((*array)->kind()) {
      case ExprKind::Placeholder:
      case ExprKind::Element:
      case ExprKind::Subscript:
        return BelongTo(*array);  // ndim >= 1: scalars took step 3
      case ExprKind::NumberLit:
      case ExprKind::DecisionVar:
      case ExprKind::ArrayLength:
      case ExprKind::UnaryOp:
      case ExprKind::BinaryOp:
      case ExprKind::CommutativeOp:
      case ExprKind::ReductionOp:
        break;
    }
  }
  return type_error("failed to convert into a set");
}

Result<Ref> element_new(PyTypeObject*, const Bound& args) {
  KX_TRY_ASSIGN(name, argument("name", to_string(args[0])));
  KX_TRY_ASSIGN(belong_to, to_belong_to(args[1]));
  KX_TRY_ASSIGN(latex, argument("latex", to_optional_string(args[2])));
  KX_TRY_ASSIGN(description, argument("description", to_optional_string(args[3])));
  KX_TRY_ASSIGN(element, make_element(std::move(name), std::move(belong_to), std::move(latex),
                                      std::move(description)));
  return wrap(std::move(element));
}
const Constructor kElementNew{
    Signature("Element(name, belong_to, *, latex=None, description=None)", "Element.__new__()"),
    element_new};

Result<Ref> get_belong_to(PyObject* self) {
  const BelongTo& set = self_expr(self)->as<Element>().belong_to;
  if (const Range* range = std::get_if<Range>(&set)) return wrap<Range>(range_type(), *range);
  return wrap(std::get<Expr>(set));
}

// ---- decision variables ---------------------------------------------------------------------

Result<korvex::Bound> to_bound(PyObject* object) {
  if (auto expr = to_expression(object))
    return korvex::Bound{korvex::Bound::Kind::Expression, *expr};
  PyErr_Clear();
  if (const Expr* array = expr_of(object)) {
    const Expr& e = *array;
    if (e->kind() == ExprKind::Placeholder && ndim_of(*e) >= 1) {
      return korvex::Bound{korvex::Bound::Kind::Placeholder, e};
    }
    if (e->kind() == ExprKind::Subscript && ndim_of(*e) >= 1) {
      if (e->as<Subscript>().variable->kind() == ExprKind::Placeholder) {
        return korvex::Bound{korvex::Bound::Kind::Subscript, e};
      }
      return modeling_error(
          "only a subscripted placeholder can be used as the bound of a decision variable");
    }
  }
  return modeling_error("the input object is not used as the bound of a decision variable");
}

Result<std::vector<Expr>> to_shape(PyObject* object) {
  if (object == nullptr || object == Py_None) return std::vector<Expr>();
  return argument("shape", to_expression_list(object));
}

template <VarKind K>
Result<Ref> decision_var_new(PyTypeObject*, const Bound& args) {
  KX_TRY_ASSIGN(name, argument("name", to_string(args[0])));
  KX_TRY_ASSIGN(shape, to_shape(args[1]));
  int next = 2;
  korvex::Bound lower, upper;
  if constexpr (K != VarKind::Binary) {
    KX_TRY_ASSIGN(l, to_bound(args[2]));
    KX_TRY_ASSIGN(u, to_bound(args[3]));
    lower = std::move(l);
    upper = std::move(u);
    next = 4;
  }
  KX_TRY_ASSIGN(latex, argument("latex", to_optional_string(args[next])));
  KX_TRY_ASSIGN(description, argument("description", to_optional_string(args[next + 1])));
  KX_TRY_ASSIGN(var, make_decision_var(K, std::move(name), std::move(shape), std::move(lower),
                                       std::move(upper), std::move(latex), std::move(description)));
  return wrap(std::move(var));
}

#define KX_VAR_NEW(Class, Kind)                                              \
  const Constructor k##Class##New {                                          \
    Signature(#Class                                                         \
              "(name, *, shape=None, lower_bound, upper_bound, latex=None, " \
              "description=None)",                                           \
              #Class ".__new__()"),                                          \
        decision_var_new<VarKind::Kind>                                      \
  }
const Constructor kBinaryVarNew{
    Signature("BinaryVar(name, *, shape=None, latex=None, description=None)",
              "BinaryVar.__new__()"),
    decision_var_new<VarKind::Binary>};
KX_VAR_NEW(IntegerVar, Integer);
KX_VAR_NEW(ContinuousVar, Continuous);
KX_VAR_NEW(SemiIntegerVar, SemiInteger);
KX_VAR_NEW(SemiContinuousVar, SemiContinuous);

Result<Ref> bound_object(const korvex::Bound& b) { return wrap(b.value); }
Result<Ref> get_lower_bound(PyObject* self) {
  return bound_object(self_expr(self)->as<DecisionVar>().lower);
}
Result<Ref> get_upper_bound(PyObject* self) {
  return bound_object(self_expr(self)->as<DecisionVar>().upper);
}

// ---- Subscript ------------------------------------------------------------------------------

Result<Ref> get_variable(PyObject* self) { return wrap(self_expr(self)->as<Subscript>().variable); }
Result<Ref> get_subscripts(PyObject* self) {
  return wrap_list(self_expr(self)->as<Subscript>().subscripts);
}

// ---- ArrayLength ----------------------------------------------------------------------------

Result<Ref> array_length_new(PyTypeObject*, const Bound& args) {
  const Expr* array = expr_of(args[0]);
  if (array == nullptr || !check_array_length_target(*array)) {
    return decorate_argument("array", type_error("unsupported type"));
  }
  KX_TRY_ASSIGN(axis, argument("axis", to_u64(args[1])));
  KX_TRY_ASSIGN(latex, argument("latex", to_optional_string(args[2])));
  KX_TRY_ASSIGN(description, argument("description", to_optional_string(args[3])));
  KX_TRY_ASSIGN(length, make_array_length(*array, axis, std::move(latex), std::move(description)));
  return wrap(std::move(length));
}
const Constructor kArrayLengthNew{
    Signature("ArrayLength(array, axis, *, latex=None, description=None)", "ArrayLength.__new__()"),
    array_length_new};

Result<Ref> get_array(PyObject* self) { return wrap(self_expr(self)->as<ArrayLength>().array); }
Result<Ref> get_axis(PyObject* self) {
  return Ref::steal(PyLong_FromUnsignedLongLong(self_expr(self)->as<ArrayLength>().axis));
}

void add_new(TypeBuilder& builder, PyObject* (*tp_new)(PyTypeObject*, PyObject*, PyObject*)) {
  builder.slot(Py_tp_new, reinterpret_cast<void*>(tp_new));
}

}  // namespace

PyTypeObject* range_type() {
  static PyTypeObject* type =
      wrapper_type<Range>("Range", "The half-open range [start, end) an element runs over.")
          .slot(Py_tp_repr, reinterpret_cast<void*>(range_repr))
          .slot(Py_tp_str, reinterpret_cast<void*>(range_str))
          .property("start", property_getter<get_start>)
          .property("end", property_getter<get_end>)
          .build();
  return type;
}
PyTypeObject* build_operand_type(ExprClass c) {
  switch (c) {
    case ExprClass::NumberLit: {
      TypeBuilder b = expression_type_builder(c, "A constant number.", &kNumberLitNew.sig);
      add_new(b, constructor<kNumberLitNew>);
      b.property("value", property_getter<get_value>);
      b.property("dtype", property_getter<get_dtype>);
      return b.build();
    }
    case ExprClass::Placeholder: {
      TypeBuilder b = expression_type_builder(
          c, "A named symbol for instance data supplied when the problem is solved.",
          &kPlaceholderNew.sig);
      add_new(b, constructor<kPlaceholderNew>);
      b.property("name", property_getter<get_name>);
      b.property("ndim", property_getter<get_ndim>);
      b.property("description", property_getter<get_description>);
      b.property("shape", property_getter<get_shape>);
      b.method(method_def<kPlaceholderLenAt>());
      add_subscript_slot(b, c);
      return b.build();
    }
    case ExprClass::Element: {
      TypeBuilder b =
          expression_type_builder(c, "A named index that runs over a set.", &kElementNew.sig);
      add_new(b, constructor<kElementNew>);
      b.property("name", property_getter<get_name>);
      b.property("ndim", property_getter<get_ndim>);
      b.property("belong_to", property_getter<get_belong_to>);
      b.property("description", property_getter<get_description>);
      b.property("shape", property_getter<get_shape>);
      b.method(method_def<kElementLenAt>());
      add_subscript_slot(b, c);
      return b.build();
    }
    case ExprClass::BinaryVar:
    case ExprClass::IntegerVar:
    case ExprClass::ContinuousVar:
    case ExprClass::SemiIntegerVar:
    case ExprClass::SemiContinuousVar: {
      const Constructor* ctor[] = {&kBinaryVarNew, &kIntegerVarNew, &kContinuousVarNew,
                                   &kSemiIntegerVarNew, &kSemiContinuousVarNew};
      PyObject* (*news[])(PyTypeObject*, PyObject*, PyObject*) = {
          constructor<kBinaryVarNew>, constructor<kIntegerVarNew>, constructor<kContinuousVarNew>,
          constructor<kSemiIntegerVarNew>, constructor<kSemiContinuousVarNew>};
      size_t i = static_cast<size_t>(c) - static_cast<size_t>(ExprClass::BinaryVar);
      TypeBuilder b =
          expression_type_builder(c, "A decision variable, chosen by the solver.", &ctor[i]->sig);
      add_new(b, news[i]);
      b.property("name", property_getter<get_name>);
      b.property("ndim", property_getter<get_ndim>);
      b.property("shape", property_getter<get_shape>);
      b.property("description", property_getter<get_description>);
      if (c != ExprClass::BinaryVar) {
        b.property("lower_bound", property_getter<get_lower_bound>);
        b.property("upper_bound", property_getter<get_upper_bound>);
      }
      add_subscript_slot(b, c);
      return b.build();
    }
    case ExprClass::Subscript: {
      TypeBuilder b = expression_type_builder(c, "A subscripted array such as a[i].", nullptr);
      b.property("variable", property_getter<get_variable>);
      b.property("subscripts", property_getter<get_subscripts>);
      b.property("ndim", property_getter<get_ndim>);
      b.property("shape", property_getter<get_shape>);
      b.method(method_def<kSubscriptLenAt>());
      add_subscript_slot(b, c);
      return b.build();
    }
    case ExprClass::ArrayLength: {
      TypeBuilder b =
          expression_type_builder(c, "The length of one axis of an array.", &kArrayLengthNew.sig);
      add_new(b, constructor<kArrayLengthNew>);
      b.property("array", property_getter<get_array>);
      b.property("axis", property_getter<get_axis>);
      b.property("description", property_getter<get_description>);
      return b.build();
    }
    case ExprClass::AbsOp:
    case ExprClass::CeilOp:
    case ExprClass::FloorOp:
    case ExprClass::Log2Op:
    case ExprClass::Log10Op:
    case ExprClass::LnOp:
    case ExprClass::AddOp:
    case ExprClass::MulOp:
    case ExprClass::ModOp:
    case ExprClass::MinOp:
    case ExprClass::MaxOp:
    case ExprClass::PowOp:
    case ExprClass::SumOp:
    case ExprClass::ProdOp:
    case ExprClass::Count:
      break;
  }
  return build_operator_type(c);
}

}  // namespace korvex::py
