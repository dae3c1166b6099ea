// bench_web.js - the browser player against the native program: the time per command of the
// demo's winning walkthrough in Debian's chromium against the native headless program, and the
// time from page load to the first screen.
//
// Both programs get the walkthrough as a player types it, a key a frame (16 ms) apart: after each
// wait the next key's work starts with caches the rest of the machine has used meanwhile, which
// about doubles a command's time natively as in the browser. The native program's time is its CPU
// time (the kernel's count for its threads), the browser's the game's working time between its
// waits. The native program's time with every key at hand at once, which no player gives it, is
// printed beside it.
//
// Publishes the demo with tools/publish-web.sh (which builds what is out of date; UMB_NATIVE_BUILD
// and UMB_WEB_BUILD name other build folders), serves it on the loopback and drives chromium with
// puppeteer-core from tests/web (npm ci there first). Each figure is the best of several runs, as
// the other benchmarks take theirs: the least disturbed by the rest of the machine. Prints each
// against its target and exits 0 unless the run itself went wrong.
//
//   node bench/bench_web.js [--runs N] [--loads N] [--profile FILE.cpuprofile]
//
// --profile records chromium's CPU profile of one walkthrough into FILE (for the browser's
// developer tools) and lists the functions that took the most time; a player linked with
// emscripten's --profiling-funcs (a UMB_WEB_BUILD folder configured with
// -DCMAKE_EXE_LINKER_FLAGS=--profiling-funcs) names its own functions there. UMB_CHROMIUM_ARGS
// adds switches to chromium's command line (e.g. --js-flags=...).
'use strict';

const childProcess = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');

const root = path.resolve(__dirname, '..');
const puppeteer = require(require.resolve('puppeteer-core', { paths: [path.join(root, 'tests', 'web')] }));

const nativeBuild = process.env.UMB_NATIVE_BUILD || path.join(root, 'build');
const umb = path.join(nativeBuild, 'umb');
const example = path.join(root, 'examples', 'beacon');
const chromium = process.env.UMB_CHROMIUM || '/usr/bin/chromium';
const StepTimeout = 30000;

const CommandTarget = 2.5; // the browser's time per command, as a multiple of the native one
const FirstScreenTargetMs = 400;

function usage() {
  console.error('usage: node bench/bench_web.js [--runs N] [--loads N] [--profile FILE]');
  process.exit(2);
}

function parseOptions(argv) {
  const opt = { runs: 3, loads: 7, profile: '' };
  for (let i = 0; i < argv.length; ++i) {
    const value = argv[i + 1];
    if (argv[i] === '--runs' && /^[1-9][0-9]*$/.test(value || '')) opt.runs = Number(value);
    else if (argv[i] === '--loads' && /^[1-9][0-9]*$/.test(value || '')) opt.loads = Number(value);
    else if (argv[i] === '--profile' && value) opt.profile = path.resolve(value);
    else usage();
    ++i;
  }
  return opt;
}

// The keys of a key script as steps: { key } for puppeteer, { dump: true } for {screen}, each
// with raw, its text in the key script. Only the names the demo's walkthrough uses.
const NamedKeys = { enter: 'Enter', esc: 'Escape', bs: 'Backspace', up: 'ArrowUp', down: 'ArrowDown' };

function keySteps(text) {
  const steps = [];
  for (let i = 0; i < text.length; ++i) {
    if (text[i] === '\r') continue;
    if (text[i] !== '{' || text[i + 1] === '{') {
      steps.push({ key: text[i] === '\n' ? 'Enter' : text[i], raw: text[i] === '{' ? '{{' : text[i] });
      if (text[i] === '{') ++i;
      continue;
    }
    const end = text.indexOf('}', i);
    const name = text.substring(i + 1, end);
    const raw = text.substring(i, end + 1);
    if (name === 'screen') steps.push({ dump: true, raw: raw });
    else if (NamedKeys[name]) steps.push({ key: NamedKeys[name], raw: raw });
    else throw new Error('a key this benchmark cannot press: {' + name + '}');
    i = end;
  }
  return steps;
}

// The native time per command: the fastest of many headless plays of the walkthrough (some
// 20 ms each) less the fastest of as many starts up to the first location.
function nativeMsPerCommand(work, keys, firstKey, commands) {
  const folder = path.join(work, 'native');
  fs.cpSync(example, folder, { recursive: true });
  for (const f of fs.readdirSync(folder))
    if (/\.(sv[0-9]|umb)$/.test(f)) fs.rmSync(path.join(folder, f));
  const fastest = { [keys]: Infinity, [firstKey]: Infinity };
  for (let i = 0; i < 40; ++i) {
    const input = i % 2 === 0 ? keys : firstKey;
    const start = process.hrtime.bigint();
    const run = childProcess.spawnSync(umb, ['beacon'], { cwd: folder, input: input,
      env: { ...process.env, UMB_DRIVER: 'headless' }, stdio: ['pipe', 'ignore', 'pipe'] });
    if (run.status !== 0) throw new Error('umb ended with ' + run.status + ': ' + run.stderr);
    fastest[input] = Math.min(fastest[input], Number(process.hrtime.bigint() - start) / 1e6);
  }
  return (fastest[keys] - fastest[firstKey]) / commands;
}

