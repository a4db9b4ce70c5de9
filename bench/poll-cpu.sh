#!/usr/bin/env bash
# CPU use of Pylon's main job while it polls the companion four times a second (its start-up phase),
# beside its floor: poll_floor (PollFloor.cpp), a minimal Qt program making the same GET and JSON
# decode at the same rate. Both poll the same companion over the same stretch of time, so a busy
# machine weighs on both alike. Prints one row of the benchmark table (bench/result-line): CPU as a
# share of one core, goal 1.5x the floor.
#
#   bench/poll-cpu.sh [BUILD_DIR] [SECONDS]      (defaults: build, 60; at most 170, as the 4 Hz
#                                                 phase ends 180 s after the start)
#
# The development bundle's `Pylon --headless` runs with the process service backend, so it registers
# and starts the bundled companion itself, inside a network namespace of its own (unshare -n,
# loopback up; the fixed port 47250 never meets a real companion) with a temporary HOME and TMPDIR.
# Needs root for unshare; without it the row says "not run".
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
measure="Pylon --headless CPU at 4 Hz, ${seconds} s"
row() { "$here/result-line" --max-ratio 1.5 "$@"; }

if ((seconds < 1 || seconds > 170)); then
    echo "poll-cpu: SECONDS must be 1 to 170" >&2
    exit 2
fi
pylon="$build/Pylon-Dev.app/Contents/MacOS/Pylon"
floor_program="$build/bench/poll_floor"
for program in "$pylon" "$floor_program"; do
    [[ -x $program ]] || { row --not-run "no $program (build first)" "$measure" %; exit 1; }
done
if [[ -z ${PYLON_BENCH_NAMESPACE:-} ]]; then
    if ! unshare -n true 2>/dev/null; then
        row --not-run "needs root for unshare -n" "$measure" %
        exit 1
    fi
    exec unshare -n env PYLON_BENCH_NAMESPACE=1 "$0" "$build" "$seconds"
fi
ip link set lo up

work=$(mktemp -d)
pylon_pid="" floor_pid=""
pidfile="$work/home/.local/share/Pylon-Dev/service/net.ostrand.PylonCompanion-Dev.pid"
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    for pid in $floor_pid $pylon_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    # The companion runs detached, in a session and process group of its own.
    if [[ -f $pidfile ]]; then
        companion=$(cut -d' ' -f1 "$pidfile")
        group=$(ps -o pgid= -p "$companion" | tr -d ' ')
        [[ -n $group && $group != "$(ps -o pgid= -p $$ | tr -d ' ')" ]] && kill -- "-$group" 2>/dev/null
        kill "$companion" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" TMPDIR="$work/tmp"
mkdir -p "$HOME" "$TMPDIR"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_STATE_HOME XDG_CACHE_HOME DISPLAY WAYLAND_DISPLAY PYLON_COMPANION_PORT

PYLON_SERVICE_BACKEND=process "$pylon" --headless >"$work/pylon.out" 2>&1 &
pylon_pid=$!

# The companion answers once Pylon has registered and started it.
answers() {
    timeout 3 bash -c 'exec 3<>/dev/tcp/127.0.0.1/47250 &&
        printf "GET /status HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n" >&3 &&
        head -n 1 <&3 | grep -q "^HTTP/1.1 200"'
}
for _ in $(seq 150); do answers 2>/dev/null && break; sleep 0.2; done
if ! answers 2>/dev/null; then
    row --not-run "the companion did not answer in 30 s" "$measure" %
    exit 1
fi

"$floor_program" 47250 $((seconds + 5)) >"$work/floor.out" 2>&1 &
floor_pid=$!
sleep 2 # both settled after their first answers

ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; } # utime + stime, all threads
now() { date +%s.%N; }
pylon_before=$(ticks "$pylon_pid")
floor_before=$(ticks "$floor_pid")
started=$(now)
sleep "$seconds"
pylon_after=$(ticks "$pylon_pid")
floor_after=$(ticks "$floor_pid")
ended=$(now)

wait "$floor_pid" || true
floor_pid=""
read -r answered _ requested _ <"$work/floor.out" || true
if ((${answered:-0} * 10 < ${requested:-1} * 9)); then
    row --not-run "the floor got ${answered:-no} answers to ${requested:-its} requests" "$measure" %
    exit 1
fi
if ! kill -0 "$pylon_pid" 2>/dev/null; then
    row --not-run "Pylon exited: $(tail -n 1 "$work/pylon.out")" "$measure" %
    exit 1
fi
hz=$(getconf CLK_TCK)
share() { awk -v t="$1" -v hz="$hz" -v s="$(awk -v a="$started" -v b="$ended" 'BEGIN { print b - a }')" \
    'BEGIN { printf "%.4f", 100 * t / hz / s }'; }
row "$measure" % "$(share $((pylon_after - pylon_before)))" "$(share $((floor_after - floor_before)))"
