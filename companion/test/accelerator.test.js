'use strict';
// The companion with an accelerator module in place: a JavaScript stand-in with the addon's exports
// answers from a JSON file the test changes while the companion runs, and counts permission requests.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const test = require('node:test');
const h = require('../testing/harness.js');

const FAKE_MODULE = `const fs = require('node:fs');
const file = process.env.FAKE_ACCELERATOR_STATE;
const read = () => JSON.parse(fs.readFileSync(file, 'utf8'));
const answer = (key) => () => {
    const s = read();
    fs.writeFileSync(file, JSON.stringify({ ...s, calls: { ...s.calls, [key]: (s.calls[key] || 0) + 1 } }));
    if (s.failing) throw new Error(s.failing);
    return s[key];
};
exports.checkAccessibility = answer('accessibility');
exports.getRunningAbletonInstances = answer('instances');
exports.requestAccessibility = () => {
    fs.writeFileSync(file, JSON.stringify({ ...read(), requests: read().requests + 1, accessibility: true }));
    return true;
};`;

// `statusMaxAge`: how long a status document serves requests (PYLON_COMPANION_STATUS_MAX_AGE_MS);
// 0, so that every request shows the module's answers of the moment; null for the companion's own.
async function startWithModule(t, moduleText, { statusMaxAge = '0' } = {}) {
    const home = h.temporaryDirectory(t);
    const state = path.join(home, 'state.json');
    fs.writeFileSync(path.join(home, 'accelerator.js'), moduleText);
    fs.writeFileSync(state, JSON.stringify({ accessibility: false, instances: [], requests: 0, calls: {} }));
    const env = { PYLON_ACCELERATOR_PATH: path.join(home, 'accelerator.js'), FAKE_ACCELERATOR_STATE: state,
        PYLON_COMPANION_STATUS_MAX_AGE_MS: statusMaxAge ?? undefined };
    const companion = await h.startCompanion(t, { home, env });
    const read = () => JSON.parse(fs.readFileSync(state, 'utf8'));
    const update = (changes) => fs.writeFileSync(state, JSON.stringify({ ...read(), ...changes }));
    // The log lines of one module, without time stamp and tags.
    const logged = (module) => h.logText(home).split('\n').filter((l) => l.includes(`[${module}] `))
        .map((l) => l.split(`[${module}] `)[1]);
    return { ...companion, read, update, logged, status: () => h.fetchStatus(companion.port) };
}

test('with the accelerator module', async (t) => {
    const { port, read, update, logged, status } = await startWithModule(t, FAKE_MODULE);

    await t.test('reports Live processes from the module, leaving out facts it does not know', async () => {
        assert.deepEqual((await status()).ableton, { condition: 'not_running' });
        update({ instances: [
            { processId: 4242, displayName: 'Ableton Live 12 Suite', applicationPath: null, bundleId: null },
            { processId: '17', displayName: 'not a process id' },
            { processId: 77, displayName: null, applicationPath: '/opt/Live 11', bundleId: 'com.ableton.live' },
        ] });
        const doc = await status();
        h.checkStatusDocument(doc);
        assert.equal(doc.companion.isAcceleratorAddonLoaded, true);
        assert.deepEqual(doc.companion.abletonInstances, [
            { processId: 4242, displayName: 'Ableton Live 12 Suite' },
            { processId: 77, applicationPath: '/opt/Live 11', bundleId: 'com.ableton.live' },
        ]);
        assert.deepEqual(doc.ableton, { condition: 'running', processId: 4242, displayName: 'Ableton Live 12 Suite' });
        update({ instances: [] });
        assert.deepEqual((await status()).ableton, { condition: 'not_running' });
        assert.deepEqual(logged('ableton-status'),
            ['Live not_running → running {"processId":4242}', 'Live running → not_running']);
    });

    await t.test('POST /permission/accessibility asks the module, and the next status shows the answer', async () => {
        const before = (await status()).companion;
        assert.deepEqual([before.permissions.accessibility, before.isAcceleratorAvailable], [false, false]);
        assert.equal((await h.request(port, 'POST', '/permission/accessibility')).status, 200);
        const after = (await status()).companion;
        assert.deepEqual(after.permissions, { accessibility: true, automation: true });
        assert.equal(after.isAcceleratorAvailable, true);
        assert.equal((await h.request(port, 'POST', '/permission/automation')).status, 200);
        assert.equal(read().requests, 1, 'only accessibility goes to the module');
    });

    await t.test('calls that throw count as no permission and no Live, logged once per function', async () => {
        update({ instances: [{ processId: 4242 }], failing: 'display gone' });
        for (let i = 0; i < 3; i++) {
            const { isAcceleratorAddonLoaded: loaded, permissions, abletonInstances } = (await status()).companion;
            assert.deepEqual([loaded, permissions.accessibility, abletonInstances], [true, false, []]);
        }
        assert.deepEqual(logged('accelerator').filter((l) => l.includes('display gone')).sort(),
            ['checkAccessibility failed: display gone', 'getRunningAbletonInstances failed: display gone']);
    });
});

test('a status document serves the requests of one second; a permission request ends it', async (t) => {
    const { port, read, update, status } = await startWithModule(t, FAKE_MODULE, { statusMaxAge: null });
    const listings = () => read().calls.instances;
    const started = performance.now();
    await status();
    update({ instances: [{ processId: 4242 }] });
    const again = await status();
    await status();
    const elapsed = performance.now() - started;
    assert.ok(elapsed < 900, `three requests took ${elapsed} ms: too slow to see the reuse`);
    assert.equal(listings(), 1, 'one listing for three requests');
    assert.deepEqual(again.companion.abletonInstances, [], 'the document of the first request');

    await new Promise((resolve) => setTimeout(resolve, 1050 - elapsed));
    assert.deepEqual((await status()).companion.abletonInstances, [{ processId: 4242 }], 'a new one after a second');
    assert.equal(listings(), 2);
    assert.equal((await h.request(port, 'POST', '/permission/accessibility')).status, 200);
    assert.equal((await status()).companion.permissions.accessibility, true, 'the answer shows at once');
    assert.equal(listings(), 3);
});

test('a module that fails to load, or lacks exports, leaves the companion running without it', async (t) => {
    for (const text of ['throw new Error("wrong architecture");', 'exports.checkAccessibility = () => true;']) {
        const { stop, status, logged } = await startWithModule(t, text);
        const c = (await status()).companion;
        assert.deepEqual([c.isAcceleratorAddonLoaded, c.permissions.accessibility], [false, false]);
        assert.match(logged('accelerator').at(-1), /^Accelerator module at .* could not be loaded: /);
        assert.deepEqual(await stop(), { code: 0, signal: null });
    }
});
