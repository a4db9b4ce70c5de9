'use strict';
// Shared by the suites in test/ (outside it, so not run as a suite): the companion as a real child
// process in a temporary home, spoken to over real loopback HTTP. Every wait is bounded.
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const { on, once } = require('node:events');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

function temporaryDirectory(t) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'pylon-companion-'));
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
    return dir;
}

// The log file of a companion run with this home and no XDG_DATA_HOME.
const logText = (home, folder = 'Pylon') =>
    fs.readFileSync(path.join(home, '.local/share', folder, 'logs/pylon-companion.log'), 'utf8');

async function exited(child, ms = 10000) {
    if (child.exitCode === null && child.signalCode === null) {
        await once(child, 'close', { signal: AbortSignal.timeout(ms) });
    }
    return { code: child.exitCode, signal: child.signalCode };
}

const MAIN = path.join(__dirname, '..', 'src', 'main.js');

// The arguments a bundle's launcher passes, for runs from the source folder: an identity of the
// test's choosing (the bundle tests check what the launchers pass).
const identity = ({ mode = 'production', name = 'Pylon Companion', folder = 'Pylon', port = '47150' } = {}) => [
    '--mode', mode, '--port', port, '--label', `test.${folder}`, '--display-name', name,
    '--app-support-folder', folder,
];

// Spawns the companion (from the source folder unless `command` names a launcher or a wrapper)
// with nothing of this process's environment steering it, log lines copied to standard output;
// killed when the test ends if still running.
function spawnCompanion(t, { home, command, args = command ? [] : identity(), env = {} }) {
    const inherited = Object.entries(process.env).filter(([key]) =>
        !key.startsWith('PYLON_COMPANION') && key !== 'PYLON_ACCELERATOR_PATH' && key !== 'XDG_DATA_HOME');
    const argv = command ? args : [MAIN, ...args];
    const child = spawn(command || process.execPath, argv, {
        env: { ...Object.fromEntries(inherited), HOME: home, PYLON_COMPANION_LOG_STDOUT: '1', ...env },
        stdio: ['ignore', 'pipe', 'pipe'],
    });
    t.after(() => child.exitCode === null && child.signalCode === null && child.kill('SIGKILL'));
    const output = { stdout: '', stderr: '' };
    child.stdout.on('data', (chunk) => (output.stdout += chunk));
    child.stderr.on('data', (chunk) => (output.stderr += chunk));
    return { child, output, exited: () => exited(child) };
}

// Starts it on a port the system picks; resolves once it reports where it listens.
async function startCompanion(t, options) {
    const { child, output } = spawnCompanion(t, { ...options, env: { PYLON_COMPANION_PORT: '0', ...options.env } });
    try {
        for await (const _ of on(child.stdout, 'data', { signal: AbortSignal.timeout(10000) })) {
            const match = /Listening on http:\/\/127\.0\.0\.1:(\d+)/.exec(output.stdout);
            if (match) {
                return { port: Number(match[1]), output, stop: (signal) => (child.kill(signal), exited(child, 5000)) };
            }
        }
    } catch (error) {
        throw new Error(`companion not listening (${error.message})\n${output.stdout}\n${output.stderr}`);
    }
}

async function request(port, method, urlPath) {
    const response = await fetch(`http://127.0.0.1:${port}${urlPath}`, { method, signal: AbortSignal.timeout(3000) });
    return { status: response.status, type: response.headers.get('content-type'), body: await response.text() };
}

async function fetchStatus(port) {
    const response = await request(port, 'GET', '/status');
    assert.equal(response.status, 200);
    assert.match(response.type, /^application\/json/);
    return JSON.parse(response.body);
}

// Whether an HTTP exchange with host:port succeeds (refusal, error or silence all count as no).
const answers = (host, port) => fetch(`http://${host.includes(':') ? `[${host}]` : host}:${port}/status`,
    { signal: AbortSignal.timeout(2000) }).then(() => true, () => false);

const isString = (v) => typeof v === 'string';
const isBoolean = (v) => typeof v === 'boolean';
const isObject = (v) => v !== null && typeof v === 'object' && !Array.isArray(v);

function checkKeys(object, where, keys) {
    assert.ok(isObject(object), `${where} is an object`);
    for (const [key, check] of Object.entries(keys)) assert.ok(check(object[key]), `${where}.${key}: ${object[key]}`);
}

// Every required key with its JSON type (the optional Live facts are pinned where a test sets them).
function checkStatusDocument(doc) {
    checkKeys(doc.ableton, 'ableton', { condition: isString });
    checkKeys(doc.bonjour, 'bonjour', { condition: isString });
    const c = doc.companion;
    checkKeys(c, 'companion', {
        abletonInstances: (v) => Array.isArray(v) && v.every((i) => isObject(i) && Number.isSafeInteger(i.processId)),
        clientCount: Number.isSafeInteger, condition: isString, isAcceleratorAddonLoaded: isBoolean,
        isAcceleratorAvailable: isBoolean, sessionId: isString, version: isString,
    });
    checkKeys(c.host, 'host', { addresses: (v) => Array.isArray(v) && v.every(isString), hostname: isString });
    checkKeys(c.permissions, 'permissions', { accessibility: isBoolean, automation: isBoolean });
}

module.exports = {
    MAIN, answers, checkStatusDocument, fetchStatus, identity, logText, request, spawnCompanion, startCompanion,
    temporaryDirectory,
};
