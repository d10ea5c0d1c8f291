"""Fixtures of the end-to-end tests; see harness.py."""
import pytest

from harness import XSession


@pytest.fixture
def x():
    with XSession() as session:
        yield session
