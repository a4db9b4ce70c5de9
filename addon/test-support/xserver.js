'use strict';
// X servers of a test's own: Xvfb on a free display, with or without the XTEST extension, with or
// without a window manager (openbox). A missing program fails the test with the package to install.
// Every wait is bounded; stop() ends every process started here.
const fs = require('node:fs');
const path = require('node:path');
const { spawn, execFile } = require('node:child_process');
const { once } = require('node:events');
const { promisify } = require('node:util');

const PACKAGES = { Xvfb: 'xvfb', openbox: 'openbox', xprop: 'x11-utils', xdotool: 'xdotool' };

const delay = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
// Rejects after `ms`, for racing against what is awaited; the timer holds no process open.
const deadline = (ms, message) => new Promise((_, reject) => setTimeout(() => reject(new Error(message)), ms).unref());

// Spawns a program, turning "not installed" into an error that names the package.
function start(program, args, options) {
    const child = spawn(program, args, options);
    const failed = new Promise((_, reject) => child.once('error', (error) => reject(error.code === 'ENOENT'
        ? new Error(`${program} is not installed (Debian package ${PACKAGES[program] || program}; ` +
            'scripts/install-deps installs it)') : error)));
    failed.catch(() => {}); // observed by whoever awaits it
    return { child, failed };
}

async function stopProcess(child, signal = 'SIGTERM') {
    if (child.exitCode !== null || child.signalCode !== null) return;
    const exited = once(child, 'exit');
    child.kill(signal);
    const done = await Promise.race([exited.then(() => true), deadline(5000, 'still running').catch(() => false)]);
    if (!done) {
        child.kill('SIGKILL');
        await exited;
    }
}

async function run(program, args, env) {
    try {
        return await promisify(execFile)(program, args, { env, timeout: 10000, encoding: 'utf8' });
    } catch (error) {
        if (error.code !== 'ENOENT') throw error;
        throw new Error(`${program} is not installed (Debian package ${PACKAGES[program]})`);
    }
}

// Starts Xvfb; `display` reuses a number (to bring a server back), otherwise Xvfb picks a free one.
async function startXvfb({ xtest, display }) {
    const args = ['-displayfd', '3', '-screen', '0', '1024x768x24', '-nolisten', 'tcp', '-noreset'];
    if (display) args.unshift(display);
    if (!xtest) args.push('-extension', 'XTEST');
    const { child, failed } = start('Xvfb', args, { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
    let stderr = '';
    child.stderr.on('data', (chunk) => (stderr += chunk));
    let number = '';
    child.stdio[3].on('data', (chunk) => (number += chunk));
    const ready = once(child.stdio[3], 'end').then(() => `:${number.trim()}`);
    const exited = once(child, 'exit').then(() => { throw new Error(`Xvfb ended before it was ready\n${stderr}`); });
    const timeout = deadline(15000, 'Xvfb did not start in 15 s').catch((error) => {
        throw new Error(`${error.message}\n${stderr}`);
    });
    try {
        const name = await Promise.race([ready, failed, exited, timeout]);
        if (name === ':') throw new Error(`Xvfb did not report its display\n${stderr}`);
        return { child, display: name };
    } catch (error) {
        await stopProcess(child, 'SIGKILL');
        throw error;
    }
}

// Waits until the window manager has announced itself on the root window.
async function waitForWindowManager(env) {
    for (let waited = 0; waited < 15000; waited += 100) {
        const { stdout } = await run('xprop', ['-root', '_NET_SUPPORTING_WM_CHECK'], env);
        if (/window id # 0x[0-9a-f]+/.test(stdout)) return;
        await delay(100);
    }
    throw new Error('the window manager did not start in 15 s');
}

// `home`: a folder of the test where the window manager may keep its files.
async function startXServer({ xtest = true, windowManager = false, home } = {}) {
    let server = await startXvfb({ xtest });
    const env = { ...process.env, DISPLAY: server.display };
    let manager = null;
    const stop = async () => {
        if (manager) await stopProcess(manager);
        await stopProcess(server.child);
    };
    try {
        if (windowManager) {
            const dirs = { HOME: home, XDG_CACHE_HOME: path.join(home, '.cache'),
                XDG_CONFIG_HOME: path.join(home, '.config') };
            fs.mkdirSync(dirs.XDG_CACHE_HOME, { recursive: true });
            const started = start('openbox', ['--sm-disable'], { env: { ...env, ...dirs }, stdio: 'ignore' });
            manager = started.child;
            await Promise.race([waitForWindowManager(env), started.failed]);
        }
    } catch (error) {
        await stop();
        throw error;
    }
    return {
        display: server.display,
        env,
        stop,
        // Ends the server alone (its clients lose their connections) ...
        stopServer: () => stopProcess(server.child),
        // ... and starts a new one on the same display.
        async startServerAgain() {
            server = await startXvfb({ xtest, display: server.display });
        },
        // Runs xdotool (or another X tool) against this server.
        tool: (program, args) => run(program, args, env),
    };
}

module.exports = { startXServer, stopProcess, delay };
