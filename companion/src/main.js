#!/usr/bin/env node
'use strict';
// Entry point of the companion service. The bundle's launcher passes its build mode's identity
// (see environment.js):
//   node main.js --mode <m> --port <n> --label <l> --display-name <n> --app-support-folder <f> --companion-version <v>
// Exit status: 0 after SIGTERM/SIGINT, 1 when the port cannot be bound or an unexpected error
// occurs (the service manager then starts it again), 2 for bad arguments or environment.

const { resolveConfig, UsageError } = require('./environment.js');
const { CompanionLog } = require('./log.js');
const { loadAccelerator } = require('./accelerator.js');
const { StatusSource } = require('./status.js');
const { createServer, LOOPBACK } = require('./server.js');

const STOP_GRACE_MS = 1000;

function run(argv, env) {
    let config;
    try {
        config = resolveConfig(argv, env);
    } catch (error) {
        if (!(error instanceof UsageError)) throw error;
        process.stderr.write(`pylon-companion: ${error.message}\n`);
        process.exit(2);
    }

    const echo = config.logToStdout === 'always' || (config.logToStdout === 'terminal' && process.stdout.isTTY);
    const log = new CompanionLog(config.logFile, { echo: echo ? process.stdout : null });
    log.write('main', `Starting ${config.displayName} ${config.version}`,
        { mode: config.mode, label: config.label, pid: process.pid });
    process.on('uncaughtException', (error) => {
        log.write('main', `Unexpected error: ${error.stack || error}`);
        process.exit(1);
    });

    const accelerator = loadAccelerator(config.acceleratorPath, log);
    const statusSource = new StatusSource({
        version: config.version, accelerator, log, maxAgeMs: config.statusMaxAgeMs,
    });
    const server = createServer({ statusSource, accelerator, log });

    server.on('error', (error) => {
        log.write('companion-server', `Cannot listen on ${LOOPBACK}:${config.port}: ${error.code || error.message}`);
        process.exit(1);
    });
    server.listen(config.port, LOOPBACK, () => {
        const { port } = server.address();
        log.write('companion-server', `Listening on http://${LOOPBACK}:${port}`, { sessionId: statusSource.sessionId });
    });

    const stop = (signal) => {
        log.write('lifecycle', `Stopping on ${signal}`);
        server.close(() => {
            log.write('lifecycle', 'Stopped');
            process.exit(0);
        });
        // Idle keep-alive connections of a polling client would hold close() open.
        server.closeAllConnections();
        setTimeout(() => process.exit(0), STOP_GRACE_MS).unref();
    };
    process.once('SIGTERM', () => stop('SIGTERM'));
    process.once('SIGINT', () => stop('SIGINT'));
}

run(process.argv.slice(2), process.env);
