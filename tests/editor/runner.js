// runner.js - runs a test script's checks in order, each reported as ok or FAILED with the
// reason, under one time limit for the whole script; the exit status says whether all passed.
'use strict';

async function runChecks(title, checks, timeoutMs, argument) {
  const watchdog = setTimeout(() => {
    console.error(`${title}: over the time limit of ${timeoutMs / 1000} s`);
    process.exit(1);
  }, timeoutMs);
  let failed = 0;
  for (const { name, fn } of checks) {
    try {
      await fn(argument);
      console.log(`ok      ${name}`);
    } catch (err) {
      failed += 1;
      console.log(`FAILED  ${name}\n${String(err.stack || err).replace(/^/gm, '    ')}`);
    }
  }
  clearTimeout(watchdog);
  console.log(`${title}: ${checks.length - failed} passed, ${failed} failed`);
  process.exitCode = failed === 0 ? 0 : 1;
}

module.exports = { runChecks };
