'use strict';
// Where the suites find the built module and its test helper, and how they run code in a fresh
// node process with an environment of their choosing.

const path = require('node:path');
const { spawnSync } = require('node:child_process');

const buildDir = path.resolve(process.env.PYLON_BUILD_DIR || path.join(__dirname, '..', '..', 'build'));
const modulePath = path.join(buildDir, 'addon', 'accelerator.node');
const testWindowPath = path.join(buildDir, 'addon', 'accelerator-test-window');

function loadAddon() {
    return require(modulePath);
}

// Runs `expression` (which may use `addon`) in a new node process and returns its JSON result.
function evaluateInChild(expression, env) {
    const script = `const addon = require(${JSON.stringify(modulePath)});
process.stdout.write(JSON.stringify(${expression}));`;
    const result = spawnSync(process.execPath, ['-e', script], { env, encoding: 'utf8' });
    if (result.status !== 0) {
        throw new Error(`child node failed (${result.status ?? result.signal}): ${result.stderr}`);
    }
    return JSON.parse(result.stdout);
}

// Suites that talk to an X server run only where one is named (the runner uses xvfb-run).
const needsDisplay = { skip: process.env.DISPLAY ? false : 'needs an X server: run the suite under xvfb-run' };

module.exports = { buildDir, modulePath, testWindowPath, loadAddon, evaluateInChild, needsDisplay };
