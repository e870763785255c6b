#!/usr/bin/env bash
# Packs this build into a .deb, unpacks it into a scratch root with dpkg -x
# and checks what a user gets: the three programs, the menu entry and its
# icons, the man pages, the Debian documents, the examples, the chip model's
# plug-in (run from the unpacked tree: a board programmed through it), real
# Depends, and no lintian errors. Usage: check_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Tries a command every 0.1 s for at most 15 s.
poll() { for _ in $(seq 150); do "$@" && return 0; sleep 0.1; done; return 1; }
for tool in cpack dpkg-deb lintian groff gzip; do
  if ! command -v "$tool" >/dev/null; then
    [ "${CI:-}" = true ] && fail "$tool is not installed"
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

(cd "$build" && cpack -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$work/out/fernbow_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb"
dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr

for program in fernbow fernbow-cli fernbow-sim; do
  [ -x "$root/bin/$program" ] || fail "bin/$program missing or not executable"
done
[ "$("$root/bin/fernbow-cli" --version)" = "fernbow-cli $version" ] || fail "the packaged fernbow-cli does not run"

desktop=$root/share/applications/fernbow.desktop
grep -qx 'Name=Fernbow' "$desktop" || fail "no menu name in $desktop"
grep -qx 'Exec=fernbow' "$desktop" || fail "the menu entry does not start fernbow"
grep -qx 'Icon=fernbow' "$desktop" || fail "the menu entry has no icon"
for size in 16 32; do
  icon=$root/share/icons/hicolor/${size}x${size}/apps/fernbow.png
  [ -f "$icon" ] || fail "no ${size}x${size} icon"
  # PNG signature, then the IHDR width as a big-endian number at byte 16.
  [ "$(head -c 4 "$icon" | od -An -c | tr -d ' ')" = "211PNG" ] || fail "$icon is not a PNG"
  [ "$(od -An -tu1 -j 16 -N 4 "$icon" | awk '{print $1*16777216+$2*65536+$3*256+$4}')" = "$size" ] \
    || fail "$icon is not $size pixels wide"
done

for page in fernbow fernbow-cli fernbow-sim; do
  man=$root/share/man/man1/$page.1.gz
  gzip -t "$man" || fail "$man is not gzip"
  zgrep -q "^\.TH ${page^^} 1 .*\"Fernbow $version\"" "$man" || fail "$man has no title line for $page(1) $version"
  for section in OPTIONS EXIT FILES EXAMPLES; do
    [ "$page" = fernbow ] && [ "$section" = OPTIONS ] && continue
    zgrep -q "^\.SH $section" "$man" || fail "$man has no $section section"
  done
  warnings=$(zcat "$man" | LC_ALL=C.UTF-8 MANWIDTH=80 groff -man -Tutf8 -ww -z 2>&1 || true)
  [ -z "$warnings" ] || fail "$man: $warnings"
  # Where a user with a blank chip turns.
  zgrep -q '^\.I /usr/share/fernbow/firmware/' "$man" || fail "$man does not name the firmware folder"
  zgrep -q 'Putting the bootloader on a blank chip' "$man" || fail "$man does not name the README's section"
done
zgrep -q '^## Putting the bootloader on a blank chip' "$root/share/doc/fernbow/README.md.gz" || fail "no README"

# The licence travels in the machine-readable copyright file.
copyright=$root/share/doc/fernbow/copyright
[ -f "$copyright" ] || fail "no copyright file"
head -n 1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "$copyright is not in the machine-readable format"
grep -qx 'License: Expat' "$copyright" || fail "$copyright does not name the MIT (Expat) licence"
grep -q 'Permission is hereby granted, free of charge' "$copyright" || fail "$copyright lacks the licence text"
gzip -t "$root/share/doc/fernbow/changelog.gz" || fail "no changelog"
top=$(zcat "$root/share/doc/fernbow/changelog.gz" | sed -n 1p)
[[ $top == "fernbow ($version) "* ]] || fail "the changelog's top entry is not $version: $top"
# The examples' sources; the bootloader for a blank chip and the examples'
# HEX files (assembled wherever gpasm is installed).
for example in blink16f88 blink16f819 hello16f88; do
  [ -f "$root/share/fernbow/examples/$example.asm" ] || fail "no example $example.asm"
done
if [ "${CI:-}" = true ] || command -v gpasm >/dev/null; then
  for chip in 16f88 16f819; do
    hex=$root/share/fernbow/firmware/fernbow-boot-$chip.hex
    grep -q '^:00000001FF' "$hex" 2>/dev/null || fail "no bootloader firmware share/fernbow/firmware/fernbow-boot-$chip.hex"
  done
  for example in blink16f88 blink16f819 hello16f88; do
    grep -q '^:00000001FF' "$root/share/fernbow/examples/$example.hex" 2>/dev/null || fail "no example $example.hex"
  done
fi
# The page (built wherever Emscripten is installed), whole: it fetches nothing.
if [ "${CI:-}" = true ] || command -v emcmake >/dev/null; then
  for file in index.html page.js port.js fernbow-engine.js; do
    [ -s "$root/share/fernbow/web/$file" ] || fail "no page file share/fernbow/web/$file"
  done
fi

depends=$(dpkg-deb -f "$deb" Depends)
for library in libwxgtk3.2 libgtk-3 libc6; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
# The chip model needs gpsim, but nothing else does.
grep -q gpsim <<<"$depends" && fail "Depends names gpsim, which is only recommended: $depends"
grep -qw gpsim <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "gpsim is not recommended"
# No maintainer scripts (a library where ldconfig looks would bring them).
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'preinst|postinst|prerm|postrm' || true)
[ -z "$scripts" ] || fail "the package has maintainer scripts: $scripts"

# The chip model from the unpacked tree: fernbow-sim finds the plug-in and
# the firmware beside itself (never in a build tree it was not run from), and
# the unpacked fernbow-cli programs an example through them.
plugin=$root/lib/fernbow/gpsim/fernbow-chipmodel.so
if [ -f "$build/sim/chipmodel/fernbow-chipmodel.so" ] || [ "${CI:-}" = true ]; then
  [ -f "$plugin" ] || fail "no chip model plug-in in lib/fernbow/gpsim"
  if command -v gpsim >/dev/null && [ -f "$root/share/fernbow/examples/hello16f88.hex" ]; then
    "$root/bin/fernbow-sim" --chip-model --chip 88 >"$work/sim.dev" 2>"$work/sim.err" &
    sim_pid=$!
    plugin_loaded() { grep -qF "$plugin" "/proc/$(pgrep -P "$sim_pid" -x gpsim | head -n 1)/maps" 2>/dev/null; }
    poll test -s "$work/sim.dev" || fail "the unpacked fernbow-sim --chip-model did not start: $(cat "$work/sim.err")"
    poll plugin_loaded || fail "gpsim did not load the unpacked plug-in"
    "$root/bin/fernbow-cli" --port "$(head -n 1 "$work/sim.dev")" --wait 20 \
      "$root/share/fernbow/examples/hello16f88.hex" >"$work/cli.out" 2>&1 ||
      fail "the unpacked tools did not program the chip model: $(cat "$work/cli.out")"
  fi
fi

lintian --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1 || true
if grep -q '^E:' "$work/lintian.log"; then
  cat "$work/lintian.log"
  fail "lintian reports errors"
fi
echo "package fine: $(basename "$deb")"
