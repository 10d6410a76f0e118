#!/usr/bin/env bash
# Builds the Debian package of the student program into build-package/
# (lumostudent_VERSION_ARCH.deb): the program, its libraries, the courseware
# downloader and the voice engine in /usr/lib/lumostudent, /usr/bin/LumoStudent,
# the menu entry, icons, AppStream metadata and the manual page.
# Install it with: apt-get install ./build-package/lumostudent_*.deb
#
# Environment: LUMO_PACKAGE_DIR (default build-package), LUMO_JOBS.
# Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${LUMO_PACKAGE_DIR:-build-package}
bash scripts/install-deps.sh
if [ ! -f "$build_dir/build.ninja" ] || [ $# -gt 0 ]; then
  # The same compiler flags as build/, so a warm ccache serves both.
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMO_WERROR=ON \
    -DLUMO_BUILD_TESTS=OFF -DLUMO_BUILD_BENCHMARKS=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@"
fi
cmake --build "$build_dir" -j "${LUMO_JOBS:-$(nproc)}" \
  --target LumoStudent castagent Vocana whiteboardole_webview lumo_package_files
rm -f "$build_dir"/lumostudent_*.deb
(cd "$build_dir" && cpack -G DEB >cpack.log) || { cat "$build_dir/cpack.log" >&2; exit 1; }
ls "$build_dir"/lumostudent_*.deb
