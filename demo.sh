#!/usr/bin/env bash
# Builds what is missing, converts the bundled sample document with icf2html and
# prints where the HTML is.
set -euo pipefail
cd "$(dirname "$0")"

need=()
for tool in g++ cmake ninja; do command -v "$tool" >/dev/null || need+=("$tool"); done
dpkg -s libgtest-dev >/dev/null 2>&1 || need+=(libgtest-dev)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  pkgs=("${need[@]/ninja/ninja-build}")
  apt-get update -qq && apt-get install -y -qq "${pkgs[@]}" libgmock-dev
fi

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target icf2html_cli icfasm icfdump >/dev/null

out=build/release/examples
mkdir -p "$out"
build/release/tools/icfasm examples/sample.txt "$out/sample.icf"
build/release/tools/icf2html "$out/sample.icf" "$out/sample.html"
echo "The sample document is converted: $out/sample.html"
