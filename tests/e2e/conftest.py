"""Fixtures of the end-to-end tests; see harness.py."""
import pytest

from harness import Weston, XSession


@pytest.fixture
def x():
    session = XSession()
    yield session
    session.stop()


@pytest.fixture
def weston(x):
    return Weston(x)
