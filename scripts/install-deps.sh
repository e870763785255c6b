#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and the npm
# packages of the page's browser tests (web/tests); does nothing when they
# are all there already.
#   install-deps.sh          everything (every suite of scripts/test.sh)
#   install-deps.sh demo     only what scripts/demo.sh builds and runs
set -euo pipefail
case ${1:-all} in
  demo) packages=(g++ cmake ninja-build libcli11-dev gputils) ;;
  all)  packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev gputils gpsim srecord
                  libwxgtk3.2-dev libgtk-3-dev xvfb xauth xdotool imagemagick socat
                  clang libclang-rt-14-dev libcli11-dev dpkg-dev lintian groff-base
                  g++-mingw-w64-x86-64-posix wine wine64 zip gpsim-dev libglib2.0-dev ser2net
                  emscripten chromium websockify) ;;
  *)    echo "install-deps.sh: unknown set '$1' (demo, or none for everything)" >&2; exit 2 ;;
esac
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The browser tests' driver (puppeteer-core), as locked in web/tests.
if [ "${1:-all}" = all ]; then
  web_tests=$(cd "$(dirname "$0")/../web/tests" && pwd)
  if ! [ -d "$web_tests/node_modules/puppeteer-core" ]; then
    command -v npm >/dev/null || { $SUDO apt-get update -qq; DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq npm >/dev/null; }
    (cd "$web_tests" && npm ci --no-audit --no-fund >/dev/null)
  fi
fi
