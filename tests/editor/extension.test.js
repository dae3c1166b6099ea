// extension.test.js - the extension's start-up in a stand-in for the editor: which program it
// starts as the language server and when, what it says when that fails, and the tasks it offers
// for the demo adventure and for a task written in tasks.json. The stand-in records what the
// extension asks of the editor's API and of the language client.
'use strict';

const assert = require('node:assert/strict');
const { runChecks } = require('./runner');
const Module = require('node:module');
const path = require('node:path');

const root = path.resolve(__dirname, '..', '..');
const beacon = path.join(root, 'examples', 'beacon');
const TestTimeout = 30000;

// ---- the stand-in editor ----

function makeEditor({ settings = {}, startFails = false, folder = root, messagesStay = false } = {}) {
  const log = { clients: [], errors: [], providers: {}, commands: {}, configListeners: [] };
  const workspaceFolder = { uri: { fsPath: folder, scheme: 'file' }, name: 'w', index: 0 };
  const uriOf = (fsPath) => ({ fsPath, scheme: 'file' });
  const vscode = {
    Uri: { file: uriOf },
    TaskGroup: { Build: 'build-group', Test: 'test-group' },
    ProcessExecution: class {
      constructor(process, args, options) {
        Object.assign(this, { process, args, options });
      }
    },
    Task: class {
      constructor(definition, scope, name, source, execution, problemMatchers) {
        Object.assign(this, { definition, scope, name, source, execution, problemMatchers });
      }
    },
    window: {
      createOutputChannel: (name) => ({ name, dispose() {} }),
      // A message the author has not dismissed yet never answers.
      showErrorMessage: (text, ...actions) => {
        log.errors.push({ text, actions });
        return messagesStay ? new Promise(() => {}) : Promise.resolve(undefined);
      },
    },
    commands: {
      registerCommand: (id, fn) => {
        log.commands[id] = fn;
        return { dispose() {} };
      },
      executeCommand: async () => undefined,
    },
    tasks: {
      registerTaskProvider: (type, provider) => {
        log.providers[type] = provider;
        return { dispose() {} };
      },
    },
    workspace: {
      workspaceFolders: [workspaceFolder],
      getConfiguration: (section) => ({
        get: (key, fallback) => {
          const value = settings[`${section}.${key}`];
          return value === undefined ? fallback : value;
        },
      }),
      onDidChangeConfiguration: (listener) => {
        log.configListeners.push(listener);
        return { dispose() {} };
      },
      createFileSystemWatcher: (glob) => ({ glob, dispose() {} }),
      findFiles: async () => [
        uriOf(path.join(beacon, 'beacon.adv')),
        uriOf(path.join(beacon, 'words.adv')),
        uriOf(path.join(root, 'node_modules', 'x', 'stray.adv')),
      ],
      fs: { readFile: async (uri) => require('node:fs').readFileSync(uri.fsPath) },
      getWorkspaceFolder: (uri) => (uri.fsPath.startsWith(folder) ? workspaceFolder : undefined),
    },
  };
  const client = {
    TransportKind: { stdio: 'stdio' },
    LanguageClient: class {
      constructor(id, name, server, options) {
        Object.assign(this, { id, name, server, options, started: 0, stopped: 0 });
        log.clients.push(this);
      }
      async start() {
        this.started += 1;
        if (startFails) throw new Error('spawn umb ENOENT');
      }
      async stop() {
        this.stopped += 1;
      }
    },
  };
  return { vscode, client, log, workspaceFolder };
}

// Loads a fresh copy of the extension against a stand-in editor and activates it.
async function activate(editor) {
  const file = require.resolve(path.join(root, 'editors', 'vscode', 'extension.js'));
  delete require.cache[file];
  const load = Module._load;
  Module._load = function (request, ...rest) {
    if (request === 'vscode') return editor.vscode;
    if (request === 'vscode-languageclient/node') return editor.client;
    return load.call(this, request, ...rest);
  };
  try {
    const extension = require(file);
    const context = { subscriptions: [] };
    await extension.activate(context);
    return { extension, context };
  } finally {
    Module._load = load;
  }
}

// ---- the checks ----

const checks = [];
function check(name, fn) {
  checks.push({ name, fn });
}

check('the language server is umb --lsp for adventure sources, umb.path naming the program',
  async () => {
    const table = [
      [{}, 'umb'],
      [{ 'umb.path': '/opt/umb/bin/umb' }, '/opt/umb/bin/umb'],
      [{ 'umb.path': 'build/umb' }, path.join(root, 'build', 'umb')],
    ];
    for (const [settings, command] of table) {
      const editor = makeEditor({ settings });
      await activate(editor);
      assert.equal(editor.log.clients.length, 1);
      const c = editor.log.clients[0];
      assert.equal(c.server.command, command);
      assert.deepEqual(c.server.args, ['--lsp']);
      assert.equal(c.server.transport, 'stdio');
      assert.equal(c.server.options.cwd, root);
      assert.deepEqual(c.options.documentSelector, [{ scheme: 'file', language: 'umb-adventure' }]);
      assert.equal(c.options.synchronize.fileEvents.glob, '**/*.adv');
      assert.equal(c.started, 1);
      assert.deepEqual(editor.log.errors, []);
    }
  });

