#!/usr/bin/env bash
# CPU use of the companion answering GET /status four times a second, beside its floor: a bare
# Node.js HTTP server answering a JSON body of the same size. Both run at the same time and are
# polled by one client, so a busy machine weighs on both alike. Prints one row of the benchmark
# table (bench/result-line: CPU as a share of one core, goal 1.5x the floor) and the machine's load.
#
#   bench/companion-cpu.sh [BUILD_DIR] [SECONDS]      (defaults: build, 60)
#
# The development bundle's companion runs as its launcher starts it (its accelerator module
# included) with an X server of its own, as in a desktop session, inside a network namespace of
# its own (unshare -n, loopback up; its fixed port 47250 never meets a real companion) with a
# temporary HOME and TMPDIR. Needs root for unshare (without it the row says "not run"), Xvfb and
# node.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
measure="companion GET /status at 4 Hz, ${seconds} s"
row() { "$here/result-line" --max-ratio 1.5 "$@"; }

if [[ -z ${PYLON_BENCH_NAMESPACE:-} ]]; then
    if ! unshare -n true 2>/dev/null; then
        row --not-run "needs root for unshare -n" "$measure" %
        exit 1
    fi
    exec unshare -n env PYLON_BENCH_NAMESPACE=1 "$0" "$build" "$seconds"
fi
ip link set lo up

work=$(mktemp -d)
xvfb=""
companion=""
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    for pid in $companion $xvfb; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" TMPDIR="$work/tmp"
mkdir -p "$HOME" "$TMPDIR"
unset XDG_DATA_HOME PYLON_COMPANION_PORT PYLON_ACCELERATOR_PATH PYLON_COMPANION_STATUS_MAX_AGE_MS

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || { row --not-run "Xvfb did not start" "$measure" %; exit 1; }
DISPLAY=":$(cat "$work/display")"
export DISPLAY

name="Pylon Companion-Dev"
launcher="$build/Pylon-Dev.app/Contents/Helpers/$(uname -m)/$name.app/Contents/MacOS/$name"
[[ -x $launcher ]] || { row --not-run "no companion at $launcher (build first)" "$measure" %; exit 1; }
"$launcher" >/dev/null 2>&1 &
companion=$!

status=0
measured=$(node "$here/companion-cpu.js" --companion-pid "$companion" --port 47250 --seconds "$seconds") || status=$?
echo "$measured" | grep -v '^MEASURED' || true
processes=$(find /proc -maxdepth 1 -name '[0-9]*' | wc -l)
echo "processes on the machine: $processes; load:$(uptime | sed 's/.*load average://')"
IFS=$'\t' read -r _ value floor bytes < <(echo "$measured" | grep '^MEASURED' || true)
if [[ $status -ne 0 || -z ${value:-} ]]; then
    row --not-run "companion-cpu.js failed (exit $status)" "$measure" %
    exit 1
fi
echo "status document: $bytes bytes"
row "$measure" % "$value" "$floor"
