#!/usr/bin/env bash
# Builds what is missing, converts the bundled sample document with icf2html and
# prints where the HTML is.
set -euo pipefail
cd "$(dirname "$0")"

need=()
for tool in g++ cmake ninja; do command -v "$tool" >/dev/null || need+=("$tool"); done
dpkg -s libgtest-dev >/dev/null 2>&1 || need+=(libgtest-dev)
# The Python package (pybind11) and batches on a Dask cluster (distributed); the
# graphic converter programs are built on the picture libraries.
for pkg in python3-dev python3-venv python3-setuptools python3-pybind11 pybind11-dev python3-distributed \
           libjpeg62-turbo-dev libpng-dev libgif-dev libtiff-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  pkgs=("${need[@]/ninja/ninja-build}")
  apt-get update -qq && apt-get install -y -qq "${pkgs[@]}" libgmock-dev
fi

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target icf2html_cli icfasm icfdump icf2html_python picture_converter >/dev/null

out=build/release/examples
mkdir -p "$out"
build/release/tools/icfasm examples/sample.txt "$out/sample.icf"
# Converted inside its folder, the page names its pictures by relative names.
(cd "$out" && ../tools/icf2html sample.icf sample.html)
echo "The sample document is converted: $out/sample.html"
build/release/tools/icf2html --batch "$out/pages" "$out/sample.icf" >/dev/null
echo "The same as a batch, with its report: $out/pages/report.jsonl"
PYTHONPATH=build/release/python /usr/bin/python3 -c \
  'import icf2html, sys; print("From Python:", icf2html.identify(sys.argv[1]))' "$out/sample.icf"
