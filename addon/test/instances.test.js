'use strict';
// getRunningAbletonInstances against real processes that look like Live to /proc.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { loadAddon } = require('../test-support/addon');
const { makeExecutables, startSleeper, stop } = require('../test-support/processes');

const WINDOWS_PATH = 'C:\\ProgramData\\Ableton\\Live 12 Suite\\Program\\Ableton Live 12 Suite.exe';

test('getRunningAbletonInstances', async (t) => {
    const addon = loadAddon();
    const files = makeExecutables([
        'Ableton Live 12 Suite.exe',
        'Ableton Live 12 Suite/Resources/Max.exe',
        'Ableton Index',
    ]);
    t.after(() => files.remove());
    // Each process lives until the end of the subtest that started it, pass or fail.
    const start = async (subtest, executable, argv0) => {
        const child = await startSleeper(executable, argv0);
        subtest.after(() => stop(child));
        return child;
    };
    const listedPids = () => addon.getRunningAbletonInstances().map((instance) => instance.processId);

    await t.test('is an empty array while no Live runs', () => {
        assert.deepEqual(addon.getRunningAbletonInstances(), []);
    });

    await t.test('lists a process whose executable is named like Live, keys in order', async (t) => {
        const executable = files.paths['Ableton Live 12 Suite.exe'];
        const live = await start(t, executable);
        const instances = addon.getRunningAbletonInstances();
        assert.equal(instances.length, 1);
        assert.deepEqual(Object.keys(instances[0]), ['processId', 'displayName', 'applicationPath', 'bundleId']);
        assert.deepEqual(instances[0], {
            processId: live.pid,
            displayName: 'Ableton Live 12 Suite',
            applicationPath: executable,
            bundleId: 'com.ableton.live',
        });
        await stop(live);
        assert.deepEqual(addon.getRunningAbletonInstances(), [], 'a stopped Live is no longer listed');
    });

    await t.test('names a Wine process by its Windows path', async (t) => {
        const wine = await start(t, '/bin/sleep', WINDOWS_PATH);
        const [instance] = addon.getRunningAbletonInstances();
        assert.deepEqual(instance, {
            processId: wine.pid,
            displayName: 'Ableton Live 12 Suite',
            applicationPath: WINDOWS_PATH,
            bundleId: 'com.ableton.live',
        });
    });

    await t.test('a Unix argv[0] keeps the path of the running executable', async (t) => {
        const renamed = await start(t, '/bin/sleep', 'Ableton Live 11 Lite');
        const [instance] = addon.getRunningAbletonInstances();
        assert.equal(instance.processId, renamed.pid);
        assert.equal(instance.displayName, 'Ableton Live 11 Lite');
        assert.equal(instance.applicationPath, fs.realpathSync('/bin/sleep'));
    });

    await t.test('leaves out programs that are not Live, even inside its folder', async (t) => {
        await start(t, files.paths['Ableton Live 12 Suite/Resources/Max.exe']);
        await start(t, files.paths['Ableton Index']);
        await start(t, '/bin/sleep');
        assert.deepEqual(listedPids(), []);
    });

    await t.test('lists every running Live process, ordered by process id', async (t) => {
        const started = [
            await start(t, files.paths['Ableton Live 12 Suite.exe']),
            await start(t, '/bin/sleep', WINDOWS_PATH),
            await start(t, '/bin/sleep', 'Ableton Live 10 Standard'),
        ];
        const expected = started.map((child) => child.pid).sort((a, b) => a - b);
        assert.deepEqual(listedPids(), expected);
    });
});
