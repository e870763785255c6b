#!/usr/bin/env bash
# Runs a command while Wine's COMa and COMb are the two ends of a
# pseudo-terminal pair: with_com_pair.sh PREFIX a b command [arguments...]
set -uo pipefail
prefix=$1 a=$2 b=$3
shift 3
dir=$(mktemp -d)
socat pty,raw,echo=0,link="$dir/a" pty,raw,echo=0,link="$dir/b" &
socat_pid=$!
cleanup() {
  exec 3<&- 4<&-
  kill "$socat_pid" 2>/dev/null
  wait "$socat_pid" 2>/dev/null
  rm -f "$prefix/dosdevices/com$a" "$prefix/dosdevices/com$b"
  rm -rf "$dir"
}
trap cleanup EXIT
for _ in $(seq 200); do
  [ -e "$dir/a" ] && [ -e "$dir/b" ] && break
  sleep 0.05
done
if ! [ -e "$dir/a" ] || ! [ -e "$dir/b" ]; then
  echo "with_com_pair.sh: socat made no pseudo-terminals" >&2
  exit 1
fi
# Held open here so that socat does not end when the program under test
# closes a port.
exec 3<>"$(readlink "$dir/a")" 4<>"$(readlink "$dir/b")"
mkdir -p "$prefix/dosdevices"
ln -sfn "$(readlink "$dir/a")" "$prefix/dosdevices/com$a"
ln -sfn "$(readlink "$dir/b")" "$prefix/dosdevices/com$b"
"$@"
