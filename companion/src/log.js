'use strict';
// The companion's log: one line per message appended to pylon-companion.log,
//   <ISO-8601 UTC with milliseconds> [pylon-companion][<module>] <message>[ <compact JSON metadata>]
// The menu-bar application's diagnostic report reads these lines, so the shape must stay as it is.
// Lines may also be copied to a stream (`echo`): main.js decides when (a terminal, or when asked),
// because a service's standard output goes to the journal and would keep every line twice.

const fs = require('node:fs');
const path = require('node:path');

function formatLine(date, module, message, metadata) {
    const suffix = metadata && Object.keys(metadata).length ? ' ' + JSON.stringify(metadata) : '';
    return `${date.toISOString()} [pylon-companion][${module}] ${message}${suffix}`;
}

class CompanionLog {
    constructor(file, { echo = null, clock = () => new Date() } = {}) {
        this.file = file;
        this.echo = echo;
        this.clock = clock;
        this.failureReported = false;
        // A reader that went away must not take the process down with EPIPE.
        if (echo && typeof echo.on === 'function') echo.on('error', () => {});
    }

    write(module, message, metadata) {
        const line = formatLine(this.clock(), module, message, metadata) + '\n';
        this.append(line);
        if (this.echo) this.echo.write(line);
    }

    // Appending per line keeps working when the file or its folder is removed while we run
    // (the application's uninstall deletes its data folder): both are created again.
    append(line) {
        try {
            fs.appendFileSync(this.file, line);
        } catch (error) {
            if (error.code !== 'ENOENT') return this.reportFailure(error);
            try {
                fs.mkdirSync(path.dirname(this.file), { recursive: true });
                fs.appendFileSync(this.file, line);
            } catch (retryError) {
                this.reportFailure(retryError);
            }
        }
    }

    reportFailure(error) {
        if (this.failureReported) return;
        this.failureReported = true;
        process.stderr.write(`pylon-companion: cannot write ${this.file}: ${error.message}\n`);
    }
}

module.exports = { CompanionLog, formatLine };
