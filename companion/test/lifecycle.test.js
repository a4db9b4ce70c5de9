'use strict';
// Starting and stopping the companion, and the lines it leaves in its log file.

const assert = require('node:assert/strict');
const fs = require('node:fs');
const net = require('node:net');
const path = require('node:path');
const { describe, test } = require('node:test');
const h = require('../testing/harness.js');

// <ISO-8601 UTC with milliseconds> [pylon-companion][<module>] <message>
const LINE = /^(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z) \[pylon-companion\]\[([a-z-]+)\] (.+)$/;

function readLog(file) {
    const text = fs.readFileSync(file, 'utf8');
    assert.ok(text.endsWith('\n'), 'every line is complete');
    return text.slice(0, -1).split('\n');
}

function startLines(lines) {
    return lines.filter((line) => line.includes('[main]') && line.includes('Starting'));
}

describe('log file', () => {
    test('development mode writes well-formed lines under XDG_DATA_HOME/Pylon-Dev/logs', async (t) => {
        const home = h.temporaryDirectory(t);
        const dataHome = path.join(home, 'xdg data');
        const companion = await h.startCompanion(t, {
            home,
            args: ['--mode=development'],
            env: { XDG_DATA_HOME: dataHome, PYLON_ACCELERATOR_PATH: path.join(home, 'none.node') },
        });
        await h.request(companion.port, 'POST', '/permission/accessibility');
        assert.deepEqual(await companion.stop(), { code: 0, signal: null });

        const file = path.join(dataHome, 'Pylon-Dev', 'logs', 'pylon-companion.log');
        const lines = readLog(file);
        for (const line of lines) {
            const match = LINE.exec(line);
            assert.ok(match, `line shape: ${line}`);
            assert.equal(new Date(match[1]).toISOString(), match[1], 'a real UTC instant');
        }
        assert.match(lines[0], / \[pylon-companion\]\[main\] Starting /);
        assert.match(lines[0], /"mode":"development"/);
        assert.ok(lines.some((l) => l.includes('[pylon-companion][permissions]')), 'permission request logged');
        assert.match(lines.at(-1), /\[lifecycle\] Stopped$/);
        // Standard output carries the same lines.
        assert.equal(companion.output.stdout, lines.join('\n') + '\n');
        assert.equal(fs.existsSync(path.join(home, '.local')), false, 'XDG_DATA_HOME wins over HOME');
    });

    test('production mode appends to ~/.local/share/Pylon/logs with one Starting line per start', async (t) => {
        const home = h.temporaryDirectory(t);
        const file = path.join(home, '.local', 'share', 'Pylon', 'logs', 'pylon-companion.log');
        fs.mkdirSync(path.dirname(file), { recursive: true });
        fs.writeFileSync(file, 'earlier line\n');
        for (let run = 0; run < 2; run++) {
            const companion = await h.startCompanion(t, { home, args: ['--mode', 'production'] });
            assert.deepEqual(await companion.stop('SIGINT'), { code: 0, signal: null });
        }
        const lines = readLog(file);
        assert.equal(lines[0], 'earlier line');
        assert.equal(startLines(lines).length, 2);
        assert.ok(startLines(lines).every((l) => l.includes('"mode":"production"')));
    });

    test('a log folder removed while running is created again', async (t) => {
        const home = h.temporaryDirectory(t);
        const companion = await h.startCompanion(t, { home });
        const logs = path.join(home, '.local', 'share', 'Pylon', 'logs');
        fs.rmSync(path.dirname(logs), { recursive: true });
        await h.request(companion.port, 'POST', '/permission/accessibility');
        await companion.stop();
        assert.match(fs.readFileSync(path.join(logs, 'pylon-companion.log'), 'utf8'), /\[permissions\]/);
    });
});

describe('process lifecycle', () => {
    test('SIGTERM ends the process with status 0 while a client holds a keep-alive connection', async (t) => {
        const home = h.temporaryDirectory(t);
        const companion = await h.startCompanion(t, { home });
        const socket = net.connect({ host: '127.0.0.1', port: companion.port });
        t.after(() => socket.destroy());
        await new Promise((resolve, reject) => socket.once('connect', resolve).once('error', reject));
        socket.write('GET /status HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n\r\n');
        await new Promise((resolve) => socket.once('data', resolve));
        assert.deepEqual(await companion.stop('SIGTERM'), { code: 0, signal: null });
    });

    test('a port already in use ends the start with status 1 and a log line', async (t) => {
        const home = h.temporaryDirectory(t);
        const first = await h.startCompanion(t, { home });
        const second = await h.runCompanion(t, { home, env: { PYLON_COMPANION_PORT: String(first.port) } });
        assert.equal(second.code, 1);
        const refusal = `[companion-server] Cannot listen on 127.0.0.1:${first.port}: EADDRINUSE`;
        assert.ok(h.logText(home).includes(refusal), refusal);
        // The running one is unaffected.
        h.checkStatusDocument(await h.fetchStatus(first.port));
    });

    test('bad arguments or environment end the start with status 2 before anything is written', async (t) => {
        const home = h.temporaryDirectory(t);
        const cases = [
            { args: ['--mode', 'staging'] },
            { args: ['--verbose'] },
            { args: [], env: { PYLON_COMPANION_PORT: 'http' } },
        ];
        for (const { args, env } of cases) {
            const result = await h.runCompanion(t, { home, args, env });
            assert.equal(result.code, 2, JSON.stringify({ args, env }));
            assert.match(result.stderr, /^pylon-companion: /);
        }
        assert.equal(fs.existsSync(path.join(home, '.local')), false);
    });
});
