'use strict';
// sendCommandS and trust: argument rules, no display, and what real X windows receive on X servers
// of the test's own (with and without XTEST, one that goes away and comes back).
const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { loadAddon, modulePath, openWindow, startModuleChild } = require('../test-support/helpers');
const { startXServer } = require('../test-support/xserver');

// Control pressed as a key of its own around S; state 4 is Control. The last field is send_event:
// 0 for real input (XTEST), 1 for synthetic events.
const shortcut = (sent) => ['KeyPress Control_L 0', 'KeyPress s 4', 'KeyRelease s 4', 'KeyRelease Control_L 4']
    .map((line) => `${line} ${sent}`);
const TYPED = shortcut(0);
const SENT = shortcut(1);

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

test('with an X display that has XTEST', { timeout: 60000 }, async (t) => {
    const x = await startXServer();
    process.env.DISPLAY = x.display; // the module connects on its first use
    const addon = loadAddon();
    const target = await openWindow(undefined, x.env);
    const second = await openWindow(target.pid, x.env);
    const bystander = await openWindow(undefined, x.env);
    const windows = [target, second, bystander];
    t.after(async () => {
        await Promise.all(windows.map((w) => w.close()));
        await x.stop();
    });
    const received = () => Promise.all(windows.map((w) => w.takeKeyEvents()));

    await t.test('trusted', () => {
        assert.equal(addon.checkAccessibility(), true);
        assert.equal(addon.requestAccessibility(), true);
    });

    await t.test('the focused window of the process gets the shortcut as real keys, once', async () => {
        await target.focus();
        assert.equal(addon.sendCommandS(target.pid), true);
        assert.deepEqual(await received(), [TYPED, [], []]);
        await second.focus(); // it claims the same process
        assert.equal(addon.sendCommandS(target.pid + 0.9), true, 'a fraction is dropped');
        assert.deepEqual(await received(), [[], TYPED, []]);
    });

    await t.test('with the focus following the pointer, the window under the pointer', async () => {
        await target.point();
        assert.equal(addon.sendCommandS(target.pid), true);
        assert.deepEqual(await received(), [TYPED, [], []]);
    });

    await t.test('another program has the focus: false, and nothing reaches anyone', async () => {
        await bystander.focus();
        assert.equal(addon.sendCommandS(target.pid), false);
        assert.equal(addon.sendCommandS(process.pid), false, 'a process without windows');
        assert.deepEqual(await received(), [[], [], []]);
    });

    await t.test('ids that name no process return false and post nothing', async () => {
        await target.focus();
        const p = target.pid;
        // 2^32 + p and p - 2^32 keep p in their low 32 bits: wrapping them would reach the target.
        for (const number of [0, -5, 0.5, NaN, Infinity, 2 ** 32 + p, p - 2 ** 32, 2 ** 31]) {
            assert.equal(addon.sendCommandS(number), false, String(number));
        }
        assert.deepEqual(await received(), [[], [], []]);
    });
});

test('without XTEST: not trusted; synthetic key events to the focused window', { timeout: 60000 }, async (t) => {
    const x = await startXServer({ xtest: false });
    const window = await openWindow(undefined, x.env);
    const child = startModuleChild(x.env);
    t.after(async () => {
        await child.close();
        await window.close();
        await x.stop();
    });
    assert.equal(await child.call('checkAccessibility'), false);
    assert.equal(await child.call('sendCommandS', window.pid), false, 'not focused');
    await window.focus();
    assert.equal(await child.call('sendCommandS', window.pid), true);
    assert.deepEqual(await window.takeKeyEvents(), SENT);
    assert.deepEqual(await child.close(), { code: 0, signal: null, stderr: '' });
});

test('one X connection for all calls, opened again after the server went away', { timeout: 60000 }, async (t) => {
    const x = await startXServer();
    const child = startModuleChild(x.env);
    const windows = [];
    t.after(async () => {
        await child.close();
        await Promise.all(windows.map((w) => w.close()));
        await x.stop();
    });
    assert.equal(await child.call('checkAccessibility'), true);
    const sockets = await child.call('sockets');
    for (let i = 0; i < 20; i++) {
        assert.equal(await child.call('checkAccessibility'), true);
        assert.equal(await child.call('sendCommandS', process.pid), false);
    }
    assert.equal(await child.call('sockets'), sockets, 'no connection per call');

    await x.stopServer();
    for (const name of ['checkAccessibility', 'requestAccessibility', 'sendCommandS']) {
        assert.equal(await child.call(name, process.pid), false, name);
    }
    assert.equal(await child.call('sockets'), sockets - 1, 'the lost connection is closed');

    await x.startServerAgain();
    assert.equal(await child.call('checkAccessibility'), true);
    const window = await openWindow(undefined, x.env);
    windows.push(window);
    await window.focus();
    assert.equal(await child.call('sendCommandS', window.pid), true);
    assert.deepEqual(await window.takeKeyEvents(), TYPED);
    assert.deepEqual(await child.close(), { code: 0, signal: null, stderr: '' }, 'no crash, nothing printed');
});
