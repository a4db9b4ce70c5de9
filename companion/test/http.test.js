'use strict';
// The companion's HTTP interface, against the real process from the source folder.

const assert = require('node:assert/strict');
const os = require('node:os');
const path = require('node:path');
const { describe, test } = require('node:test');
const h = require('../testing/harness.js');

// No accelerator module: the companion must serve without it.
function startWithoutAddon(t, extraArgs = []) {
    const home = h.temporaryDirectory(t);
    return h.startCompanion(t, {
        home,
        args: ['--mode', 'development', '--companion-version', '2.1.0-57', ...extraArgs],
        env: { PYLON_ACCELERATOR_PATH: path.join(home, 'absent', 'accelerator.node') },
    });
}

describe('GET /status', () => {
    test('serves a complete, well-typed status document with the fixed stand-in facts', async (t) => {
        const companion = await startWithoutAddon(t);
        const doc = await h.fetchStatus(companion.port);
        h.checkStatusDocument(doc);
        assert.deepEqual(doc.ableton, { condition: 'not_running' });
        assert.deepEqual(doc.bonjour, { condition: 'stopped' });
        const c = doc.companion;
        assert.equal(c.condition, 'running');
        assert.equal(c.clientCount, 0);
        assert.equal(c.version, '2.1.0-57');
        assert.deepEqual(c.abletonInstances, []);
        assert.equal(c.isAcceleratorAddonLoaded, false);
        assert.equal(c.isAcceleratorAvailable, false);
        assert.deepEqual(c.permissions, { accessibility: false, automation: true });
        assert.equal(c.host.hostname, os.hostname());
        assert.ok(!c.host.addresses.includes('127.0.0.1'), 'loopback is not an address clients can use');
    });

    test('keeps one sessionId for a run and takes a fresh one at every start', async (t) => {
        const first = await startWithoutAddon(t);
        const a1 = (await h.fetchStatus(first.port)).companion.sessionId;
        const a2 = (await h.fetchStatus(first.port)).companion.sessionId;
        assert.equal(a1, a2);
        assert.deepEqual(await first.stop(), { code: 0, signal: null });

        const second = await startWithoutAddon(t);
        const b = (await h.fetchStatus(second.port)).companion.sessionId;
        assert.ok(b.length > 0);
        assert.notEqual(a1, b);
    });
});

describe('POST /permission/<name>', () => {
    test('answers 200 without the accelerator module, for any percent-decoded name', async (t) => {
        const companion = await startWithoutAddon(t);
        const cases = [
            ['/permission/accessibility', 'accessibility'],
            ['/permission/screen%20recording', 'screen recording'],
        ];
        for (const [urlPath, name] of cases) {
            const response = await h.request(companion.port, 'POST', urlPath);
            assert.equal(response.status, 200, urlPath);
            assert.equal(JSON.parse(response.body).permission, name);
        }
    });
});

describe('other requests', () => {
    test('unknown paths answer 404, known paths with the wrong method 405', async (t) => {
        const companion = await startWithoutAddon(t);
        const cases = [
            ['GET', '/', 404],
            ['GET', '/status/', 404],
            ['GET', '/STATUS', 404],
            ['POST', '/permission/', 404],
            ['POST', '/permission/a/b', 404],
            ['POST', '/permission/%E0%A4%A', 404],
            ['GET', '/permissions/accessibility', 404],
            ['POST', '/status', 405],
            ['GET', '/permission/accessibility', 405],
        ];
        for (const [method, urlPath, expected] of cases) {
            const response = await h.request(companion.port, method, urlPath);
            assert.equal(response.status, expected, `${method} ${urlPath}`);
        }
        // The server is still serving after all of them.
        h.checkStatusDocument(await h.fetchStatus(companion.port));
    });

    test('listens on 127.0.0.1 only', async (t) => {
        const companion = await startWithoutAddon(t);
        assert.equal(await h.connects('127.0.0.1', companion.port), true);
        // On Linux all of 127/8 reaches this host; a socket bound to 127.0.0.1 alone refuses the rest.
        assert.equal(await h.connects('127.0.0.2', companion.port), false, '127.0.0.2');
        assert.equal(await h.connects('::1', companion.port), false, '::1');
        const external = Object.values(os.networkInterfaces()).flat().filter((i) => !i.internal && i.family === 'IPv4');
        for (const { address } of external) {
            assert.equal(await h.connects(address, companion.port), false, address);
        }
    });
});
