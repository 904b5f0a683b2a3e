"""Builds the extension module from the library's own sources, so that the
package needs nothing beyond the repository, a C++20 compiler and pybind11."""

from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

ROOT = Path(__file__).resolve().parent.parent

# The library is compiled into the module: one copy of its state per process.
library_sources = sorted(str(path) for path in (ROOT / "src").rglob("*.cpp"))

ParallelCompile("ICF2HTML_BUILD_JOBS").install()

setup(
    ext_modules=[
        Pybind11Extension(
            "icf2html._native",
            [str(ROOT / "python" / "src" / "native_module.cpp"), *library_sources],
            include_dirs=[str(ROOT / "include"), str(ROOT / "src"), str(ROOT / "tools")],
            define_macros=[("ICF2HTML_BUILDING", None)],
            cxx_std=20,
            extra_compile_args=["-fvisibility=hidden", "-fvisibility-inlines-hidden"],
            libraries=["dl"],
        )
    ],
    cmdclass={"build_ext": build_ext},
)
