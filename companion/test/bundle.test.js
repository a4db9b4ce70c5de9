'use strict';
// The companion as the build installs it into the application bundles (needs PYLON_BUILD_DIR):
// the launch-agent plist, and the launcher started the way the service manager starts it.

const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { describe, test } = require('node:test');
const h = require('../testing/harness.js');

const buildDir = process.env.PYLON_BUILD_DIR;
const skip = buildDir ? false : 'PYLON_BUILD_DIR is not set';

const BUNDLES = [
    { mode: 'production', bundle: 'Pylon.app', name: 'Pylon Companion', folder: 'Pylon',
      label: 'net.ostrand.PylonCompanion', plist: `PylonCompanion-${os.machine()}.plist` },
    { mode: 'development', bundle: 'Pylon-Dev.app', name: 'Pylon Companion-Dev', folder: 'Pylon-Dev',
      label: 'net.ostrand.PylonCompanion-Dev', plist: `PylonCompanion-Dev-${os.machine()}.plist` },
];

// The values of a flat XML property list: strings as strings, <true/> and <false/> as booleans.
function readPlist(file) {
    const values = {};
    const entry = /<key>([^<]+)<\/key>\s*(?:<string>([^<]*)<\/string>|<(true|false)\/>)/g;
    for (const [, key, string, flag] of fs.readFileSync(file, 'utf8').matchAll(entry)) {
        values[key] = string !== undefined ? string : flag === 'true';
    }
    return values;
}

describe('installed bundles', { skip }, () => {
    for (const b of BUNDLES) {
        const bundleDir = buildDir && path.join(buildDir, b.bundle);
        const appDir = bundleDir && path.join(bundleDir, 'Contents', 'Helpers', os.machine(), `${b.name}.app`);

        test(`${b.mode}: launch-agent plist names the bundled launcher`, () => {
            const plist = readPlist(path.join(bundleDir, 'Contents', 'Library', 'LaunchAgents', b.plist));
            assert.deepEqual(plist, {
                Label: b.label,
                BundleProgram: `Contents/Helpers/${os.machine()}/${b.name}.app/Contents/MacOS/${b.name}`,
                RunAtLoad: true,
                KeepAlive: true,
            });
            fs.accessSync(path.join(bundleDir, plist.BundleProgram), fs.constants.X_OK);
        });

        test(`${b.mode}: the launcher runs node from PATH in its own mode`, async (t) => {
            const home = h.temporaryDirectory(t);
            // A node on PATH that notes its arguments before running the real one.
            const bin = path.join(home, 'bin');
            fs.mkdirSync(bin);
            const marker = path.join(home, 'node-arguments');
            const wrapper = `#!/bin/sh\necho "$@" > '${marker}'\nexec '${process.execPath}' "$@"\n`;
            fs.writeFileSync(path.join(bin, 'node'), wrapper, { mode: 0o755 });

            const companion = await h.startCompanion(t, {
                home,
                command: path.join(appDir, 'Contents', 'MacOS', b.name),
                env: { PATH: `${bin}:/usr/bin:/bin` },
            });
            const c = (await h.fetchStatus(companion.port)).companion;
            assert.match(c.version, /^\d+\.\d+/);
            // The module is looked up inside the companion's own bundle.
            const addon = path.join(appDir, 'Contents', 'Resources', 'accelerator.node');
            assert.equal(c.isAcceleratorAddonLoaded, fs.existsSync(addon));
            assert.deepEqual(await companion.stop(), { code: 0, signal: null });

            const baked = new RegExp(`--mode ${b.mode} --companion-version ${c.version}$`, 'm');
            assert.match(fs.readFileSync(marker, 'utf8'), baked);
            const starting = `[main] Starting ${b.name} ${c.version} {"mode":"${b.mode}"`;
            assert.ok(h.logText(home, b.folder).includes(starting), starting);
        });
    }

    test('a companion application moved to a folder with spaces still finds its scripts', async (t) => {
        const home = h.temporaryDirectory(t);
        const b = BUNDLES[0];
        const source = path.join(buildDir, b.bundle, 'Contents', 'Helpers', os.machine(), `${b.name}.app`);
        const moved = path.join(home, 'a folder with spaces', `${b.name}.app`);
        fs.cpSync(source, moved, { recursive: true });
        const companion = await h.startCompanion(t, { home, command: path.join(moved, 'Contents', 'MacOS', b.name) });
        h.checkStatusDocument(await h.fetchStatus(companion.port));
        assert.deepEqual(await companion.stop(), { code: 0, signal: null });
    });
});
