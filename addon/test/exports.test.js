'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { loadAddon, modulePath } = require('../test-support/helpers');

test('exports exactly the four functions, in order', () => {
    const addon = loadAddon();
    assert.deepEqual(Object.keys(addon),
        ['checkAccessibility', 'getRunningAbletonInstances', 'requestAccessibility', 'sendCommandS']);
    for (const name of Object.keys(addon)) assert.equal(typeof addon[name], 'function', name);
});

test('the binary exports only the two Node-API entry points', () => {
    const linkerSymbols = new Set(['__bss_start', '_edata', '_end', '_init', '_fini']);
    const symbols = execFileSync('nm', ['-D', '--defined-only', modulePath], { encoding: 'utf8' })
        .split('\n').map((line) => line.trim().split(/\s+/)[2])
        .filter((name) => name && !linkerSymbols.has(name)).sort();
    assert.deepEqual(symbols, ['napi_register_module_v1', 'node_api_module_get_api_version_v1']);
});
