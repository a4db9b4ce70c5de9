'use strict';
// The companion's identity and where it keeps its files, from its arguments and environment.
// The build modes are spelled in one place, the build's mode table (cmake/Bundles.cmake): each
// bundle's launcher passes its mode's values, so the two modes run side by side with their own
// port, label, names and data folder.
//
//   main.js --mode <name> --port <number> --label <label> --display-name <name>
//           --app-support-folder <folder name> [--companion-version <version>]
//
// Each also as --flag=value. Environment:
//   PYLON_COMPANION_PORT               replaces the port (0 picks a free one)
//   PYLON_ACCELERATOR_PATH             replaces the module location next to the scripts
//   PYLON_COMPANION_LOG_STDOUT         1: copy log lines to standard output, 0: never; unset: only
//                                      when standard output is a terminal (a service's standard
//                                      output is the journal, which would hold every line twice)
//   PYLON_COMPANION_STATUS_MAX_AGE_MS  how long one status document serves requests, 0 to 1000
//   XDG_DATA_HOME                      the data home (default ~/.local/share)

const os = require('node:os');
const path = require('node:path');

const LOG_FILE_NAME = 'pylon-companion.log';
const DEFAULT_VERSION = '0.0.0';
// A status document is reused for at most one second: Pylon polls up to four times a second, and
// each new document looks at every process of the system.
const MAX_STATUS_AGE_MS = 1000;

class UsageError extends Error {}

const FLAGS = {
    '--mode': 'mode',
    '--port': 'port',
    '--label': 'label',
    '--display-name': 'displayName',
    '--app-support-folder': 'appSupportFolderName',
    '--companion-version': 'version',
};
const REQUIRED = ['--mode', '--port', '--label', '--display-name', '--app-support-folder'];

function parseArguments(argv) {
    const options = {};
    for (let i = 0; i < argv.length; i++) {
        const [flag, inline] = argv[i].split(/=(.*)/s, 2);
        const key = FLAGS[flag];
        if (!key) throw new UsageError(`unknown argument "${argv[i]}"`);
        const value = inline !== undefined ? inline : argv[++i];
        if (value === undefined || value === '') throw new UsageError(`${flag} needs a value`);
        options[key] = value;
    }
    const missing = REQUIRED.filter((flag) => options[FLAGS[flag]] === undefined);
    if (missing.length) throw new UsageError(`missing ${missing.join(', ')} (the bundle's launcher passes them)`);
    return options;
}

function parseNumber(text, what, max) {
    if (!/^\d{1,7}$/.test(text) || Number(text) > max) {
        throw new UsageError(`${what} must be a whole number from 0 to ${max}, not "${text}"`);
    }
    return Number(text);
}

// The folder is one name inside the data home, never a path leading elsewhere.
function folderName(text) {
    if (text === '.' || text === '..' || text.includes('/') || text.includes('\0')) {
        throw new UsageError(`--app-support-folder must be a folder name, not "${text}"`);
    }
    return text;
}

function logToStdout(value) {
    if (value === undefined || value === '') return 'terminal';
    if (value === '1' || value === '0') return value === '1' ? 'always' : 'never';
    throw new UsageError(`PYLON_COMPANION_LOG_STDOUT must be 1 or 0, not "${value}"`);
}

// The Linux counterpart of ~/Library/Application Support: the XDG data home. A relative
// XDG_DATA_HOME is invalid by the XDG rules and therefore ignored.
function dataHome(env) {
    if (env.XDG_DATA_HOME && path.isAbsolute(env.XDG_DATA_HOME)) return env.XDG_DATA_HOME;
    return path.join(env.HOME || os.homedir(), '.local', 'share');
}

function resolveConfig(argv, env) {
    const options = parseArguments(argv);
    const port = parseNumber(env.PYLON_COMPANION_PORT || options.port, 'the port', 65535);
    const maxAge = env.PYLON_COMPANION_STATUS_MAX_AGE_MS;
    const logDirectory = path.join(dataHome(env), folderName(options.appSupportFolderName), 'logs');
    return {
        mode: options.mode,
        port,
        label: options.label,
        displayName: options.displayName,
        appSupportFolderName: options.appSupportFolderName,
        version: options.version || DEFAULT_VERSION,
        logDirectory,
        logFile: path.join(logDirectory, LOG_FILE_NAME),
        logToStdout: logToStdout(env.PYLON_COMPANION_LOG_STDOUT),
        statusMaxAgeMs: maxAge ? parseNumber(maxAge, 'PYLON_COMPANION_STATUS_MAX_AGE_MS', MAX_STATUS_AGE_MS)
            : MAX_STATUS_AGE_MS,
        // Installed scripts live in <companion>.app/Contents/Resources/companion/, the module one level up.
        acceleratorPath: env.PYLON_ACCELERATOR_PATH || path.join(__dirname, '..', 'accelerator.node'),
    };
}

module.exports = { UsageError, resolveConfig };
