'use strict';
// The status document served at GET /status. This stand-in has no phone clients, no Bonjour
// advertising and no link to Live's control script: it reports Live as running when the
// accelerator module sees a Live process, and as not running otherwise.
//
// One document serves the requests of the next `maxAgeMs` (one second at most, see
// environment.js): making one looks at every process of the system, and Pylon asks up to four
// times a second. A permission request makes the next request get a new document.

const crypto = require('node:crypto');
const os = require('node:os');

function hostAddresses(interfaces = os.networkInterfaces()) {
    const addresses = [];
    for (const entries of Object.values(interfaces)) {
        for (const entry of entries || []) {
            if (!entry.internal) addresses.push(entry.address);
        }
    }
    return addresses;
}

class StatusSource {
    constructor({
        version, accelerator, log, maxAgeMs = 0, sessionId = crypto.randomUUID(), clock = () => performance.now(),
    }) {
        this.version = version;
        this.accelerator = accelerator;
        this.log = log;
        this.maxAgeMs = maxAgeMs;
        this.sessionId = sessionId;
        this.clock = clock;
        this.liveCondition = 'not_running';
        this.document = null;
        this.madeAt = 0;
    }

    current() {
        const now = this.clock();
        if (!this.document || now - this.madeAt >= this.maxAgeMs) {
            this.document = this.make();
            this.madeAt = now;
        }
        return this.document;
    }

    // The next request gets a new document.
    invalidate() {
        this.document = null;
    }

    make() {
        const instances = this.accelerator.runningLiveInstances();
        const accessibility = this.accelerator.isLoaded && this.accelerator.hasAccessibility();
        return {
            ableton: this.liveStatus(instances),
            bonjour: { condition: 'stopped' },
            companion: {
                abletonInstances: instances,
                clientCount: 0,
                condition: 'running',
                host: { addresses: hostAddresses(), hostname: os.hostname() },
                isAcceleratorAddonLoaded: this.accelerator.isLoaded,
                isAcceleratorAvailable: accessibility,
                // Linux has no Automation permission to withhold.
                permissions: { accessibility, automation: true },
                sessionId: this.sessionId,
                version: this.version,
            },
        };
    }

    // The first Live process stands for "the" Live; the change of condition is logged.
    liveStatus(instances) {
        const condition = instances.length ? 'running' : 'not_running';
        if (condition !== this.liveCondition) {
            const pid = instances.length ? { processId: instances[0].processId } : undefined;
            this.log.write('ableton-status', `Live ${this.liveCondition} → ${condition}`, pid);
            this.liveCondition = condition;
        }
        return instances.length ? { ...instances[0], condition } : { condition };
    }
}

module.exports = { StatusSource, hostAddresses };