check('no server when turned off; a server that does not start is named with the fix',
  async () => {
    const off = makeEditor({ settings: { 'umb.languageServer': false } });
    await activate(off);
    assert.equal(off.log.clients.length, 0);

    const failing = makeEditor({ settings: { 'umb.path': 'nowhere/umb' }, startFails: true });
    await activate(failing);
    assert.equal(failing.log.errors.length, 1);
    const { text, actions } = failing.log.errors[0];
    assert.match(text, /nowhere\/umb --lsp" did not start: spawn umb ENOENT/);
    assert.match(text, /umb\.path/);
    assert.deepEqual(actions, ['Open Settings']);

    // The message still showing, the setting fixed: the server starts again at once.
    const waiting = makeEditor({ startFails: true, messagesStay: true });
    await activate(waiting);
    await waiting.log.commands['umb.restartLanguageServer']();
    assert.equal(waiting.log.clients.length, 2);
    assert.equal(waiting.log.errors.length, 2);
  });

check('a changed umb.path restarts the server; other settings leave it', async () => {
  const editor = makeEditor();
  await activate(editor);
  const [listener] = editor.log.configListeners;
  const running = () => editor.log.clients.filter((c) => c.stopped === 0);
  listener({ affectsConfiguration: (s) => s === 'editor.fontSize' });
  await editor.log.commands['umb.restartLanguageServer']();
  assert.equal(editor.log.clients.length, 2);
  // Changes in quick succession, then the restart command: one server runs at the end.
  listener({ affectsConfiguration: (s) => s === 'umb.path' });
  listener({ affectsConfiguration: (s) => s === 'umb.languageServer' });
  await editor.log.commands['umb.restartLanguageServer']();
  assert.equal(editor.log.clients.length, 5);
  assert.equal(running().length, 1);
  assert.equal(running()[0], editor.log.clients[4]);
});

check('the tasks of the demo: check, test and map of beacon.adv, run from its folder', async () => {
  const editor = makeEditor({ settings: { 'umb.path': 'build/umb' } });
  await activate(editor);
  const provider = editor.log.providers.umb;
  const tasks = await provider.provideTasks();
  // words.adv is included by beacon.adv, and a source under node_modules is no game.
  assert.deepEqual(tasks.map((t) => t.name), [
    'check examples/beacon/beacon.adv', 'test examples/beacon/beacon.adv',
    'map examples/beacon/beacon.adv']);
  const game = path.join(beacon, 'beacon');
  const expected = {
    check: { args: ['--check', game], group: 'build-group', matchers: ['$umb'] },
    test: { args: ['--test', game], group: 'test-group', matchers: ['$umb', '$umb-compiler'] },
    map: { args: ['--map', game], group: undefined, matchers: ['$umb-compiler'] },
  };
  for (const task of tasks) {
    const want = expected[task.definition.tool];
    assert.equal(task.definition.type, 'umb');
    assert.equal(task.definition.game, 'examples/beacon/beacon.adv');
    assert.equal(task.source, 'umb');
    assert.equal(task.scope, editor.workspaceFolder);
    assert.equal(task.execution.process, path.join(root, 'build', 'umb'));
    assert.deepEqual(task.execution.args, want.args);
    assert.equal(task.execution.options.cwd, beacon);
    assert.equal(task.group, want.group);
    assert.deepEqual(task.problemMatchers, want.matchers);
  }

  // A task written in tasks.json: its own switches; one that names no game umb can run is dropped.
  const written = provider.resolveTask({
    definition: { type: 'umb', tool: 'test', game: 'examples/beacon/beacon.adv', args: ['--coverage'] },
    scope: editor.workspaceFolder,
  });
  assert.deepEqual(written.execution.args, ['--test', '--coverage', path.join(beacon, 'beacon')]);
  assert.equal(written.execution.options.cwd, beacon);
  for (const definition of [
    { type: 'umb', tool: 'play', game: 'examples/beacon/beacon.adv' },
    { type: 'umb', tool: 'check' },
    { type: 'umb', tool: 'check', game: 'notes.txt' },
  ])
    assert.equal(provider.resolveTask({ definition, scope: editor.workspaceFolder }), undefined);
});

runChecks('extension tests', checks, TestTimeout);
