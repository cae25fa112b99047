"""The Examples sections of the top-level modules run as written."""
import doctest
import importlib

import pytest


@pytest.mark.parametrize("name", ["graphs", "entropy", "info", "spectral", "trials"])
def test_examples_run(name):
    result = doctest.testmod(importlib.import_module("zemba." + name), optionflags=doctest.ELLIPSIS)
    assert result.attempted > 0 and result.failed == 0


def test_top_level_names_keep_the_peer_meaning():
    import zemba
    for old in ("permutation_entropy", "approximate_entropy", "delay_permutation_entropy", "load_trial", "hva"):
        assert not hasattr(zemba, old), old
    assert zemba.sample_entropy([1, 2, 1, 2, 1, 2, 3.0], order=1, tolerance=0.5) > 0   # one number, order=
    assert zemba.legacy.sample_entropy is not zemba.sample_entropy
    assert zemba.TrialFileError is zemba.legacy.TrialFileError and issubclass(zemba.TrialFileError, ValueError)
