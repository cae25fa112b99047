"""Builds the Python package from this tree's sources: zemba._core (the core's
kernels behind a pybind11 module) and zemba/libzemba*.so (the original
library, loaded by zemba.legacy through ctypes, exporting exactly its own
names). Needs only Debian's python3-setuptools, python3-pybind11, g++ and
zlib1g-dev:

    python3 -m venv --system-site-packages .venv
    .venv/bin/pip install --no-build-isolation .
"""
import os
import re
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import Extension, setup

ROOT = Path(__file__).resolve().parent
# setuptools' objects and the export map go here, apart from the CMake build/ folder.
BUILD_BASE = Path(os.environ.get("ZEMBA_PIP_BUILD") or ROOT / "build-pip")
ParallelCompile("ZEMBA_BUILD_JOBS", default=0).install()


def rel(paths):
    return sorted(str(p.relative_to(ROOT)) for p in paths)


def version():
    return re.search(r"project\(zemba VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)


CORE = rel((ROOT / "src/core").rglob("*.cpp"))
SEED = rel(p for p in (ROOT / "src").rglob("*.cpp") if "core" not in p.relative_to(ROOT / "src").parts)
# Results must match the CMake build to the last bit: no contraction, no reassociation.
FLAGS = ["-O3", "-ffp-contract=off", "-fno-fast-math", "-fvisibility=hidden", "-fvisibility-inlines-hidden"]
DEFINES = [("ZEMBA_VERSION_STRING", f'"{version()}"'), ("ZEMBA_CORE_BUILD", None), ("ZEMBA_HAVE_ZLIB", None)]


def export_map():
    """Linker version script from the one list of exported names."""
    names = [l.split()[1] for l in (ROOT / "src/frame/exports.txt").read_text().splitlines()
             if l.split()[:1] in (["code"], ["data"])]
    out = BUILD_BASE / "zemba.map"
    out.parent.mkdir(parents=True, exist_ok=True)
    out.write_text("{\n  global:\n" + "".join(f"    {n};\n" for n in names) + "  local:\n    *;\n};\n")
    return str(out)


core = Pybind11Extension(
    "zemba._core", sorted(rel((ROOT / "python/src").glob("*.cpp"))) + CORE,
    include_dirs=["include", "src"], define_macros=DEFINES, extra_compile_args=FLAGS,
    libraries=["z"], cxx_std=17)

legacy = Extension(
    "zemba.libzemba", SEED + CORE, language="c++",
    include_dirs=["include", "src"], define_macros=DEFINES + [("ZEMBA_BUILD", None)],
    extra_compile_args=FLAGS + ["-std=c++17"], libraries=["z"],
    extra_link_args=[f"-Wl,--version-script={export_map()}", "-Wl,--no-undefined"])

setup(ext_modules=[core, legacy], options={"build": {"build_base": str(BUILD_BASE)}})
