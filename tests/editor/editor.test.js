// editor.test.js - the editor extension (editors/vscode) against the program it serves: its
// grammar tokenizes the demo adventure with the scopes a theme colours, and knows exactly the
// section headers, settings, block words and statement keywords the compiler knows (read from
// its sources); its problem matchers read what umb --check and the compiler really print; its
// tasks find the games of a folder and run umb on them as the command line does; its language
// configuration comments, closes and folds as the language writes.
'use strict';

const assert = require('node:assert/strict');
const { runChecks } = require('./runner');
const childProcess = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vsctm = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const root = path.resolve(__dirname, '..', '..');
const extension = path.join(root, 'editors', 'vscode');
const manifest = JSON.parse(fs.readFileSync(path.join(extension, 'package.json'), 'utf8'));
const languageConfig = JSON.parse(
  fs.readFileSync(path.join(extension, 'language-configuration.json'), 'utf8'));
const games = require(path.join(extension, 'games.js'));
const umb = path.join(process.env.UMB_NATIVE_BUILD || path.join(root, 'build'), 'umb');
const beacon = path.join(root, 'examples', 'beacon');
const TestTimeout = 60000;
const L = '.umb-adventure';

// ---- reading the compiler's own tables out of its sources ----

function source(file) {
  return fs.readFileSync(path.join(root, 'src', file), 'utf8');
}

// The keywords of one statement list of codes.h: its X rows, and its ALSO rows (second keywords).
function statementKeywords(listName) {
  const text = source('db/codes.h');
  const start = text.indexOf(`#define ${listName}(`);
  assert.ok(start >= 0, `codes.h defines ${listName}`);
  const body = text.slice(start, text.indexOf('\n\n', start));
  const words = [...body.matchAll(/(?:X|ALSO)\(\w+, "([a-z0-9]+)"/g)].map((m) => m[1]);
  assert.ok(words.length > 10, `${listName} has its rows`);
  return words;
}

function quotedIn(file, tableStart, pattern) {
  const text = source(file);
  const start = text.indexOf(tableStart);
  assert.ok(start >= 0, `${file} holds ${tableStart}`);
  const body = text.slice(start, text.indexOf('};', start));
  return [...body.matchAll(pattern)].map((m) => m[1]);
}

const conditionKeywords = statementKeywords('UMB_CONDITION_STATEMENTS');
const actionKeywords = statementKeywords('UMB_ACTION_STATEMENTS');
const sectionHeaders = quotedIn('compiler/reader.cpp', 'Headers[] = {', /\{"(\[\w+\])"/g);
const systemKeys = quotedIn('compiler/reader.cpp', 'SystemKeys[SystemKeyCount] = {', /"(\w+=)"/g);
const blockWords = quotedIn('compiler/script.cpp', 'BlockWords[] = {', /\{"([^"]+)", (?:true|false)/g);

// ---- the grammar ----

async function loadGrammar() {
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const contribution = manifest.contributes.grammars[0];
  const registry = new vsctm.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async (scopeName) => {
      if (scopeName !== contribution.scopeName) return null;
      const file = path.join(extension, contribution.path);
      return vsctm.parseRawGrammar(fs.readFileSync(file, 'utf8'), file);
    },
  });
  return registry.loadGrammar(contribution.scopeName);
}

// Each line of a text with its tokens: { line, tokens: [{ text, scopes }] }.
function tokenize(grammar, text) {
  let state = vsctm.INITIAL;
  return text.split('\n').map((line) => {
    const r = grammar.tokenizeLine(line, state);
    state = r.ruleStack;
    const tokens = r.tokens.map((t) => ({
      text: line.slice(t.startIndex, t.endIndex),
      scopes: t.scopes,
    }));
    return { line, tokens };
  });
}

// The scopes of the first token that is exactly `word` on a tokenized line.
function scopesOf(tokenized, word) {
  const token = tokenized.tokens.find((t) => t.text === word);
  assert.ok(token, `"${word}" is a token of ${JSON.stringify(tokenized.line)}: ` +
    JSON.stringify(tokenized.tokens.map((t) => t.text)));
  return token.scopes;
}

function expectScope(tokenized, word, scope) {
  const scopes = scopesOf(tokenized, word);
  assert.ok(scopes.includes(scope + L),
    `"${word}" in ${JSON.stringify(tokenized.line)} is ${scope}: has ${scopes.join(' ')}`);
}

