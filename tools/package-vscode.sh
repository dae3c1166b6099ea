#!/usr/bin/env bash
# package-vscode.sh - packages the editor extension (editors/vscode) as a .vsix in build/editors/,
# ready for "Extensions: Install from VSIX...". Its npm packages come from the committed
# package-lock.json only; no package's install script runs, so nothing is fetched from outside
# npm (one of vsce's own dependencies would otherwise download a signing tool it can do without
# for packaging). Needs node 20 or later and npm. With an argument, writes the .vsix there.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v npm >/dev/null || { echo "npm is missing: packaging the extension needs node and npm" >&2; exit 1; }
node -e 'process.exit(Number(process.versions.node.split(".")[0]) >= 20 ? 0 : 1)' ||
  { echo "packaging the extension needs node 20 or later, not $(node --version)" >&2; exit 1; }
out=${1:-build/editors/umb-adventure.vsix}
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

cd editors/vscode
npm ci --no-audit --no-fund --ignore-scripts
# The project names no repository or licence file in the manifest: say so, rather than have vsce
# stop and ask.
npx --no @vscode/vsce package --allow-missing-repository --skip-license --out "$out"
echo "Packaged: $out"
