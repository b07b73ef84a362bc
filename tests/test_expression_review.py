"""Behaviours of the expression model checked against its rules: messages, conversion order,
normal forms and texts."""
import pytest

import korvex as kx
from conftest import raises_exactly


# ---- array lengths ------------------------------------------------------------------------------

@pytest.mark.parametrize("build", [
    lambda: kx.Placeholder("a", ndim=2)[0, 0],
    lambda: kx.BinaryVar("x", shape=[2, 2])[0, 0],
    lambda: kx.Element("e", kx.Placeholder("a", ndim=2))[0],
])
def test_len_at_of_any_scalar_subscript(build):
    raises_exactly(kx.ModelingError, "Can't get length of a scalar", lambda: build().len_at(0))
