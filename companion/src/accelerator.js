'use strict';
// The keyboard accelerator module (a Node-API addon shipped in the companion's bundle).
// The companion runs without it: every question then has the answer "no" or "nothing".
// Calls into the module never throw out of here; a failing call counts as a negative answer
// and is logged once per distinct failure, because the status endpoint is polled several times a second.

const fs = require('node:fs');

const REQUIRED_EXPORTS = ['checkAccessibility', 'requestAccessibility', 'getRunningAbletonInstances'];
const OPTIONAL_FACTS = ['displayName', 'applicationPath', 'bundleId'];

class Accelerator {
    constructor(module, log) {
        this.module = module;
        this.log = log;
        this.reportedFailures = new Set();
    }

    get isLoaded() {
        return this.module !== null;
    }

    hasAccessibility() {
        return this.call('checkAccessibility', false) === true;
    }

    requestAccessibility() {
        return this.call('requestAccessibility', false) === true;
    }

    // Running Live processes as the status document carries them: an integer processId and
    // only those optional facts that are strings (the module reports unknown facts as null).
    runningLiveInstances() {
        const reported = this.call('getRunningAbletonInstances', []);
        if (!Array.isArray(reported)) return [];
        const instances = [];
        for (const entry of reported) {
            if (!entry || !Number.isSafeInteger(entry.processId)) continue;
            const instance = { processId: entry.processId };
            for (const key of OPTIONAL_FACTS) {
                if (typeof entry[key] === 'string') instance[key] = entry[key];
            }
            instances.push(instance);
        }
        return instances;
    }

    call(name, fallback) {
        if (!this.module) return fallback;
        try {
            return this.module[name]();
        } catch (error) {
            const text = `${name} failed: ${error && error.message}`;
            if (!this.reportedFailures.has(text)) {
                this.reportedFailures.add(text);
                this.log.write('accelerator', text);
            }
            return fallback;
        }
    }
}

function loadAccelerator(file, log) {
    if (!fs.existsSync(file)) {
        log.write('accelerator', `Accelerator module not found at ${file}; keyboard features are off`);
        return new Accelerator(null, log);
    }
    try {
        const module = require(file);
        const missing = REQUIRED_EXPORTS.filter((name) => typeof module[name] !== 'function');
        if (missing.length) throw new Error(`missing exports: ${missing.join(', ')}`);
        log.write('accelerator', `Accelerator module loaded from ${file}`);
        return new Accelerator(module, log);
    } catch (error) {
        log.write('accelerator', `Accelerator module at ${file} could not be loaded: ${error.message}`);
        return new Accelerator(null, log);
    }
}

module.exports = { Accelerator, loadAccelerator };
