#!/usr/bin/env bash
# install-deps.sh - installs the Debian packages the build and the tests need, when missing.
# With --fuzz it adds what the fuzz build needs: clang, and libFuzzer with the sanitizer runtimes,
# which clang only recommends and so does not bring with --no-install-recommends. --web adds
# what builds the browser player, --browser what tests it in a real browser. --bench adds the
# peer programs bench_peers measures against: an Inform 6 compiler and a dumb-terminal Z-machine.
set -euo pipefail

packages=(build-essential cmake pkg-config zlib1g-dev libgtest-dev googletest gzip
  libsdl2-dev console-data libpng-dev libx11-dev xvfb xdotool libgraphviz-dev librsvg2-bin tmux
  nlohmann-json3-dev libdeflate-dev)
for arg in "$@"; do
  case "$arg" in
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    # The browser player: Debian's emscripten builds it, Debian's chromium runs its tests.
    --web) packages+=(emscripten) ;;
    --browser) packages+=(chromium) ;;
    --bench) packages+=(frotz inform6-compiler inform6-library) ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
