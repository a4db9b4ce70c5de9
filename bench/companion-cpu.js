'use strict';
// The measuring half of companion-cpu.sh: starts the floor (a bare HTTP server answering a JSON
// body as long as the companion's status document), polls both at the same rate for the same time
// over kept-alive connections, and prints the CPU each used as a share of one core, as
// "MEASURED<tab>companion %<tab>floor %<tab>document bytes".
//
//   node companion-cpu.js --companion-pid PID --port PORT --seconds N [--rate 4]
const http = require('node:http');
const fs = require('node:fs');
const os = require('node:os');
const { spawn } = require('node:child_process');
const { once } = require('node:events');

const options = { rate: '4' };
for (let i = 2; i < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
const rate = Number(options.rate);
const seconds = Number(options.seconds);

const TICKS_PER_SECOND = 100; // USER_HZ on Linux
const cpuTicks = (pid) => {
    const fields = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
    return Number(fields[11]) + Number(fields[12]); // utime and stime
};
const delay = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function get(agent, port) {
    return new Promise((resolve, reject) => {
        const request = http.get({ host: '127.0.0.1', port, path: '/status', agent, timeout: 2000 }, (response) => {
            let body = '';
            response.setEncoding('utf8');
            response.on('data', (chunk) => (body += chunk));
            response.on('end', () => resolve(body));
        });
        request.on('timeout', () => request.destroy(new Error('no answer in 2 s')));
        request.on('error', reject);
    });
}

// The floor: the same bytes from a server that does nothing else.
const FLOOR_SERVER = `
const http = require('node:http');
const body = process.argv[1];
const server = http.createServer((request, response) => {
    request.resume();
    response.writeHead(200, { 'Content-Type': 'application/json; charset=utf-8',
        'Content-Length': Buffer.byteLength(body), 'Cache-Control': 'no-store' });
    response.end(body);
});
server.listen(0, '127.0.0.1', () => process.stdout.write(server.address().port + '\\n'));
process.on('SIGTERM', () => process.exit(0));`;

async function startFloor(size) {
    const padding = 'x'.repeat(Math.max(0, size - JSON.stringify({ padding: '' }).length));
    const child = spawn(process.execPath, ['-e', FLOOR_SERVER, JSON.stringify({ padding })],
        { stdio: ['ignore', 'pipe', 'inherit'] });
    const [chunk] = await once(child.stdout, 'data');
    return { pid: child.pid, port: Number(String(chunk).trim()), stop: () => child.kill('SIGTERM') };
}

async function main() {
    const companion = { pid: Number(options['companion-pid']), port: Number(options.port) };
    const agent = new http.Agent({ keepAlive: true, maxSockets: 1 });
    let document = '';
    for (let waited = 0; !document; waited += 100) {
        document = await get(agent, companion.port).catch(() => '');
        if (!document && waited > 15000) throw new Error('the companion did not answer in 15 s');
        if (!document) await delay(100);
    }
    const floor = await startFloor(Buffer.byteLength(document));
    const floorAgent = new http.Agent({ keepAlive: true, maxSockets: 1 });
    await get(floorAgent, floor.port);
    await delay(2000); // both settled after their first answers

    const servers = [companion, floor];
    const before = servers.map((s) => cpuTicks(s.pid));
    const started = process.hrtime.bigint();
    const requests = Math.round(seconds * rate);
    for (let i = 0; i < requests; i++) {
        await Promise.all([get(agent, companion.port), get(floorAgent, floor.port)]);
        const next = Number(started) / 1e6 + ((i + 1) * 1000) / rate;
        await delay(Math.max(0, next - Number(process.hrtime.bigint()) / 1e6));
    }
    const elapsed = Number(process.hrtime.bigint() - started) / 1e9;
    const [value, base] = servers.map((s, i) => (100 * (cpuTicks(s.pid) - before[i])) / TICKS_PER_SECOND / elapsed);
    floor.stop();
    agent.destroy();
    floorAgent.destroy();

    // companion-cpu.sh turns this line into the table's row.
    console.log(`MEASURED\t${value.toFixed(4)}\t${base.toFixed(4)}\t${Buffer.byteLength(document)}`);
    console.log(`(CPU as a share of one core; ${os.cpus().length} cores)`);
}

main().catch((error) => {
    console.error(`companion-cpu: ${error.message}`);
    process.exitCode = 2;
});
