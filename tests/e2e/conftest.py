"""Fixtures of the end-to-end tests; see harness.py."""
import pytest

from harness import Weston, XSession


@pytest.fixture
def x():
    with XSession() as session:
        yield session


@pytest.fixture
def weston(x):
    return Weston(x)
