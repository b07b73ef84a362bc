// Errors of the core: a failure is a value carried back to the entry point, never a C++ throw.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <variant>

namespace korvex {

// Which Python exception class an error becomes; the binding maps each kind in one table.
enum class ErrorKind {
  Modeling,
  Type,
  Value,
  Index,
  ZeroDivision,
  Attribute,
  Recursion,
  Overflow,
  Runtime,
  Import,
  ProtobufSerialization,
  ProtobufDeserialization,
  // The Python error indicator is already set (binding code only); the message is unused.
  PythonSet,
};

struct Error {
  ErrorKind kind;
  std::string message;
};

inline Error make_error(ErrorKind kind, std::string message) {
  return Error{kind, std::move(message)};
}
inline Error modeling_error(std::string message) {
  return Error{ErrorKind::Modeling, std::move(message)};
}
inline Error type_error(std::string message) { return Error{ErrorKind::Type, std::move(message)}; }
inline Error value_error(std::string message) {
  return Error{ErrorKind::Value, std::move(message)};
}
inline Error index_error(std::string message) {
  return Error{ErrorKind::Index, std::move(message)};
}

struct Unexpected {
  Error error;
};
inline Unexpected fail(Error error) { return Unexpected{std::move(error)}; }
inline Unexpected fail(ErrorKind kind, std::string message) {
  return Unexpected{Error{kind, std::move(message)}};
}

// A value or an error, with std::expected's member names so it can become an alias later.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : data_(std::in_place_index<0>, std::move(value)) {}         // NOLINT: implicit
  Result(Unexpected u) : data_(std::in_place_index<1>, std::move(u.error)) {}  // NOLINT
  Result(Error e) : data_(std::in_place_index<1>, std::move(e)) {}             // NOLINT

  bool has_value() const { return data_.index() == 0; }
  explicit operator bool() const { return has_value(); }
  T& value() & { return std::get<0>(data_); }
  const T& value() const& { return std::get<0>(data_); }
  T&& value() && { return std::get<0>(std::move(data_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const& { return std::get<1>(data_); }
  Error&& error() && { return std::get<1>(std::move(data_)); }

 private:
  std::variant<T, Error> data_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Unexpected u) : error_(std::make_unique<Error>(std::move(u.error))) {}  // NOLINT
  Result(Error e) : error_(std::make_unique<Error>(std::move(e))) {}             // NOLINT
  Result(Result&&) = default;
  Result& operator=(Result&&) = default;
  bool has_value() const { return !error_; }
  explicit operator bool() const { return has_value(); }
  const Error& error() const& { return *error_; }
  Error&& error() && { return std::move(*error_); }

 private:
  std::unique_ptr<Error> error_;
};

}  // namespace korvex

// Early return of the error of a Result-valued expression; the value is bound to `var`.
#define KX_TRY_ASSIGN(var, expr)                               \
  auto var##_result_ = (expr);                                 \
  if (!var##_result_) return std::move(var##_result_).error(); \
  auto var = std::move(var##_result_).value()

#define KX_TRY(expr)                                               \
  do {                                                             \
    auto kx_try_result_ = (expr);                                  \
    if (!kx_try_result_) return std::move(kx_try_result_).error(); \
  } while (0)
