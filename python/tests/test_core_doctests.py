"""The Examples sections of the top-level modules run as written."""
import doctest
import importlib

import pytest


@pytest.mark.parametrize("name", ["graphs", "entropy", "info", "spectral", "trials"])
def test_examples_run(name):
    result = doctest.testmod(importlib.import_module("zemba." + name), optionflags=doctest.ELLIPSIS)
    assert result.attempted > 0 and result.failed == 0
