#!/usr/bin/env bash
# The non-widget tests built with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
export LUMO_BUILD_DIR=${LUMO_ASAN_BUILD_DIR:-build-asan}
bash scripts/build.sh -DLUMO_SANITIZE=ON -DLUMO_GUI=OFF -DLUMO_BUILD_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$LUMO_BUILD_DIR" --output-on-failure -j 2 -L unit