function expectNoScope(tokenized, word, scopePrefix) {
  const scopes = scopesOf(tokenized, word);
  assert.ok(!scopes.some((s) => s.startsWith(scopePrefix)),
    `"${word}" in ${JSON.stringify(tokenized.line)} is no ${scopePrefix}: has ${scopes.join(' ')}`);
}

// A snippet after a section header, tokenized; the line after the header is returned.
function inSection(grammar, header, line) {
  return tokenize(grammar, `${header}\n${line}`)[1];
}

// ---- the checks ----

// The grammar every check tokenizes with, loaded by the first check.
let grammar = null;

const checks = [];
function check(name, fn) {
  checks.push({ name, fn });
}

check('the demo adventure is scoped line by line', async () => {
  const lines = tokenize(grammar, fs.readFileSync(path.join(beacon, 'beacon.adv'), 'latin1'));
  const line = (text) => {
    const found = lines.find((l) => l.line === text);
    assert.ok(found, `beacon.adv has the line ${JSON.stringify(text)}`);
    return found;
  };
  // [line, token, scope]: one of each kind of line the language has.
  const table = [
    ['[System]', 'System', 'entity.name.section'],
    ['[System]', '[', 'punctuation.definition.section.begin'],
    ['StartLocation=1', 'StartLocation', 'support.type.property-name.setting'],
    ['StartLocation=1', '=', 'punctuation.separator.key-value'],
    ['StartLocation=1', '1', 'constant.numeric.integer'],
    ['Title=The Beacon at Skerry Point', 'The Beacon at Skerry Point', 'string.unquoted.value'],
    ['ImagePath=pictures', 'pictures', 'string.unquoted.filename'],
    ['StatusLine=Score: %score%/50  Turns: %turns%  Ship: %ship% mi', 'score', 'variable.other.mark'],
    ['StatusLine=Score: %score%/50  Turns: %turns%  Ship: %ship% mi', '%', 'punctuation.definition.interpolation.begin'],
    ['#43,You heave the handle round. Click. (%wound% of 3)', 'wound', 'variable.other.mark'],
    ['#43,You heave the handle round. Click. (%wound% of 3)', '#', 'punctuation.definition.record'],
    ['#43,You heave the handle round. Click. (%wound% of 3)', '43', 'constant.numeric.integer.record'],
    ['#43,You heave the handle round. Click. (%wound% of 3)', 'You heave the handle round. Click. (', 'string.unquoted.text'],
    ['#2,Shingle beach,beach.png,0,3,1,12,11,0,10', 'Shingle beach', 'string.unquoted.name'],
    ['#2,Shingle beach,beach.png,0,3,1,12,11,0,10', 'beach.png', 'string.unquoted.filename'],
    ['#2,Shingle beach,beach.png,0,3,1,12,11,0,10', '12', 'constant.numeric.integer'],
    ['#2,Shingle beach,beach.png,0,3,1,12,11,0,10', ',', 'punctuation.separator.field'],
    ['#7,a locked oak door,6,0,door', 'door', 'variable.other.noun'],
    ['#7,a locked oak door,6,0,door', '6', 'constant.numeric.integer'],
    ['#1,intro.png', 'intro.png', 'string.unquoted.filename'],
    ['A battered brass storm lantern. Its flame burns steady behind the glass.',
      'A battered brass storm lantern. Its flame burns steady behind the glass.', 'string.unquoted.text'],
    ['great lamp must be burning before she reaches the reef.\\', '\\', 'constant.character.escape.line-break'],
    ['| The oilskin is worn, so the lantern, key, oil and matches just fit.', '|', 'punctuation.definition.comment'],
    ['| The oilskin is worn, so the lantern, key, oil and matches just fit.',
      ' The oilskin is worn, so the lantern, key, oil and matches just fit.', 'comment.line'],
    ['@words.adv', '@', 'keyword.control.import'],
    ['@words.adv', 'words.adv', 'string.unquoted.filename'],
    ['if not carried 3', 'if', 'keyword.control.conditional'],
    ['if not carried 3', 'not', 'keyword.operator.logical'],
    ['if not carried 3', 'carried', 'keyword.other.condition'],
    ['if not carried 3', '3', 'constant.numeric.integer'],
    ['if verb open noun door at 6', 'at', 'keyword.other.condition'],
    ['if verb open noun door at 6', 'door', 'variable.other.word'],
    ['or at 2', 'or', 'keyword.control.conditional'],
    ['while lt wound 3', 'while', 'keyword.control.loop'],
    ['while lt wound 3', 'lt', 'keyword.other.condition'],
    ['then swap 7 9 exit 1 7 add score 10 message 12', 'then', 'keyword.control'],
    ['then swap 7 9 exit 1 7 add score 10 message 12', 'swap', 'keyword.other.action'],
    ['then swap 7 9 exit 1 7 add score 10 message 12', 'exit', 'keyword.other.action'],
    ['then swap 7 9 exit 1 7 add score 10 message 12', 'score', 'variable.other.word'],
    ['add turns 1', 'add', 'keyword.other.action'],
    ['{+', '{+', 'punctuation.section.block.begin'],
    ['{/', '{/', 'punctuation.section.block.begin'],
    ['}', '}', 'punctuation.section.block.end'],
  ];
  for (const [text, word, scope] of table) expectScope(line(text), word, scope);
  // The statement sections hold every line that follows their header.
  expectScope(line('show 1'), 'show', 'meta.section.script');
  expectScope(line('#1,I don\'t follow that.'), 'I don\'t follow that.', 'meta.section.texts');
});

