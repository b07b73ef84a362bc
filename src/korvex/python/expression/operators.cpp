// The operator slots of the expression and condition classes.
#include "korvex/python/expression/convert.hpp"

namespace korvex::py {

void add_operator_slots(TypeBuilder&, ExprClass) {}
void add_cond_operator_slots(TypeBuilder&, CondClass) {}

PyTypeObject* dummy_indexed_var_type() {
  static PyTypeObject* type =
      wrapper_type<DummyIndexed>("DummyIndexedVar",
                                 "A decision variable sliced with `:`; reduce it with sum() or "
                                 "prod().")
          .build();
  return type;
}
KX_REGISTER_CLASS("DummyIndexedVar", dummy_indexed_var_type);

}  // namespace korvex::py
