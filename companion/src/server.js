'use strict';
// The companion's HTTP interface on the loopback address:
//   GET  /status               the status document
//   POST /permission/<name>    ask the system for a permission of this process ("accessibility")
// A known path with another method answers 405; every other path answers 404.

const http = require('node:http');

const LOOPBACK = '127.0.0.1';
const PERMISSION_PREFIX = '/permission/';

function send(response, code, body, headers = {}) {
    const text = JSON.stringify(body);
    response.writeHead(code, {
        'Content-Type': 'application/json; charset=utf-8',
        'Content-Length': Buffer.byteLength(text),
        'Cache-Control': 'no-store',
        ...headers,
    });
    response.end(text);
}

// The permission name as the path carries it, percent-decoded; null when it is not a single segment.
function permissionName(pathname) {
    if (!pathname.startsWith(PERMISSION_PREFIX)) return null;
    const raw = pathname.slice(PERMISSION_PREFIX.length);
    if (!raw || raw.includes('/')) return null;
    try {
        return decodeURIComponent(raw);
    } catch {
        return null;
    }
}

function createServer({ statusSource, accelerator, log }) {
    const requestPermission = (name) => {
        if (name !== 'accessibility') {
            log.write('permissions', `Permission "${name}" requested; nothing to ask for on this system`);
            return { permission: name, requested: false };
        }
        const granted = accelerator.isLoaded ? accelerator.requestAccessibility() : false;
        statusSource.invalidate(); // the answer shows in the next status
        log.write('permissions', 'Accessibility permission requested', {
            addonLoaded: accelerator.isLoaded,
            granted,
        });
        return { permission: name, requested: accelerator.isLoaded, granted };
    };

    const handle = (request, response) => {
        // Bodies are not used; drain them so keep-alive connections stay usable.
        request.resume();
        const { pathname } = new URL(request.url, `http://${LOOPBACK}`);
        if (pathname === '/status') {
            if (request.method !== 'GET') return send(response, 405, { error: 'method not allowed' }, { Allow: 'GET' });
            return send(response, 200, statusSource.current());
        }
        const name = permissionName(pathname);
        if (name !== null) {
            if (request.method !== 'POST') {
                return send(response, 405, { error: 'method not allowed' }, { Allow: 'POST' });
            }
            return send(response, 200, requestPermission(name));
        }
        send(response, 404, { error: 'not found' });
    };

    return http.createServer((request, response) => {
        try {
            handle(request, response);
        } catch (error) {
            log.write('companion-server', `Request ${request.method} ${request.url} failed: ${error.message}`);
            if (!response.headersSent) send(response, 500, { error: 'internal error' });
        }
    });
}

module.exports = { createServer, permissionName, LOOPBACK };