check('the word list included by the demo: verbs, nouns and variables', async () => {
  const lines = tokenize(grammar, fs.readFileSync(path.join(beacon, 'words.adv'), 'latin1'));
  const line = (text) => lines.find((l) => l.line === text);
  expectScope(line('#5,u,up,climb,ascend'), 'climb', 'entity.name.function.verb');
  expectScope(line('#14,sea,ship,waves'), 'waves', 'entity.name.type.noun');
  expectScope(line('score,turns,ship'), 'turns', 'variable.other.declaration');
  expectScope(line('#1,north'), 'north', 'string.unquoted.text');
});

check('every statement keyword of the compiler, and only those, in its own kind of line',
  async () => {
    for (const word of conditionKeywords) {
      for (const form of [word, word.toUpperCase()]) {
        const t = inSection(grammar, '[Actions]', `if ${form} 1`);
        expectScope(t, form, 'keyword.other.condition');
        expectScope(inSection(grammar, '[Events]', `and not ${form} 1`), form, 'keyword.other.condition');
      }
      if (!actionKeywords.includes(word))
        expectNoScope(inSection(grammar, '[Actions]', `then ${word} 1`), word, 'keyword.other');
    }
    for (const word of actionKeywords) {
      expectScope(inSection(grammar, '[Actions]', `then ${word} 1`), word, 'keyword.other.action');
      expectScope(inSection(grammar, '[Events]', `${word} 1`), word, 'keyword.other.action');
      expectScope(inSection(grammar, '[Events]', `do message 1 ${word}`), word, 'keyword.other.action');
      if (!conditionKeywords.includes(word))
        expectNoScope(inSection(grammar, '[Actions]', `if ${word} 1`), word, 'keyword.other');
    }
    // A word that only starts like a keyword, or one joined to the next by a tab, is no keyword.
    const t = inSection(grammar, '[Actions]', 'if carriedx 1 noun\t2 verbs');
    for (const word of ['carriedx', 'noun\t2', 'verbs']) expectNoScope(t, word, 'keyword.other');
    // Words in a text are never keywords.
    expectNoScope(inSection(grammar, '[Messages]', '#1,if carried'), '#', 'keyword');
  });

check('the grammar lists the statement keywords of the compiler exactly', async () => {
  const grammar = fs.readFileSync(
    path.join(extension, manifest.contributes.grammars[0].path), 'utf8');
  const json = JSON.parse(grammar);
  const listed = (key) => {
    const rule = json.repository[key].patterns.find((p) => p.name && p.name.startsWith('keyword.other.'));
    const words = rule.match.match(/\(\?i:([a-z0-9|]+)\)/)[1].split('|');
    return [...words].sort();
  };
  assert.deepEqual(listed('condition-statements'), [...conditionKeywords].sort());
  assert.deepEqual(listed('action-statements'), [...actionKeywords].sort());
});

