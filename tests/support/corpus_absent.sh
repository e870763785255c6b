# Sourced by the shell tests: a file of the real-world corpus (the folder
# FERNBOW_HEXCORPUS, from CMake) may be absent on this machine. Exits 77 (skip)
# when HEX lies in that corpus and the corpus is not here, 1 when HEX is missing
# otherwise.
require_hex() {
  local hex=$1 corpus=${FERNBOW_HEXCORPUS:-}
  [ -f "$hex" ] && return 0
  if [ -n "$corpus" ] && [ "${hex#"$corpus"/}" != "$hex" ] && [ ! -d "$corpus" ]; then
    echo "SKIP: the real-world HEX corpus is absent here: no folder $corpus"
    exit 77
  fi
  echo "FAIL: no $hex"
  exit 1
}
