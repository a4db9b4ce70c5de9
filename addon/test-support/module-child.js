'use strict';
// The module in a process of its own (with its own DISPLAY), driven line by line from a test:
// each line on stdin is a JSON array [export, ...arguments], answered by one JSON line with the
// result. ["sockets"] answers how many sockets the process holds.
const fs = require('node:fs');
const readline = require('node:readline');

const addon = require(process.argv[2]);

function socketCount() {
    return fs.readdirSync('/proc/self/fd').filter((fd) => {
        try {
            return fs.readlinkSync(`/proc/self/fd/${fd}`).startsWith('socket:');
        } catch {
            return false; // the descriptor of the listing itself is gone already
        }
    }).length;
}

readline.createInterface({ input: process.stdin }).on('line', (line) => {
    const [name, ...args] = JSON.parse(line);
    const result = name === 'sockets' ? socketCount() : addon[name](...args);
    process.stdout.write(`${JSON.stringify(result)}\n`);
});