check('the section headers, settings and block words of the compiler', async () => {
  assert.equal(sectionHeaders.length, 13);
  for (const header of sectionHeaders) {
    for (const form of [header, header.toLowerCase(), `${header} trailing words`]) {
      const t = tokenize(grammar, form)[0];
      expectScope(t, form.slice(1, header.length - 1), 'entity.name.section');
    }
    expectScope(tokenize(grammar, ` ${header}`)[0], ` ${header}`, 'invalid.illegal.outside-section');
  }
  for (const bad of ['[Object]', '[System ]', '[Systemx]'])
    expectScope(tokenize(grammar, bad)[0], bad, 'invalid.illegal.section');
  // An unknown header leaves the section as it was: the record after it is still a location.
  const afterUnknown = tokenize(grammar, '[Locations]\n[Location]\n#3,Hall,,0');
  expectScope(afterUnknown[2], 'Hall', 'string.unquoted.name');

  assert.equal(systemKeys.length, 11);
  for (const key of systemKeys) {
    const name = key.slice(0, -1);
    for (const form of [name, name.toLowerCase()])
      expectScope(inSection(grammar, '[System]', `${form}=1`), form, 'support.type.property-name.setting');
    // Indented, or with a blank before '=', a key is not read.
    const indented = ` ${name}=1`;
    expectScope(inSection(grammar, '[System]', indented), indented, 'invalid.illegal.setting');
    const spaced = `${name} =1`;
    expectScope(inSection(grammar, '[System]', spaced), spaced, 'invalid.illegal.setting');
  }
  expectScope(inSection(grammar, '[System]', 'Colour=3'), 'Colour=3', 'invalid.illegal.setting');

  assert.equal(blockWords.length, 20);
  for (const word of blockWords) {
    const forms = /^[a-z ]+$/.test(word) ? [word, word.toUpperCase(), `  ${word}  `] : [word, `\t${word}`];
    for (const form of forms) {
      const t = inSection(grammar, '[Actions]', `${form} | a block`);
      const last = word.split(' ').pop();
      const lastForm = form.trim().split(' ').pop();
      const scope = /^[a-z]+$/.test(last)
        ? (last === 'end' ? 'keyword.control.block.end' : 'keyword.control.block.begin')
        : (last === '}' ? 'punctuation.section.block.end' : 'punctuation.section.block.begin');
      expectScope(t, lastForm, scope);
    }
  }
  // The symbol forms are exact: "Then {" and "then  {" open no block.
  for (const line of ['Then {', 'then  {', 'then { create 3'])
    expectNoScope(inSection(grammar, '[Actions]', line), '{', 'punctuation.section.block');
});

check('comments and texts as the compiler cuts them', async () => {
  const marks = inSection(grammar, '[Messages]', '#5,100%% sure, %score% points, %unclosed | note');
  expectScope(marks, '%%', 'constant.character.escape');
  expectScope(marks, 'score', 'variable.other.mark');
  expectScope(marks, ' note', 'comment.line');
  expectNoScope(marks, ' note', 'string');
  const script = inSection(grammar, '[Events]', 'if at 3 | carried 4');
  expectScope(script, ' carried 4', 'comment.line');
  expectScope(inSection(grammar, '[Verbs]', 'take,get'), 'take,get', 'invalid.illegal.text-line');
  expectScope(tokenize(grammar, 'before any header')[0], 'before any header',
    'invalid.illegal.outside-section');
  // A scrambled file reads only once unscrambled: no line of it is taken for what it is not.
  const scrambled = tokenize(grammar, '\x15CRYPT\x15\n[Flfgrz]\nGvgyr=Pnir | n pbzzrag');
  expectScope(scrambled[0], '\x15CRYPT\x15', 'keyword.other.scrambled');
  expectScope(scrambled[1], '[Flfgrz]', 'markup.other.scrambled');
  expectScope(scrambled[2], ' n pbzzrag', 'comment.line');
  // The marker counts on the first line only.
  expectNoScope(tokenize(grammar, '[System]\n\x15crypt\x15')[1], '\x15crypt\x15', 'keyword');
  // A blank line between a condition and its action line leaves no line open.
  const lines = tokenize(grammar, '[Events]\nif at 1\n\nmessage 3');
  expectScope(lines[3], 'message', 'keyword.other.action');
});

check('the language configuration comments with "|" and folds the blocks', async () => {
  assert.equal(languageConfig.comments.lineComment, '|');
  const start = new RegExp(languageConfig.folding.markers.start);
  const end = new RegExp(languageConfig.folding.markers.end);
  const increase = new RegExp(languageConfig.indentationRules.increaseIndentPattern);
  const decrease = new RegExp(languageConfig.indentationRules.decreaseIndentPattern);
  for (const word of blockWords) {
    const forms = /^[a-z ]+$/.test(word) ? [word, word.toUpperCase()] : [word];
    for (const form of forms) {
      const closes = word === '}' || word === 'end';
      assert.equal(start.test(form), !closes, `folding starts at ${form}`);
      assert.equal(end.test(form), closes, `folding ends at ${form}`);
      assert.equal(increase.test(`${form} | c`), !closes, `indent grows after ${form}`);
      assert.equal(decrease.test(form), closes, `indent shrinks at ${form}`);
    }
  }
  for (const line of ['if begin', 'Then {', 'then { create 3', 'end of it', 'message 3'])
    assert.ok(!start.test(line) && !end.test(line), `no fold at ${line}`);
  assert.ok(languageConfig.autoClosingPairs.some((p) => p.open === '{' && p.close === '}'));
});

