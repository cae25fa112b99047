"""The README shows the host examples exactly as the tests run them."""
import pathlib

ROOT = pathlib.Path(__file__).resolve().parents[2]


def test_readme_shows_the_examples_the_tests_run():
    readme = (ROOT / "README.md").read_text()
    for example in ("python/examples/trial_features.py", "r/examples/trial_features.R",
                    "r/zemba/inst/examples/trial_features.R"):
        assert (ROOT / example).read_text() in readme, f"README.md does not show {example} as it stands"
