'use strict';
// The companion without the accelerator module: its HTTP interface, its log file, how it starts
// and stops, and how the build installs it into both bundles.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');
const { once } = require('node:events');
const h = require('../testing/harness.js');

const buildDir = path.resolve(process.env.PYLON_BUILD_DIR || path.join(__dirname, '..', '..', 'build'));

// <ISO-8601 UTC with milliseconds> [pylon-companion][<module>] <message>
const LINE = /^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z \[pylon-companion\]\[[a-z-]+\] .+$/;

test('a run with the identity its launcher passes', async (t) => {
    const home = h.temporaryDirectory(t);
    const file = path.join(home, 'xdg data', 'Pylon-Dev', 'logs', 'pylon-companion.log');
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, 'earlier line\n');
    const args = [...h.identity({ mode: 'development', name: 'Pylon Companion-Dev', folder: 'Pylon-Dev' }),
        '--companion-version', '2.1.0-57'];
    // The same arguments as --flag=value.
    const inline = args.flatMap((arg, i) => (i % 2 ? [] : [`${arg}=${args[i + 1]}`]));
    const start = (argv) => h.startCompanion(t, { home, args: argv,
        env: { XDG_DATA_HOME: path.join(home, 'xdg data'), PYLON_ACCELERATOR_PATH: path.join(home, 'none.node') } });
    const first = await start(args);
    const { port } = first;
    const { sessionId } = (await h.fetchStatus(port)).companion;

    await t.test('GET /status serves a well-typed document with the fixed stand-in facts', async () => {
        const doc = await h.fetchStatus(port);
        h.checkStatusDocument(doc);
        assert.deepEqual([doc.ableton, doc.bonjour], [{ condition: 'not_running' }, { condition: 'stopped' }]);
        const { host, ...companion } = doc.companion;
        assert.deepEqual(companion, {
            abletonInstances: [], clientCount: 0, condition: 'running', isAcceleratorAddonLoaded: false,
            isAcceleratorAvailable: false, permissions: { accessibility: false, automation: true },
            sessionId, version: '2.1.0-57',
        });
        assert.equal(host.hostname, os.hostname());
        assert.ok(!host.addresses.includes('127.0.0.1'), 'loopback is not an address clients can use');
    });

    await t.test('POST /permission/<name> is 200, unknown paths 404, known ones with another method 405', async () => {
        const response = await h.request(port, 'POST', '/permission/screen%20recording');
        assert.equal(response.status, 200);
        assert.equal(JSON.parse(response.body).permission, 'screen recording');
        for (const [method, urlPath, expected] of [['GET', '/', 404], ['POST', '/permission/', 404],
            ['POST', '/permission/a/b', 404], ['POST', '/permission/%E0%A4%A', 404], ['POST', '/status', 405],
            ['GET', '/permission/accessibility', 405]]) {
            assert.equal((await h.request(port, method, urlPath)).status, expected, `${method} ${urlPath}`);
        }
        h.checkStatusDocument(await h.fetchStatus(port)); // still serving
    });

    await t.test('listens on 127.0.0.1 only', async () => {
        assert.equal(await h.answers('127.0.0.1', port), true);
        // On Linux all of 127/8 reaches this host; a socket bound to 127.0.0.1 alone refuses the rest.
        const external = Object.values(os.networkInterfaces()).flat().filter((i) => !i.internal && i.family === 'IPv4');
        for (const address of ['127.0.0.2', '::1', ...external.map((i) => i.address)]) {
            assert.equal(await h.answers(address, port), false, address);
        }
    });

    await t.test('each start appends well-formed lines, Starting first, and has a fresh sessionId', async () => {
        assert.deepEqual(await first.stop('SIGTERM'), { code: 0, signal: null });
        const second = await start(inline);
        assert.notEqual((await h.fetchStatus(second.port)).companion.sessionId, sessionId);
        assert.deepEqual(await second.stop('SIGINT'), { code: 0, signal: null });
        const text = fs.readFileSync(file, 'utf8');
        assert.equal(text, `earlier line\n${first.output.stdout}${second.output.stdout}`, 'stdout has the same lines');
        for (const line of text.split('\n').slice(1, -1)) assert.match(line, LINE);
        for (const run of [first, second]) {
            const lines = run.output.stdout.split('\n');
            assert.match(lines[0],
                /\]\[main\] Starting Pylon Companion-Dev 2\.1\.0-57 \{"mode":"development","label":"test\.Pylon-Dev",/);
            assert.match(lines.at(-2), /\]\[lifecycle\] Stopped$/);
        }
        assert.equal(fs.existsSync(path.join(home, '.local')), false, 'XDG_DATA_HOME wins over HOME');
    });
});

