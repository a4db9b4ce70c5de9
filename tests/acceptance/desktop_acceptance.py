#!/usr/bin/env python3
"""The built Pylon as a new Linux user meets it: a real X server (Xvfb) with a window manager
(openbox), a session bus, and either a real XEmbed tray (trayer) or no tray at all. Driven only by
real input through xdotool and read only from outside (windows, files, logs).

    desktop_acceptance.py BUILD_DIR tray|notray

Runs inside its own network and process namespaces (the companion binds its fixed port; every
process started here ends with the namespace). Fails, never skips, when a tool is missing.
"""

import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

TOOLS = ["Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "dbus-daemon", "unshare", "ip"]
WAIT = 30.0


class Failure(Exception):
    pass


def folders_under_tmp(paths):
    """The folders directly in /tmp that hold any of `paths` (a checkout or build tree there)."""
    return sorted({os.path.realpath(path).split("/")[2] for path in paths
                   if os.path.realpath(path).startswith("/tmp/")})


def reexec_in_namespaces():
    """Once: again as pid 1 of fresh network, pid and mount namespaces, with loopback up and a /tmp
    of its own. The X server's lock file and socket live in /tmp: in a pid namespace another
    server's lock would look stale, so a shared /tmp would let this one take over its display. A
    checkout or build tree in /tmp stays where it is: its folder is mounted again into the new /tmp,
    reached through a descriptor of the old one opened before it was covered (a path mount must not
    canonicalize, which would lead into the new /tmp)."""
    if os.environ.get("PYLON_ACCEPTANCE_NS") == "1":
        return
    env = dict(os.environ, PYLON_ACCEPTANCE_NS="1")
    env.pop("TMPDIR", None)
    here = os.path.dirname(os.path.abspath(sys.argv[0]))
    keep = folders_under_tmp([here] + [arg for arg in sys.argv[1:] if os.path.isdir(arg)])
    remount = "".join(" && mkdir /tmp/{0} && mount --no-canonicalize --bind /proc/self/fd/3/{0} /tmp/{0}"
                      .format(shlex.quote(name)) for name in keep)
    script = ("exec 3</tmp && mount -t tmpfs -o mode=1777 tmpfs /tmp" + remount +
              " && exec 3<&- && ip link set lo up && exec \"$0\" \"$@\"")
    command = ["unshare", "--net", "--pid", "--fork", "--mount-proc", "sh", "-c", script,
               sys.executable, os.path.abspath(sys.argv[0])] + sys.argv[1:]
    sys.exit(subprocess.call(command, env=env))


class Session:
    """The X server, the bus, the window manager, the tray and Pylon, with a private home."""

    def __init__(self, build, with_tray, dark_panel=False):
        self.build = build
        self.with_tray = with_tray
        self.dark_panel = dark_panel
        self.processes = []
        self.root = tempfile.mkdtemp(prefix="pylon-acceptance-")
        self.home = os.path.join(self.root, "home")
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(os.path.join(self.home, "Desktop"))
        os.makedirs(self.runtime, mode=0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.home,
            "TMPDIR": os.path.join(self.root, "tmp"),
            "XDG_RUNTIME_DIR": self.runtime,
            "PYLON_SERVICE_BACKEND": "process",
            "QT_QPA_PLATFORM": "xcb",
            "LANG": "C.UTF-8",
        }
        # A sanitizer build's Pylon reports with the options its test run chose (no leak checking of
        # the application: scripts/run-sanitized-tests), not with the runtime's defaults.
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "ASAN_SYMBOLIZER_PATH"):
            if name in os.environ:
                self.env[name] = os.environ[name]
        os.makedirs(self.env["TMPDIR"])
        self.executable = os.path.join(build, "Pylon.app", "Contents", "MacOS", "Pylon")

    def start(self, command, **kwargs):
        process = subprocess.Popen(command, env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=open(os.path.join(self.root, os.path.basename(command[0]) + ".err"), "ab"),
                                   **kwargs)
        self.processes.append(process)
        return process

    def start_display(self):
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1000x24", "-nolisten", "tcp"],
                                pass_fds=(write,), stdout=subprocess.DEVNULL,
                                stderr=open(os.path.join(self.root, "Xvfb.err"), "ab"))
        self.processes.append(xvfb)
        os.close(write)
        # Read up to the newline: Xvfb writes it separately and dies if the pipe is closed before.
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                break
            number += chunk
        number = number.decode().strip()
        os.close(read)
        if not number:
            raise Failure("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"], env=self.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.processes.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        self.start(["openbox", "--sm-disable"])
        wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(["xprop", "-root"]), "openbox to manage the screen")
        if self.with_tray:
            # A light grey panel, or a dark one (#202020) for checking the tray icon on both.
            colours = ["--transparent", "true", "--alpha", "0", "--tint", "0x202020"] if self.dark_panel else []
            self.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                        "--height", "28"] + colours)
            wait_for(self.tray_panel, "the trayer tray")

    def run(self, command, check=False):
        done = subprocess.run(command, env=self.env, capture_output=True, text=True, timeout=WAIT)
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(command)} failed: {done.stderr.strip()}")
        return done.stdout

    def tray_panel(self):
        """trayer's panel, which holds the tray items."""
        found = self.run(["xdotool", "search", "--name", "^panel$"]).split()
        return found[0] if found else None

    def find_windows(self, criteria):
        return self.run(["xdotool", "search", "--onlyvisible"] + criteria).split()

    def window_named(self, name):
        found = self.find_windows(["--name", f"^{name}$"])
        return found[0] if found else None

    def key(self, *keys, window=None):
        if window:
            self.run(["xdotool", "windowactivate", "--sync", window])
        self.run(["xdotool", "key", "--clearmodifiers"] + list(keys), check=True)
        time.sleep(0.3)

    def type(self, text):
        self.run(["xdotool", "type", "--delay", "15", text], check=True)

    def picture(self, window):
        """The window's pixels, to tell pages apart."""
        return subprocess.run(["import", "-window", window, "rgb:-"], env=self.env, capture_output=True,
                              timeout=WAIT).stdout

    def launch_pylon(self):
        return self.start([self.executable])

    def cleanup(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
        for process in reversed(self.processes):
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(self.root, ignore_errors=True)


def wait_for(condition, what, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    raise Failure(f"timed out waiting for {what}")


def write_live_preferences(home):
    """One Live 12 whose User Library cannot take the control script: its Remote Scripts is a file."""
    library = os.path.join(home, "Music", "Ableton", "User Library")
    os.makedirs(library)
    with open(os.path.join(library, "Remote Scripts"), "w") as blocker:
        blocker.write("not a folder\n")
    preferences = os.path.join(home, "Library", "Preferences", "Ableton", "Live 12.1.5")
    os.makedirs(preferences)
    with open(os.path.join(preferences, "Library.cfg"), "w") as config:
        config.write('<?xml version="1.0" encoding="UTF-8"?>\n<Ableton MajorVersion="5"><ContentLibrary>'
                     '<UserLibrary><LibraryProject><ProjectPath Value="%s" /><ProjectName Value="User Library" />'
                     '</LibraryProject></UserLibrary></ContentLibrary></Ableton>' % os.path.dirname(library))


def settings_text(session):
    path = os.path.join(session.home, ".config", "net.ostrand.Pylon.conf")
    if not os.path.exists(path):
        for folder, _, files in os.walk(os.path.join(session.home, ".config")):
            for name in files:
                if name.startswith("net.ostrand.Pylon"):
                    path = os.path.join(folder, name)
    try:
        with open(path) as settings:
            return settings.read()
    except OSError:
        return ""


def first_run_through_onboarding(session):
    window = wait_for(lambda: session.window_named("Pylon"), "the Pylon window")
    properties = session.run(["xprop", "-id", window])
    if "_NET_WM_ICON(CARDINAL)" not in properties:
        raise Failure("the window has no icon")
    if 'WM_CLASS(STRING) = "Pylon", "net.ostrand.Pylon"' not in properties:
        raise Failure("the window's class does not name its desktop entry:\n" + properties)
    # Enter on each page, the first one included, without Tab first; every page looks different.
    before = session.picture(window)
    for page in range(5):
        session.key("Return", window=window)
        if "acceptedEulaVersion=1.2" in settings_text(session):
            break
        after = wait_for(lambda: (lambda now: now if now != before else None)(session.picture(window)),
                         f"onboarding page {page + 2} after Enter")
        before = after
    wait_for(lambda: "acceptedEulaVersion=1.2" in settings_text(session), "onboarding to complete")
    return window


def installation_failure_shows_its_alert(session, window):
    # Alt+I presses "Install for Live 12" in the setup window.
    wait_for(lambda: session.window_named("Pylon"), "the setup window")
    session.key("alt+i", window=window)
    alert = wait_for(lambda: session.window_named("Error"), "the installation failure's alert")
    if not session.with_tray:
        transient = session.run(["xprop", "-id", alert, "WM_TRANSIENT_FOR"])
        if "window id" not in transient:
            raise Failure("without a tray the alert is not over the window: " + transient)
    session.key("Return", window=alert)
    wait_for(lambda: not session.window_named("Error"), "the alert to close")


def diagnostic_report_through_the_file_dialog(session, window):
    target = os.path.join(session.home, "Desktop", "report-from-dialog.zip")
    session.key("alt+h", window=window)
    session.key("s")
    dialog = wait_for(lambda: session.window_named("Save diagnostic report"), "the save dialog")
    session.run(["xdotool", "windowactivate", "--sync", dialog])
    session.key("ctrl+a")
    session.type(target)
    session.key("Return")
    wait_for(lambda: os.path.isfile(target) and os.path.getsize(target) > 0, "the saved report")
    with zipfile.ZipFile(target) as archive:
        names = archive.namelist()
    if not any(name.endswith("info.json") for name in names):
        raise Failure(f"the saved archive lacks info.json: {names}")
    wait_for(lambda: not session.window_named("Save diagnostic report"), "the save dialog to close")


def tray_item_is_shown(session):
    """An icon docked in trayer's panel: a window below the panel that is Pylon's."""
    panel = session.tray_panel()

    def docked():
        tree = session.run(["xwininfo", "-tree", "-id", panel])
        children = [line.split()[0] for line in tree.splitlines()[4:] if line.strip().startswith("0x")]
        return any("net.ostrand.Pylon" in session.run(["xprop", "-id", child, "WM_CLASS"]) for child in children)

    wait_for(docked, "Pylon's tray item in the tray")


def closing_and_reopening_without_a_tray(session, window, pylon):
    session.key("alt+F4", window=window)
    notice = wait_for(lambda: session.window_named("Pylon keeps running"), "the keeps-running notice")
    session.key("Return", window=notice)
    wait_for(lambda: not session.window_named("Pylon"), "the window to close")
    if pylon.poll() is not None:
        raise Failure("closing the window ended Pylon")
    second = session.launch_pylon()
    if second.wait(timeout=WAIT) != 0:
        raise Failure("a second launch did not hand over to the running Pylon")
    window = wait_for(lambda: session.window_named("Pylon"), "the window to come back")
    session.key("alt+F4", window=window)
    time.sleep(2)
    if session.window_named("Pylon keeps running"):
        raise Failure("the keeps-running notice came a second time")
    if pylon.poll() is not None:
        raise Failure("closing the window again ended Pylon")


def background_start_raises_no_window(session):
    """As at login: Pylon --background puts its tray item up and raises no window. (Without a tray
    the alerts of its start, such as the failed installation left by an earlier step, open over the
    window, as they must.)"""
    pylon = session.start([session.executable, "--background"])
    tray_item_is_shown(session)
    time.sleep(2)
    if pylon.poll() is not None:
        raise Failure(f"Pylon --background ended with {pylon.returncode}")
    if session.window_named("Pylon"):
        raise Failure("Pylon --background raised its window")
    return pylon


def quit_through_the_menu(session, pylon):
    if pylon.poll() is not None:
        raise Failure(f"Pylon ended early with {pylon.returncode}")
    window = session.window_named("Pylon")
    if not window:
        session.launch_pylon().wait(timeout=WAIT)
        window = wait_for(lambda: session.window_named("Pylon"), "the window to come forward")
    session.key("ctrl+q", window=window)
    if pylon.wait(timeout=WAIT) != 0:
        raise Failure(f"Pylon ended with {pylon.returncode} on Quit")


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in ("tray", "notray"):
        print(__doc__, file=sys.stderr)
        return 2
    with_tray = sys.argv[2] == "tray"
    missing = [tool for tool in TOOLS + (["trayer"] if with_tray else []) + ["import"] if not shutil.which(tool)]
    if missing:
        print(f"FAIL: missing {', '.join(missing)} (scripts/install-deps installs them)", file=sys.stderr)
        return 1
    reexec_in_namespaces()
    session = Session(os.path.abspath(sys.argv[1]), with_tray)
    steps = []
    try:
        session.start_display()
        write_live_preferences(session.home)
        pylon = session.launch_pylon()
        window = first_run_through_onboarding(session)
        steps.append("onboarding by Enter on every page to the setup window")
        if with_tray:
            tray_item_is_shown(session)
            steps.append("tray item in trayer")
        installation_failure_shows_its_alert(session, window)
        steps.append("installation failure alert")
        diagnostic_report_through_the_file_dialog(session, window)
        steps.append("Help > Save Diagnostic Report through the file dialog")
        if not with_tray:
            closing_and_reopening_without_a_tray(session, window, pylon)
            steps.append("close, notice once, reopen by a second launch")
        quit_through_the_menu(session, pylon)
        steps.append("Quit from the window's menu by its shortcut")
        if with_tray:
            pylon = background_start_raises_no_window(session)
            steps.append("--background start: tray item, no window")
            quit_through_the_menu(session, pylon)
            steps.append("a second launch brings the window of the background start forward; Quit")
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"FAIL ({sys.argv[2]}): {failure}", file=sys.stderr)
        for name in os.listdir(session.root):
            if name.endswith(".err"):
                with open(os.path.join(session.root, name), errors="replace") as log:
                    print(f"--- {name}\n{log.read()[-3000:]}", file=sys.stderr)
        return 1
    finally:
        session.cleanup()
    for step in steps:
        print(f"ok ({sys.argv[2]}): {step}")
    print(f"{len(steps)} passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
