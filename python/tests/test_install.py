"""The package installs with pip from the repository's files alone, into a
virtual environment that sees Debian's packages, with no package index."""

from __future__ import annotations

import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

from test_package import DOCUMENT, code

# What the package's build reads from the repository.
BUILD_INPUTS = ["python", "src", "include", "tools/icf-identify/format_names.h", "tools/icf-identify/format_names.cpp"]


def inputs_digest(listed: bytes) -> str:
    """What the build depends on: the interpreter and every input's name and content."""
    digest = hashlib.sha256(sys.version.encode())
    for name in sorted(filter(None, listed.split(b"\0"))):
        digest.update(name + b"\0" + pathlib.Path(os.environ["ICF2HTML_SOURCE_DIR"], os.fsdecode(name)).read_bytes())
    return digest.hexdigest()[:20]


class InstallTest(unittest.TestCase):
    def install(self, python: str, package: str, listed: bytes) -> subprocess.CompletedProcess:
        """Builds the package's wheel from the tree and installs it with pip. The
        wheel is kept in ICF2HTML_WHEEL_CACHE, when that is set, for as long as
        the build's inputs stay the same: a later run installs it without
        building it again."""
        pip = [python, "-m", "pip"]
        options = ["--no-build-isolation", "--no-index", "--no-deps"]
        cache = os.environ.get("ICF2HTML_WHEEL_CACHE")
        if not cache:
            return subprocess.run([*pip, "install", *options, package], capture_output=True, text=True)
        kept = os.path.join(cache, inputs_digest(listed))
        if not os.path.isdir(kept):
            # The module's build is what is checked, not its code's speed: compiled
            # without optimisation, on two processes.
            quick_build = dict(os.environ, CFLAGS="-O0 -g0", ICF2HTML_BUILD_JOBS="2")
            made = tempfile.mkdtemp(prefix="python-wheel-", dir=os.path.dirname(os.path.abspath(cache)))
            built = subprocess.run([*pip, "wheel", *options, "-w", made, package], capture_output=True, text=True,
                                   env=quick_build)
            if built.returncode != 0:
                shutil.rmtree(made)
                return built
            shutil.rmtree(cache, ignore_errors=True)  # wheels of other inputs go
            os.makedirs(cache)
            shutil.move(made, kept)
        wheels = [os.path.join(kept, name) for name in os.listdir(kept) if name.endswith(".whl")]
        return subprocess.run([*pip, "install", *options, *wheels], capture_output=True, text=True)

    def test_pip_install_and_convert(self) -> None:
        with tempfile.TemporaryDirectory(prefix="icf2html-install-") as folder:
            tree = os.path.join(folder, "tree")
            listed = subprocess.run(["git", "ls-files", "-z", *BUILD_INPUTS], cwd=os.environ["ICF2HTML_SOURCE_DIR"],
                                    capture_output=True, check=True).stdout
            os.makedirs(tree)
            archive = subprocess.run(["tar", "-c", "--null", "-T", "-", "-f", "-"], input=listed,
                                     capture_output=True, cwd=os.environ["ICF2HTML_SOURCE_DIR"], check=True).stdout
            subprocess.run(["tar", "-x", "-f", "-"], input=archive, cwd=tree, check=True)
            venv = os.path.join(folder, "venv")
            subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", venv], check=True)
            python = os.path.join(venv, "bin", "python")
            installed = self.install(python, os.path.join(tree, "python"), listed)
            self.assertEqual(installed.returncode, 0, installed.stdout + installed.stderr)

            source = os.path.join(folder, "doc.icf")
            with open(source, "wb") as file:
                file.write(code("DID", "1") + DOCUMENT)
            check = ("import icf2html, sys, os; "
                     "print(icf2html.convert(sys.argv[1], sys.argv[2]), icf2html.identify(sys.argv[1]).code, "
                     "os.path.exists(os.path.join(os.path.dirname(icf2html.__file__), 'py.typed')))")
            environment = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
            ran = subprocess.run([python, "-c", check, source, os.path.join(folder, "doc.html")], cwd=folder,
                                 capture_output=True, text=True, env=environment)
            self.assertEqual(ran.stdout.split(), ["0", "3", "True"], ran.stderr)
            self.assertIn(os.path.join(venv, ""), subprocess.run(
                [python, "-c", "import icf2html; print(icf2html.__file__)"], capture_output=True, text=True,
                env=environment, cwd=folder).stdout)


if __name__ == "__main__":
    unittest.main()