test('survives removal of its log folder; SIGTERM ends it with status 0 despite a keep-alive client', async (t) => {
    const home = h.temporaryDirectory(t);
    const companion = await h.startCompanion(t, { home });
    const socket = net.connect({ host: '127.0.0.1', port: companion.port });
    t.after(() => socket.destroy());
    socket.write('GET /status HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n\r\n');
    await new Promise((resolve, reject) => socket.once('data', resolve).once('error', reject));
    fs.rmSync(path.join(home, '.local', 'share', 'Pylon'), { recursive: true });
    await h.request(companion.port, 'POST', '/permission/accessibility');
    assert.deepEqual(await companion.stop('SIGTERM'), { code: 0, signal: null });
    assert.match(h.logText(home), /\[permissions\][^]*\[lifecycle\] Stopped\n$/);
});

test('a port already in use ends the start with status 1 and a log line', async (t) => {
    const home = h.temporaryDirectory(t);
    const first = await h.startCompanion(t, { home });
    const second = h.spawnCompanion(t, { home, env: { PYLON_COMPANION_PORT: String(first.port) } });
    assert.equal((await second.exited()).code, 1);
    const refusal = `[companion-server] Cannot listen on 127.0.0.1:${first.port}: EADDRINUSE`;
    assert.ok(h.logText(home).includes(refusal), refusal);
    h.checkStatusDocument(await h.fetchStatus(first.port)); // the running one is unaffected
});

test('bad arguments or environment end the start with status 2 before anything is written', async (t) => {
    const home = h.temporaryDirectory(t);
    const ok = h.identity();
    const withoutPort = ok.filter((_, i) => i !== 2 && i !== 3);
    for (const [args, env] of [[['--verbose', ...ok]], [withoutPort], [[...ok, '--label']],
        [ok, { PYLON_COMPANION_PORT: 'http' }], [[...ok, '--port', '65536']],
        [[...ok, '--app-support-folder', '../elsewhere']], [ok, { PYLON_COMPANION_LOG_STDOUT: 'yes' }],
        [ok, { PYLON_COMPANION_STATUS_MAX_AGE_MS: '5000' }]]) {
        const run = h.spawnCompanion(t, { home, args, env });
        assert.equal((await run.exited()).code, 2, JSON.stringify({ args, env }));
        assert.match(run.output.stderr, /^pylon-companion: /);
    }
    assert.equal(fs.existsSync(path.join(home, '.local')), false);
});

// Under a service manager standard output is the journal, which must not get every line of the
// log file a second time. Each run meets a port in use, so it logs a few lines and ends.
test('standard output copies the log on a terminal or when asked, never otherwise', async (t) => {
    const home = h.temporaryDirectory(t);
    const blocker = net.createServer().listen(0, '127.0.0.1');
    t.after(() => blocker.close());
    await once(blocker, 'listening');
    // Runs the companion with its standard output on a terminal (a pseudo-terminal from python3).
    const onTerminal = ['python3', ['-c',
        'import os, pty, sys; sys.exit(os.waitstatus_to_exitcode(pty.spawn(sys.argv[1:])))', process.execPath, h.MAIN]];
    const cases = [
        ['a pipe', [], {}, false],
        ['a pipe, asked', [], { PYLON_COMPANION_LOG_STDOUT: '1' }, true],
        ['a terminal', onTerminal, {}, true],
        ['a terminal, told not to', onTerminal, { PYLON_COMPANION_LOG_STDOUT: '0' }, false],
    ];
    for (const [where, [command, prefix] = [], env, copied] of cases) {
        const run = h.spawnCompanion(t, {
            home, command, args: [...(prefix || []), ...h.identity()],
            env: { PYLON_COMPANION_LOG_STDOUT: undefined, ...env, PYLON_COMPANION_PORT: String(blocker.address().port) },
        });
        assert.equal((await run.exited()).code, 1, where);
        const stdout = run.output.stdout;
        assert.equal(/\[main\] Starting Pylon Companion/.test(stdout), copied, `${where}: ${stdout}`);
    }
    const starts = h.logText(home).split('\n').filter((line) => line.includes('[main] Starting'));
    assert.equal(starts.length, cases.length, 'the log file gets every line in every case');
});

