#!/usr/bin/env bash
# publish-web.sh - publishes a game for the browser: GAME (its path without extension, e.g.
# examples/beacon/beacon) is compiled with the native umb (or, without a source, its compiled
# game file is taken as it is), and OUTDIR receives the player page (index.html and the page's
# scripts, umb.js, umb.wasm), the compiled game, the pictures it opens and files.json, ready
# for any static web host.
#
# Installs what is missing (Debian's emscripten), fetches zlib's C source as Debian's source
# package of the zlib the native build uses into the web build folder, and builds the native
# program and the browser player when they are out of date.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: tools/publish-web.sh GAME OUTDIR   (GAME: e.g. examples/beacon/beacon)" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
game="$(basename "$1")"
game="${game%%.*}"
if [ ! -f "$(dirname "$1")/$game.adv" ] && [ ! -f "$(dirname "$1")/$game.umb" ]; then
  echo "neither $(dirname "$1")/$game.adv nor $(dirname "$1")/$game.umb is there" >&2
  exit 1
fi
game_dir="$(cd "$(dirname "$1")" && pwd)"
out="$2"
native="${UMB_NATIVE_BUILD:-$root/build}"
web="${UMB_WEB_BUILD:-$root/build-web}"

"$root/tools/install-deps.sh" --web
# Debian's emscripten finds its own node modules only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs

# The native program compiles the game and makes the font's glyph table the player shares.
# The presets name the folders; a build preset cannot be pointed at another folder, so the
# builds are named by folder.
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$root" --preset native -B "$native" -DUMB_BENCH=OFF
fi
cmake --build "$native" -j2 --target umb

# zlib's C source, the version of the zlib1g-dev the native build uses, from Debian's source
# package: fetched with a private apt configuration that adds the matching source lines.
zlib_version="$(dpkg-query -W -f='${Version}' zlib1g-dev)"
# The folder is named after the version without the epoch's colon, which make cannot take.
zlib_src="$web/zlib-src/${zlib_version//:/_}"
if [ ! -f "$zlib_src/inflate.c" ]; then
  fetch="$web/zlib-fetch"
  rm -rf "$fetch"
  mkdir -p "$fetch/lists/partial" "$fetch/parts"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$fetch/parts/$(basename "$f")"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^deb \(.*\)/deb-src \1/p' "$f" >>"$fetch/parts/sources.list"
  done
  apt_opts=(-q -o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$fetch/parts"
    -o "Dir::State::Lists=$fetch/lists" -o "APT::Sandbox::User=$(id -un)")
  apt-get "${apt_opts[@]}" update >/dev/null
  (cd "$fetch" && apt-get "${apt_opts[@]}" source --download-only "zlib=$zlib_version" >/dev/null)
  orig=("$fetch"/zlib_*.orig.tar.*)
  [ -f "${orig[0]}" ] || { echo "zlib's source for $zlib_version was not fetched" >&2; exit 1; }
  rm -rf "$zlib_src"
  mkdir -p "$zlib_src"
  tar -xf "${orig[0]}" -C "$zlib_src" --strip-components=1
  rm -rf "$fetch"
fi

# The player: one build serves every game. Configured each time, so that a new zlib version or
# another native build is picked up; an up-to-date build then costs a few seconds.
# The web preset holds emscripten's toolchain; zlib's folder and the native build are this
# machine's.
cmake -S "$root" --preset web -B "$web" \
  -DUMB_ZLIB_SOURCE="$zlib_src" -DUMB_FONT_CPP="$native/generated/font_cp850.cpp" >/dev/null
cmake --build "$web" -j2 --target umb

# The game, compiled in a scratch copy of its folder so that nothing is written beside the
# author's source; a game handed out without its source is published as it is.
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp -R "$game_dir/." "$stage/"
rm -f "$stage"/*.sv[1-9]
if [ -f "$stage/$game.adv" ]; then
  # The headless driver: "Conversion complete" is a line in the log, never a box that waits.
  (cd "$stage" && UMB_DRIVER=headless "$native/umb" -c "$game" >"$stage/compile.log" 2>&1) || {
    cat "$stage/compile.log" >&2
    echo "compiling $game failed" >&2
    exit 1
  }
fi

# The pictures: those the game opens (its locations', and the shows its scripts present), as
# umb --pictures lists them from the game itself; the folder's other files (the author's map,
# unused or spoiler pictures, sources, key scripts, transcripts) stay behind. A picture the game
# names that is not there fails the publishing, named, before anything is written.
pictures="$(mktemp)"
trap 'rm -rf "$stage" "$pictures"' EXIT
listed=0
(cd "$stage" && "$native/umb" --pictures "$game" >"$pictures" </dev/null) || listed=$?
while IFS= read -r picture; do
  # The page serves the game's folder only: a picture outside it could not be loaded.
  case "/$picture/" in
    //* | */../*)
      echo "cannot publish $game: picture $picture lies outside the game's folder" >&2
      exit 1
      ;;
  esac
done <"$pictures"
if [ "$listed" -ne 0 ]; then
  echo "cannot publish $game: its pictures are not all there (above)" >&2
  exit 1
fi

mkdir -p "$out"
cp "$root/web/index.html" "$root"/web/*.js "$web/umb.js" "$web/umb.wasm" "$out/"
cp "$stage/$game.umb" "$out/"
files=("$game.umb")
while IFS= read -r picture; do
  mkdir -p "$out/$(dirname "$picture")"
  cp "$stage/$picture" "$out/$picture"
  files+=("$picture")
done <"$pictures"

# files.json: the names go in as JSON strings, so a name JSON would need escapes in is refused.
for f in "$game" "${files[@]}"; do
  if [[ "$f" == *[\"\\]* || "$f" == *[[:cntrl:]]* ]]; then
    echo "cannot publish a file whose name has a quote, a backslash or a control character: $f" >&2
    exit 1
  fi
done
{
  printf '{\n  "game": "%s",\n  "files": [' "$game"
  sep=""
  for f in "${files[@]}"; do
    printf '%s\n    "%s"' "$sep" "$f"
    sep=","
  done
  printf '\n  ]\n}\n'
} >"$out/files.json"
echo "Published $game to $out (${#files[@]} files): serve that folder and open index.html."
