#!/usr/bin/env bash
# fuzz.sh - builds the fuzz targets in build-fuzz/ and runs each for a bounded time on a working
# copy of its seed corpus; fails when any target finds a crash, a hang, a leak or a broken
# invariant. UMB_FUZZ_SECONDS sets the time per target (default 60), UMB_FUZZ_TARGETS the
# targets to run (default all, e.g. "restore turn"). Findings are kept in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${UMB_FUZZ_SECONDS:-60}
targets=${UMB_FUZZ_TARGETS:-"compile gamefile picture restore turn lsp"}

tools/install-deps.sh --fuzz
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2

# The fuzz preset: clang, libFuzzer and the sanitizers, only the fuzz targets.
cmake --preset fuzz
cmake --build --preset fuzz -j"$jobs"

# The committed corpus stays as it is: each run grows a copy of it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf build-fuzz/findings
failed=()
for t in $targets; do
  mkdir -p "$work/$t/corpus" "$work/$t/found"
  cp fuzz/corpus/"$t"/* "$work/$t/corpus/"
  echo "== fuzz_$t: ${seconds}s"
  status=0
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    build-fuzz/fuzz/fuzz_"$t" "$work/$t/corpus" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$work/$t/found/" >"$work/$t/log" 2>&1 || status=$?
  grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$work/$t/log" || true
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/$t/found")" ]; then
    failed+=("$t")
    mkdir -p build-fuzz/findings/"$t"
    cp "$work/$t/found"/* build-fuzz/findings/"$t"/ 2>/dev/null || true
    cp "$work/$t/log" build-fuzz/findings/"$t"/log.txt
    tail -n 40 "$work/$t/log"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]} (inputs in build-fuzz/findings/)"
  exit 1
fi
echo "Fuzzing found nothing in: $targets"
