'use strict';
// The companion with an accelerator module in place. A JavaScript module with the addon's exports
// stands in for the native one; it keeps its answers in a JSON file that the test changes while
// the companion runs, and records the permission requests it receives.

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { describe, test } = require('node:test');
const h = require('../testing/harness.js');

const FAKE_MODULE = `
const fs = require('node:fs');
const file = process.env.FAKE_ACCELERATOR_STATE;
const read = () => JSON.parse(fs.readFileSync(file, 'utf8'));
const failing = (s) => { if (s.failing) throw new Error(s.failing); return s; };
module.exports = {
    checkAccessibility: () => failing(read()).accessibility,
    requestAccessibility() {
        const s = read();
        s.requests += 1;
        s.accessibility = true;
        fs.writeFileSync(file, JSON.stringify(s));
        return true;
    },
    getRunningAbletonInstances: () => failing(read()).instances,
    sendCommandS: () => false,
};
`;

async function startWithFake(t, initialState, moduleText = FAKE_MODULE) {
    const home = h.temporaryDirectory(t);
    const modulePath = path.join(home, 'accelerator.js');
    const statePath = path.join(home, 'state.json');
    fs.writeFileSync(modulePath, moduleText);
    const state = {
        read: () => JSON.parse(fs.readFileSync(statePath, 'utf8')),
        write: (s) => fs.writeFileSync(statePath, JSON.stringify(s)),
    };
    state.write({ accessibility: false, instances: [], requests: 0, ...initialState });
    const companion = await h.startCompanion(t, {
        home,
        env: { PYLON_ACCELERATOR_PATH: modulePath, FAKE_ACCELERATOR_STATE: statePath },
    });
    const log = () => h.logText(home);
    return { companion, state, log };
}

describe('with the accelerator module', () => {
    test('reports Live processes from the module, leaving out facts it does not know', async (t) => {
        const { companion, state, log } = await startWithFake(t);
        assert.deepEqual((await h.fetchStatus(companion.port)).ableton, { condition: 'not_running' });

        state.write({
            ...state.read(),
            instances: [
                { processId: 4242, displayName: 'Ableton Live 12 Suite', applicationPath: null, bundleId: null },
                { processId: '17', displayName: 'not a process id' },
                { processId: 77, displayName: null, applicationPath: '/opt/Live 11', bundleId: 'com.ableton.live' },
            ],
        });
        const doc = await h.fetchStatus(companion.port);
        h.checkStatusDocument(doc);
        assert.equal(doc.companion.isAcceleratorAddonLoaded, true);
        assert.deepEqual(doc.companion.abletonInstances, [
            { processId: 4242, displayName: 'Ableton Live 12 Suite' },
            { processId: 77, applicationPath: '/opt/Live 11', bundleId: 'com.ableton.live' },
        ]);
        assert.deepEqual(doc.ableton, { condition: 'running', processId: 4242, displayName: 'Ableton Live 12 Suite' });

        state.write({ ...state.read(), instances: [] });
        assert.deepEqual((await h.fetchStatus(companion.port)).ableton, { condition: 'not_running' });
        const changes = log().split('\n').filter((l) => l.includes('[ableton-status]'));
        assert.equal(changes.length, 2, changes.join('\n'));
        assert.match(changes[0], /Live not_running → running/);
        assert.match(changes[1], /Live running → not_running/);
    });

    test('POST /permission/accessibility asks the module, and the next status shows the answer', async (t) => {
        const { companion, state } = await startWithFake(t);
        let c = (await h.fetchStatus(companion.port)).companion;
        assert.equal(c.permissions.accessibility, false);
        assert.equal(c.isAcceleratorAvailable, false);

        const response = await h.request(companion.port, 'POST', '/permission/accessibility');
        assert.equal(response.status, 200);
        assert.equal(state.read().requests, 1);
        c = (await h.fetchStatus(companion.port)).companion;
        assert.deepEqual(c.permissions, { accessibility: true, automation: true });
        assert.equal(c.isAcceleratorAvailable, true);

        assert.equal((await h.request(companion.port, 'POST', '/permission/automation')).status, 200);
        assert.equal(state.read().requests, 1, 'only accessibility goes to the module');
    });

    test('a module whose calls throw counts as no permission and no Live, logged once', async (t) => {
        const { companion, log } = await startWithFake(t, { accessibility: true, failing: 'display gone' });
        for (let i = 0; i < 3; i++) {
            const doc = await h.fetchStatus(companion.port);
            assert.equal(doc.companion.isAcceleratorAddonLoaded, true);
            assert.equal(doc.companion.permissions.accessibility, false);
            assert.deepEqual(doc.companion.abletonInstances, []);
        }
        const failures = log().split('\n').filter((l) => l.includes('[accelerator]') && l.includes('display gone'));
        assert.equal(failures.length, 2, failures.join('\n')); // one per failing function
    });

    test('a module that fails to load, or lacks exports, leaves the companion running without it', async (t) => {
        const broken = ['throw new Error("wrong architecture");', 'exports.checkAccessibility = () => true;'];
        for (const text of broken) {
            const { companion, log } = await startWithFake(t, { accessibility: true }, text);
            const c = (await h.fetchStatus(companion.port)).companion;
            assert.equal(c.isAcceleratorAddonLoaded, false);
            assert.equal(c.permissions.accessibility, false);
            assert.match(log(), /\[accelerator\] Accelerator module at .* could not be loaded: /);
            assert.deepEqual(await companion.stop(), { code: 0, signal: null });
        }
    });
});
