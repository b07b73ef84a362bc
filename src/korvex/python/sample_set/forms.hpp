// The dict and JSON methods that Record, Evaluation and the timing classes share, made from each
// class's own conversions so the binding code is written once.
#pragma once

#include <string>

#include "korvex/python/sample_set/classes.hpp"
#include "korvex/python/sample_set/convert.hpp"

namespace korvex::py::sample_set_binding {

// Traits: kName, kNoun (for docstrings), Value, type(), to_dict(const Value&) -> Result<Ref>,
// from_dict(PyObject*) -> Result<Value>, to_json(const Value&) -> Result<Ref>,
// from_json(const std::string&) -> Result<Value>.
template <class Traits>
Result<Ref> forms_to_dict(PyObject* self, const Bound&) {
  return Traits::to_dict(value_of<typename Traits::Value>(self));
}

template <class Traits>
Result<Ref> forms_from_dict(PyObject*, const Bound& args) {
  KX_TRY_ASSIGN(dict, argument("dict", to_dict(args[0])));
  KX_TRY_ASSIGN(value, Traits::from_dict(dict));
  return wrap(Traits::type(), std::move(value));
}

template <class Traits>
Result<Ref> forms_to_json(PyObject* self, const Bound&) {
  return Traits::to_json(value_of<typename Traits::Value>(self));
}

template <class Traits>
Result<Ref> forms_from_json(PyObject*, const Bound& args) {
  KX_TRY_ASSIGN(text, argument("json", to_string(args[0])));
  KX_TRY_ASSIGN(value, Traits::from_json(text));
  return wrap(Traits::type(), std::move(value));
}

template <class Traits>
struct FormsMethods {
  static inline const Callable to_dict{
      Signature("to_dict($self)", std::string(Traits::kName) + ".to_dict()", "The dict form."),
      forms_to_dict<Traits>};
  static inline const Callable from_dict{
      Signature("from_dict(dict)", std::string(Traits::kName) + ".from_dict()",
                (std::string(Traits::kNoun) + " from a dict.").c_str()),
      forms_from_dict<Traits>};
  static inline const Callable to_json{
      Signature("to_json($self)", std::string(Traits::kName) + ".to_json()", "The JSON text."),
      forms_to_json<Traits>};
  static inline const Callable from_json{
      Signature("from_json(json)", std::string(Traits::kName) + ".from_json()",
                (std::string(Traits::kNoun) + " from JSON text.").c_str()),
      forms_from_json<Traits>};
};

// Adds to_dict, from_dict (static), to_json and from_json (static) to a class.
template <class Traits>
TypeBuilder& add_forms(TypeBuilder& builder) {
  using M = FormsMethods<Traits>;
  return builder.method(method_def<M::to_dict>())
      .method(static_method(method_def<M::from_dict>()))
      .method(method_def<M::to_json>())
      .method(static_method(method_def<M::from_json>()));
}

}  // namespace korvex::py::sample_set_binding
