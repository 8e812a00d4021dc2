#!/usr/bin/env bash
# Installs every Debian package needed to build, test and benchmark the player.
# Idempotent and quick when everything is present: apt-get runs only for what is missing.
set -euo pipefail

packages=(
  # build
  build-essential clang cmake ninja-build pkg-config clang-format fonts-dejavu-core
  fonts-liberation2  # Arial metrics for the window's Arial labels
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins
  libmpg123-dev libsdl2-dev libcurl4-openssl-dev libasound2-dev
  libxcb1-dev libxcb-keysyms1-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev  # headers; loaded at run time
  # tests
  googletest libgtest-dev libgmock-dev
  lame mpg123 sox openssl ffmpeg
  xvfb xauth xdotool x11-utils imagemagick trayer
  icecast2 ezstream
  pulseaudio pulseaudio-utils libasound2-plugins
  dbus dbus-x11 playerctl libglib2.0-bin
  weston qt6-wayland  # a Wayland session: Weston's headless and nested backends, Qt's wayland platform
  libclang-rt-14-dev  # the sanitizers' and the fuzzer's run-time
  # benchmarks
  libbenchmark-dev mpv
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]} (run as root or with sudo)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# Services from the packages (icecast2, pulseaudio) must not start at install: tests start their own.
policy=/usr/sbin/policy-rc.d
created_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' > "$policy"
  chmod +x "$policy"
  created_policy=1
fi
trap '[ $created_policy -eq 1 ] && rm -f "$policy"' EXIT

apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
