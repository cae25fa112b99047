"""Packaging: pip installs the package from this tree into a fresh virtual
environment (Debian's build tools only, no registry), the installed package
imports with its compiled core and its own copy of the original library, and
python3 -m build makes a wheel. Takes a few minutes (two compilations share
one build folder); ZEMBA_SKIP_INSTALL_TEST=1 skips it, scripts/test-hosts.sh
always runs it."""
import os
import re
import subprocess
import sys
import zipfile

import pytest

from conftest import ROOT

pytestmark = pytest.mark.skipif(os.environ.get("ZEMBA_SKIP_INSTALL_TEST") == "1",
                                reason="ZEMBA_SKIP_INSTALL_TEST=1")

CHECK = r"""
import json, os, zemba, zemba._core, zemba._version
from zemba.legacy import _lib
path = str(_lib.library_path())
print(json.dumps(dict(file=zemba.__file__, version=getattr(zemba, "__version__", None),
                      pkg_version=zemba._version.__version__, core=zemba._core.version(), lib=path,
                      lib_loads=_lib.lib() is not None)))
"""


def _run(cmd, **kw):
    proc = subprocess.run(cmd, capture_output=True, text=True, timeout=900, **kw)
    assert proc.returncode == 0, f"{cmd} failed:\n{proc.stdout[-3000:]}\n{proc.stderr[-3000:]}"
    return proc


def test_pip_install_in_fresh_venv_and_wheel(tmp_path):
    import json
    version = re.search(r"project\(zemba VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)
    env = dict(os.environ, ZEMBA_PIP_BUILD=str(tmp_path / "build"), PIP_NO_INDEX="1",
               PIP_DISABLE_PIP_VERSION_CHECK="1")
    env.pop("PYTHONPATH", None)
    env.pop("ZEMBA_LIBRARY", None)
    venv = tmp_path / "venv"
    _run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)])
    _run([str(venv / "bin" / "pip"), "install", "-q", "--no-build-isolation", str(ROOT)], env=env)
    got = json.loads(_run([str(venv / "bin" / "python"), "-c", CHECK], env=env, cwd=tmp_path).stdout)
    site = str(venv)
    assert got["file"].startswith(site), got          # the installed copy, not the tree's python/
    assert got["lib"].startswith(site) and got["lib_loads"], got
    assert got["pkg_version"] == got["core"] == version, got
    _run(["/usr/bin/python3", "-m", "build", "--no-isolation", "--wheel", "--outdir", str(tmp_path / "dist"),
          str(ROOT)], env=env)
    wheels = list((tmp_path / "dist").glob("zemba-*.whl"))
    assert len(wheels) == 1 and wheels[0].name.startswith(f"zemba-{version}-")
    names = zipfile.ZipFile(wheels[0]).namelist()
    assert any(re.fullmatch(r"zemba/_core\..*\.so", n) for n in names), names
    assert any(re.fullmatch(r"zemba/libzemba.*\.so", n) for n in names), names
    sources = {str(f.relative_to(ROOT / "python")) for f in (ROOT / "python" / "zemba").rglob("*.py")}
    assert sources <= set(names), sorted(sources - set(names))     # every module and subpackage
    assert got["version"] == version