const FrameMs = 16; // a key a frame: as fast as a player's keys come to a program
const SettleMs = 300; // time for a program to finish what its last key started

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// The CPU milliseconds the process has used so far, all its threads together (the scheduler's
// count in nanoseconds, not the clock ticks of /proc/PID/stat).
function cpuMs(pid) {
  let ns = 0;
  for (const task of fs.readdirSync('/proc/' + pid + '/task'))
    ns += Number(fs.readFileSync('/proc/' + pid + '/task/' + task + '/schedstat', 'latin1').split(' ')[0]);
  return ns / 1e6;
}

// The native time per command with the keys typed a frame apart: the least CPU time of runs
// headless from the first key's prompt to the last key's, as browserRun measures the page.
async function nativePacedMsPerCommand(work, steps, commands, runs) {
  const folder = path.join(work, 'native-paced');
  fs.cpSync(example, folder, { recursive: true });
  let best = Infinity;
  for (let run = 0; run < runs; ++run) {
    for (const f of fs.readdirSync(folder))
      if (/\.(sv[0-9]|umb)$/.test(f)) fs.rmSync(path.join(folder, f));
    const child = childProcess.spawn(umb, ['beacon'], { cwd: folder,
      env: { ...process.env, UMB_DRIVER: 'headless' }, stdio: ['pipe', 'ignore', 'ignore'] });
    const exited = new Promise((resolve) => child.on('exit', resolve));
    child.stdin.write(steps[0].raw);
    await sleep(SettleMs);
    const before = cpuMs(child.pid);
    for (const step of steps.slice(1, -1)) {
      child.stdin.write(step.raw);
      await sleep(FrameMs);
    }
    await sleep(SettleMs);
    const after = cpuMs(child.pid);
    child.stdin.end(steps[steps.length - 1].raw);
    if ((await exited) !== 0) throw new Error('umb did not end well after the walkthrough');
    best = Math.min(best, (after - before) / commands);
  }
  return best;
}

// Serves folder on the loopback as a static web host does: HTTP/1.1 with kept-alive
// connections, the types browsers need (wasm streams only as application/wasm), no caching.
function startServer(folder) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
    '.json': 'application/json', '.png': 'image/png' };
  const server = http.createServer(function (request, response) {
    const name = decodeURIComponent(new URL(request.url, 'http://host').pathname);
    const file = path.join(folder, path.normalize(name));
    fs.readFile(file, function (error, data) {
      if (error || !file.startsWith(folder + path.sep)) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-cache' });
      response.end(data);
    });
  });
  return new Promise(function (resolve, reject) {
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => resolve(server));
  });
}

// Hands the game the steps in the page itself, each once the game asks for a key (none during a
// pause), as the browser hands it a key press: a key event on the window. As for a player, the
// screen reaches the canvas between two keys: a key goes in only after the next frame. Driving
// from the page leaves out the round trips to this process, whose timing varies more than the
// game's work. Resolves when the game asks after the last step, or has ended.
function playInPage(steps) {
  return new Promise(function (resolve, reject) {
    let next = 0;
    function look() {
      const state = window.umbState();
      if (state === 'failed') reject(new Error(document.getElementById('note').textContent));
      else if (state === 'ended' || (state === 'waiting' && next === steps.length)) resolve();
      else if (state === 'waiting') requestAnimationFrame(() => setTimeout(press, 0));
      else setTimeout(look, 1);
    }
    function press() {
      const step = steps[next++];
      if (step.dump) window.umbScreenDump();
      else window.dispatchEvent(new KeyboardEvent('keydown', { key: step.key, cancelable: true }));
      setTimeout(look, 0);
    }
    look();
  });
}

// Plays the walkthrough in a fresh browser context (no saved games, nothing cached); returns the
// game's working milliseconds per command from the first key's prompt to the last key's, and the
// part of them spent showing the screen. With profile, chromium's CPU profile of those commands goes there.
async function browserRun(browser, url, steps, commands, profile) {
  const context = await browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await page.goto(url);
    await page.waitForFunction(() => window.umbState && window.umbState() !== 'loading',
      { polling: 2, timeout: StepTimeout });
    await page.evaluate(playInPage, steps.slice(0, 1));
    const cdp = profile ? await page.createCDPSession() : null;
    if (cdp) {
      await cdp.send('Profiler.enable');
      await cdp.send('Profiler.setSamplingInterval', { interval: 50 });
      await cdp.send('Profiler.start');
    }
    const before = await page.evaluate(() => window.umbTimes());
    await page.evaluate(playInPage, steps.slice(1, -1));
    const after = await page.evaluate(() => window.umbTimes());
    if (cdp) {
      const { profile: recorded } = await cdp.send('Profiler.stop');
      fs.writeFileSync(profile, JSON.stringify(recorded));
      printProfile(recorded);
    }
    return {
      ms: (after.busyMs - before.busyMs) / commands,
      showingMs: (after.showingMs - before.showingMs) / commands,
    };
  } finally {
    await context.close();
  }
}

