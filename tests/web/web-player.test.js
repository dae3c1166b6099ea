// web-player.test.js - the browser player in a real browser: the demo published with
// tools/publish-web.sh, served over HTTP, played in Debian's chromium by its winning
// walkthrough, and checked against what the native program does with the same keys.
//
// Checks: the page's transcript of the walkthrough equals the blessed one; the screen after the
// first location (the canvas, and the screenshot the page offers as a download) and at the
// walkthrough's first {screen} equals the native program's screenshot; a game saved in the
// page, the page reloaded, and the game restored is where the native program's restore puts
// it; saves from two tabs are both kept; a damaged game file is reported; the screen scales and
// goes full screen; the keys of code page 850's characters reach the game; a turn that never
// ends leaves the page alive and offers Stop after two seconds, which ends the game. Prints the player's sizes, the time from page load to the first screen and
// question, and the time per command against the native program.
'use strict';

const assert = require('node:assert/strict');
const childProcess = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const puppeteer = require('puppeteer-core');

const root = path.resolve(__dirname, '..', '..');
const nativeBuild = process.env.UMB_NATIVE_BUILD || path.join(root, 'build');
const umb = path.join(nativeBuild, 'umb');
const example = path.join(root, 'examples', 'beacon');
const keysFile = path.join(example, 'beacon-win.keys');
const blessedFile = path.join(example, 'beacon-win.txt');
const chromium = process.env.UMB_CHROMIUM || '/usr/bin/chromium';
const StepTimeout = 30000;

// The picture area with its frame (gfx: Areas[AreaPicture]).
const Picture = { x1: 0, y1: 0, x2: 384, y2: 256 };
const ScreenWidth = 800;
const ScreenHeight = 600;
const WholeScreen = { x1: 0, y1: 0, x2: ScreenWidth - 1, y2: ScreenHeight - 1 };

// A game whose command "loop" never ends by itself.
const LoopGame = '[System]\nStartLocation=1\n[Locations]\n#1,Room,,0\n[Verbs]\n#30,loop\n' +
  '[Vars]\nspins\n[Actions]\nwhile verb loop\nadd spins 1\n';

// Keys that type characters of code page 850 beyond ASCII: accented letters, signs, box
// drawing, and the house of byte 127.
const CodePageKeys = ['\u00e9', '\u00c9', '\u00df', '\u00f1', '\u00a3', '\u00f8', '\u00bf',
  '\u2591', '\u256c', '\u2302', '\u00a0'];

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'umb-web-'));
const results = [];

// ----- Key scripts, as the headless driver reads them -----

const NamedKeys = {
  enter: { press: 'Enter' },
  bs: { press: 'Backspace' },
  esc: { press: 'Escape' },
  up: { press: 'ArrowUp' },
  down: { press: 'ArrowDown' },
  f12: { press: 'F12' },
  undo: { press: 'z', modifiers: ['Control'] },
  shot: { press: 's', modifiers: ['Control', 'Alt'] },
};

// Turns a key script into steps: { press, modifiers } for a key, { dump: true } for {screen}.
function parseKeys(text) {
  const steps = [];
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (c === '\r') continue;
    if (c === '\n') {
      steps.push({ press: 'Enter' });
      continue;
    }
    if (c !== '{') {
      steps.push({ press: c });
      continue;
    }
    if (text[i + 1] === '{') {
      steps.push({ press: '{' });
      ++i;
      continue;
    }
    const end = text.indexOf('}', i);
    const name = end > i ? text.substring(i + 1, end) : '';
    if (name === 'screen') {
      steps.push({ dump: true });
    } else if (NamedKeys[name]) {
      steps.push(NamedKeys[name]);
    } else if (/^[0-9]{1,5}$/.test(name) && Number(name) >= 32 && Number(name) < 127) {
      steps.push({ press: String.fromCharCode(Number(name)) });
    } else {
      throw new Error('the key script has a key this test cannot press: {' + name + '}');
    }
    i = end;
  }
  return steps;
}

// ----- The native program -----

function copyExample(name) {
  const folder = path.join(work, name);
  fs.cpSync(example, folder, { recursive: true });
  for (const f of fs.readdirSync(folder))
    if (/\.(sv[1-9]|umb)$/.test(f) || f === 'scrshot.bmp') fs.rmSync(path.join(folder, f));
  return folder;
}

// Plays the game headless in folder with keys; returns the transcript and the milliseconds.
function playNative(folder, keys) {
  const start = process.hrtime.bigint();
  const run = childProcess.spawnSync(umb, ['beacon'], {
    cwd: folder,
    input: keys,
    env: { ...process.env, UMB_DRIVER: 'headless' },
    maxBuffer: 16 << 20,
  });
  const ms = Number(process.hrtime.bigint() - start) / 1e6;
  if (run.status !== 0) throw new Error('umb ended with ' + run.status + ': ' + run.stderr);
  return { transcript: run.stdout.toString('latin1'), ms: ms };
}

