'use strict';
// The built module and the X test window (PYLON_BUILD_DIR names the build tree).
const path = require('node:path');
const readline = require('node:readline');
const { spawn } = require('node:child_process');
const { once } = require('node:events');

const buildDir = path.resolve(process.env.PYLON_BUILD_DIR || path.join(__dirname, '..', '..', 'build'));
const modulePath = path.join(buildDir, 'addon', 'accelerator.node');

// A window claiming to belong to `pid` (default: the helper's own process), on the display of `env`.
async function openWindow(pid, env = process.env) {
    const child = spawn(path.join(buildDir, 'addon', 'accelerator-test-window'), pid === undefined ? [] : [String(pid)],
        { env, stdio: ['pipe', 'pipe', 'inherit'] });
    const lines = readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]();
    const next = async () => {
        const { value, done } = await lines.next();
        if (done) throw new Error('test window exited');
        return value;
    };
    if ((await next()) !== 'ready') throw new Error('test window did not start');
    // Runs a command of the window (see TestWindow.c) and returns the key events received since
    // the last one, as "<type> <key> <state> <send_event>".
    const command = async (name = '') => {
        child.stdin.write(`${name}\n`);
        const events = [];
        for (let line = await next(); line !== 'end'; line = await next()) events.push(line);
        return events;
    };
    return {
        pid: child.pid,
        takeKeyEvents: () => command(),
        focus: () => command('focus'),
        point: () => command('point'),
        async close() {
            if (child.exitCode !== null || child.signalCode !== null) return;
            const exited = once(child, 'exit');
            child.stdin.end();
            await exited;
        },
    };
}

// The module loaded in a child process with the environment `env` (see module-child.js).
function startModuleChild(env) {
    const child = spawn(process.execPath, [path.join(__dirname, 'module-child.js'), modulePath],
        { env, stdio: ['pipe', 'pipe', 'pipe'] });
    let stderr = '';
    child.stderr.on('data', (chunk) => (stderr += chunk));
    const lines = readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]();
    return {
        async call(name, ...args) {
            child.stdin.write(`${JSON.stringify([name, ...args])}\n`);
            const { value, done } = await lines.next();
            if (done) throw new Error(`module process ended: ${stderr}`);
            return JSON.parse(value);
        },
        // Ends it and reports how it ended and what it wrote to stderr.
        async close() {
            if (child.exitCode === null && child.signalCode === null) {
                const exited = once(child, 'exit');
                child.stdin.end();
                await exited;
            }
            return { code: child.exitCode, signal: child.signalCode, stderr };
        },
    };
}

module.exports = { buildDir, modulePath, openWindow, startModuleChild, loadAddon: () => require(modulePath) };
