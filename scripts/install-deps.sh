#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-webengine-dev qt6-webengine-dev-tools
  qt6-httpserver-dev qt6-websockets-dev libqt6opengl6-dev qt6-l10n-tools qt6-tools-dev qt6-translations-l10n libqt6svg6
  libgl-dev libglx-dev
  zlib1g-dev libdeflate-dev libopus-dev libpulse-dev libspeexdsp-dev
  libwebrtc-audio-processing-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth pulseaudio pulseaudio-utils espeak-ng sox
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
  fonts-noto-cjk fonts-dejavu-core
  dbus dbus-x11 at-spi2-core gir1.2-atspi-2.0 python3-gi curl
  file  # CPack reads the package's files with it (scripts/package.sh)
  desktop-file-utils appstream  # scripts/package-check.sh validates the menu entry and metadata
)

# One query for all packages: asking dpkg once per package costs about a
# second and a half at every start.
mapfile -t installed < <(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null |
  awk '$1 == "ii" { print $2 }')
declare -A have=()
for p in "${installed[@]}"; do
  have[${p%%:*}]=1
done
missing=()
for p in "${packages[@]}"; do
  [[ -n ${have[$p]:-} ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
