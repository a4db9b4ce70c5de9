'use strict';
// The built module and the X test window (PYLON_BUILD_DIR names the build tree).
const path = require('node:path');
const readline = require('node:readline');
const { spawn } = require('node:child_process');
const { once } = require('node:events');

const buildDir = path.resolve(process.env.PYLON_BUILD_DIR || path.join(__dirname, '..', '..', 'build'));
const modulePath = path.join(buildDir, 'addon', 'accelerator.node');
const needsDisplay = { skip: process.env.DISPLAY ? false : 'needs an X server (run under xvfb-run)', timeout: 30000 };

// A window claiming to belong to `pid` (default: the helper's own process).
async function openWindow(pid) {
    const child = spawn(path.join(buildDir, 'addon', 'accelerator-test-window'), pid === undefined ? [] : [String(pid)],
        { stdio: ['pipe', 'pipe', 'inherit'] });
    const lines = readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]();
    const next = async () => {
        const { value, done } = await lines.next();
        if (done) throw new Error('test window exited');
        return value;
    };
    if ((await next()) !== 'ready') throw new Error('test window did not start');
    return {
        pid: child.pid,
        // The key events received since the last call, as "<type> <key> <state> <send_event>".
        async takeKeyEvents() {
            child.stdin.write('\n');
            const events = [];
            for (let line = await next(); line !== 'end'; line = await next()) events.push(line);
            return events;
        },
        async close() {
            if (child.exitCode !== null || child.signalCode !== null) return;
            const exited = once(child, 'exit');
            child.stdin.end();
            await exited;
        },
    };
}

module.exports = { modulePath, needsDisplay, openWindow, loadAddon: () => require(modulePath) };