// A game with one finding of each kind, and an included file with its own.
function writeFixture() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'umb-editor-'));
  fs.writeFileSync(path.join(dir, 'fx.adv'), [
    '[System]', 'Colour=3', '@part.adv', '[Locations]', '#0,Darkness,,0', '#1,Hall,,0',
    '#2,Attic,,0', '[Messages]', '#1,Never printed', '#2,Printed', '[Events]', 'if carrid 1',
    'then message 2', ''].join('\n'));
  fs.writeFileSync(path.join(dir, 'part.adv'), '[Messages]\n#3,Part\n#4\n');
  return dir;
}

function matcher(name) {
  const m = manifest.contributes.problemMatchers.find((p) => p.name === name);
  assert.ok(m, `the manifest contributes the problem matcher ${name}`);
  return { ...m, patterns: [m.pattern].flat().map((p) => ({ ...p, re: new RegExp(p.regexp) })) };
}

// What a problem matcher makes of an output: { file, line, severity, code, message } each.
function applyMatcher(m, output) {
  const lines = output.split('\n');
  const found = [];
  for (let i = 0; i + m.patterns.length <= lines.length; ++i) {
    const groups = m.patterns.map((p, k) => p.re.exec(lines[i + k]));
    if (groups.some((g) => !g)) continue;
    const problem = {};
    m.patterns.forEach((p, k) => {
      for (const field of ['file', 'line', 'severity', 'code', 'message'])
        if (p[field] !== undefined) problem[field] = groups[k][p[field]];
    });
    found.push(problem);
    i += m.patterns.length - 1;
  }
  return found;
}

function run(args, cwd) {
  assert.ok(fs.existsSync(umb), `${umb} is built (UMB_NATIVE_BUILD names another build folder)`);
  const r = childProcess.spawnSync(umb, args, { cwd, encoding: 'latin1', timeout: 30000, input: '' });
  assert.equal(r.error, undefined, `umb ${args.join(' ')} ran`);
  return r;
}

