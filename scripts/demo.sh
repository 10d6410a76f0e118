#!/usr/bin/env bash
# The main job: starts the local classroom environment (web, campus and
# classroom servers, voice relay, a scripted teacher and classmates) and the
# real student window, configured (a throw-away settings folder) to reach
# them.
#
# With a display: the window opens with the login dialog filled with
# demo/demo; press OK, book or pick the demo course and enter.
# Without one: the window runs on a virtual display (Xvfb) and drives itself
# through login, booking and entry; its events are printed and a picture of
# each stage is saved to a folder named at the start and at the end.
# Ends after the teacher's script, when the window is closed, or at Ctrl-C.
# Lines typed while it runs are teacher commands ("help" lists them).
#
# Environment: LUMO_BUILD_DIR (default build), LUMO_DEMO_NO_BUILD=1 to skip
# installing and building, LUMO_DEMO_HEADLESS=1 to drive the window even
# with a display, LUMO_DEMO_PICTURES=DIR for the pictures,
# LUMO_DEMO_CLI=1 for the command-line student instead of the window.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${LUMO_BUILD_DIR:-build}
if [ -z "${LUMO_DEMO_NO_BUILD:-}" ]; then
  bash scripts/install-deps.sh
  # What the demo runs, not the tests and benchmarks: the window and what it
  # starts or loads (its libraries, castagent, the voice engine, the web view
  # plugin), the servers, the command-line student and the demo course.
  LUMO_TARGETS="LumoStudent castagent Vocana lumo-classroom-sim lumo-cli
    lumo_sim_demo_config lumo_sim_demo_course" LUMO_BUILD_DIR=$build_dir bash scripts/build.sh
fi
sim=$build_dir/bin/lumo-classroom-sim
cli=$build_dir/bin/lumo-cli
client=$build_dir/bin/LumoStudent
for program in "$sim" "$cli" "$client"; do
  [ -x "$program" ] || { echo "demo: $program is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/lumo-demo.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Only our own: the virtual display's server ends after this.
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# Ctrl-C (or an INT to this script alone) stops the simulator; the
# student sees the lesson end and the rest follows as after the script.
sim_pid=
trap 'echo "demo: stopping"; [ -n "$sim_pid" ] && kill -INT "$sim_pid" 2>/dev/null' INT

# Wire texts carry NUL padding; it is noise on a terminal.
readable() { sed -u -e 's/\\u0000//g' -e "s/^/$1 /"; }

wait_for() { # file pattern seconds
  local i
  for ((i = 0; i < $3 * 10; i++)); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "demo: timed out waiting for $2" >&2
  return 1
}

http_get() { # port path: the body of a plain HTTP GET, with bash's own sockets
  # The server keeps the connection open: the body is Content-Length bytes.
  local line length=0 body=
  exec 5<>"/dev/tcp/127.0.0.1/$1"
  printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$2" >&5
  while IFS= read -r -t 5 line <&5; do
    line=${line%$'\r'}
    [ -z "$line" ] && break
    case ${line,,} in content-length:*) length=${line#*:}; length=${length// /} ;; esac
  done
  if [ "$length" -gt 0 ]; then
    IFS= read -r -t 5 -N "$length" body <&5 || true
  fi
  exec 5>&-
  printf '%s' "$body"
}

http_status() { # port path: the status code of a plain HTTP GET; the body is not read
  local status_line
  exec 5<>"/dev/tcp/127.0.0.1/$1"
  printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$2" >&5
  IFS=' ' read -r -t 5 _ status_line _ <&5 || true
  exec 5>&-
  printf '%s' "$status_line"
}

# --- the environment -------------------------------------------------------
"$sim" --exit-after-script <&0 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
pids+=("$sim_pid")
wait_for "$work/sim.out" '"campus"' 10 || { cat "$work/sim.err" >&2; exit 1; }
ports=$(head -n 1 "$work/sim.out")
port_of() { sed -E "s/.*\"$1\":([0-9]+).*/\\1/" <<<"$ports"; }
web=$(port_of web)
campus=$(port_of campus)
classroom=$(port_of classroom)
echo "demo: servers on 127.0.0.1: web $web, campus $campus, classroom and voice $classroom"
tail -n +2 -f --pid="$sim_pid" "$work/sim.out" | readable "[sim]" &
pids+=($!)

# --- the command-line student (LUMO_DEMO_CLI=1) ---------------------------------
run_headless_student() {
  local id address course
  id=$(http_get "$web" "/askdesk/balance/getuserid.asp?username=demo")
  address=$(http_get "$web" "/askdesk/balance/")
  echo "demo: web: user demo is number $id, the campus server is $address"
  course=$(http_status "$web" "/CampusDir/campus7/demo.lsn")
  if [ "$course" = "200" ]; then
    echo "demo: web: the demo courseware is served at http://127.0.0.1:$web/CampusDir/campus7/demo.lsn"
  else
    echo "demo: web: the demo courseware was not built (it needs the courseware writer and Qt Gui)"
  fi

  # Campus: log in, see the booked and bookable courses and the categories,
  # choose the demo course, leave.
  mkfifo "$work/campus.in"
  # The output exists before the reader starts: opening the feed blocks the
  # student's redirections until a writer comes.
  : >"$work/campus.out"
  "$cli" --host "$address" --port "$campus" --id "$id" --password demo --campus \
    <"$work/campus.in" >"$work/campus.out" 2>&1 &
  local campus_pid=$!
  pids+=("$campus_pid")
  # Readers start before the feed opens: one that held the feed's
  # descriptor would keep the student's input from ever ending.
  tail -n +1 -f --pid="$campus_pid" "$work/campus.out" | readable "[campus]" &
  exec 4>"$work/campus.in"
  wait_for "$work/campus.out" '"GetMsgCampusLogIn","Result":true' 10
  echo '{"call":"SendCampusCourseListMsg","CmdVerb":1}' >&4
  echo '{"call":"SendCampusCourseListMsg","CmdVerb":3}' >&4
  echo '{"call":"SendCampusListMsg"}' >&4
  wait_for "$work/campus.out" '"GetMsgCampusList"' 10
  echo '{"call":"SendCampusChooseCourseMsg","CourseID":12,"CmdVerb":1}' >&4
  wait_for "$work/campus.out" '"GetMsgCampusChooseCourse"' 10
  echo '{"call":"Disconnect"}' >&4
  exec 4>&-
  wait "$campus_pid" || true

  # Classroom: log in, ask for the voice key, report ready (the teacher's
  # script starts then), answer the questions.
  mkfifo "$work/class.in"
  : >"$work/class.out"
  "$cli" --host "$address" --port "$classroom" --id "$id" --password demo \
    <"$work/class.in" >"$work/class.out" 2>&1 &
  local class_pid=$!
  pids+=("$class_pid")
  tail -n +1 -f --pid="$class_pid" "$work/class.out" | while IFS= read -r line; do
    printf '%s\n' "$line" | readable "[class]"
    case $line in
      *'"event":"GetMsgYESNOPrompt"'*) echo '{"call":"SendAnswerMsg","boolYes":true}' >"$work/class.in" ;;
      *'"event":"GetMsgOKPrompt"'*) echo '{"call":"SendOKAnswerMsg","boolYes":true}' >"$work/class.in" ;;
    esac
  done &
  local printer_pid=$!
  pids+=("$printer_pid")
  exec 4>"$work/class.in"
  wait_for "$work/class.out" '"GetMsgUserList"' 10
  echo '{"call":"SendMsgGetClientKey"}' >&4
  echo '{"call":"SendMsgClientReady"}' >&4
  # The lesson ends when the simulator does (after the script or Ctrl-C).
  wait "$sim_pid" || true
  echo '{"call":"Disconnect"}' >&4 2>/dev/null || true
  exec 4>&-
  wait "$class_pid" || true
  wait "$printer_pid" 2>/dev/null || true
}

