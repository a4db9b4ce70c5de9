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
const WINDOWS_PATH_11 = 'Z:/opt/Ableton Live 11 Lite.exe';
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
    // A copy of /bin/sleep named `name` (the kernel's name of the process is its first 15 bytes)
    // or /bin/sleep itself, showing `argv0` as its first argument, running until stopped.
    const start = async (name, argv0) => {
        let executable = '/bin/sleep';
        if (name) {
            executable = path.join(dir, name);
            if (!fs.existsSync(executable)) fs.copyFileSync('/bin/sleep', executable);
            fs.chmodSync(executable, 0o755);
        }
        const child = spawn(executable, ['600'], { argv0, stdio: 'ignore' });
        children.push(child);
        await once(child, 'spawn'); // the new program runs, so /proc describes it
        return child;
    };

    // Other test files (the Wine test) may run a Live of their own meanwhile: each listing is
    // checked for false matches, then cut to this test's processes.
    const list = () => {
        const instances = addon.getRunningAbletonInstances();
        for (const { processId } of instances) {
            let name;
            try {
                name = fs.readFileSync(`/proc/${processId}/comm`, 'utf8');
            } catch {
                continue; // ended since
            }
            assert.match(name, /^(Ableton Live|wine)/, `process ${processId} (${name.trim()}) is not Live`);
        }
        return instances.filter((i) => children.some((child) => child.pid === i.processId));
    };
    assert.ok(Array.isArray(addon.getRunningAbletonInstances()));

    const native = await start('Ableton Live 12 Suite.exe');
    // Wine names the process after the Windows program and shows its Windows path as argv[0].
    const wine = await start('Ableton Live 12 Suite.exe', WINDOWS_PATH);
    // A Wine loader that has not named the process after the program yet.
    const loader = await start('wine64-preloader', WINDOWS_PATH_11);
    await start('Max.exe', 'C:\\ProgramData\\Ableton Live 12 Suite\\Resources\\Max.exe');
    await start('Ableton Index');
    // Only processes named as Live or as a Wine loader are looked at further.
    await start(null, WINDOWS_PATH);
    const instances = list();
    assert.deepEqual(Object.keys(instances[0]), ['processId', 'displayName', 'applicationPath', 'bundleId']);
    assert.deepEqual(instances, [
        live(native.pid, 'Ableton Live 12 Suite', path.join(dir, 'Ableton Live 12 Suite.exe')),
        live(wine.pid, 'Ableton Live 12 Suite', WINDOWS_PATH),
        live(loader.pid, 'Ableton Live 11 Lite', WINDOWS_PATH_11),
    ].sort((a, b) => a.processId - b.processId));

    await stop(native);
    await stop(loader);
    assert.deepEqual(list(), [live(wine.pid, 'Ableton Live 12 Suite', WINDOWS_PATH)],
        'a stopped Live is no longer listed');
});

async function stop(child) {
    if (child.exitCode !== null || child.signalCode !== null) return;
    const exited = once(child, 'exit');
    child.kill('SIGKILL');
    await exited;
}
