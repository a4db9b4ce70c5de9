'use strict';
// sendCommandS: its argument rules, and what real X windows receive.
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadAddon, needsDisplay } = require('../test-support/addon');
const { TestWindow } = require('../test-support/test-window');

const CONTROL_MASK = 4;
const SAVE_SHORTCUT = [
    { type: 'KeyPress', key: 's', state: CONTROL_MASK, synthetic: true },
    { type: 'KeyRelease', key: 's', state: CONTROL_MASK, synthetic: true },
];

test('sendCommandS argument', async (t) => {
    const addon = loadAddon();

    for (const [label, args] of [
        ['missing', []],
        ['a numeric string', ['123']],
        ['undefined', [undefined]],
        ['null', [null]],
        ['a BigInt', [123n]],
        ['a Number object', [new Number(123)]],
    ]) {
        await t.test(`${label} throws TypeError "PID argument required"`, () => {
            assert.throws(() => addon.sendCommandS(...args), (error) => {
                assert.ok(error instanceof TypeError);
                assert.equal(error.message, 'PID argument required');
                return true;
            });
        });
    }
});

test('sendCommandS to X windows', { ...needsDisplay, timeout: 30000 }, async (t) => {
    const addon = loadAddon();
    const target = await TestWindow.open();
    const bystander = await TestWindow.open();
    t.after(() => Promise.all([target.close(), bystander.close()]));

    await t.test('the window of the process gets one S press and release with Control only', async () => {
        assert.equal(addon.sendCommandS(target.pid), true);
        assert.deepEqual(await target.takeKeyEvents(), SAVE_SHORTCUT);
        assert.deepEqual(await bystander.takeKeyEvents(), [], 'windows of other processes get nothing');
    });

    await t.test('a fraction is dropped: pid + 0.9 posts to pid', async () => {
        assert.equal(addon.sendCommandS(target.pid + 0.9), true);
        assert.deepEqual(await target.takeKeyEvents(), SAVE_SHORTCUT);
    });

    await t.test('ids that name no process return false and post nothing', async () => {
        const p = target.pid;
        // The large values keep p in their low 32 bits: wrapping them would reach the target window.
        for (const number of [0, -0, -5, -p, 0.5, NaN, Infinity, -Infinity, 2 ** 32 + p, 2 ** 33 + p, p - 2 ** 32, 2 ** 31]) {
            assert.equal(addon.sendCommandS(number), false, String(number));
        }
        assert.deepEqual(await target.takeKeyEvents(), []);
    });

    await t.test('posts whether or not the process exists', async () => {
        const unusedPid = 2147483000; // above any pid_max Linux allows
        const orphan = await TestWindow.open(unusedPid);
        try {
            assert.equal(addon.sendCommandS(unusedPid), true);
            assert.deepEqual(await orphan.takeKeyEvents(), SAVE_SHORTCUT);
            assert.deepEqual(await target.takeKeyEvents(), []);
        } finally {
            await orphan.close();
        }
    });

    await t.test('a process without windows: true, nothing delivered', async () => {
        assert.equal(addon.sendCommandS(process.pid), true);
        assert.deepEqual(await target.takeKeyEvents(), []);
        assert.deepEqual(await bystander.takeKeyEvents(), []);
    });

    await t.test('every top-level window of the process gets the shortcut', async () => {
        const second = await TestWindow.open(target.pid);
        try {
            assert.equal(addon.sendCommandS(target.pid), true);
            assert.deepEqual(await target.takeKeyEvents(), SAVE_SHORTCUT);
            assert.deepEqual(await second.takeKeyEvents(), SAVE_SHORTCUT);
        } finally {
            await second.close();
        }
    });
});
