#!/usr/bin/env bash
# Converts every benchmark kind's stream with two builds of the benchmark and
# compares the HTML byte for byte: the output of a faster writer must not change.
#
#   bench/compare_outputs.sh BEFORE/bench_conversion AFTER/bench_conversion [SIZE_MB]
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 BEFORE_BENCH AFTER_BENCH [SIZE_MB]" >&2
  exit 2
fi
before=$1 after=$2 size=${3:-4}
work=$(mktemp -d "${TMPDIR:-/tmp}/icf2html-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$before" --write_outputs="$work/before" --size_mb="$size" >/dev/null
"$after" --write_outputs="$work/after" --size_mb="$size" >/dev/null
status=0
for html in "$work"/before/*.html; do
  name=$(basename "$html")
  if cmp -s "$html" "$work/after/$name"; then
    echo "same      ${name%.html} ($(stat -c %s "$html") bytes)"
  else
    echo "DIFFERENT ${name%.html}: $(cmp "$html" "$work/after/$name" 2>&1 | head -1)"
    status=1
  fi
done
exit $status
