#!/usr/bin/env bash
# Builds build/release optimised with a profile of its own conversions: an
# instrumented build in build/profile converts training documents and records
# where the reader and the writer spend their time; build/release is then
# compiled with that record (GCC's profile-guided optimisation). The training
# documents are real ones: the RTF corpus of the tests (files written by other
# programs) converted end to end, as they are and with their bodies repeated to
# about a megabyte (bench/training_documents.py), so that the loops weigh as
# they do in large documents; and for the writer alone, the generated streams
# of every kind that bench_conversion makes. Run it again after the sources
# change: code that changed since the training is optimised without a record.
#
#   ./build_release.sh        (then build/release as with `cmake --preset release`)
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc 2>/dev/null || echo 2)
record="$PWD/build/profile/record"
programs=(icf2html_cli rtf_reader_program bench_conversion)

echo "== instrumented build (build/profile)"
rm -rf "$record"
cmake -S . -B build/profile -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc \
  -DICF_BUILD_BENCH=ON -DICF_PROFILE_USE= -DICF_PROFILE_GENERATE="$record" >/dev/null
cmake --build build/profile -j "$jobs" --target "${programs[@]}"

echo "== training"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/large"
bench/training_documents.py 1000000 "$work/large" tests/rtf/corpus/*.rtf
for rtf in tests/rtf/corpus/*.rtf "$work"/large/*.rtf; do
  build/profile/tools/icf2html "$rtf" "$work/page.html" >/dev/null
done
build/profile/bench/bench_conversion --write_outputs="$work" --size_mb=1 >/dev/null

echo "== optimised build (build/release)"
cmake --preset release -DICF_PROFILE_GENERATE= -DICF_PROFILE_USE="$record" >/dev/null
# The build does not see a new record as a change: every object is compiled again.
cmake --build --preset release --target clean
cmake --build --preset release -j "$jobs"