// The pixels of a 24-bit bottom-up bitmap (as the screenshot is written) as RGBA rows.
function bitmapPixels(bytes) {
  assert.equal(bytes.toString('latin1', 0, 2), 'BM');
  const offset = bytes.readUInt32LE(10);
  const width = bytes.readInt32LE(18);
  const height = bytes.readInt32LE(22);
  assert.equal(bytes.readUInt16LE(28), 24);
  const rgba = Buffer.alloc(width * height * 4);
  const stride = Math.ceil((width * 3) / 4) * 4;
  for (let y = 0; y < height; ++y) {
    const row = offset + (height - 1 - y) * stride;
    for (let x = 0; x < width; ++x) {
      const at = (y * width + x) * 4;
      rgba[at] = bytes[row + x * 3 + 2];
      rgba[at + 1] = bytes[row + x * 3 + 1];
      rgba[at + 2] = bytes[row + x * 3];
      rgba[at + 3] = 255;
    }
  }
  return { width: width, height: height, rgba: rgba };
}

// The number of pixels of the box that differ between two RGBA screens.
function differingPixels(a, b, box) {
  let count = 0;
  for (let y = box.y1; y <= box.y2; ++y) {
    for (let x = box.x1; x <= box.x2; ++x) {
      const at = (y * ScreenWidth + x) * 4;
      if (a[at] !== b[at] || a[at + 1] !== b[at + 1] || a[at + 2] !== b[at + 2]) ++count;
    }
  }
  return count;
}

// Where two transcripts part, for the failure message.
function firstDifference(got, expected) {
  const a = got.split('\n');
  const b = expected.split('\n');
  for (let i = 0; i < Math.max(a.length, b.length); ++i) {
    if (a[i] !== b[i])
      return 'line ' + (i + 1) + ':\n  page:     ' + JSON.stringify(a[i]) + '\n  expected: ' +
        JSON.stringify(b[i]);
  }
  return 'none';
}

// ----- The page -----

// Waits until the page's state is one of states; a page that failed fails at once.
async function waitForState(page, states) {
  await page.waitForFunction(function (wanted) {
    return typeof window.umbState === 'function' &&
      (wanted.includes(window.umbState()) || window.umbState() === 'failed');
  }, { polling: 2, timeout: StepTimeout }, states);
  const state = await page.evaluate(() => window.umbState());
  if (state === 'failed') {
    const why = await page.evaluate(() => document.getElementById('note').textContent);
    throw new Error('the page failed: ' + why);
  }
  return state;
}

async function press(page, step) {
  for (const m of step.modifiers || []) await page.keyboard.down(m);
  await page.keyboard.press(step.press);
  for (const m of [...(step.modifiers || [])].reverse()) await page.keyboard.up(m);
}

// Presses the keys of a key script as the headless driver hands them out: each when the game
// asks for a key, none during a pause; returns when the game asks again.
async function playKeys(page, keys) {
  for (const step of parseKeys(keys)) {
    await waitForState(page, ['waiting']);
    if (step.dump) await requestDump(page);
    else await press(page, step);
  }
  await waitForState(page, ['waiting']);
}

// Asks for a dump at the next key the game asks for, as {screen} does, and for the dump the
// headless driver writes at the end of its input.
async function requestDump(page) {
  await page.evaluate(() => window.umbScreenDump());
}

async function transcriptOf(page) {
  return page.evaluate(() => window.umbTranscript.join('\n') + '\n');
}

// Waits until the page's transcript ends with a whole screen dump.
async function waitForDumpEnd(page, count) {
  await page.waitForFunction(function (n) {
    return window.umbTranscript.filter((l) => l === '== end ==').length >= n;
  }, { polling: 5, timeout: StepTimeout }, count);
}

// Downloads the browser has finished writing, by their guid (Browser.downloadProgress): the file
// of a download is complete only then (the browser may create it empty first and fill it later).
const downloadsDone = [];

function trackDownloads(cdp) {
  cdp.on('Browser.downloadProgress', function (event) {
    if (event.state === 'completed') downloadsDone.push(event.guid);
  });
}

// Waits for the download that follows the doneBefore downloads finished so far, and reads it.
async function waitForDownload(file, doneBefore) {
  const until = Date.now() + StepTimeout;
  while (Date.now() < until) {
    if (downloadsDone.length > doneBefore && fs.existsSync(file)) return fs.readFileSync(file);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  throw new Error('no download of ' + path.basename(file) + ' was completed');
}

async function check(name, body) {
  try {
    await body();
    results.push({ name: name, ok: true });
    console.log('PASS ' + name);
  } catch (error) {
    results.push({ name: name, ok: false });
    console.log('FAIL ' + name + '\n' + (error && error.stack ? error.stack : error));
  }
}

function startServer(folder) {
  return new Promise(function (resolve, reject) {
    const server = childProcess.spawn('python3',
      ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '0', '--directory', folder],
      { stdio: ['ignore', 'pipe', 'pipe'] });
    let said = '';
    server.stdout.on('data', function (data) {
      said += data;
      const m = /port (\d+)/.exec(said);
      if (m) resolve({ server: server, port: Number(m[1]) });
    });
    server.stderr.on('data', function () {}); // the request log
    server.on('exit', function (code) {
      reject(new Error('the web server ended with ' + code + ': ' + said));
    });
  });
}

// ----- The text view -----

// The transcript's lines without its screen dumps, and the message rows of its last dump:
// what left the window's message area, and what was still on it at the end.
function messageRows(transcript) {
  const rows = [];
  let inDump = false;
  let last = [];
  let section = '';
  for (const line of transcript.split('\n')) {
    if (line === '== screen ==') {
      inDump = true;
      last = [];
    } else if (line === '== end ==') {
      inDump = false;
    } else if (inDump && /^-- .* --$/.test(line)) {
      section = line;
    } else if (inDump) {
      if (section === '-- messages --') last.push(line);
    } else {
      rows.push(line);
    }
  }
  return { rows: rows.join('\n'), onScreen: last.join('\n') };
}

