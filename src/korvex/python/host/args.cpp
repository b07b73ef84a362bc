#include "korvex/python/host/args.hpp"

#include <cstring>
#include <stdexcept>

#include "korvex/python/host/error.hpp"

namespace korvex::py {

Signature::Signature(std::string text, std::string function, const char* doc)
    : text_(std::move(text)), function_(std::move(function)) {
  doc_ = text_ + "\n--\n\n" + (doc != nullptr ? doc : "");
  size_t open = text_.find('(');
  size_t close = text_.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) {
    throw std::logic_error("malformed text signature: " + text_);
  }
  name_ = text_.substr(0, open);
  bool keyword_only = false;
  size_t pos = open + 1;
  while (pos < close) {
    size_t end = text_.find(',', pos);
    if (end == std::string::npos || end > close) end = close;
    std::string item = text_.substr(pos, end - pos);
    pos = end + 1;
    size_t first = item.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    item = item.substr(first, item.find_last_not_of(' ') - first + 1);
    if (item[0] == '$') continue;  // $self / $type are not bound
    if (item == "*") {
      keyword_only = true;
      continue;
    }
    if (item[0] == '*') {
      varargs_ = true;
      keyword_only = true;
      continue;
    }
    Param param;
    size_t eq = item.find('=');
    param.name = item.substr(0, eq);
    param.required = eq == std::string::npos;
    param.keyword_only = keyword_only;
    if (!keyword_only) {
      ++positional_;
      if (param.required) ++required_positional_;
    }
    params_.push_back(std::move(param));
  }
  if (params_.size() > static_cast<size_t>(kMaxParams)) {
    throw std::logic_error("too many parameters: " + text_);
  }
}

static std::string quoted_list(const std::vector<std::string>& names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
    out += "'" + names[i] + "'";
  }
  return out;
}

static Error too_many_positional(const Signature& sig, int min, int max, Py_ssize_t given) {
  std::string message = sig.function() + " takes ";
  if (min == max) {
    message += std::to_string(max);
  } else {
    message += "from " + std::to_string(min) + " to " + std::to_string(max);
  }
  message += " positional arguments but " + std::to_string(given) +
             (given == 1 ? " was given" : " were given");
  return type_error(std::move(message));
}

Result<void> Bound::bind_keyword(const Signature& sig, PyObject* key, PyObject* value) {
  Py_ssize_t size = 0;
  const char* name = PyUnicode_AsUTF8AndSize(key, &size);
  if (name == nullptr) return python_error();
  const auto& params = sig.params();
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i].name.size() == static_cast<size_t>(size) &&
        std::memcmp(params[i].name.data(), name, static_cast<size_t>(size)) == 0) {
      if (values_[i] != nullptr) {
        return type_error(sig.function() + " got multiple values for argument '" + params[i].name +
                          "'");
      }
      values_[i] = value;
      return {};
    }
  }
  return type_error(sig.function() + " got an unexpected keyword argument '" +
                    std::string(name, static_cast<size_t>(size)) + "'");
}

Result<void> Bound::check_missing(const Signature& sig) {
  const auto& params = sig.params();
  for (bool keyword_only : {false, true}) {
    std::vector<std::string> missing;
    for (size_t i = 0; i < params.size(); ++i) {
      if (params[i].keyword_only == keyword_only && params[i].required && values_[i] == nullptr) {
        missing.push_back(params[i].name);
      }
    }
    if (!missing.empty()) {
      return type_error(sig.function() + " missing " + std::to_string(missing.size()) +
                        " required " + (keyword_only ? "keyword" : "positional") +
                        (missing.size() == 1 ? " argument: " : " arguments: ") +
                        quoted_list(missing));
    }
  }
  return {};
}

Result<Bound> Bound::fast(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
  Bound bound;
  if (nargs > sig.positional_) {
    if (!sig.varargs_) {
      return too_many_positional(sig, sig.required_positional_, sig.positional_, nargs);
    }
    bound.varargs_ = args + sig.positional_;
    bound.varargs_count_ = nargs - sig.positional_;
  }
  Py_ssize_t taken = nargs < sig.positional_ ? nargs : sig.positional_;
  for (Py_ssize_t i = 0; i < taken; ++i) bound.values_[i] = args[i];
  if (kwnames != nullptr) {
    Py_ssize_t count = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < count; ++k) {
      KX_TRY(bound.bind_keyword(sig, PyTuple_GET_ITEM(kwnames, k), args[nargs + k]));
    }
  }
  KX_TRY(bound.check_missing(sig));
  return bound;
}

Result<Bound> Bound::tuple(const Signature& sig, PyObject* args, PyObject* kwargs) {
  Bound bound;
  Py_ssize_t nargs = args != nullptr ? PyTuple_GET_SIZE(args) : 0;
  PyObject* const* items = args != nullptr ? &PyTuple_GET_ITEM(args, 0) : nullptr;
  if (nargs > sig.positional_) {
    if (!sig.varargs_) {
      return too_many_positional(sig, sig.required_positional_, sig.positional_, nargs);
    }
    bound.varargs_ = items + sig.positional_;
    bound.varargs_count_ = nargs - sig.positional_;
  }
  Py_ssize_t taken = nargs < sig.positional_ ? nargs : sig.positional_;
  for (Py_ssize_t i = 0; i < taken; ++i) bound.values_[i] = items[i];
  if (kwargs != nullptr) {
    PyObject *key = nullptr, *value = nullptr;
    Py_ssize_t pos = 0;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      KX_TRY(bound.bind_keyword(sig, key, value));
    }
  }
  KX_TRY(bound.check_missing(sig));
  return bound;
}

Error decorate_argument_error(const char* name, Error error) {
  return decorate_argument(name, std::move(error));
}

}  // namespace korvex::py
