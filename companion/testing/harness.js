'use strict';
// Shared by the node:test suites in test/: runs the companion as a real child process in a
// temporary home and talks to it over real loopback HTTP. Kept outside test/ so the runner
// does not count it as a suite. Every wait here is bounded.

const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');

const MAIN_SCRIPT = path.join(__dirname, '..', 'src', 'main.js');
const READY_TIMEOUT_MS = 10000;
const EXIT_TIMEOUT_MS = 5000;
const REQUEST_TIMEOUT_MS = 3000;
const LISTENING = /Listening on http:\/\/127\.0\.0\.1:(\d+)/;

function temporaryDirectory(t, prefix = 'pylon-companion-') {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
    return dir;
}

// The environment of this process without anything that would steer the companion.
function cleanEnvironment(overrides) {
    const env = { ...process.env };
    for (const key of Object.keys(env)) {
        if (key.startsWith('PYLON_COMPANION') || key === 'PYLON_ACCELERATOR_PATH' || key === 'XDG_DATA_HOME') {
            delete env[key];
        }
    }
    return { ...env, ...overrides };
}

// The log file of a companion run with this home and no XDG_DATA_HOME.
function logText(home, folder = 'Pylon') {
    return fs.readFileSync(path.join(home, '.local', 'share', folder, 'logs', 'pylon-companion.log'), 'utf8');
}

function waitForExit(child, timeoutMs = EXIT_TIMEOUT_MS) {
    if (child.exitCode !== null || child.signalCode !== null) {
        return Promise.resolve({ code: child.exitCode, signal: child.signalCode });
    }
    return new Promise((resolve, reject) => {
        const late = () => reject(new Error(`process ${child.pid} still running after ${timeoutMs} ms`));
        const timer = setTimeout(late, timeoutMs);
        child.once('exit', (code, signal) => {
            clearTimeout(timer);
            resolve({ code, signal });
        });
    });
}

// Starts the companion (from the source folder unless `command` names a launcher) with port 0,
// so the system picks a free port, and resolves once it reports where it listens.
// The process is killed when the test ends if the test did not stop it.
function startCompanion(t, { home, command, args = [], env = {} }) {
    const argv = command ? args : [MAIN_SCRIPT, ...args];
    const child = spawn(command || process.execPath, argv, {
        env: cleanEnvironment({ HOME: home, PYLON_COMPANION_PORT: '0', ...env }),
        stdio: ['ignore', 'pipe', 'pipe'],
    });
    t.after(() => {
        if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
    });
    const output = { stdout: '', stderr: '' };
    child.stdout.on('data', (chunk) => (output.stdout += chunk));
    child.stderr.on('data', (chunk) => (output.stderr += chunk));

    return new Promise((resolve, reject) => {
        const fail = (why) => {
            clearTimeout(timer);
            child.kill('SIGKILL');
            reject(new Error(`${why}\nstdout:\n${output.stdout}\nstderr:\n${output.stderr}`));
        };
        const timer = setTimeout(() => fail(`companion not listening within ${READY_TIMEOUT_MS} ms`), READY_TIMEOUT_MS);
        const early = (code, signal) => fail(`companion exited early (code ${code}, signal ${signal})`);
        child.once('exit', early);
        child.stdout.on('data', () => {
            const match = LISTENING.exec(output.stdout);
            if (!match) return;
            clearTimeout(timer);
            child.removeListener('exit', early);
            resolve({ child, port: Number(match[1]), output, stop: (signal = 'SIGTERM') => stop(child, signal) });
        });
    });
}

function stop(child, signal) {
    const exited = waitForExit(child);
    child.kill(signal);
    return exited;
}

// Runs the companion to completion, for starts that are expected to fail.
async function runCompanion(t, { home, args = [], env = {} }) {
    const child = spawn(process.execPath, [MAIN_SCRIPT, ...args], {
        env: cleanEnvironment({ HOME: home, ...env }),
        stdio: ['ignore', 'pipe', 'pipe'],
    });
    t.after(() => child.exitCode === null && child.kill('SIGKILL'));
    let stderr = '';
    child.stderr.on('data', (chunk) => (stderr += chunk));
    child.stdout.resume();
    const result = await waitForExit(child, READY_TIMEOUT_MS);
    return { ...result, stderr };
}

