#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for a while
# (${LUMO_FUZZ_SECONDS:-30} s) over its kept corpus. LUMO_FUZZ_ONLY names one
# harness (fuzz_protocol, ...) to run alone.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${LUMO_FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DLUMO_BUILD_FUZZERS=ON -DLUMO_GUI=OFF -DLUMO_BUILD_TESTS=OFF -DLUMO_BUILD_BENCHMARKS=OFF
cmake --build "$build_dir" -j "${LUMO_JOBS:-$(nproc)}"
status=0
for harness in "$build_dir"/bin/fuzz_*; do
  [ -x "$harness" ] || continue
  name=$(basename "$harness")
  [ -n "${LUMO_FUZZ_ONLY:-}" ] && [ "$name" != "$LUMO_FUZZ_ONLY" ] && continue
  # Streams and payloads reach 64 KiB frames and more; libFuzzer's default
  # length limit (taken from the largest kept input, else 4 KiB) stays short.
  case $name in
    fuzz_protocol | fuzz_decoders) max_len=(-max_len=200000) ;;
    *) max_len=() ;;
  esac
  corpus=$(find fuzz -type d -path "*/${name#fuzz_}/corpus" | head -n1)
  work=$(mktemp -d)
  [ -n "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
  echo "== $name (${LUMO_FUZZ_SECONDS:-30} s)"
  if ! nice "$harness" "${max_len[@]}" -max_total_time="${LUMO_FUZZ_SECONDS:-30}" -rss_limit_mb=2048 \
      -artifact_prefix="$build_dir/$name-" "$work" >"$build_dir/$name.log" 2>&1; then
    tail -n 40 "$build_dir/$name.log"
    status=1
  fi
  rm -rf "$work"
done
exit $status
