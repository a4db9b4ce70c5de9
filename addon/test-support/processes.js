'use strict';
// Real child processes that look like Live to /proc, and their clean-up.

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { once } = require('node:events');

// A folder holding copies of /bin/sleep under the given names; removed by remove().
function makeExecutables(names) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'accelerator-test-'));
    const paths = {};
    for (const name of names) {
        const target = path.join(dir, ...name.split('/'));
        fs.mkdirSync(path.dirname(target), { recursive: true });
        fs.copyFileSync('/bin/sleep', target);
        fs.chmodSync(target, 0o755);
        paths[name] = target;
    }
    return { dir, paths, remove: () => fs.rmSync(dir, { recursive: true, force: true }) };
}

// Starts a long sleep; `argv0` replaces the first command-line argument the process shows.
async function startSleeper(executable, argv0) {
    const child = spawn(executable, ['600'], { argv0, stdio: 'ignore' });
    // 'spawn' fires once the new program runs, so /proc already describes it.
    await once(child, 'spawn');
    return child;
}

async function stop(child) {
    if (child.exitCode !== null || child.signalCode !== null) return;
    const exited = once(child, 'exit');
    child.kill('SIGKILL');
    await exited;
}

module.exports = { makeExecutables, startSleeper, stop };
