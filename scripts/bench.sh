#!/usr/bin/env bash
# Every benchmark in one run, and one table of their figures.
#
# Builds the benchmark programs in release mode into ${LUMO_BENCH_BUILD_DIR:-build-release},
# runs each one (every program an add_executable of bench/*/CMakeLists.txt,
# helpers excepted) with LUMO_BENCH_JSON pointing at one folder, and prints
# the figures they wrote there: path, figure, the baseline measured in the
# same run, the ratio, the target and whether it is met. A program that
# crashes, times out or writes nothing shows as such and the others still run.
#
#   scripts/bench.sh                 every benchmark
#   scripts/bench.sh whiteboard_bench userlist_roster_bench   only these
#
# Each program's output is kept in <build>/bench-logs/<program>.log.
set -uo pipefail
cd "$(dirname "$0")/.."

build_dir=${LUMO_BENCH_BUILD_DIR:-build-release}
json_dir=$build_dir/bench-json
log_dir=$build_dir/bench-logs
# Programs that other benchmarks start; they are built, not run.
helpers=(presentation_probe startup_probe_minimal startup_probe_student)
# Seconds a program may take before it counts as hung.
limit=${LUMO_BENCH_TIMEOUT:-1200}

bash scripts/install-deps.sh || exit 1

# The build's output goes to a log, so that the table stands alone.
build_log=$build_dir/bench-build.log
mkdir -p "$build_dir"
if [ ! -f "$build_dir/build.ninja" ]; then
  echo "configuring $build_dir (release)" >&2
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMO_WERROR=ON \
    -DLUMO_BUILD_BENCHMARKS=ON >"$build_log" 2>&1 || { cat "$build_log" >&2; exit 1; }
fi

if [ $# -gt 0 ]; then
  programs=("$@")
else
  mapfile -t programs < <(sed -n 's/^[[:space:]]*add_executable([[:space:]]*\([A-Za-z0-9_.-]*\).*/\1/p' \
    bench/*/CMakeLists.txt | sort -u)
fi
run=()
for p in "${programs[@]}"; do
  [[ " ${helpers[*]} " == *" $p "* ]] || run+=("$p")
done

# Keep going past a program that does not build: the table says so.
targets=()
# Read once: grep -q closing the pipe early would fail the pipeline.
known=$(cmake --build "$build_dir" --target help 2>/dev/null || true)
for p in "${run[@]}" "${helpers[@]}"; do
  grep -q "^$p:" <<<"$known" && targets+=("$p")
done
if ((${#targets[@]})); then
  echo "building ${targets[*]}" >&2
  cmake --build "$build_dir" -j "${LUMO_JOBS:-$(nproc)}" -- -k 0 "${targets[@]}" >>"$build_log" 2>&1 ||
    echo "bench.sh: some benchmark programs did not build (see $build_log)" >&2
fi

source scripts/test-env.sh
rm -rf "$json_dir" "$log_dir"
mkdir -p "$json_dir" "$log_dir"
status_file=$log_dir/status.tsv
: >"$status_file"

for p in "${run[@]}"; do
  exe=$build_dir/bin/$p
  if [ ! -x "$exe" ]; then
    printf '%s\tnot built\n' "$p" >>"$status_file"
    continue
  fi
  echo "== $p" >&2
  platform=${QT_QPA_PLATFORM:-}
  # The presentation's start cost is measured on a real X display.
  [ "$p" = bench_presentation ] && platform=xcb
  # The program measures its own baseline; the table shows what it wrote.
  (
    mkdir -p "$json_dir/$p"
    export LUMO_BENCH_JSON="$PWD/$json_dir/$p"
    [ -n "$platform" ] && export QT_QPA_PLATFORM=$platform
    exec timeout --kill-after=10 "$limit" "$exe"
  ) >"$log_dir/$p.log" 2>&1
  code=$?
  case $code in
  0) state=ok ;;
  124 | 137) state="timed out after ${limit} s" ;;
  *) state="exit $code" ;;
  esac
  ((code > 128 && code != 137)) && state="crashed (signal $((code - 128)))"
  printf '%s\t%s\n' "$p" "$state" >>"$status_file"
  echo "   $state" >&2
done

python3 - "$json_dir" "$status_file" <<'EOF'
import json, os, sys

json_dir, status_file = sys.argv[1], sys.argv[2]

def number(v):
    if v is None:
        return ""
    a = abs(v)
    if a != 0 and (a >= 1e6 or a < 1e-3):
        return f"{v:.3g}"
    if a >= 100:
        return f"{v:.1f}"
    return f"{v:.3f}".rstrip("0").rstrip(".") if a < 10 else f"{v:.2f}"

rows = []
met = not_met = 0
statuses = []
with open(status_file, encoding="utf-8") as f:
    for line in f:
        program, _, state = line.rstrip("\n").partition("\t")
        statuses.append((program, state))

# Each program wrote its files into a folder of its own.
for program, state in statuses:
    folder = os.path.join(json_dir, program)
    names = sorted(n for n in os.listdir(folder) if n.endswith(".json")) if os.path.isdir(folder) else []
    count = 0
    for name in names:
        try:
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                figures = json.load(f).get("figures", [])
        except (OSError, ValueError) as error:
            rows.append((program, f"unreadable figures ({name}): {error}", "", "", "", "", ""))
            continue
        for fig in figures:
            count += 1
            verdict = ""
            if "met" in fig:
                verdict = "met" if fig["met"] else "NOT MET"
                if fig["met"]:
                    met += 1
                else:
                    not_met += 1
            baseline = ""
            if "baseline_name" in fig:
                baseline = f'{number(fig.get("baseline"))} ({fig["baseline_name"]})'
            rows.append((fig.get("path", name[:-5]), fig.get("figure", ""), number(fig.get("value")),
                         baseline, number(fig.get("ratio")) if "ratio" in fig else "",
                         fig.get("target", ""), verdict))
    if count == 0:
        rows.append((program, "no figures" + ("" if state == "ok" else f": {state}"),
                     "", "", "", "", ""))
    elif state != "ok":
        rows.append((program, f"program {state} (figures above are what it wrote)",
                     "", "", "", "", ""))

header = ("path", "figure", "value", "baseline (same run)", "ratio", "target", "")
widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
widths = [min(w, 60) for w in widths]
def show(r):
    cells = [str(c)[:60] for c in r]
    return "  ".join(c.ljust(widths[i]) for i, c in enumerate(cells)).rstrip()
print()
print(show(header))
print("  ".join("-" * w for w in widths))
for r in rows:
    print(show(r))
print()
print(f"{met} met, {not_met} not met")
EOF