// Text without its blanks and line ends: the log keeps texts unwrapped, the window wraps them.
function unwrapped(text) {
  return text.replace(/\s+/g, '');
}

// Plays the key script's steps by typing into the text view's command line: a command line
// takes the characters up to Enter, a question of one key its key and Enter, a wait for a key
// Enter; Escape goes as itself, screen dumps are the window's and are left out.
async function playTyping(page, steps) {
  for (let i = 0; i < steps.length;) {
    if (steps[i].dump) {
      ++i;
      continue;
    }
    const state = await waitForState(page, ['waiting', 'ended']);
    if (state === 'ended') throw new Error('the game ended with keys left at step ' + i);
    const asking = await page.evaluate(() => window.umbTextView.asking());
    if (asking === 'line') {
      let line = '';
      for (; i < steps.length && steps[i].press !== 'Enter'; ++i)
        if (!steps[i].dump) line += steps[i].press;
      ++i;
      await page.type('#tv-input', line);
      await page.keyboard.press('Enter');
    } else if (steps[i].press === 'Escape') {
      ++i;
      await page.keyboard.press('Escape');
    } else {
      if (asking !== 'key') await page.type('#tv-input', steps[i].press);
      ++i;
      await page.keyboard.press('Enter');
    }
  }
}

// Every name in the page's accessibility tree.
async function accessibleNames(page) {
  const names = [];
  (function walk(node) {
    if (!node) return;
    if (node.name) names.push(node.name);
    for (const child of node.children || []) walk(child);
  })(await page.accessibility.snapshot({ interestingOnly: false }));
  return names.join('\n');
}

// Whether the page can be scrolled sideways.
async function scrollsSideways(page) {
  return page.evaluate(() => document.documentElement.scrollWidth >
    document.documentElement.clientWidth);
}

// ----- Saved games in the page: the autosave, IndexedDB and the Saves panel -----

// A game of tables other than the demo's sizes, whose saves the demo refuses.
const OtherGame = '[System]\nStartLocation=1\n[Locations]\n#1,Room,,0\n[Verbs]\n#21,save\n';

const BrowserArgs = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// Starts Debian's chromium with its own profile (and so its own IndexedDB).
function launchBrowser(profile) {
  return puppeteer.launch({
    executablePath: chromium, headless: true, userDataDir: profile, args: BrowserArgs });
}

// The saved games the page keeps in IndexedDB (IDBFS's store under /saves), by file name.
async function keptSaves(page) {
  const kept = await page.evaluate(function () {
    return new Promise(function (resolve, reject) {
      const open = indexedDB.open('/saves');
      open.onerror = () => reject(open.error);
      open.onsuccess = function () {
        const db = open.result;
        if (!db.objectStoreNames.contains('FILE_DATA')) {
          db.close();
          resolve([]);
          return;
        }
        const files = {};
        const walk = db.transaction('FILE_DATA').objectStore('FILE_DATA').openCursor();
        walk.onerror = () => reject(walk.error);
        walk.onsuccess = function () {
          const at = walk.result;
          if (!at) {
            db.close();
            resolve(Object.entries(files));
            return;
          }
          if (/\.sv[0-9]$/.test(at.key)) files[at.key] = Array.from(at.value.contents);
          at.continue();
        };
      };
    });
  });
  return new Map(kept.map(([key, bytes]) => [path.basename(key), Buffer.from(bytes)]));
}

// The last screen dump's place: the title area (the location and the status line) and the
// description area. The message area differs by the question asked.
function lastPlace(transcript) {
  const at = transcript.lastIndexOf('== screen ==');
  const end = transcript.indexOf('-- messages --', at);
  return at >= 0 && end > at ? transcript.substring(at, end) : '';
}

function turnsOf(place) {
  const m = /Turns: (\d+)/.exec(place);
  return m ? Number(m[1]) : null;
}

// Where the game in the page is now, from a screen dump of its own.
async function placeNow(page) {
  const count = await page.evaluate(
    () => window.umbTranscript.filter((l) => l === '== end ==').length);
  await requestDump(page);
  await waitForDumpEnd(page, count + 1);
  return lastPlace(await transcriptOf(page));
}

async function openSavesPanel(page) {
  if (await page.$eval('#saves-panel', (panel) => panel.hidden)) await page.click('#saves');
  await page.waitForSelector('#saves-panel:not([hidden])');
}

// Escape, with the focus in the panel, closes it and gives the keys back to the game.
async function closeSavesPanel(page) {
  await page.focus('#saves-close');
  await page.keyboard.press('Escape');
  await page.waitForSelector('#saves-panel[hidden]');
}

// The slots the panel lists, in its order (the autosave, slot 0, last).
function listedSlots(page) {
  return page.$$eval('#saves-list li', (items) => items.map((item) => Number(item.dataset.slot)));
}

// Exports a slot with its button in the panel; returns the downloaded file's bytes.
async function exportSave(page, slot, downloads) {
  await openSavesPanel(page);
  const name = 'beacon.sv' + slot;
  fs.rmSync(path.join(downloads, name), { force: true });
  const doneBefore = downloadsDone.length;
  await page.click('#saves-list li[data-slot="' + slot + '"] button');
  return waitForDownload(path.join(downloads, name), doneBefore);
}

