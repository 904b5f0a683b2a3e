"""Builds the extension module from the library's own sources, so that the
package needs nothing beyond the repository, a C++20 compiler and pybind11."""

import os
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent


def relative(path: Path) -> str:
    """setuptools takes source names relative to this file's folder only."""
    return os.path.relpath(path, HERE)


# The library is compiled into the module: one copy of its state per process.
library_sources = sorted(relative(path) for path in (ROOT / "src").rglob("*.cpp"))

ParallelCompile("ICF2HTML_BUILD_JOBS").install()

setup(
    ext_modules=[
        Pybind11Extension(
            "icf2html._native",
            [
                relative(HERE / "src" / "native_module.cpp"),
                relative(ROOT / "tools" / "icf-identify" / "format_names.cpp"),  # the format names
                *library_sources,
            ],
            include_dirs=[relative(ROOT / "include"), relative(ROOT / "src"), relative(ROOT / "tools")],
            define_macros=[("ICF2HTML_BUILDING", None)],
            cxx_std=20,
            extra_compile_args=["-fvisibility=hidden", "-fvisibility-inlines-hidden"],
            libraries=["dl"],
        )
    ],
    cmdclass={"build_ext": build_ext},
)
