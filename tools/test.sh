#!/usr/bin/env bash
# test.sh - installs what is missing, builds, and runs the whole test suite, then runs it again
# built with AddressSanitizer and UndefinedBehaviorSanitizer, then runs each fuzzer for a bounded
# time. Between the native tests and the sanitizer build, the browser player is published and
# played in a real browser (tests/web).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh --web --browser
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The browser player: Debian's chromium driven by puppeteer-core (which never downloads a
# browser of its own); a browser that cannot be installed or started fails this step.
command -v npm >/dev/null || { echo "npm is missing: the browser tests need node and npm" >&2; exit 1; }
(cd tests/web && npm ci --no-audit --no-fund)
node tests/web/web-player.test.js

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DUMB_SANITIZE=ON -DUMB_BENCH=OFF
cmake --build build-asan -j"$jobs"
# Graphviz and the font libraries it loads keep some memory for the life of the process.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$PWD/tools/lsan-suppressions.txt" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

UMB_FUZZ_SECONDS=${UMB_FUZZ_SECONDS:-60} tools/fuzz.sh