// Imports a file into a slot through the panel; returns what the panel said, once IndexedDB
// has what the import kept.
async function importSave(page, file, slot) {
  await openSavesPanel(page);
  await page.$eval('#saves-message', (message) => { message.textContent = ''; });
  await page.select('#import-slot', String(slot));
  await (await page.$('#import-file')).uploadFile(file);
  await page.click('#import');
  await page.waitForFunction(() => document.getElementById('saves-message').textContent !== '',
    { timeout: StepTimeout });
  await page.waitForFunction(() => !window.umbSavesPending(), { timeout: StepTimeout });
  return page.$eval('#saves-message', (message) => message.textContent);
}

async function main() {
  const out = path.join(work, 'out');
  const publish = childProcess.spawnSync(path.join(root, 'tools', 'publish-web.sh'),
    [path.join(example, 'beacon'), out], { stdio: 'inherit' });
  if (publish.status !== 0) throw new Error('tools/publish-web.sh failed: ' + publish.status);

  const keys = fs.readFileSync(keysFile, 'latin1');
  const blessed = fs.readFileSync(blessedFile, 'latin1');
  const steps = parseKeys(keys);
  const commands = steps.filter((s) => s.press === 'Enter').length;
  const firstAnswer = steps[0]; // "n": no saved game restored; the first location is shown

  // What the native program does: the walkthrough (which saves slot 1), the first screen, the
  // restore of slot 1, and the start up to the first location alone, to take its time off.
  const nativeWalk = copyExample('native-walk');
  const walkTimes = [];
  const startTimes = [];
  let nativeTranscript = '';
  // A run takes some 20 ms: the fastest of many is the one least disturbed.
  for (let i = 0; i < 15; ++i) {
    const w = playNative(nativeWalk, keys);
    walkTimes.push(w.ms);
    nativeTranscript = w.transcript;
    startTimes.push(playNative(nativeWalk, firstAnswer.press).ms);
  }
  assert.equal(nativeTranscript, blessed, 'the native walkthrough reads as blessed');
  const nativeShotFolder = copyExample('native-shot');
  playNative(nativeShotFolder, firstAnswer.press + '{shot}');
  const nativeShot = fs.readFileSync(path.join(nativeShotFolder, 'scrshot.bmp'));
  // And the screen where the walkthrough first asks for a dump, after many commands have
  // scrolled, cleared and redrawn the areas the page was sent piece by piece.
  const dumpAt = keys.indexOf('{screen}');
  const nativeMidFolder = copyExample('native-mid');
  playNative(nativeMidFolder, keys.substring(0, dumpAt) + '{shot}');
  const nativeMidShot = fs.readFileSync(path.join(nativeMidFolder, 'scrshot.bmp'));
  const restoreKeys = 'y1';
  const nativeRestore = playNative(nativeWalk, restoreKeys).transcript;

  const { server, port } = await startServer(out);
  const downloads = path.join(work, 'downloads');
  fs.mkdirSync(downloads);
  let browser;
  try {
    // Failing to start the browser fails the test: it is never skipped.
    browser = await launchBrowser(path.join(work, 'profile'));
    const cdp = await browser.target().createCDPSession();
    await cdp.send('Browser.setDownloadBehavior',
      { behavior: 'allow', downloadPath: downloads, eventsEnabled: true });
    trackDownloads(cdp);
    const page = await browser.newPage();
    await page.setViewport({ width: 1000, height: 700 });
    const problems = [];
    page.on('dialog', async function (dialog) {
      problems.push('dialog: ' + dialog.message());
      await dialog.dismiss();
    });
    page.on('pageerror', function (error) {
      problems.push('page error: ' + error.message);
    });
    page.on('console', function (message) {
      if (message.type() === 'error') problems.push('console: ' + message.text());
    });
    const url = 'http://127.0.0.1:' + port + '/index.html';

    let firstScreenMs = 0;
    let firstPromptMs = 0;
    let browserMsPerCommand = 0;
    let showingMsPerCommand = 0;
    await check('the walkthrough in the page reads as the blessed transcript', async function () {
      await page.goto(url);
      await waitForState(page, ['waiting']);
      const times = await page.evaluate(() => window.umbTimes());
      firstScreenMs = times.firstScreenMs;
      firstPromptMs = times.firstPromptMs;
      let timesBefore = null;
      let midChecked = false;
      for (let i = 0; i < steps.length; ++i) {
        // As the headless driver hands out keys: one to each question, none to a pause.
        await waitForState(page, ['waiting']);
        const step = steps[i];
        if (step.dump && !midChecked) {
          midChecked = true;
          const canvas = await canvasPixels(page);
          assert.equal(differingPixels(canvas, bitmapPixels(nativeMidShot).rgba, WholeScreen), 0,
            'the screen differs from the native one at the first {screen}');
        }
        if (step.dump) await requestDump(page);
        else await press(page, step);
        // The first location: its screen is checked below, then the walkthrough goes on.
        if (i === 0) {
          await waitForState(page, ['waiting']);
          await check('the first screen equals the native one, on the canvas and downloaded',
            async function () {
              await checkFirstScreen(page, nativeShot, downloads);
            });
          timesBefore = await page.evaluate(() => window.umbTimes());
        }
      }
      const state = await waitForState(page, ['waiting', 'ended']);
      const timesAfter = await page.evaluate(() => window.umbTimes());
      browserMsPerCommand = (timesAfter.busyMs - timesBefore.busyMs) / commands;
      showingMsPerCommand = (timesAfter.showingMs - timesBefore.showingMs) / commands;
      // The headless driver's last dump at the end of its input; a game that ended made it.
      if (state === 'waiting') await requestDump(page);
      const dumps = (blessed.match(/^== end ==$/gm) || []).length;
      await waitForDumpEnd(page, dumps);
      const got = await transcriptOf(page);
      assert.ok(got === blessed, 'transcripts differ at ' + firstDifference(got, blessed));
    });

    await check('a game saved in the page is restored after a reload', async function () {
      await page.waitForFunction(() => !window.umbSavesPending(), { timeout: StepTimeout });
      await page.reload();
      await waitForState(page, ['waiting']);
      await playKeys(page, restoreKeys);
      await requestDump(page);
      await waitForDumpEnd(page, 1);
      const got = await transcriptOf(page);
      // The walkthrough saved in the lamp room with 45 points after 45 turns: the restored game
      // is there again, not at the start.
      assert.match(got, /-- title --\nLamp room\nScore: 45\/50  Turns: 45  /);
      assert.ok(got === nativeRestore, 'the restore differs at ' + firstDifference(got,
        nativeRestore));
    });

    await check('saves from two tabs of the game are both kept', async function () {
      // The first tab plays on from the restored game; a second one starts afresh. The restore
      // is in the autosave, which the second tab offers and is told no, removing it.
      await page.waitForFunction(() => !window.umbSavesPending(), { timeout: StepTimeout });
      const other = await browser.newPage();
      await other.goto(url);
      await waitForState(other, ['waiting']);
      await playKeys(other, 'nn\nsave\n2');
      await other.waitForFunction(() => !window.umbSavesPending(), { timeout: StepTimeout });
      // A tab in the background gets its timers slowed down to one a second.
      await page.bringToFront();
      await playKeys(page, 'save\n3');
      for (const p of [other, page]) {
        await p.waitForFunction(() => !window.umbSavesPending(), { timeout: StepTimeout });
      }
      await other.close();
      await page.reload();
      await waitForState(page, ['waiting']);
      const saves = await page.evaluate(function () {
        return Module.FS.readdir('/game').filter((name) => /\.sv[1-9]$/.test(name)).sort();
      });
      assert.deepEqual(saves, ['beacon.sv1', 'beacon.sv2', 'beacon.sv3']);
    });

    // The autosave and the Saves panel. The page is at the start of a game again, with no
    // autosave kept.
    const midway = keys.indexOf('x lantern');
    await check('a reload in the middle of the walkthrough resumes the game at the same turn',
      async function () {
        await playKeys(page, keys.substring(0, midway));
        const before = await placeNow(page);
        assert.ok(turnsOf(before) > 0, 'no turns counted: ' + before);
        await page.waitForFunction(() => !window.umbSavesPending(), { timeout: StepTimeout });
        assert.ok((await keptSaves(page)).has('beacon.sv0'), 'the autosave is not in IndexedDB');
        await page.reload();
        await waitForState(page, ['waiting']);
        await playKeys(page, 'y');
        const after = await placeNow(page);
        assert.match(await transcriptOf(page), /\nContinue where you left off\? y\n/);
        assert.equal(turnsOf(after), turnsOf(before));
        assert.equal(after, before);
      });

    await check('a won game leaves no autosave in IndexedDB', async function () {
      assert.ok((await keptSaves(page)).has('beacon.sv0'), 'no autosave before the game ends');
      for (const step of parseKeys(keys.substring(midway))) {
        await waitForState(page, ['waiting']);
        if (step.dump) await requestDump(page);
        else await press(page, step);
      }
      await waitForState(page, ['ended']);
      assert.match(await transcriptOf(page),
        /\*\*\* You have saved the ship! \*\*\*\nPlay again\? n/);
      await page.waitForFunction(() => !window.umbSavesPending(), { timeout: StepTimeout });
      assert.deepEqual([...(await keptSaves(page)).keys()].sort(),
        ['beacon.sv1', 'beacon.sv2', 'beacon.sv3']);
      assert.equal(await page.evaluate(() => Module.FS.analyzePath('/game/beacon.sv0').exists),
        false);
    });

    // A second browser profile: a player's other machine, where the saves come as files.
    let fresh = null;
    let freshPage = null;
    try {
      await check('a save exported from the Saves panel imports into another browser, where ' +
        'restore puts the game where the native restore does', async function () {
        // The panel opens from the keyboard and lists the slots there are.
        await page.focus('#saves');
        await page.keyboard.press('Enter');
        await page.waitForSelector('#saves-panel:not([hidden])');
        assert.deepEqual(await listedSlots(page), [1, 2, 3]);
        const exported = await exportSave(page, 1, downloads);
        const nativeSave = fs.readFileSync(path.join(nativeWalk, 'beacon.sv1'));
        assert.ok(exported.equals(nativeSave), 'the exported save differs from the native file');
        await closeSavesPanel(page);

        fresh = await launchBrowser(path.join(work, 'profile-fresh'));
        freshPage = await fresh.newPage();
        await freshPage.goto(url);
        await waitForState(freshPage, ['waiting']);
        // Keys typed while the panel has the focus stay there: a "y" reaching the game would
        // answer its first question, and the transcript below would differ from the native one.
        await freshPage.focus('#saves');
        await freshPage.keyboard.press('Enter');
        await freshPage.waitForSelector('#saves-panel:not([hidden])');
        await freshPage.keyboard.press('y');
        const said = await importSave(freshPage, path.join(downloads, 'beacon.sv1'), 1);
        assert.match(said, /^beacon\.sv1 is now slot 1/);
        assert.ok((await keptSaves(freshPage)).get('beacon.sv1').equals(nativeSave),
          'the imported slot is not in IndexedDB');
        await closeSavesPanel(freshPage);
        const restoreCommand = 'n\nrestore\n1';
        await playKeys(freshPage, restoreCommand);
        await requestDump(freshPage);
        await waitForDumpEnd(freshPage, 1);
        const got = await transcriptOf(freshPage);
        const nativeFolder = copyExample('native-import');
        fs.copyFileSync(path.join(downloads, 'beacon.sv1'), path.join(nativeFolder, 'beacon.sv1'));
        const expected = playNative(nativeFolder, restoreCommand).transcript;
        assert.match(lastPlace(got), /-- title --\nLamp room\nScore: 45\/50  Turns: 45  /);
        assert.ok(got === expected, 'the restore differs at ' + firstDifference(got, expected));
        await openSavesPanel(freshPage);
        assert.deepEqual(await listedSlots(freshPage), [1, 0]); // the restore is in the autosave
        await closeSavesPanel(freshPage);
      });

      const nativeOwn = copyExample('native-own');
      playNative(nativeOwn, 'n\nw\nn\nsave\n5');
      const ownSave = fs.readFileSync(path.join(nativeOwn, 'beacon.sv5'));
      await check('a game saved by the native program imports and restores', async function () {
        assert.ok(freshPage, 'no second browser');
        const said = await importSave(freshPage, path.join(nativeOwn, 'beacon.sv5'), 5);
        assert.match(said, /^beacon\.sv5 is now slot 5/);
        await closeSavesPanel(freshPage);
        await playKeys(freshPage, 'restore\n5');
        const got = await placeNow(freshPage);
        const nativeFolder = copyExample('native-own-restore');
        fs.copyFileSync(path.join(nativeOwn, 'beacon.sv5'), path.join(nativeFolder, 'beacon.sv5'));
        const expected = lastPlace(playNative(nativeFolder, 'n\nrestore\n5').transcript);
        assert.match(got, /-- title --\nShingle beach\nScore: 0\/50  Turns: 2  /);
        assert.equal(got, expected);
      });

      await check('a save of another game, a damaged one and any other file are refused, ' +
        'with a message, the slot left as it was', async function () {
        assert.ok(freshPage, 'no second browser');
        fs.writeFileSync(path.join(work, 'other.adv'), OtherGame);
        const compiled = childProcess.spawnSync(umb, ['-c', 'other'], { cwd: work });
        assert.equal(compiled.status, 0, 'other.adv does not compile: ' + compiled.stdout);
        const saved = childProcess.spawnSync(umb, ['other'], {
          cwd: work, input: 'nsave\n1', env: { ...process.env, UMB_DRIVER: 'headless' } });
        assert.equal(saved.status, 0, 'the other game did not save: ' + saved.stdout);
        const refused = [
          { name: 'other.sv1', bytes: fs.readFileSync(path.join(work, 'other.sv1')),
            said: /^other\.sv1 is a saved game of another game: slot 5 was left as it was\.$/ },
          { name: 'cut.sv5', bytes: ownSave.subarray(0, ownSave.length - 2),
            said: /^cut\.sv5 is damaged: slot 5 was left as it was\.$/ },
          { name: 'notes.txt', bytes: Buffer.from('Slot 5: the stair\n'),
            said: /^notes\.txt is not a saved game: slot 5 was left as it was\.$/ },
        ];
        for (const file of refused) {
          const where = path.join(work, file.name);
          fs.writeFileSync(where, file.bytes);
          assert.match(await importSave(freshPage, where, 5), file.said);
          const slot = await freshPage.evaluate(
            () => Array.from(Module.FS.readFile('/game/beacon.sv5')));
          assert.ok(Buffer.from(slot).equals(ownSave), file.name + ' changed slot 5');
          assert.ok((await keptSaves(freshPage)).get('beacon.sv5').equals(ownSave),
            file.name + ' changed the kept slot 5');
        }
        await closeSavesPanel(freshPage);
      });
    } finally {
      if (fresh) await fresh.close();
    }

    await check('no dialog, page error or console error', async function () {
      assert.deepEqual(problems, []);
    });

    await check('a damaged game file is reported in a dialog', async function () {
      const damaged = path.join(out, 'damaged');
      fs.mkdirSync(damaged);
      for (const f of ['index.html', 'player.js', 'textview.js', 'umb.js', 'umb.wasm'])
        fs.copyFileSync(path.join(out, f), path.join(damaged, f));
      const game = fs.readFileSync(path.join(out, 'beacon.umb'));
      fs.writeFileSync(path.join(damaged, 'beacon.umb'), game.subarray(0, game.length >> 1));
      fs.writeFileSync(path.join(damaged, 'files.json'),
        JSON.stringify({ game: 'beacon', files: ['beacon.umb'] }));
      const tab = await browser.newPage();
      const said = new Promise(function (resolve) {
        tab.on('dialog', async function (dialog) {
          resolve(dialog.message());
          await dialog.dismiss();
        });
      });
      await tab.goto('http://127.0.0.1:' + port + '/damaged/index.html');
      assert.equal(await said, 'Error: File beacon.umb is damaged or is not a game file!');
      await tab.close();
    });

    await check('the screen scales by whole multiples, and F11 makes it full screen',
      async function () {
        const tab = await browser.newPage();
        await tab.setViewport({ width: 1700, height: 1300 });
        await tab.goto(url);
        await tab.waitForFunction(() => window.umbTimes().firstScreenMs !== null,
          { timeout: StepTimeout });
        const width = () => getComputedStyle(document.getElementById('screen')).width;
        assert.equal(await tab.evaluate(width), '1600px');
        await tab.keyboard.press('F11');
        await tab.waitForFunction(() => document.fullscreenElement !== null,
          { timeout: StepTimeout });
        await tab.close();
      });

    await check('keys of accented letters and the rest of the code page reach the game',
      async function () {
        const tab = await browser.newPage();
        await tab.goto(url);
        await waitForState(tab, ['waiting']);
        // A key the game takes is kept from the browser; one it cannot use is left to it.
        const taken = await tab.evaluate(function (keys) {
          return keys.map(function (key) {
            const event = new KeyboardEvent('keydown', { key: key, cancelable: true });
            window.dispatchEvent(event);
            return event.defaultPrevented;
          });
        }, [...CodePageKeys, '\u20ac']);
        assert.deepEqual(taken, [...CodePageKeys.map(() => true), false]);
        await tab.close();
      });

    await check('the text view is reached first, read by a screen reader, and plays the game',
      async function () {
        // A profile of its own: no autosave or view chosen by the checks before.
        const context = await browser.createBrowserContext();
        const tab = await context.newPage();
        await tab.setViewport({ width: 1000, height: 700 });
        await tab.goto(url);
        await waitForState(tab, ['waiting']);
        // The first Tab may only bring the focus into the page from the browser's own controls.
        for (let i = 0; i < 2 && await tab.evaluate(() => document.activeElement === document.body);
          ++i)
          await tab.keyboard.press('Tab');
        assert.equal(await tab.evaluate(() => document.activeElement.textContent), 'Text view');
        await tab.keyboard.press('Enter');
        assert.equal(await tab.evaluate(() => window.umbTextView.on()), true);
        assert.equal(await tab.evaluate(() => document.activeElement.id), 'tv-input');
        await playTyping(tab, steps.slice(0, 1));
        await waitForState(tab, ['waiting']);
        const shown = await tab.evaluate(() => ({
          place: document.getElementById('tv-place').textContent,
          text: document.querySelector('#tv-texts p').textContent,
          status: document.getElementById('tv-status').textContent,
          alt: document.getElementById('tv-picture').alt,
        }));
        assert.match(shown.status, /^Score: 0\/50/);
        assert.equal(shown.alt, shown.place);
        const names = await accessibleNames(tab);
        for (const what of [shown.place, shown.text, shown.status])
          assert.ok(what !== '' && names.includes(what), 'not in the accessibility tree: ' + what);
        await playTyping(tab, steps.slice(1));
        await waitForState(tab, ['ended']);
        const logged = await tab.evaluate(() => Array.from(document.getElementById('tv-log')
          .children, (p) => p.textContent).join('\n'));
        const rows = messageRows(blessed);
        const log = unwrapped(logged);
        const left = unwrapped(rows.rows);
        assert.ok(log.startsWith(left), 'the log differs at ' + firstDifference(log, left));
        assert.ok(unwrapped(rows.onScreen).endsWith(log.substring(left.length)),
          'the log ends otherwise than the screen');
        // The view chosen is kept for the next visit.
        await tab.reload();
        assert.equal(await tab.evaluate(() => window.umbTextView.on()), true);
        await context.close();
      });

    await check('on a phone the text view fits, keeps the keyboard up and recalls commands',
      async function () {
        const context = await browser.createBrowserContext();
        const tab = await context.newPage();
        await tab.setViewport({ width: 390, height: 844, isMobile: true, hasTouch: true });
        await tab.goto(url);
        await waitForState(tab, ['waiting']);
        assert.equal(await tab.evaluate(() => window.umbTextView.on()), true,
          'a narrow page starts in the text view');
        for (const keys of ['n', 'help\n', 'x ship\n', 'n\n', 'get lantern\n']) {
          await playTyping(tab, parseKeys(keys));
          await waitForState(tab, ['waiting']);
          assert.equal(await tab.evaluate(() => document.activeElement.id), 'tv-input',
            'the command line lost the focus after ' + keys);
        }
        assert.equal(await scrollsSideways(tab), false, 'the text view scrolls sideways');
        await tab.keyboard.press('ArrowUp');
        assert.equal(await tab.$eval('#tv-input', (e) => e.value), 'get lantern');
        await tab.$eval('#tv-input', (e) => { e.value = ''; });
        // The picture view scales to the width; a tap on it brings up the command line.
        await tab.tap('#view');
        await tab.setViewport({ width: 360, height: 740, isMobile: true, hasTouch: true });
        await tab.waitForFunction(() => document.getElementById('screen')
          .getBoundingClientRect().width <= 360, { timeout: StepTimeout });
        assert.equal(await scrollsSideways(tab), false, 'the picture view scrolls sideways');
        await tab.tap('#screen');
        assert.equal(await tab.evaluate(() => document.activeElement.id), 'tv-input');
        await context.close();
      });

    await check('a turn that never ends offers Stop after two seconds, which ends the game',
      async function () {
        const loopSite = path.join(out, 'loop');
        fs.mkdirSync(loopSite);
        for (const f of ['index.html', 'player.js', 'textview.js', 'umb.js', 'umb.wasm'])
          fs.copyFileSync(path.join(out, f), path.join(loopSite, f));
        fs.writeFileSync(path.join(work, 'loop.adv'), LoopGame);
        const compiled = childProcess.spawnSync(umb, ['-c', 'loop'], { cwd: work });
        assert.equal(compiled.status, 0, 'loop.adv does not compile: ' + compiled.stdout);
        fs.copyFileSync(path.join(work, 'loop.umb'), path.join(loopSite, 'loop.umb'));
        fs.writeFileSync(path.join(loopSite, 'files.json'),
          JSON.stringify({ game: 'loop', files: ['loop.umb'] }));
        const tab = await browser.newPage();
        await tab.goto('http://127.0.0.1:' + port + '/loop/index.html');
        await playKeys(tab, 'n');
        // When the command was sent, and when the button came: the page keeps the times.
        await tab.evaluate(function () {
          const stop = document.getElementById('stop');
          window.stopShownAt = null;
          window.addEventListener('keydown', function (e) {
            if (e.key === 'Enter') window.sentAt = performance.now();
          }, true);
          new MutationObserver(function () {
            if (!stop.hidden && window.stopShownAt === null) window.stopShownAt = performance.now();
          }).observe(stop, { attributes: true });
        });
        for (const step of parseKeys('loop\n')) await press(tab, step);
        // The page stays alive while the turn runs: it answers, and shows the button.
        await tab.waitForFunction(() => !document.getElementById('stop').hidden,
          { polling: 20, timeout: StepTimeout });
        assert.equal(await tab.evaluate(() => window.umbState()), 'busy');
        const waited = await tab.evaluate(() => window.stopShownAt - window.sentAt);
        assert.ok(waited >= 2000, 'Stop was offered after ' + waited + ' ms');
        await tab.click('#stop');
        await tab.waitForFunction(() => window.umbState() === 'stopped', { timeout: StepTimeout });
        assert.match(await tab.evaluate(() => document.getElementById('note').textContent),
          /stopped/);
        assert.equal(await tab.evaluate(() => document.getElementById('stop').hidden), true);
        await tab.close();
      });

    const nativeMsPerCommand = (Math.min(...walkTimes) - Math.min(...startTimes)) / commands;
    const sizes = ['umb.wasm', 'umb.js'].map(function (name) {
      const bytes = fs.readFileSync(path.join(out, name));
      return name + ' ' + bytes.length + ' bytes (gzip -9: ' +
        zlib.gzipSync(bytes, { level: 9 }).length + ')';
    });
    console.log('Sizes: ' + sizes.join(', '));
    console.log('Page load to the first screen: ' + firstScreenMs.toFixed(0) +
      ' ms; to the first question (after the introduction\'s pause): ' +
      firstPromptMs.toFixed(0) + ' ms');
    // Figures only: the keys come here from this process, one round trip each, and natively all
    // at once, so the two are not alike; bench/bench_web.js compares them as a player types.
    console.log('Per command (' + commands + ' commands): browser ' +
      browserMsPerCommand.toFixed(3) + ' ms (of which putting the screen on the canvas ' +
      showingMsPerCommand.toFixed(3) + ' ms), native headless with every key at once (shows ' +
      'nothing) ' + nativeMsPerCommand.toFixed(3) + ' ms');
  } finally {
    if (browser) await browser.close();
    server.kill();
  }
}

