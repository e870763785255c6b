#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; does
# nothing when they are all there already.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev gputils gpsim srecord
          libwxgtk3.2-dev libgtk-3-dev xvfb xauth xdotool imagemagick socat
          clang libclang-rt-14-dev libcli11-dev dpkg-dev lintian groff-base
          g++-mingw-w64-x86-64-posix wine wine64 zip gpsim-dev libglib2.0-dev ser2net)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
