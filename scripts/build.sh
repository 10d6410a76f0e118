#!/usr/bin/env bash
# Configures and builds the project into ${LUMO_BUILD_DIR:-build}.
# Extra arguments go to CMake's configure step; LUMO_TARGETS (names
# separated by spaces) builds only those targets and what they need.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${LUMO_BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ] || [ $# -gt 0 ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${LUMO_BUILD_TYPE:-RelWithDebInfo} \
    -DLUMO_WERROR=ON "$@"
fi
targets=()
for target in ${LUMO_TARGETS:-}; do
  targets+=(--target "$target")
done
cmake --build "$build_dir" -j "${LUMO_JOBS:-$(nproc)}" "${targets[@]}"
