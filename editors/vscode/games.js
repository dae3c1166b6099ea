// games.js - which .adv files of a workspace are games, and how the author's tools run on one.
// Free of the editor's API, so that the tests run it with plain node.
'use strict';

const path = require('node:path');

// The author's tools the extension offers as tasks: the switch each gives umb, the task group it
// belongs to, and the problem matchers that read its output. --check prints its findings as
// FILE:LINE: kind: reason; --test prints coverage notes in that form and, like --map, the
// compiler's own two-line diagnostics of a source with warnings.
const Tools = {
  check: { switch: '--check', group: 'build', matchers: ['$umb'] },
  test: { switch: '--test', group: 'test', matchers: ['$umb', '$umb-compiler'] },
  map: { switch: '--map', group: undefined, matchers: ['$umb-compiler'] },
};

// The files an include line names: '@' in the first column, the name taken as written up to a
// comment mark, without trimming (as the compiler opens it), relative to the folder the game is
// played from.
function includedNames(text) {
  const names = [];
  for (const line of text.split(/\r?\n/)) {
    if (line[0] !== '@') continue;
    const bar = line.indexOf('|');
    const name = bar < 0 ? line.slice(1) : line.slice(1, bar);
    if (name.length > 0) names.push(name);
  }
  return names;
}

// The game name umb is given for a source: its file name without ".adv". umb cuts a game name at
// its first point, so a source whose name holds another point ("the.mill.adv") cannot be named:
// null then, as for a file that is not an .adv source.
function gameName(file) {
  const base = path.basename(file);
  if (!base.endsWith('.adv')) return null;
  const name = base.slice(0, -'.adv'.length);
  if (name.length === 0 || name.includes('.')) return null;
  return name;
}

// The games among sources: every nameable .adv file that no other source includes (an included
// file, such as a game's word list, is compiled only as part of its game). Each source is
// { file, text } with an absolute file path. An include line is read from the folder the game is
// played in, which for a file included by an included file lies above that file's own folder:
// the name is taken from the including file's folder and from each folder above it. Returned
// sorted by path.
function findGames(sources) {
  const included = new Set();
  for (const { file, text } of sources) {
    const names = includedNames(text);
    for (let folder = path.dirname(file); ; folder = path.dirname(folder)) {
      for (const name of names) {
        const target = path.resolve(folder, name);
        if (target !== file) included.add(target);
      }
      if (path.dirname(folder) === folder) break;
    }
  }
  return sources
    .map((s) => s.file)
    .filter((file) => gameName(file) !== null && !included.has(file))
    .sort();
}

// How umb runs a tool on a game: the arguments and the folder to run in. The tool runs in the
// game's folder, where include lines are read from, and is given the game by its full path, so
// that its findings in the game's own source name that file exactly. Switches given in the task
// definition come before the game. Null for an unknown tool or a source umb cannot name.
function toolCommand(tool, gameFile, extraArgs = []) {
  const t = Tools[tool];
  const name = gameName(gameFile);
  if (!t || name === null) return null;
  const folder = path.dirname(gameFile);
  return { args: [t.switch, ...extraArgs, path.join(folder, name)], cwd: folder };
}

// The program the settings name: a bare name is looked up on PATH, an absolute path is used as it
// is, and a relative path with a folder in it ("build/umb") is taken from the workspace folder.
function resolveProgram(setting, workspaceFolder) {
  const program = (setting || '').trim() || 'umb';
  if (path.isAbsolute(program) || !/[\\/]/.test(program) || !workspaceFolder) return program;
  return path.resolve(workspaceFolder, program);
}

module.exports = { Tools, includedNames, gameName, findGames, toolCommand, resolveProgram };
