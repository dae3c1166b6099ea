#!/usr/bin/env bash
# play-demo.sh - plays the demo adventure in its window, after installing what is missing and
# building what is out of date. Extra arguments go to the program (for example -d for debug mode).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# Always: a build left from earlier says nothing about the packages the program needs at run
# time (the window library is opened when the window is), and the script is quick when all is in.
"$root/tools/install-deps.sh"
# The native preset's build/, without the benchmarks when this script makes it.
if [ ! -f "$root/build/CMakeCache.txt" ]; then
  cmake -S "$root" --preset native -DUMB_BENCH=OFF
fi
# Only the program itself, and only when out of date: an up-to-date build costs a second.
(cd "$root" && cmake --build --preset native -j2 --target umb)

# The game finds its pictures and included file relative to its own folder, and keeps its
# saved games there.
cd "$root/examples/beacon"
exec "$root/build/umb" "$@" beacon