// Each bundle's launch-agent plist, and the launcher it names run from a copy in a folder with spaces.
const PLIST_ENTRY = /<key>([^<]+)<\/key>\s*(?:<string>([^<]*)<\/string>|<(true|false)\/>)/g;
const BUNDLES = [
    ['production', '', { port: '47150', folder: 'Pylon' }],
    ['development', '-Dev', { port: '47250', folder: 'Pylon-Dev' }],
];
for (const [mode, suffix, expected] of BUNDLES) {
    test(`${mode} bundle: the plist names the launcher, which passes the mode's identity`, async (t) => {
        assert.ok(fs.existsSync(path.join(buildDir, `Pylon${suffix}.app`)),
            `no bundle in ${buildDir}: build the project first (PYLON_BUILD_DIR names the build tree)`);
        const home = h.temporaryDirectory(t);
        const bundle = path.join(home, 'a folder with spaces', `Pylon${suffix}.app`);
        for (const part of ['Library', 'Helpers']) {
            fs.cpSync(path.join(buildDir, `Pylon${suffix}.app/Contents`, part), path.join(bundle, 'Contents', part),
                { recursive: true });
        }
        const name = `Pylon Companion${suffix}`;
        const plist = path.join(bundle, `Contents/Library/LaunchAgents/PylonCompanion${suffix}-${os.machine()}.plist`);
        const entries = [...fs.readFileSync(plist, 'utf8').matchAll(PLIST_ENTRY)];
        const values = Object.fromEntries(entries.map(([, key, string, flag]) => [key, string ?? flag === 'true']));
        const app = `Contents/Helpers/${os.machine()}/${name}.app`;
        const label = `net.ostrand.PylonCompanion${suffix}`;
        assert.deepEqual(values, { Label: label, BundleProgram: `${app}/Contents/MacOS/${name}`, RunAtLoad: true,
            KeepAlive: true });
        const launcher = path.join(bundle, values.BundleProgram);

        // What the launcher hands to node, seen through a stand-in for node.
        const argsFile = path.join(home, 'args');
        const fakeNode = path.join(home, 'node');
        fs.writeFileSync(fakeNode, '#!/bin/sh\nprintf "%s\\n" "$@" > "$ARGS_FILE"\n', { mode: 0o755 });
        const fake = h.spawnCompanion(t,
            { home, command: launcher, env: { PYLON_NODE: fakeNode, ARGS_FILE: argsFile } });
        assert.equal((await fake.exited()).code, 0);
        const [main, ...args] = fs.readFileSync(argsFile, 'utf8').split('\n').slice(0, -1);
        assert.equal(path.resolve(main), path.join(bundle, app, 'Contents/Resources/companion/main.js'));
        const version = args[args.indexOf('--companion-version') + 1];
        assert.deepEqual(args, ['--mode', mode, '--companion-version', version, '--port', expected.port, '--label',
            label, '--display-name', name, '--app-support-folder', expected.folder]);

        const companion = await h.startCompanion(t, { home, command: launcher });
        const doc = await h.fetchStatus(companion.port);
        h.checkStatusDocument(doc);
        const addon = path.join(bundle, app, 'Contents/Resources/accelerator.node');
        assert.equal(doc.companion.isAcceleratorAddonLoaded, fs.existsSync(addon), 'the module of its own bundle');
        assert.deepEqual(await companion.stop(), { code: 0, signal: null });
        assert.match(doc.companion.version, /^\d+\.\d+/);
        assert.equal(doc.companion.version, version);
        const starting = `[main] Starting ${name} ${version} {"mode":"${mode}","label":"${label}"`;
        assert.ok(h.logText(home, expected.folder).includes(starting), starting);
    });
}
