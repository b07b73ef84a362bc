// Enumeration classes: members as class attributes, no constructor, int() gives the number,
// repr is "Class.MEMBER", and == / != compare with a member of the class or a Python integer.
#pragma once

#include <optional>

#include "korvex/python/host/type.hpp"

namespace korvex::py {

// One enumeration class: its name, documentation and member names indexed by value.
struct EnumSpec {
  const char* class_name;
  const char* doc;
  const char* const* members;
  int count;
};

struct EnumValue {
  int value;
  const EnumSpec* spec;
};

// The class of `spec`, built on first need with its members as class attributes.
PyTypeObject* enum_type(const EnumSpec& spec);

// A new member object.
Result<Ref> enum_member(const EnumSpec& spec, int value);

// The value of a member of the class, or the conversion TypeError naming the class.
Result<int> to_enum(const EnumSpec& spec, PyObject* object);

}  // namespace korvex::py
