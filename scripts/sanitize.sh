#!/usr/bin/env bash
# The non-widget tests built with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
export LUMO_BUILD_DIR=${LUMO_ASAN_BUILD_DIR:-build-asan}
bash scripts/build.sh -DLUMO_SANITIZE=ON -DLUMO_GUI=OFF -DLUMO_BUILD_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A test that fails is run once more before it counts: on a loaded machine the
# leak checker now and then reports, at exit, one block allocated inside Qt's
# core library with no frame of ours (seen once in about a hundred runs of the
# voice relay test, not reproduced since). A steady fault fails both runs, and
# the first failure stays in the output to be read.
ctest --test-dir "$LUMO_BUILD_DIR" --output-on-failure -j 2 -L unit --repeat until-pass:2
