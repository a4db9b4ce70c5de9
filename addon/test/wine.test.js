'use strict';
// The module against a real Windows program under Debian's Wine. A stand-in for Live built with
// mingw-w64 ("Ableton Live 12 Suite.exe" from test-support/wine/LiveStandIn.c) runs in a throw-away
// prefix (tests/support/wine/make-prefix; kept in the build tree, so only the first run pays for
// Wine's first start) on X servers of the test's own with a window manager. Every process started
// here, Wine's included, is ended when the test ends.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFile, spawn } = require('node:child_process');
const { once } = require('node:events');
const { promisify } = require('node:util');
const { buildDir, loadAddon, openWindow, startModuleChild } = require('../test-support/helpers');
const { startXServer, stopProcess, delay } = require('../test-support/xserver');

const MAKE_PREFIX = path.join(__dirname, '..', '..', 'tests', 'support', 'wine', 'make-prefix');
const WINE_DIR = path.join(buildDir, 'addon', 'wine');
const STAND_IN = path.join(WINE_DIR, 'Ableton Live 12 Suite.exe');
const INSTALLED = 'C:\\ProgramData\\Ableton\\Live 12 Suite\\Program\\Ableton Live 12 Suite.exe';

// The environment make-prefix prints for running Wine in its prefix.
async function makePrefix() {
    try {
        const { stdout } = await promisify(execFile)(MAKE_PREFIX, [path.join(WINE_DIR, 'test-prefix')],
            { encoding: 'utf8', timeout: 900000 });
        return Object.fromEntries(stdout.trim().split('\n').map((line) => {
            const equals = line.indexOf('=');
            return [line.slice(0, equals), line.slice(equals + 1)];
        }));
    } catch (error) {
        throw new Error(`no Wine prefix for the test: ${error.stderr || error.message}`);
    }
}

async function waitFor(what, check, ms = 60000) {
    for (const end = Date.now() + ms; Date.now() < end; await delay(100)) {
        const value = await check();
        if (value) return value;
    }
    throw new Error(`timed out after ${ms / 1000} s waiting for ${what}`);
}

// Starts the stand-in on the X server `x`; resolves once its window is shown and active.
async function startLive(wineEnv, x, logFile) {
    const windowsLogFile = `Z:${logFile.replace(/\//g, '\\')}`;
    const child = spawn('wine', [INSTALLED, windowsLogFile], { env: { ...wineEnv, DISPLAY: x.display },
        stdio: ['ignore', 'ignore', 'pipe'] });
    let stderr = '';
    child.stderr.on('data', (chunk) => (stderr += chunk));
    const lines = () => (fs.existsSync(logFile) ? fs.readFileSync(logFile, 'utf8').split(/\r?\n/).filter(Boolean) : []);
    try {
        await waitFor('the stand-in to show its window', () => {
            if (child.exitCode !== null) throw new Error(`wine ended with status ${child.exitCode}`);
            return lines().includes('ready');
        });
    } catch (error) {
        await stopProcess(child, 'SIGKILL');
        throw new Error(`${error.message}; wine wrote:\n${stderr}`);
    }
    const { stdout } = await x.tool('xdotool', ['search', '--sync', '--onlyvisible', '--pid', String(child.pid)]);
    const window = stdout.trim().split('\n')[0];
    const live = {
        pid: child.pid,
        child,
        events: () => lines().filter((line) => line !== 'ready'),
        activate: () => x.tool('xdotool', ['windowactivate', '--sync', window]),
        // The events once one more has come in (or none in half a second, when none is expected).
        async eventsAfter(count) {
            if (count === this.events().length) await delay(500);
            else await waitFor('the program to take the shortcut', () => this.events().length >= count, 5000);
            await delay(200); // anything arriving late (a second copy) would show now
            return this.events();
        },
    };
    await live.activate();
    return live;
}

// Wine's own service processes (explorer.exe, services.exe, winedevice.exe, ...).
function wineServiceProcesses() {
    return fs.readdirSync('/proc').filter((entry) => /^\d+$/.test(entry)).filter((pid) => {
        try {
            return /\.exe$/i.test(fs.readFileSync(`/proc/${pid}/comm`, 'utf8').trim());
        } catch {
            return false;
        }
    }).map(Number);
}

