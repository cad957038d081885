#!/usr/bin/env bash
# Installs what is missing, builds Quillmar Pro and starts it; any arguments
# (corpus files, URLs or one workspace) are passed on to the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target quillmar
exec "$root/build/src/app/quillmar" "$@"
