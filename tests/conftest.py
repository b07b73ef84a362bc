import pytest

import korvex as kx


@pytest.fixture
def n():
    return kx.Placeholder("N")


@pytest.fixture
def x(n):
    return kx.BinaryVar("x", shape=[n, n])


@pytest.fixture
def i(n):
    return kx.Element("i", belong_to=n)


@pytest.fixture
def j(n):
    return kx.Element("j", belong_to=n)


def raises_exactly(exc, message, fn):
    """Calls fn and checks the exception class and its whole message."""
    with pytest.raises(exc) as info:
        fn()
    assert str(info.value) == message
    return info.value
