"""The package installs with pip from the repository's files alone, into a
virtual environment that sees Debian's packages, with no package index."""

from __future__ import annotations

import os
import subprocess
import sys
import tempfile
import unittest

from test_package import DOCUMENT, code

# What the package's build reads from the repository.
BUILD_INPUTS = ["python", "src", "include", "tools/icf-identify/format_names.h", "tools/icf-identify/format_names.cpp"]


class InstallTest(unittest.TestCase):
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
            # The module's build is what is checked, not its code's speed: compiled
            # without optimisation, on two processes.
            quick_build = dict(os.environ, CFLAGS="-O0 -g0", ICF2HTML_BUILD_JOBS="2")
            installed = subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index",
                                        "--no-deps", os.path.join(tree, "python")], capture_output=True, text=True,
                                       env=quick_build)
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
