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
    browser = await puppeteer.launch({
      executablePath: chromium,
      headless: true,
      userDataDir: path.join(work, 'profile'),
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
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
      // The first tab plays on from the restored game; a second one starts afresh.
      const other = await browser.newPage();
      await other.goto(url);
      await waitForState(other, ['waiting']);
      await playKeys(other, 'n\nsave\n2');
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

    await check('no dialog, page error or console error', async function () {
      assert.deepEqual(problems, []);
    });

    await check('a damaged game file is reported in a dialog', async function () {
      const damaged = path.join(out, 'damaged');
      fs.mkdirSync(damaged);
      for (const f of ['index.html', 'player.js', 'umb.js', 'umb.wasm'])
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

    await check('a turn that never ends offers Stop after two seconds, which ends the game',
      async function () {
        const loopSite = path.join(out, 'loop');
        fs.mkdirSync(loopSite);
        for (const f of ['index.html', 'player.js', 'umb.js', 'umb.wasm'])
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
    const gameMsPerCommand = browserMsPerCommand - showingMsPerCommand;
    console.log('Per command (' + commands + ' commands): browser ' +
      browserMsPerCommand.toFixed(3) + ' ms (of which putting the screen on the canvas ' +
      showingMsPerCommand.toFixed(3) + ' ms), native headless (shows nothing) ' +
      nativeMsPerCommand.toFixed(3) + ' ms; ratio ' +
      (browserMsPerCommand / nativeMsPerCommand).toFixed(2) + ', without the canvas ' +
      (gameMsPerCommand / nativeMsPerCommand).toFixed(2) + ' (target: 2.5)');
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
