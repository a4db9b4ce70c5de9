'use strict';
// getRunningAbletonInstances against real processes that look like Live to /proc.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { once } = require('node:events');
const { loadAddon } = require('../test-support/helpers');

const WINDOWS_PATH = 'C:\\ProgramData\\Ableton\\Live 12 Suite\\Program\\Ableton Live 12 Suite.exe';
const live = (processId, displayName, applicationPath) =>
    ({ processId, displayName, applicationPath, bundleId: 'com.ableton.live' });

test('getRunningAbletonInstances', async (t) => {
    const addon = loadAddon();
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'accelerator-test-'));
    const children = [];
    t.after(async () => {
        await Promise.all(children.map(stop));
        fs.rmSync(dir, { recursive: true, force: true });
    });
    // A copy of /bin/sleep named `name` (or /bin/sleep itself showing `argv0`), running until stopped.
    const start = async (name, argv0) => {
        let executable = '/bin/sleep';
        if (name) {
            executable = path.join(dir, name);
            fs.copyFileSync('/bin/sleep', executable);
            fs.chmodSync(executable, 0o755);
        }
        const child = spawn(executable, ['600'], { argv0, stdio: 'ignore' });
        children.push(child);
        await once(child, 'spawn'); // the new program runs, so /proc describes it
        return child;
    };

    assert.deepEqual(addon.getRunningAbletonInstances(), [], 'empty while no Live runs');

    const native = await start('Ableton Live 12 Suite.exe');
    const wine = await start(null, WINDOWS_PATH);
    await start('Max.exe', 'C:\\ProgramData\\Ableton Live 12 Suite\\Resources\\Max.exe');
    await start('Ableton Index');
    const instances = addon.getRunningAbletonInstances();
    assert.deepEqual(Object.keys(instances[0]), ['processId', 'displayName', 'applicationPath', 'bundleId']);
    assert.deepEqual(instances, [
        live(native.pid, 'Ableton Live 12 Suite', path.join(dir, 'Ableton Live 12 Suite.exe')),
        live(wine.pid, 'Ableton Live 12 Suite', WINDOWS_PATH),
    ].sort((a, b) => a.processId - b.processId));

    await stop(native);
    assert.deepEqual(addon.getRunningAbletonInstances(), [live(wine.pid, 'Ableton Live 12 Suite', WINDOWS_PATH)],
        'a stopped Live is no longer listed');
});

async function stop(child) {
    if (child.exitCode !== null || child.signalCode !== null) return;
    const exited = once(child, 'exit');
    child.kill('SIGKILL');
    await exited;
}
