// extension.js - adventure sources in the editor: starts the language server (umb --lsp) for
// .adv files and offers the author's tools (umb --check, --test, --map) as tasks.
'use strict';

const path = require('node:path');
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');
const games = require('./games');

const LanguageId = 'umb-adventure';
const TaskType = 'umb';

// The one language client of the window, or null while the server is off or failed to start.
let client = null;
let output = null;
let watcher = null;
// Starts and stops run one after the other, so that settings changed in quick succession leave
// one server running.
let lifecycle = Promise.resolve();

function settings() {
  return vscode.workspace.getConfiguration('umb');
}

// The umb program, a relative setting taken from the given folder (else the first one).
function program(folder) {
  const first = vscode.workspace.workspaceFolders?.[0];
  const base = folder?.uri.fsPath ?? first?.uri.fsPath;
  return games.resolveProgram(settings().get('path', 'umb'), base);
}

async function startClient() {
  if (!settings().get('languageServer', true)) return;
  const command = program();
  const first = vscode.workspace.workspaceFolders?.[0];
  // The server runs in the first workspace folder, not wherever the editor was started from.
  const executable = {
    command,
    args: ['--lsp'],
    transport: TransportKind.stdio,
    options: first ? { cwd: first.uri.fsPath } : {},
  };
  const clientOptions = {
    documentSelector: [{ scheme: 'file', language: LanguageId }],
    // An included file changed on disk changes the diagnostics of the game that includes it.
    synchronize: { fileEvents: watcher },
    outputChannel: output,
  };
  const started = new LanguageClient('umb', 'U.M.B. language server', executable, clientOptions);
  try {
    await started.start();
    client = started;
  } catch (err) {
    client = null;
    // Not waited for: a restart after the setting is fixed must not wait for the message to go.
    vscode.window
      .showErrorMessage(
        `The language server "${command} --lsp" did not start: ${err?.message ?? err}. ` +
          'Set umb.path to the umb program, or turn umb.languageServer off.',
        'Open Settings',
      )
      .then((choice) => {
        if (choice === 'Open Settings')
          vscode.commands.executeCommand('workbench.action.openSettings', 'umb.');
      });
  }
}

async function stopClient() {
  const running = client;
  client = null;
  if (running) await running.stop().catch(() => undefined);
}

function restartClient() {
  lifecycle = lifecycle.then(async () => {
    await stopClient();
    await startClient();
  });
  return lifecycle;
}

// A task that runs one tool on one game, from a definition { type, tool, game, args }, or
// undefined when the definition names no tool or no source umb can name.
function makeTask(definition, scope) {
  const folder =
    scope && typeof scope === 'object' ? scope : vscode.workspace.workspaceFolders?.[0];
  if (!folder || typeof definition.game !== 'string') return undefined;
  const file = path.resolve(folder.uri.fsPath, definition.game);
  const extra = Array.isArray(definition.args) ? definition.args.map(String) : [];
  const command = games.toolCommand(definition.tool, file, extra);
  if (!command) return undefined;
  const tool = games.Tools[definition.tool];
  const execution = new vscode.ProcessExecution(program(folder), command.args, {
    cwd: command.cwd,
  });
  const name = `${definition.tool} ${definition.game}`;
  const task = new vscode.Task(definition, folder, name, TaskType, execution, tool.matchers);
  if (tool.group === 'build') task.group = vscode.TaskGroup.Build;
  if (tool.group === 'test') task.group = vscode.TaskGroup.Test;
  return task;
}

// The tasks of every game of every workspace folder: a source no other source includes.
async function provideTasks() {
  const uris = await vscode.workspace.findFiles('**/*.adv');
  const sources = [];
  for (const uri of uris) {
    if (uri.scheme !== 'file' || uri.fsPath.split(path.sep).includes('node_modules')) continue;
    try {
      const bytes = await vscode.workspace.fs.readFile(uri);
      sources.push({ file: uri.fsPath, text: Buffer.from(bytes).toString('latin1') });
    } catch {
      // A file that went away since the search is no game.
    }
  }
  const tasks = [];
  for (const file of games.findGames(sources)) {
    const folder = vscode.workspace.getWorkspaceFolder(vscode.Uri.file(file));
    if (!folder) continue;
    const game = path.relative(folder.uri.fsPath, file).split(path.sep).join('/');
    for (const tool of Object.keys(games.Tools)) {
      const task = makeTask({ type: TaskType, tool, game }, folder);
      if (task) tasks.push(task);
    }
  }
  return tasks;
}

function activate(context) {
  output = vscode.window.createOutputChannel('U.M.B. language server');
  // One watcher for the life of the extension, whichever server it tells.
  watcher = vscode.workspace.createFileSystemWatcher('**/*.adv');
  context.subscriptions.push(output, watcher);
  context.subscriptions.push(
    vscode.tasks.registerTaskProvider(TaskType, {
      provideTasks,
      resolveTask: (task) => makeTask(task.definition, task.scope),
    }),
    vscode.commands.registerCommand('umb.restartLanguageServer', restartClient),
    vscode.workspace.onDidChangeConfiguration((e) => {
      if (e.affectsConfiguration('umb.path') || e.affectsConfiguration('umb.languageServer'))
        restartClient();
    }),
  );
  return restartClient();
}

function deactivate() {
  lifecycle = lifecycle.then(stopClient);
  return lifecycle;
}

module.exports = { activate, deactivate };
