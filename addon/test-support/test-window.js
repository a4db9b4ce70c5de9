'use strict';
// Drives the accelerator-test-window helper: an X window whose _NET_WM_PID names a process and
// which reports the key events it receives.

const readline = require('node:readline');
const { spawn } = require('node:child_process');
const { once } = require('node:events');
const { testWindowPath } = require('./addon');

class TestWindow {
    // `pid` is the process the window claims to belong to; by default the helper's own.
    static async open(pid) {
        const child = spawn(testWindowPath, pid === undefined ? [] : [String(pid)], {
            stdio: ['pipe', 'pipe', 'inherit'],
        });
        const window = new TestWindow(child);
        const ready = await window.nextLine();
        if (!ready.startsWith('ready ')) throw new Error(`test window did not start: ${ready}`);
        return window;
    }

    constructor(child) {
        this.child = child;
        this.lines = [];
        this.waiters = [];
        this.closed = false;
        readline.createInterface({ input: child.stdout }).on('line', (line) => {
            const waiter = this.waiters.shift();
            if (waiter) waiter.resolve(line);
            else this.lines.push(line);
        });
        child.on('exit', (code, signal) => {
            this.closed = true;
            for (const waiter of this.waiters.splice(0)) {
                waiter.reject(new Error(`test window exited (${code ?? signal})`));
            }
        });
    }

    get pid() {
        return this.child.pid;
    }

    nextLine() {
        if (this.lines.length) return Promise.resolve(this.lines.shift());
        if (this.closed) return Promise.reject(new Error('test window has exited'));
        return new Promise((resolve, reject) => this.waiters.push({ resolve, reject }));
    }

    // The key events received since the last report. The helper answers after a round trip to the
    // X server, so everything sent before this call is included.
    async takeKeyEvents() {
        this.child.stdin.write('\n');
        const events = [];
        for (let line = await this.nextLine(); line !== 'end'; line = await this.nextLine()) {
            const [type, key, state, synthetic] = line.split(' ');
            events.push({ type, key, state: Number(state), synthetic: synthetic === '1' });
        }
        return events;
    }

    async close() {
        if (this.closed) return;
        const exited = once(this.child, 'exit');
        this.child.stdin.end();
        await exited;
    }
}

module.exports = { TestWindow };