// The functions that took the most time by themselves in a CPU profile.
function printProfile(profile) {
  const self = new Map();
  const byId = new Map(profile.nodes.map((n) => [n.id, n]));
  const deltas = profile.timeDeltas;
  let total = 0;
  for (let i = 0; i < profile.samples.length; ++i) {
    const frame = byId.get(profile.samples[i]).callFrame;
    const name = (frame.functionName || '(anonymous)') + ' ' + path.basename(frame.url || '');
    const ms = (deltas[i + 1] || 0) / 1000;
    self.set(name, (self.get(name) || 0) + ms);
    if (!/^\((idle|program|garbage collector)\)/.test(name)) total += ms;
  }
  console.log('profile: ' + total.toFixed(1) + ' ms outside idle; the functions that took most:');
  for (const [name, ms] of [...self].sort((a, b) => b[1] - a[1]).slice(0, 30))
    console.log('  ' + ms.toFixed(2).padStart(8) + ' ms  ' + name);
}

// The milliseconds from page load to the first screen, in a fresh browser context each time: a
// first visit, with nothing cached.
async function firstScreenMs(browser, url) {
  const context = await browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await page.goto(url);
    await page.waitForFunction(() => window.umbTimes && window.umbTimes().firstScreenMs !== null,
      { polling: 2, timeout: StepTimeout });
    return await page.evaluate(() => window.umbTimes().firstScreenMs);
  } finally {
    await context.close();
  }
}

function verdict(ratio) {
  return ratio <= 1 ? 'OK' : 'SLOW';
}

async function main() {
  const opt = parseOptions(process.argv.slice(2));
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'umb-bench-web-'));
  try {
    const out = path.join(work, 'out');
    const publish = childProcess.spawnSync(path.join(root, 'tools', 'publish-web.sh'),
      [path.join(example, 'beacon'), out], { stdio: ['ignore', 'ignore', 'inherit'] });
    if (publish.status !== 0) throw new Error('tools/publish-web.sh failed: ' + publish.status);
    const keys = fs.readFileSync(path.join(example, 'beacon-win.keys'), 'latin1');
    const steps = keySteps(keys);
    const commands = steps.filter((s) => s.key === 'Enter').length;
    const native = nativeMsPerCommand(work, keys, steps[0].raw, commands);
    const nativePaced = await nativePacedMsPerCommand(work, steps, commands, opt.runs);

    const server = await startServer(out);
    let browser;
    try {
      browser = await puppeteer.launch({
        executablePath: chromium,
        headless: true,
        userDataDir: path.join(work, 'profile'),
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
          '--disable-background-networking', '--disable-component-update', '--disable-sync',
          ...(process.env.UMB_CHROMIUM_ARGS || '').split(' ').filter(Boolean)],
      });
      const url = 'http://127.0.0.1:' + server.address().port + '/index.html';
      const loads = [];
      for (let i = 0; i < opt.loads; ++i) loads.push(await firstScreenMs(browser, url));
      let best = null;
      for (let i = 0; i < opt.runs; ++i) {
        const run = await browserRun(browser, url, steps, commands, i === 0 ? opt.profile : '');
        if (best === null || run.ms < best.ms) best = run;
      }
      const sizes = ['umb.wasm', 'umb.js'].map((f) => f + ' ' + fs.statSync(path.join(out, f)).size + ' bytes');
      console.log('player: ' + sizes.join(', '));
      const ratio = best.ms / nativePaced;
      console.log('per command (' + commands + ' commands of the demo typed a key a frame, best of ' +
        opt.runs + '): browser ' + best.ms.toFixed(3) + ' ms (showing the screen ' +
        best.showingMs.toFixed(3) + ' ms), native headless ' + nativePaced.toFixed(3) +
        ' ms; ratio ' + ratio.toFixed(2) + ' (target <= ' + CommandTarget + '): ' +
        verdict(ratio / CommandTarget));
      console.log('  native headless with every key at hand at once: ' + native.toFixed(3) +
        ' ms per command (the browser against it: ' + (best.ms / native).toFixed(2) + ')');
      const sorted = [...loads].sort((a, b) => a - b);
      const first = sorted[0];
      console.log('first screen: ' + first.toFixed(0) + ' ms after page load (best of ' + opt.loads +
        ', median ' + sorted[sorted.length >> 1].toFixed(0) + ' ms), ratio ' +
        (first / FirstScreenTargetMs).toFixed(2) + ' (target <= 1.00 of ' + FirstScreenTargetMs +
        ' ms): ' + verdict(first / FirstScreenTargetMs));
    } finally {
      if (browser) await browser.close();
      server.closeAllConnections();
      server.close();
    }
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch(function (error) {
  console.log('FAIL: ' + (error && error.stack ? error.stack : error));
  process.exit(1);
});