check('the problem matchers read what umb prints', async () => {
  const dir = writeFixture();
  const game = path.join(dir, 'fx.adv');
  try {
    // As a task runs it: the game by its full path, from its folder. The game's own findings name
    // it in full; the included file is named as its include line writes it, from that folder.
    const { args, cwd } = games.toolCommand('check', game);
    const checked = run(args, cwd);
    const findingLines = checked.stdout.split('\n').filter((l) => /^.+:\d+: /.test(l));
    const findings = applyMatcher(matcher('umb'), checked.stdout);
    assert.equal(findings.length, findingLines.length, checked.stdout);
    assert.deepEqual(new Set(findings.map((f) => f.severity)), new Set(['error', 'warning', 'note']),
      checked.stdout);
    assert.deepEqual(new Set(findings.map((f) => f.file)), new Set([game, 'part.adv']));
    for (const f of findings)
      assert.ok(Number(f.line) >= 1 && f.message.length > 0, JSON.stringify(f));
    assert.ok(findings.some((f) => f.file === 'part.adv' && f.line === '3' &&
      /lacks a field/.test(f.message)), checked.stdout);
    assert.ok(findings.some((f) => f.file === game && f.line === '12' && f.severity === 'error'),
      checked.stdout);
    // The closing count names the file but no line: not a finding.
    const warnings = findings.filter((f) => f.severity === 'warning').length;
    assert.ok(checked.stdout.endsWith(`${game}: 1 error, ${warnings} warnings\n`), checked.stdout);

    // The compiler's diagnostics, from umb -c and from --map, which prints them on standard error.
    const compiled = run(['-c', 'fx'], dir);
    const diagnostics = applyMatcher(matcher('umb-compiler'), compiled.stdout);
    assert.deepEqual(diagnostics, [
      { severity: 'Warning', code: '1', line: '2', file: 'fx.adv', message: 'Colour=3' },
      { severity: 'Warning', code: '2', line: '3', file: 'part.adv', message: '#4' },
      { severity: 'Warning', code: '1', line: '3', file: 'fx.adv', message: '@part.adv' },
    ], compiled.stdout);
    const mapped = run(['--map', 'fx'], dir);
    assert.deepEqual(applyMatcher(matcher('umb-compiler'), mapped.stderr), diagnostics, mapped.stderr);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
});

check('the tasks find the games and run the tools as the command line does', async () => {
  const read = (file) => ({ file, text: fs.readFileSync(file, 'latin1') });
  const demo = [read(path.join(beacon, 'beacon.adv')), read(path.join(beacon, 'words.adv'))];
  assert.deepEqual(games.findGames(demo), [path.join(beacon, 'beacon.adv')]);

  const dir = '/games';
  const sources = [
    { file: '/games/a.adv', text: '[System]\n@lib/words.adv| the words\n@ spaced.adv\n' },
    { file: '/games/lib/words.adv', text: '[Verbs]\n#1,n\n@lib/more.adv\n@lib/blank.adv \n' },
    { file: '/games/lib/more.adv', text: '' },           // read from /games, where a.adv plays
    { file: '/games/lib/blank.adv', text: '' },          // "blank.adv " is another file
    { file: '/games/spaced.adv', text: '' },             // "@ spaced.adv" names " spaced.adv"
    { file: '/games/self.adv', text: '@self.adv\n' },    // including itself, still a game
    { file: '/games/x.v2.adv', text: '' },               // umb would read x.adv: not nameable
    { file: '/games/b.adv', text: ' @a.adv\n|@a.adv\n' }, // neither line includes a.adv
  ];
  assert.deepEqual(games.findGames(sources),
    ['/games/a.adv', '/games/b.adv', '/games/lib/blank.adv', '/games/self.adv',
      '/games/spaced.adv']);
  assert.deepEqual(games.includedNames('@one.adv\n@two.adv|c\r\n@\nx@three.adv\n'), ['one.adv', 'two.adv']);

  const table = [
    ['check', '/games/a.adv', [], { args: ['--check', '/games/a'], cwd: dir }],
    ['test', '/games/lib/t.adv', ['--coverage'],
      { args: ['--test', '--coverage', '/games/lib/t'], cwd: '/games/lib' }],
    ['map', '/games/a.adv', ['--png'], { args: ['--map', '--png', '/games/a'], cwd: dir }],
    ['check', '/my.games/a.adv', [], { args: ['--check', '/my.games/a'], cwd: '/my.games' }],
    ['play', '/games/a.adv', [], null],
    ['check', '/games/x.v2.adv', [], null],
    ['check', '/games/notes.txt', [], null],
  ];
  for (const [tool, file, extra, expected] of table)
    assert.deepEqual(games.toolCommand(tool, file, extra), expected, `${tool} ${file}`);

  assert.equal(games.resolveProgram('umb', '/w'), 'umb');
  assert.equal(games.resolveProgram('', '/w'), 'umb');
  assert.equal(games.resolveProgram('/opt/umb/bin/umb', '/w'), '/opt/umb/bin/umb');
  assert.equal(games.resolveProgram('build/umb', '/w'), '/w/build/umb');
  assert.equal(games.resolveProgram('build/umb', undefined), 'build/umb');

  // The manifest offers the same tools, and every matcher a tool names is contributed.
  const definition = manifest.contributes.taskDefinitions.find((d) => d.type === 'umb');
  assert.deepEqual(definition.properties.tool.enum, Object.keys(games.Tools));
  const contributed = manifest.contributes.problemMatchers.map((m) => `$${m.name}`);
  for (const tool of Object.values(games.Tools))
    for (const m of tool.matchers) assert.ok(contributed.includes(m), m);

  // A task runs in the game's folder: the demo, with its included word list, checks clean.
  const { args, cwd } = games.toolCommand('check', path.join(beacon, 'beacon.adv'));
  const checked = run(args, cwd);
  assert.equal(checked.status, 0, checked.stdout + checked.stderr);
  assert.equal(checked.stdout, `${path.join(beacon, 'beacon.adv')}: 0 errors, 0 warnings\n`);
});

// Loading the grammar is the first check, so that it counts against the time limit too.
checks.unshift({
  name: 'the grammar loads',
  fn: async () => {
    grammar = await loadGrammar();
  },
});
runChecks('editor tests', checks, TestTimeout);