# --- the real window -----------------------------------------------------------
run_window_student() {
  local headless=${LUMO_DEMO_HEADLESS:-}
  if [ -z "${DISPLAY:-}" ]; then
    headless=1
    # A virtual display and a sound server with null devices; their own
    # clean-up runs after ours.
    trap - EXIT
    # shellcheck source=scripts/test-env.sh
    source scripts/test-env.sh
    trap 'cleanup; lumo_stop_test_env' EXIT
    [ -n "${DISPLAY:-}" ] || { echo "demo: no display and no Xvfb" >&2; exit 1; }
    echo "demo: virtual display $DISPLAY"
  fi
  local pictures=${LUMO_DEMO_PICTURES:-}
  if [ -z "$pictures" ]; then
    pictures=$(mktemp -d /tmp/lumo-demo-pictures.XXXXXX)
  fi
  mkdir -p "$pictures"
  local args=(--campus "127.0.0.1:$campus" --web "127.0.0.1:$web" --data "$work/student"
    --user demo --password demo)
  if [ -n "$headless" ]; then
    # The companion fetches missing courseware only once the course lists
    # name it, after the entry was refused; an unattended run starts with
    # the demo course already in the student's courseware folder.
    local course=$build_dir/bin/demo/courses/campus7/demo.lsn
    if [ -f "$course" ]; then
      mkdir -p "$work/student/Course"
      cp "$course" "$work/student/Course/"
    fi
    args+=(--enter 12 --auto --screenshots "$pictures")
    echo "demo: the window drives itself; pictures of each stage go to $pictures"
  else
    args+=(--login-dialog --screenshots "$pictures")
    echo "demo: the login dialog is filled with demo/demo: press OK (pictures go to $pictures)"
  fi
  : >"$work/student.out"
  "$client" "${args[@]}" >"$work/student.out" 2>"$work/student.err" &
  local client_pid=$!
  pids+=("$client_pid")
  tail -n +1 -f --pid="$client_pid" "$work/student.out" | readable "[student]" &
  pids+=($!)
  # The lesson ends when the simulator does, or the student closes the window.
  while kill -0 "$sim_pid" 2>/dev/null && kill -0 "$client_pid" 2>/dev/null; do sleep 0.5; done
  sleep 1
  kill "$client_pid" 2>/dev/null || true
  wait "$client_pid" 2>/dev/null || true
  if [ -s "$work/student.err" ]; then
    # Warnings and errors only; the web engine's start-up report is noise.
    grep -i -e 'error' -e 'warn' -e 'fail' "$work/student.err" | grep -v -e '^qt\.' \
      | sed 's/^/[student stderr] /' | head -n 20 || true
  fi
  if [ -s "$work/student/LumoClass.log" ]; then
    echo "demo: the student's error log:"
    sed 's/\r$//' "$work/student/LumoClass.log" | sed '/^$/d' | sed 's/^/[log] /' | tail -n 40
  fi
  echo "demo: pictures of each stage: $pictures ($(ls "$pictures" | wc -l) files)"
}

if [ -n "${LUMO_DEMO_CLI:-}" ]; then
  run_headless_student
else
  run_window_student
fi
echo "demo: the lesson is over"
