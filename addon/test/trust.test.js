'use strict';
// Trust is an X display with XTEST; without a display nothing can be posted.
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadAddon, evaluateInChild, needsDisplay } = require('../test-support/addon');
const { TestWindow } = require('../test-support/test-window');

const PROBE = `[addon.checkAccessibility(), addon.requestAccessibility(), addon.sendCommandS(process.pid)]`;

function environmentWithout(...names) {
    const env = { ...process.env };
    for (const name of names) delete env[name];
    return env;
}

test('trust and posting without a display', async (t) => {
    await t.test('DISPLAY unset: not trusted, request answers the same, sendCommandS false', () => {
        assert.deepEqual(evaluateInChild(PROBE, environmentWithout('DISPLAY')), [false, false, false]);
    });

    await t.test('DISPLAY naming no server: the same', () => {
        assert.deepEqual(evaluateInChild(PROBE, { ...process.env, DISPLAY: ':4095' }), [false, false, false]);
    });
});

test('trust with an X display', { ...needsDisplay, timeout: 30000 }, async (t) => {
    const addon = loadAddon();
    // An X server resets when its last client leaves and refuses connections meanwhile; a desktop
    // always has clients, so keep one connected as a desktop would.
    const client = await TestWindow.open();
    t.after(() => client.close());
    await t.test('checkAccessibility and requestAccessibility are true where XTEST exists', () => {
        assert.equal(addon.checkAccessibility(), true);
        assert.equal(addon.requestAccessibility(), true);
    });
});
