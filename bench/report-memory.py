#!/usr/bin/env python3
"""Peak memory and time of `Pylon --save-diagnostic-report` when the companion's log has no line
breaks at all, for logs of 1 MB, 64 MB and 512 MB (or the sizes given, in MB). Floor: the largest
log's peak within 1.5 times the 1 MB one's, since only the last 2 MiB of a log are read.

    bench/report-memory.py [BUILD] [MB...]

A last run with the largest log in upper-case letters ending in "-" shows the scrubbing's time on
its hardest line. Each report is made by the production bundle in a throw-away home holding that log, as a child
process whose peak resident memory comes from wait4(2) (ru_maxrss); inside network and PID
namespaces of their own (tests/support/in-network-namespace), so the status poll meets no one.
Exits non-zero when the floor is not met.
"""
import os
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RATIO_FLOOR = 1.5


def write_log(path, megabytes, letter=b"a", end=b""):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    block = letter * (1 << 20)
    with open(path, "wb") as log:
        for _ in range(megabytes):
            log.write(block)
        log.write(end)


def report(build, megabytes, letter=b"a", end=b""):
    """(peak MB, seconds, bytes of the kept log) of one report with a log of `megabytes` MB."""
    home = tempfile.mkdtemp(prefix="pylon-report-bench-")
    try:
        write_log(os.path.join(home, ".local/share/Pylon/logs/pylon-companion.log"), megabytes, letter, end)
        environment = {key: value for key, value in os.environ.items() if not key.startswith("XDG_")}
        environment.update(HOME=home, PYLON_SERVICE_BACKEND="process", TMPDIR=home)
        archive = os.path.join(home, "report.zip")
        started = time.monotonic()
        child = subprocess.Popen([os.path.join(build, "Pylon.app/Contents/MacOS/Pylon"),
                                  "--save-diagnostic-report", archive], env=environment,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.monotonic() - started
        if os.waitstatus_to_exitcode(status) != 0:
            raise SystemExit(f"report with a {megabytes} MB log failed: {child.stderr.read().decode()}")
        with zipfile.ZipFile(archive) as saved:
            kept = sum(info.file_size for info in saved.infolist() if info.filename.endswith("pylon-companion.log"))
        return usage.ru_maxrss / 1024, seconds, kept
    finally:
        subprocess.run(["rm", "-rf", home], check=False)


def main(argv):
    if os.environ.get("PYLON_BENCH_IN_NAMESPACE") != "1":
        os.environ["PYLON_BENCH_IN_NAMESPACE"] = "1"
        wrapper = os.path.join(ROOT, "tests/support/in-network-namespace")
        os.execvp(sys.executable, [sys.executable, wrapper, sys.executable, os.path.abspath(__file__)] + argv)
    build = os.path.abspath(argv[0] if argv else os.path.join(ROOT, "build"))
    sizes = [int(size) for size in argv[1:]] or [1, 64, 512]
    with open("/proc/loadavg") as load:
        print(f"load average before: {' '.join(load.read().split()[:3])}")
    results = {}
    for megabytes in sizes:
        peak, seconds, kept = report(build, megabytes)
        results[megabytes] = peak
        print(f"log of {megabytes:4d} MB without line breaks: peak RSS {peak:6.1f} MB, {seconds:5.2f} s, "
              f"kept {kept / (1 << 20):4.2f} MiB of it")
    # The same largest log in upper-case letters ending in "-": what the key-like rule has to look
    # at hardest; its time must stay that of the others.
    peak, seconds, kept = report(build, max(sizes), b"A", b"-")
    print(f"log of {max(sizes):4d} MB of upper-case letters and one \"-\": peak RSS {peak:6.1f} MB, {seconds:5.2f} s")
    ratio = results[max(sizes)] / results[min(sizes)]
    print(f"peak with the {max(sizes)} MB log / with the {min(sizes)} MB log: {ratio:.2f} (floor {RATIO_FLOOR})")
    return 0 if ratio <= RATIO_FLOOR else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
