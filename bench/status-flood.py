#!/usr/bin/env python3
"""Peak memory of `Pylon --headless` while something else answers on the companion's port in a hostile
way, for a stretch of polling (default 60 s). Floor: under 100 MB, whatever the peer does.

    bench/status-flood.py [BUILD] [SECONDS] [BEHAVIOUR...]

BEHAVIOUR is one or more of: flood (an endless body, as fast as the socket takes it; the default),
chunked (endless chunks), trickle (one byte every 20 ms, endlessly), headers (header lines without
end), document (a 10 MB status document). Each runs the production bundle in a throw-away home
with the process service backend (its companion cannot bind the held port), inside network and PID
namespaces of its own (tests/support/in-network-namespace), so the fixed port 47150 is free and
nothing outlives the run. Prints, per behaviour, the peak resident memory (VmHWM), the CPU time, the
polls answered and the bytes the peer managed to send, and exits non-zero when a peak is at or
above the floor.
"""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PORT = 47150
FLOOR_MB = 100
FILLER = b" " * 65536


class HostilePeer:
    def __init__(self, behaviour):
        self.behaviour = behaviour
        self.connections = 0
        self.sent = 0
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", PORT))
        self.listener.listen(16)
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return  # stopped
            self.connections += 1
            threading.Thread(target=self.serve, args=(connection,), daemon=True).start()

    def send(self, connection, data):
        connection.sendall(data)
        self.sent += len(data)

    def serve(self, connection):
        try:
            connection.recv(65536)
            if self.behaviour == "flood":
                self.send(connection, b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n{\"x\":\"")
                while True:
                    self.send(connection, FILLER)
            elif self.behaviour == "chunked":
                self.send(connection, b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")
                chunk = b"%x\r\n" % len(FILLER) + FILLER + b"\r\n"
                while True:
                    self.send(connection, chunk)
            elif self.behaviour == "trickle":
                self.send(connection, b"HTTP/1.1 200 OK\r\n\r\n")
                while True:
                    self.send(connection, b" ")
                    time.sleep(0.02)
            elif self.behaviour == "headers":
                self.send(connection, b"HTTP/1.1 200 OK\r\n")
                while True:
                    self.send(connection, b"X-Filler: " + FILLER[:1000] + b"\r\n")
            elif self.behaviour == "document":
                body = b"{\"pad\":\"" + b"x" * (10 * 1024 * 1024) + b"\"}"
                self.send(connection, b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        except OSError:
            pass
        finally:
            connection.close()


def stop_companion(home):
    """The companion the process backend started (it cannot bind the held port), by its pid file."""
    try:
        with open(os.path.join(home, ".local/share/Pylon/service/net.ostrand.PylonCompanion.pid")) as pid_file:
            os.kill(int(pid_file.read().split()[0]), signal.SIGKILL)
    except (OSError, ValueError, IndexError):
        pass


def status_field(pid, name):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(name + ":"):
                return int(line.split()[1])  # kB
    return 0


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(") ", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def run(build, seconds, behaviour):
    peer = HostilePeer(behaviour)
    home = tempfile.mkdtemp(prefix="pylon-flood-")
    environment = {key: value for key, value in os.environ.items()
                   if not key.startswith("XDG_") and key != "TMPDIR"}
    environment.update(HOME=home, PYLON_SERVICE_BACKEND="process", TMPDIR=home)
    pylon = subprocess.Popen([os.path.join(build, "Pylon.app/Contents/MacOS/Pylon"), "--headless"],
                             env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    samples = []
    try:
        end = time.monotonic() + seconds
        while time.monotonic() < end and pylon.poll() is None:
            time.sleep(1)
            samples.append(status_field(pylon.pid, "VmRSS"))
        peak = status_field(pylon.pid, "VmHWM")
        cpu = cpu_seconds(pylon.pid)
        alive = pylon.poll() is None
    finally:
        pylon.send_signal(signal.SIGTERM)
        try:
            pylon.wait(10)
        except subprocess.TimeoutExpired:
            pylon.kill()
        stop_companion(home)
        subprocess.run(["rm", "-rf", home], check=False)
    print(f"{behaviour:8s} {seconds:4d} s: peak RSS {peak / 1024:7.1f} MB (floor {FLOOR_MB} MB), "
          f"RSS at the end {samples[-1] / 1024 if samples else 0:6.1f} MB, CPU {cpu:5.1f} s, "
          f"{peer.connections} polls, peer sent {peer.sent / 1e6:9.1f} MB, still running: {'yes' if alive else 'NO'}")
    peer.listener.shutdown(socket.SHUT_RDWR)  # wakes the accepting thread, frees the port
    peer.listener.close()
    return alive and peak / 1024 < FLOOR_MB


def main(argv):
    if os.environ.get("PYLON_BENCH_IN_NAMESPACE") != "1":
        os.environ["PYLON_BENCH_IN_NAMESPACE"] = "1"
        wrapper = os.path.join(ROOT, "tests/support/in-network-namespace")
        os.execvp(sys.executable, [sys.executable, wrapper, sys.executable, os.path.abspath(__file__)] + argv)
    build = os.path.abspath(argv[0] if argv else os.path.join(ROOT, "build"))
    seconds = int(argv[1]) if len(argv) > 1 else 60
    behaviours = argv[2:] or ["flood"]
    with open("/proc/loadavg") as load:
        print(f"load average before: {' '.join(load.read().split()[:3])}")
    results = [run(build, seconds, behaviour) for behaviour in behaviours]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
