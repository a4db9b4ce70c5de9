'use strict';
// The companion's identity in each build mode and where it keeps its files.
// The two modes can run side by side, so they differ in port, label, names and data folder.

const os = require('node:os');
const path = require('node:path');

const MODES = Object.freeze({
    production: Object.freeze({
        mode: 'production',
        port: 47150,
        label: 'net.ostrand.PylonCompanion',
        displayName: 'Pylon Companion',
        appSupportFolderName: 'Pylon',
    }),
    development: Object.freeze({
        mode: 'development',
        port: 47250,
        label: 'net.ostrand.PylonCompanion-Dev',
        displayName: 'Pylon Companion-Dev',
        appSupportFolderName: 'Pylon-Dev',
    }),
});

const LOG_FILE_NAME = 'pylon-companion.log';
const DEFAULT_VERSION = '0.0.0';

class UsageError extends Error {}

// Accepts "--mode <m>", "--mode=<m>", "--companion-version <v>" and "--companion-version=<v>".
function parseArguments(argv) {
    const options = {};
    const names = { '--mode': 'mode', '--companion-version': 'version' };
    for (let i = 0; i < argv.length; i++) {
        const [flag, inline] = argv[i].split(/=(.*)/s, 2);
        const key = names[flag];
        if (!key) throw new UsageError(`unknown argument "${argv[i]}"`);
        const value = inline !== undefined ? inline : argv[++i];
        if (value === undefined || value === '') throw new UsageError(`${flag} needs a value`);
        options[key] = value;
    }
    return options;
}

function parsePort(text) {
    if (!/^\d{1,5}$/.test(text) || Number(text) > 65535) {
        throw new UsageError(`PYLON_COMPANION_PORT must be a port number, not "${text}"`);
    }
    return Number(text);
}

// The Linux counterpart of ~/Library/Application Support: the XDG data home. A relative
// XDG_DATA_HOME is invalid by the XDG rules and therefore ignored.
function dataHome(env) {
    if (env.XDG_DATA_HOME && path.isAbsolute(env.XDG_DATA_HOME)) return env.XDG_DATA_HOME;
    return path.join(env.HOME || os.homedir(), '.local', 'share');
}

// Everything the process needs to know, from its arguments and environment:
// PYLON_COMPANION_MODE is used when no --mode is given (production otherwise),
// PYLON_COMPANION_PORT replaces the mode's port (0 picks a free one),
// PYLON_ACCELERATOR_PATH replaces the module location next to the scripts.
function resolveConfig(argv, env) {
    const options = parseArguments(argv);
    const modeName = options.mode || env.PYLON_COMPANION_MODE || 'production';
    const identity = MODES[modeName];
    if (!identity) throw new UsageError(`unknown mode "${modeName}" (production or development)`);
    const logDirectory = path.join(dataHome(env), identity.appSupportFolderName, 'logs');
    return {
        ...identity,
        port: env.PYLON_COMPANION_PORT ? parsePort(env.PYLON_COMPANION_PORT) : identity.port,
        version: options.version || DEFAULT_VERSION,
        logDirectory,
        logFile: path.join(logDirectory, LOG_FILE_NAME),
        // Installed scripts live in <companion>.app/Contents/Resources/companion/, the module one level up.
        acceleratorPath: env.PYLON_ACCELERATOR_PATH || path.join(__dirname, '..', 'accelerator.node'),
    };
}

module.exports = { MODES, LOG_FILE_NAME, UsageError, parseArguments, resolveConfig };
