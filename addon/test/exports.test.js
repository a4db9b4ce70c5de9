'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { loadAddon, modulePath } = require('../test-support/addon');

test('module exports', async (t) => {
    const addon = loadAddon();

    await t.test('has exactly the four functions, in order', () => {
        assert.deepEqual(Object.keys(addon), [
            'checkAccessibility',
            'getRunningAbletonInstances',
            'requestAccessibility',
            'sendCommandS',
        ]);
        for (const name of Object.keys(addon)) assert.equal(typeof addon[name], 'function', name);
    });

    await t.test('the binary exports only the two Node-API entry points', () => {
        // Everything else is hidden, so the module cannot clash with symbols of the host or of other modules.
        const linkerSymbols = new Set(['__bss_start', '_edata', '_end', '_init', '_fini']);
        const symbols = execFileSync('nm', ['-D', '--defined-only', modulePath], { encoding: 'utf8' })
            .split('\n')
            .map((line) => line.trim().split(/\s+/)[2])
            .filter((name) => name && !linkerSymbols.has(name))
            .sort();
        assert.deepEqual(symbols, ['napi_register_module_v1', 'node_api_module_get_api_version_v1']);
    });
});