// What the page's canvas shows, as RGBA bytes, once the browser has drawn its next frame (the
// screen reaches the canvas at a frame).
async function canvasPixels(page) {
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  return Buffer.from(await page.evaluate(function () {
    const c = document.getElementById('screen');
    return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
  }));
}

// The screen after the first location: the canvas's picture area, and the screenshot the page
// offers as a download, against the native program's screenshot at the same point.
async function checkFirstScreen(page, nativeShot, downloads) {
  const expected = bitmapPixels(nativeShot);
  assert.equal(expected.width, ScreenWidth);
  assert.equal(expected.height, ScreenHeight);
  const canvas = await canvasPixels(page);
  assert.equal(differingPixels(canvas, expected.rgba, Picture), 0, 'the picture area differs');
  assert.equal(differingPixels(canvas, expected.rgba, WholeScreen), 0, 'the screen differs');
  const doneBefore = downloadsDone.length;
  await press(page, NamedKeys.shot);
  await waitForState(page, ['waiting']);
  const shot = await waitForDownload(path.join(downloads, 'scrshot.bmp'), doneBefore);
  assert.ok(shot.equals(nativeShot), 'the downloaded screenshot differs from the native one');
}

main().then(function () {
  const failed = results.filter((r) => !r.ok).length;
  console.log((results.length - failed) + ' passed, ' + failed + ' failed');
  fs.rmSync(work, { recursive: true, force: true });
  process.exit(failed === 0 && results.length > 0 ? 0 : 1);
}, function (error) {
  console.log('FAIL ' + (error && error.stack ? error.stack : error));
  console.log('0 passed, 1 failed');
  process.exit(1);
});
