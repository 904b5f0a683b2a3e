#!/usr/bin/env bash
# Converts the bundled sample document and renders its HTML in headless
# Chromium to docs/sample.png, the picture the README shows. Installs nothing:
# it needs the chromium package (apt-get install -y chromium) and builds the
# tools with the release preset when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

browser=/usr/bin/chromium
if [ ! -x "$browser" ]; then
  echo "render_sample.sh: $browser is missing; install it with: apt-get install -y chromium" >&2
  exit 1
fi

tools=build/release/tools
if [ ! -x "$tools/icf2html" ] || [ ! -x "$tools/icfasm" ] || [ ! -x "$tools/g521tunx" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j 2 --target icf2html_cli icfasm picture_converter >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tools/icfasm" examples/sample.txt "$work/sample.icf"
# Converted inside its folder, the page names its pictures by relative names.
(cd "$work" && "$OLDPWD/$tools/icf2html" sample.icf sample.html)

mkdir -p docs
# A profile of its own for every run, and nothing that reaches the network.
"$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --screenshot="$PWD/docs/sample.png" --window-size=1000,1200 \
  "file://$work/sample.html" 2>"$work/browser.log" || {
  cat "$work/browser.log" >&2
  exit 1
}
echo "Rendered docs/sample.png"
