'use strict';
// sendCommandS and trust: argument rules, no display, and what real X windows receive.
const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { loadAddon, modulePath, needsDisplay, openWindow } = require('../test-support/helpers');

const SAVE_SHORTCUT = ['KeyPress s 4 1', 'KeyRelease s 4 1']; // Control (mask 4) alone, sent events

test('sendCommandS without a number throws TypeError "PID argument required"', () => {
    const addon = loadAddon();
    for (const args of [[], ['123'], [123n]]) {
        assert.throws(() => addon.sendCommandS(...args),
            (error) => error instanceof TypeError && error.message === 'PID argument required', String(args));
    }
});

test('without DISPLAY: not trusted, request answers the same, sendCommandS false', () => {
    const env = { ...process.env };
    delete env.DISPLAY;
    const script = `const a = require(${JSON.stringify(modulePath)});
process.stdout.write(JSON.stringify([a.checkAccessibility(), a.requestAccessibility(), a.sendCommandS(process.pid)]));`;
    assert.deepEqual(JSON.parse(execFileSync(process.execPath, ['-e', script], { env, encoding: 'utf8' })),
        [false, false, false]);
});

test('with an X display', needsDisplay, async (t) => {
    const addon = loadAddon();
    const target = await openWindow();
    const second = await openWindow(target.pid);
    const bystander = await openWindow();
    const windows = [target, second, bystander];
    t.after(() => Promise.all(windows.map((w) => w.close())));
    const received = () => Promise.all(windows.map((w) => w.takeKeyEvents()));

    await t.test('trusted where XTEST exists', () => {
        assert.equal(addon.checkAccessibility(), true);
        assert.equal(addon.requestAccessibility(), true);
    });

    await t.test('each window of the process gets one S press and release with Control only', async () => {
        assert.equal(addon.sendCommandS(target.pid), true);
        assert.deepEqual(await received(), [SAVE_SHORTCUT, SAVE_SHORTCUT, []]);
    });

    await t.test('a fraction is dropped: pid + 0.9 posts to pid', async () => {
        assert.equal(addon.sendCommandS(target.pid + 0.9), true);
        assert.deepEqual(await received(), [SAVE_SHORTCUT, SAVE_SHORTCUT, []]);
    });

    await t.test('ids that name no process return false and post nothing', async () => {
        const p = target.pid;
        // 2^32 + p and p - 2^32 keep p in their low 32 bits: wrapping them would reach the target.
        for (const number of [0, -5, 0.5, NaN, Infinity, 2 ** 32 + p, p - 2 ** 32, 2 ** 31]) {
            assert.equal(addon.sendCommandS(number), false, String(number));
        }
        assert.deepEqual(await received(), [[], [], []]);
    });

    await t.test('a process without windows: true, nothing delivered', async () => {
        assert.equal(addon.sendCommandS(process.pid), true);
        assert.deepEqual(await received(), [[], [], []]);
    });
});
