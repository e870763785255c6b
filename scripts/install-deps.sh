#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing
# when they are all there already.
#   install-deps.sh          everything (every suite of scripts/test.sh)
#   install-deps.sh demo     only what scripts/demo.sh builds and runs
set -euo pipefail
case ${1:-all} in
  demo) packages=(g++ cmake ninja-build libcli11-dev gputils) ;;
  all)  packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev gputils gpsim srecord
                  libwxgtk3.2-dev libgtk-3-dev xvfb xauth xdotool imagemagick socat
                  clang libclang-rt-14-dev libcli11-dev dpkg-dev lintian groff-base
                  g++-mingw-w64-x86-64-posix wine wine64 zip gpsim-dev libglib2.0-dev ser2net) ;;
  *)    echo "install-deps.sh: unknown set '$1' (demo, or none for everything)" >&2; exit 2 ;;
esac
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
