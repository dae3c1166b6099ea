#!/usr/bin/env bash
# test.sh - installs what is missing, builds, and runs the whole test suite, then runs it again
# built with AddressSanitizer and UndefinedBehaviorSanitizer, then runs each fuzzer for a bounded
# time. Between the native tests and the sanitizer build, the browser player is published and
# played in a real browser (tests/web).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh --web --browser
jobs=$(nproc 2>/dev/null || echo 2)

# The builds are the presets of CMakePresets.json: native in build/, asan in build-asan/.
cmake --preset native
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

# The browser player: Debian's chromium driven by puppeteer-core (which never downloads a
# browser of its own); a browser that cannot be installed or started fails this step.
command -v npm >/dev/null || { echo "npm is missing: the browser tests need node and npm" >&2; exit 1; }
(cd tests/web && npm ci --no-audit --no-fund)
node tests/web/web-player.test.js

# The editor extension (editors/vscode): its grammar, problem matchers and tasks against the demo
# and the program just built, then its .vsix packaged into build/editors/.
(cd tests/editor && npm ci --no-audit --no-fund --ignore-scripts)
node tests/editor/editor.test.js
node tests/editor/extension.test.js
tools/package-vscode.sh

cmake --preset asan
cmake --build --preset asan -j"$jobs"
# The asan test preset reports leaks, less the memory Graphviz and the font libraries it loads
# keep for the life of the process (tools/lsan-suppressions.txt).
ctest --preset asan -j"$jobs"

UMB_FUZZ_SECONDS=${UMB_FUZZ_SECONDS:-60} tools/fuzz.sh
