#!/usr/bin/env bash
# The README's pictures, made by the program itself: a headless run of the
# demo (scripts/demo.sh) saves a picture of every stage; this keeps three of
# them in docs/pictures/: the login dialog, the booking dialog and the
# lesson in progress. Run it after a change to what these windows show and
# commit the pictures with the change.
#
# Environment: LUMO_BUILD_DIR and LUMO_DEMO_NO_BUILD=1 as for the demo.
set -euo pipefail
cd "$(dirname "$0")/.."

out=docs/pictures
work=$(mktemp -d /tmp/lumo-readme-pictures.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Its own virtual display (the same size every time) and the program's
# own language, Chinese.
env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 LANG=C.UTF-8 LANGUAGE= \
  LUMO_DEMO_PICTURES="$work/pictures" bash scripts/demo.sh >"$work/demo.log" 2>&1 || {
  tail -n 30 "$work/demo.log" >&2
  echo "readme-pictures: the demo failed" >&2
  exit 1
}

pick() { # pattern: the first picture of a stage that matches
  local found
  found=$(find "$work/pictures" -name "$1" -size +0 | sort | head -n 1)
  [ -n "$found" ] || { echo "readme-pictures: no picture $1" >&2; exit 1; }
  printf '%s\n' "$found"
}

mkdir -p "$out"
cp "$(pick '*-shown_frmLogin-window.png')" "$out/login.png"
cp "$(pick '*-shown_FrmSubscribe-window.png')" "$out/booking.png"
# The lesson: the main window with the most on it (the teacher's page, the
# roster and the notes), which is also its largest picture.
lesson=$(find "$work/pictures" -name '*-Form1.png' -size +0 -printf '%s %p\n' | sort -n | tail -n 1)
[ -n "$lesson" ] || { echo "readme-pictures: no picture of the lesson" >&2; exit 1; }
cp "${lesson#* }" "$out/lesson.png"
ls -l "$out"
