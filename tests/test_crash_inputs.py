"""Odd inputs at the constructors, operators and functions: each must end in a Python exception
or a sound result, never a crash of the interpreter."""
import os
import subprocess
import sys

import pytest

import korvex as kx
from conftest import raises_exactly


def run_isolated(source):
    """Runs `source` in a fresh interpreter, so that a crash fails the test instead of pytest."""
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    done = subprocess.run([sys.executable, "-c", source], capture_output=True, text=True, env=env,
                          timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout


# ---- sequences that change while their items are converted --------------------------------------

EMPTIED_LIST = """
import korvex as kx
N = kx.Placeholder("N")
items = []

class Clears:
    # Empties the list it sits in when converted, dropping the list's references to the rest.
    def __index__(self):
        items.clear()
        return 1

items.extend([Clears(), float(12345.5), float(22.5)])
A = kx.Placeholder("A", ndim=3)
X = kx.BinaryVar("X", shape=[N, N, N])
result = {build}
print(str(result))
"""


@pytest.mark.parametrize("build, expected", [
    ("kx.IntegerVar('v', shape=items, lower_bound=0, upper_bound=1).shape[1]", "12345.5"),
    ("A[items]", "A[1, 12345.5, 22.5]"),
    ("X[items]", "X[1, 12345.5, 22.5]"),
])
def test_list_emptied_by_an_item_keeps_the_other_items(build, expected):
    assert run_isolated(EMPTIED_LIST.format(build=build)).strip() == expected


def test_slice_list_emptied_by_a_slice_bound():
    source = """
import korvex as kx
N = kx.Placeholder("N")
X = kx.BinaryVar("X", shape=[N, N, N])
items = []

class Clears:
    def __index__(self):
        items.clear()
        return 0

items.extend([slice(Clears(), None), slice(None, None), slice(None, None)])
print(str(X[items].sum()))
"""
    assert run_isolated(source).strip() == (
        "sum(__dummy_X_0 in [0..N), sum(__dummy_X_1 in [0..N), sum(__dummy_X_2 in [0..N), "
        "X[__dummy_X_0, __dummy_X_1, __dummy_X_2])))")


def test_keyword_dict_emptied_by_an_argument():
    # A C caller may hand its own dict to the constructor; the conversion of one argument must not
    # free the values of the others.
    source = """
import ctypes
import korvex as kx
kwargs = {}

class Clears:
    def __index__(self):
        kwargs.clear()
        return 1

kwargs.update(ndim=Clears(), latex="L" + "x" * 3, description="D" + "y" * 3)
call = ctypes.pythonapi.PyObject_Call
call.restype = ctypes.py_object
call.argtypes = [ctypes.py_object, ctypes.py_object, ctypes.py_object]
print(repr(call(kx.Placeholder, ("a",), kwargs)))
"""
    assert run_isolated(source).strip() == (
        "Placeholder(name='a', ndim=1, latex='Lxxx', description='Dyyy')")


# ---- names and reprs that UTF-8 cannot hold -----------------------------------------------------

class SurrogateRepr:
    def __repr__(self):
        return "\ud800"


@pytest.mark.parametrize("call, exc, message", [
    (lambda: kx.abs(**{"\ud800": 1}), TypeError, "abs() got an unexpected keyword argument '\\ud800'"),
    (lambda: kx.Placeholder("a", **{"\ud800": 1}), TypeError,
     "Placeholder.__new__() got an unexpected keyword argument '\\ud800'"),
    (lambda: kx.BinaryVar("x", shape=[3])[SurrogateRepr()], IndexError, "Invalid index: \ud800"),
])
def test_text_beyond_utf8_in_binding_and_index_messages(call, exc, message):
    raises_exactly(exc, message, call)


# ---- sizes beyond memory ------------------------------------------------------------------------

@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the preloaded sanitizer runtime cannot intercept C++ throws")
def test_shape_of_an_absurd_number_of_axes_is_a_memory_error():
    with pytest.raises(MemoryError):
        kx.Placeholder("a", ndim=2**64 - 1).shape
