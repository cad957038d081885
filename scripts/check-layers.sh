#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer, or when a
# layer below the workbench includes Qt. Layers, lowest first:
# platform < foundation < search < forms < workbench < app.
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(platform foundation search forms workbench app)
rank() { local i; for i in "${!layers[@]}"; do [[ ${layers[$i]} == "$1" ]] && { echo "$i"; return; }; done; echo -1; }
bad=0
while IFS= read -r file; do
  own=$(rank "$(cut -d/ -f2 <<<"$file")")
  while IFS=: read -r line inc; do
    target=$(sed -E 's/^#include "([^/"]+)\/.*/\1/' <<<"$inc")
    r=$(rank "$target")
    if (( r > own )); then
      echo "$file:$line: includes a higher layer: $inc"; bad=1
    fi
  done < <(grep -n '^#include "' "$file" | sed -E 's/^([0-9]+):/\1:/' || true)
  if (( own < $(rank workbench) )) && grep -nE '^#include <Q[A-Za-z]*(/|>)' "$file" >/dev/null; then
    echo "$file: includes Qt below the workbench"; bad=1
  fi
done < <(git ls-files --cached --others --exclude-standard 'src/*.h' 'src/*.cpp' 2>/dev/null || find src -name '*.h' -o -name '*.cpp')
if (( bad )); then exit 1; fi
echo "layers: no upward include, no Qt below the workbench"