test('a Windows program named as Live, under Wine', { timeout: 900000 }, async (t) => {
    assert.ok(fs.existsSync(STAND_IN), `${STAND_IN} was not built: the mingw-w64 cross compiler ` +
        'x86_64-w64-mingw32-gcc was missing when CMake ran (scripts/install-deps installs ' +
        'gcc-mingw-w64-x86-64-win32; then build again)');
    const wineEnv = { ...process.env, ...(await makePrefix()) };
    const temp = fs.mkdtempSync(path.join(os.tmpdir(), 'accelerator-wine-'));
    const program = path.join(wineEnv.WINEPREFIX, 'drive_c', ...INSTALLED.split('\\').slice(1));
    fs.mkdirSync(path.dirname(program), { recursive: true });
    fs.copyFileSync(STAND_IN, program);

    const started = [];
    t.after(async () => {
        // Ends every process of the prefix, then waits for the wineserver to go.
        await promisify(execFile)('wineserver', ['-k'], { env: wineEnv }).catch(() => {});
        await promisify(execFile)('wineserver', ['-w'], { env: wineEnv, timeout: 30000 }).catch(() => {});
        for (const item of started.reverse()) await item.stop();
        fs.rmSync(temp, { recursive: true, force: true });
    });
    const x = await startXServer({ windowManager: true, home: path.join(temp, 'wm') });
    started.push(x);
    process.env.DISPLAY = x.display; // the module connects on its first use
    const addon = loadAddon();
    const live = await startLive(wineEnv, x, path.join(temp, 'live.log'));
    started.push({ stop: () => stopProcess(live.child) });

    await t.test('listed as running Live with its display name; Wine\'s own processes are not', () => {
        const instances = addon.getRunningAbletonInstances();
        assert.deepEqual(instances.find((i) => i.processId === live.pid), { processId: live.pid,
            displayName: 'Ableton Live 12 Suite', applicationPath: INSTALLED, bundleId: 'com.ableton.live' });
        const services = wineServiceProcesses().filter((pid) => pid !== live.pid);
        assert.ok(services.length > 0, 'Wine runs its services');
        assert.deepEqual(instances.filter((i) => services.includes(i.processId)), []);
    });

    await t.test('focused: sendCommandS delivers Ctrl+S, once', async () => {
        assert.equal(addon.sendCommandS(live.pid), true);
        assert.deepEqual(await live.eventsAfter(1), ['save']);
    });

    await t.test('another program focused: false, and neither gets a key', async () => {
        const bystander = await openWindow(undefined, x.env);
        try {
            const { stdout } = await x.tool('xdotool', ['search', '--sync', '--onlyvisible', '--pid',
                String(bystander.pid)]);
            await x.tool('xdotool', ['windowactivate', '--sync', stdout.trim().split('\n')[0]]);
            assert.equal(addon.sendCommandS(live.pid), false);
            assert.deepEqual(await bystander.takeKeyEvents(), []);
            assert.deepEqual(await live.eventsAfter(1), ['save']);
        } finally {
            await bystander.close();
        }
        await live.activate();
        assert.equal(addon.sendCommandS(live.pid), true);
        assert.deepEqual(await live.eventsAfter(2), ['save', 'save']);
    });

    await t.test('a display without XTEST: the synthetic key events reach the program too', async () => {
        const plain = await startXServer({ xtest: false, windowManager: true, home: path.join(temp, 'wm2') });
        started.push(plain);
        const second = await startLive(wineEnv, plain, path.join(temp, 'second.log'));
        started.push({ stop: () => stopProcess(second.child) });
        const child = startModuleChild({ ...process.env, DISPLAY: plain.display });
        try {
            assert.equal(await child.call('checkAccessibility'), false);
            assert.equal(await child.call('sendCommandS', second.pid), true);
            assert.deepEqual(await second.eventsAfter(1), ['save']);
        } finally {
            assert.deepEqual(await child.close(), { code: 0, signal: null, stderr: '' });
        }
        assert.deepEqual(live.events(), ['save', 'save'], 'nothing reached the first program');
    });
});
