#!/usr/bin/env bash
# play-demo.sh - plays the demo adventure in its window, building the program first if needed.
# Extra arguments go to the program (for example -d for debug mode).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ ! -x "$root/build/umb" ]; then
  "$root/tools/install-deps.sh"
  cmake -S "$root" -B "$root/build" -DUMB_BENCH=OFF
  cmake --build "$root/build" -j2 --target umb
fi

# The game finds its pictures and included file relative to its own folder, and keeps its
# saved games there.
cd "$root/examples/beacon"
exec "$root/build/umb" "$@" beacon
