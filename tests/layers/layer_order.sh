#!/usr/bin/env bash
# Fails when a file includes a header from a layer above its own.
#   layer_order.sh SOURCE_DIR
# A folder's rank: os/ at the bottom, the front ends and the programs on top.
# A file may include its own folder's headers and those of lower ranks only;
# two folders of one rank (app/ and cli/, say) do not include each other.
set -euo pipefail
cd "$1"
declare -A rank=(
  [os]=0
  [engine]=1 [settings]=1
  [serial]=2 [res]=2
  [gang]=3
  [app]=4 [cli]=4 [web]=4 [sim]=4 [perf]=4
)

# Header name -> its layer (headers are included by bare name through the
# folders each library exports).
declare -A owner=()
while IFS= read -r header; do
  owner[$(basename "$header")]=${header%%/*}
done < <(git ls-files -- "${!rank[@]}" | grep -E '\.(h|hpp)(\.in)?$' | sed 's/\.in$//')

bad=0
while IFS= read -r file; do
  layer=${file%%/*}
  while IFS= read -r name; do
    target=${owner[$(basename "$name")]:-}
    [ -n "$target" ] && [ "$target" != "$layer" ] || continue
    if (( rank[$target] >= rank[$layer] )); then
      echo "$file includes $name from $target/, a layer not below $layer/"
      bad=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -- "${!rank[@]}" | grep -E '\.(c|cc|cpp|h|hpp)$')
[ "$bad" -eq 0 ] && echo "every include runs down the layers"
exit "$bad"
