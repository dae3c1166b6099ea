#!/usr/bin/env bash
# publish_pictures.sh - tools/publish-web.sh publishes the pictures the game opens and nothing
# else of its folder, and refuses a game whose named picture is missing. The browser build is
# stubbed: a copy of the script runs in a scratch tree whose cmake, emcmake, dpkg-query and
# install-deps.sh do nothing (making empty umb.js and umb.wasm), with the real native umb.
# Usage: publish_pictures.sh UMB_BINARY PROJECT_ROOT
set -euo pipefail
umb="$1"
project="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root="$work/root"
mkdir -p "$root/tools" "$root/web" "$work/bin" "$work/native" "$work/web/zlib-src/1_1.2.13"
cp "$project/tools/publish-web.sh" "$root/tools/"
printf '#!/bin/sh\nexit 0\n' >"$root/tools/install-deps.sh"
: >"$root/web/index.html"
: >"$root/web/player.js"
: >"$work/native/CMakeCache.txt"
ln -s "$umb" "$work/native/umb"
: >"$work/web/zlib-src/1_1.2.13/inflate.c"
printf '#!/bin/sh\n[ "$1" = --build ] && touch "$2/umb.js" "$2/umb.wasm"\nexit 0\n' >"$work/bin/cmake"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/emcmake"
printf '#!/bin/sh\necho 1:1.2.13\n' >"$work/bin/dpkg-query"
chmod +x "$root/tools/"*.sh "$work/bin/"*
export PATH="$work/bin:$PATH" UMB_NATIVE_BUILD="$work/native" UMB_WEB_BUILD="$work/web"

# The demo with what an author keeps beside it: the map, a picture no longer used, a spoiler.
game="$work/game"
cp -R "$project/examples/beacon" "$game"
cp "$game/pictures/jetty.png" "$game/beacon-map.png"
cp "$game/pictures/jetty.png" "$game/pictures/unused.png"
mkdir -p "$game/spoilers"
cp "$game/pictures/dawn.png" "$game/spoilers/ending.png"

"$root/tools/publish-web.sh" "$game/beacon" "$work/site" >"$work/out.txt" 2>&1 ||
  { cat "$work/out.txt" >&2; fail "publishing the demo failed"; }
expected="$( (cd "$game" && "$umb" --pictures beacon) | sort)"
[ "$(echo "$expected" | wc -l)" -eq 16 ] || fail "the demo names $(echo "$expected" | wc -l) pictures"
published="$(cd "$work/site" && find . -type f | sed 's|^\./||' | sort)"
want="$(printf '%s\n' beacon.umb files.json index.html player.js umb.js umb.wasm $expected | sort)"
[ "$published" = "$want" ] || fail "published $(echo; diff <(echo "$want") <(echo "$published"))"
for f in $expected; do
  grep -q "\"$f\"" "$work/site/files.json" || fail "files.json lacks $f"
done
grep -q 'unused\|spoilers\|beacon-map' "$work/site/files.json" && fail "files.json lists $(cat "$work/site/files.json")"

# A picture the game names is missing: nothing is published and the picture is named.
rm "$game/pictures/cave.png"
if "$root/tools/publish-web.sh" "$game/beacon" "$work/site2" >"$work/out.txt" 2>&1; then
  fail "a game with a missing picture was published"
fi
grep -q "pictures/cave.png" "$work/out.txt" || fail "the missing picture is not named: $(cat "$work/out.txt")"
[ ! -e "$work/site2" ] || fail "a refused game left $work/site2"

# A picture outside the game's folder cannot be served with it.
printf '[System]\nImagePath=..\n[Locations]\n#1,Out,outside.png,0\n' >"$game/far.adv"
if "$root/tools/publish-web.sh" "$game/far" "$work/site3" >"$work/out.txt" 2>&1; then
  fail "a picture outside the folder was published"
fi
grep -q "outside the game's folder" "$work/out.txt" || fail "not said: $(cat "$work/out.txt")"
echo "publish-web.sh publishes exactly the pictures the game opens"