function request(port, method, urlPath, { host = '127.0.0.1' } = {}) {
    return new Promise((resolve, reject) => {
        const options = { host, port, method, path: urlPath, agent: false, timeout: REQUEST_TIMEOUT_MS };
        const req = http.request(options, (res) => {
            let body = '';
            res.setEncoding('utf8');
            res.on('data', (chunk) => (body += chunk));
            res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body }));
        });
        req.on('timeout', () => req.destroy(new Error(`${method} ${urlPath} timed out`)));
        req.on('error', reject);
        req.end();
    });
}

async function fetchStatus(port) {
    const response = await request(port, 'GET', '/status');
    assert.equal(response.status, 200);
    assert.match(response.headers['content-type'], /^application\/json/);
    return JSON.parse(response.body);
}

// Whether a TCP connection to host:port is accepted (refusal, error or silence all count as no).
function connects(host, port, timeoutMs = 2000) {
    return new Promise((resolve) => {
        const socket = net.connect({ host, port });
        const done = (accepted) => {
            socket.destroy();
            resolve(accepted);
        };
        socket.setTimeout(timeoutMs, () => done(false));
        socket.once('connect', () => done(true));
        socket.once('error', () => done(false));
    });
}

const isString = (value) => typeof value === 'string';
const isInteger = (value) => Number.isSafeInteger(value);
const isBoolean = (value) => typeof value === 'boolean';

function checkKeys(object, where, required, optional = {}) {
    assert.ok(object && typeof object === 'object' && !Array.isArray(object), `${where} is an object`);
    for (const [key, check] of Object.entries(required)) {
        assert.ok(key in object, `${where}.${key} is present`);
        assert.ok(check(object[key]), `${where}.${key} has the right type: ${JSON.stringify(object[key])}`);
    }
    for (const [key, check] of Object.entries(optional)) {
        if (key in object) assert.ok(check(object[key]), `${where}.${key} is typed: ${JSON.stringify(object[key])}`);
    }
}

const LIVE_FACTS = { applicationPath: isString, bundleId: isString, displayName: isString };

// Every required key with its JSON type; optional keys either absent or well typed, never null.
function checkStatusDocument(doc) {
    checkKeys(doc, 'status', { ableton: Boolean, bonjour: Boolean, companion: Boolean });
    checkKeys(doc.ableton, 'ableton', { condition: isString }, {
        ...LIVE_FACTS,
        dialogName: isString,
        oscLatencyMs: (v) => typeof v === 'number',
        processId: isInteger,
        remoteScriptVersion: isString,
        version: isString,
    });
    checkKeys(doc.bonjour, 'bonjour', { condition: isString }, { error: isString });
    const companion = doc.companion;
    checkKeys(companion, 'companion', {
        abletonInstances: Array.isArray,
        clientCount: isInteger,
        condition: isString,
        host: Boolean,
        isAcceleratorAddonLoaded: isBoolean,
        isAcceleratorAvailable: isBoolean,
        permissions: Boolean,
        version: isString,
    }, { sessionId: isString });
    checkKeys(companion.host, 'host', { addresses: (v) => Array.isArray(v) && v.every(isString), hostname: isString });
    checkKeys(companion.permissions, 'permissions', { accessibility: isBoolean, automation: isBoolean });
    companion.abletonInstances.forEach((instance, i) =>
        checkKeys(instance, `abletonInstances[${i}]`, { processId: isInteger }, LIVE_FACTS));
}

module.exports = {
    MAIN_SCRIPT,
    checkStatusDocument,
    cleanEnvironment,
    connects,
    fetchStatus,
    logText,
    request,
    runCompanion,
    startCompanion,
    temporaryDirectory,
    waitForExit,
};
