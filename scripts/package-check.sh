#!/usr/bin/env bash
# Checks the Debian package end to end on this machine (root, or a user with
# sudo): builds it (scripts/package.sh), installs it with apt-get, runs the
# installed LumoStudent without a display against the local servers of the
# build tree until it is in class (the installed castagent fetches the demo
# course on the way), removes the package and verifies that nothing of it is
# left. Exits non-zero at the first failure. An installed lumostudent is
# removed first, so the check installs exactly the package it built.
#
# Environment: LUMO_PACKAGE_DIR (default build-package), LUMO_JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${LUMO_PACKAGE_DIR:-build-package}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

fail() {
  echo "package-check: FAILED: $*" >&2
  exit 1
}
step_start=$SECONDS
step() { # the time of the previous step, then the name of the next
  echo "package-check: ($((SECONDS - step_start)) s) $*"
  step_start=$SECONDS
}

installed() { dpkg-query -W -f='${db:Status-Abbrev}' lumostudent 2>/dev/null | grep -q '^i'; }

step "building the package"
bash scripts/package.sh
deb=$(ls "$build_dir"/lumostudent_*.deb)
# The local servers and the demo course they serve, from the same build tree.
cmake --build "$build_dir" -j "${LUMO_JOBS:-$(nproc)}" \
  --target lumo-classroom-sim lumo_sim_demo_config lumo_sim_demo_course
sim=$build_dir/bin/lumo-classroom-sim
[ -f "$build_dir/bin/demo/courses/campus7/demo.lsn" ] || fail "the demo course was not built"

step "checking the package's files"
mapfile -t packaged < <(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | grep -v '^$')
for wanted in /usr/bin/LumoStudent /usr/lib/lumostudent/LumoStudent /usr/lib/lumostudent/castagent \
  /usr/lib/lumostudent/libVocana.so /usr/lib/lumostudent/whiteboardole_webview.so \
  /usr/lib/lumostudent/libAulix_WhiteBoardOLEPlayer.so /usr/lib/lumostudent/libAulix_WhiteBoardOLEWebReady.so \
  /usr/lib/lumostudent/libLumoMediaDevices.so /usr/lib/lumostudent/libAulix_VolumeControlPulse.so \
  /usr/lib/lumostudent/help/LumoStudent.html /usr/share/man/man1/LumoStudent.1.gz \
  /usr/share/applications/org.lumoclass.LumoStudent.desktop \
  /usr/share/metainfo/org.lumoclass.LumoStudent.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/org.lumoclass.LumoStudent.svg \
  /usr/share/icons/hicolor/48x48/apps/org.lumoclass.LumoStudent.png; do
  printf '%s\n' "${packaged[@]}" | grep -qx -- "$wanted" || fail "the package lacks $wanted"
done
# Both validators come with scripts/install-deps.sh (run by package.sh).
desktop-file-validate packaging/org.lumoclass.LumoStudent.desktop || fail "desktop entry"
appstreamcli validate --no-net packaging/org.lumoclass.LumoStudent.metainfo.xml >/dev/null ||
  fail "AppStream metadata"

step "installing"
if installed; then
  $SUDO apt-get remove -y -qq lumostudent >/dev/null
fi
# A machine whose package lists were never fetched (or were cleaned) cannot
# resolve the package's dependencies: fetch them and try once more.
if ! $SUDO apt-get install -y -qq "./$deb" >/dev/null; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq "./$deb" >/dev/null
fi
installed || fail "lumostudent is not installed after apt-get install"
[ "$(command -v LumoStudent)" = /usr/bin/LumoStudent ] || fail "LumoStudent is not on the PATH"
LumoStudent --help | grep -q -- '--campus' || fail "LumoStudent --help"

step "running the installed program against the local servers"
work=$(mktemp -d /tmp/lumo-package-check.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
# A sound server with null devices when the machine has none; its own
# clean-up runs after ours.
# shellcheck source=scripts/test-env.sh
source scripts/test-env.sh
trap 'cleanup; lumo_stop_test_env' EXIT

wait_for() { # file pattern seconds
  local i
  for ((i = 0; i < $3 * 10; i++)); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

"$sim" >"$work/sim.out" 2>"$work/sim.err" </dev/null &
pids+=($!)
wait_for "$work/sim.out" '"campus"' 20 || { cat "$work/sim.err" >&2; fail "the local servers did not start"; }
ports=$(head -n 1 "$work/sim.out")
port_of() { sed -E "s/.*\"$1\":([0-9]+).*/\\1/" <<<"$ports"; }

# The student's courseware folder starts empty: entering needs the companion
# (castagent) to fetch the course, so the run proves the program finds it.
QT_QPA_PLATFORM=offscreen /usr/bin/LumoStudent --campus "127.0.0.1:$(port_of campus)" \
  --web "127.0.0.1:$(port_of web)" --data "$work/student" --user demo --password demo \
  --enter 12 --auto >"$work/student.out" 2>"$work/student.err" </dev/null &
pids+=($!)
if ! wait_for "$work/student.out" '"entry".*InClass' 90; then
  echo "=== student ===" >&2
  cat "$work/student.out" >&2
  tail -n 20 "$work/student.err" >&2
  [ -f "$work/student/LumoClass.log" ] && cat "$work/student/LumoClass.log" >&2
  fail "the installed program did not get into class"
fi
[ -f "$work/student/Course/demo.lsn" ] || fail "the companion did not fetch the course"
# The class's notes are kept in the data folder from its entry on.
compgen -G "$work/student/History/*.notes" >/dev/null || fail "the class's notes are not kept"
if grep -q 'LoadVoiceEngine' "$work/student/LumoClass.log" 2>/dev/null; then
  fail "the installed program did not load its voice engine"
fi
grep -m1 '"entry".*InClass' "$work/student.out"
cleanup
pids=()

step "removing"
$SUDO apt-get remove -y -qq lumostudent >/dev/null
! installed || fail "lumostudent is still installed"
# dpkg keeps a record (state "config-files") because of the ldconfig call
# CPack puts in postrm; it names no file, and a purge clears it.
if dpkg -L lumostudent 2>/dev/null | grep -q '^/'; then
  fail "dpkg still lists files of lumostudent"
fi
[ ! -e /usr/lib/lumostudent ] || fail "/usr/lib/lumostudent is left"
for path in "${packaged[@]}"; do
  case $path in
    # Shared folders stay for other packages.
    /usr | /usr/bin | /usr/lib | /usr/share | /usr/share/applications | \
      /usr/share/doc | /usr/share/icons | /usr/share/icons/hicolor | /usr/share/icons/hicolor/* | \
      /usr/share/man | /usr/share/man/man1 | /usr/share/metainfo)
      [ -d "$path" ] && continue
      ;;
  esac
  if [ -e "$path" ] || [ -L "$path" ]; then
    fail "$path is left"
  fi
done
$SUDO apt-get purge -y -qq lumostudent >/dev/null
if dpkg-query -W lumostudent >/dev/null 2>&1; then
  fail "dpkg still knows lumostudent after the purge"
fi
step "passed"
