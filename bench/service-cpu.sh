#!/usr/bin/env bash
# CPU of `Pylon --headless` polling 4 times a second (the start-up phase), with each service
# backend: the systemd backend against the fake systemd user manager on a private session bus
# (value), beside the process backend (floor). Prints value, floor, ratio, goal and PASS/FAIL, and
# exits non-zero on FAIL.
#
#   bench/service-cpu.sh [build dir] [seconds per run] [rounds]      (default: build 30 2)
#
# Rounds alternate the backends, so a load that comes and goes on a shared machine weighs on both.
# Each run has its own private session bus (dbus-run-session), a temporary HOME and TMPDIR, and the
# whole benchmark its own network namespace with only lo up: the production companion listens on
# its fixed port 47150. In both runs the companion answers every poll: the process backend starts
# it itself; against the fake manager, which runs no units, the script starts it.
set -euo pipefail

goal=1.2
self=$(readlink -f "${BASH_SOURCE[0]}")

# One run, inside dbus-run-session: prints "<CPU ticks> <children of Pylon>".
measure() {
    local build=$1 backend=$2 seconds=$3
    local bundle="$build/Pylon.app"
    # Globals: the EXIT trap runs after this function has returned.
    pid="" companion="" fake=""
    home=$(mktemp -d)
    pidfile="$home/.local/share/Pylon/service/net.ostrand.PylonCompanion.pid"
    # shellcheck disable=SC2317 # run by the trap
    cleanup() {
        # Pylon first: while it runs, the process backend starts the companion again.
        if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; fi
        if [[ -n "$companion" ]]; then kill "$companion" 2>/dev/null; wait "$companion" 2>/dev/null; fi
        if [[ -f "$pidfile" ]]; then kill "$(cut -d' ' -f1 "$pidfile")" 2>/dev/null; fi
        if [[ -n "$fake" ]]; then kill "$fake" 2>/dev/null; wait "$fake" 2>/dev/null; fi
        rm -rf "$home"
        return 0
    }
    trap cleanup EXIT
    local environment=(env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_STATE_HOME -u XDG_CACHE_HOME
                       -u XDG_RUNTIME_DIR -u DISPLAY HOME="$home" TMPDIR="$home")
    if [[ $backend == systemd ]]; then
        "${environment[@]}" "$build/tests/support/fake-systemd-manager" > "$home/fake.out" &
        fake=$!
        for _ in $(seq 50); do grep -q ready "$home/fake.out" 2>/dev/null && break; sleep 0.1; done
        grep -q ready "$home/fake.out" || { echo "service-cpu: the fake systemd manager did not start" >&2; exit 1; }
        local helper
        helper=$(find "$bundle/Contents/Helpers" -path '*/MacOS/Pylon Companion' -type f | head -n 1)
        "${environment[@]}" "$helper" > /dev/null 2>&1 &
        companion=$!
        "${environment[@]}" "$bundle/Contents/MacOS/Pylon" --headless > "$home/out" 2>&1 &
    else
        "${environment[@]}" PYLON_SERVICE_BACKEND=process "$bundle/Contents/MacOS/Pylon" --headless > "$home/out" 2>&1 &
    fi
    pid=$!
    # Start-up (registration, Live detection, the companion's own start) is not what is measured.
    sleep 3
    grep -q "Companion running" "$home/out" ||
        { echo "service-cpu: $backend run: the companion does not answer" >&2; cat "$home/out" >&2; exit 1; }
    local log="$home/.local/share/Pylon/logs/pylon-menubar.log"
    grep -q "Service backend: $backend" "$log" ||
        { echo "service-cpu: Pylon did not choose the $backend backend" >&2; grep "Service backend" "$log" >&2; exit 1; }
    ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
    local before after
    before=$(ticks)
    sleep "$seconds"
    after=$(ticks)
    echo "$((after - before)) $(pgrep -c -P "$pid" || true)"
}

if [[ "${1:-}" == --measure ]]; then
    shift
    measure "$@"
    exit
fi

build=$(cd "${1:-build}" && pwd)
seconds=${2:-30}
rounds=${3:-2}
if [[ -z "${PYLON_BENCH_NETNS:-}" ]]; then
    unshare=(unshare -n)
    [[ $(id -u) -eq 0 ]] || unshare=(unshare -rn)
    exec "${unshare[@]}" env PYLON_BENCH_NETNS=1 "$self" "$build" "$seconds" "$rounds"
fi
ip link set lo up

hz=$(getconf CLK_TCK)
declare -A total=([systemd]=0 [process]=0) children=([systemd]=0 [process]=0)
for ((round = 1; round <= rounds; ++round)); do
    for backend in process systemd; do
        # (dbus-daemon's complaint that it may not raise its file limit is noise.)
        read -r used spawned < <(dbus-run-session -- "$self" --measure "$build" "$backend" "$seconds" \
            2> >(grep -v "Failed to set fd limit" >&2))
        total[$backend]=$((total[$backend] + used))
        children[$backend]=$((children[$backend] + spawned))
        awk -v b="$backend" -v r="$round" -v t="$used" -v hz="$hz" -v s="$seconds" \
            'BEGIN { printf "round %d %-8s %.2f s CPU over %d s (%.2f%% of one core)\n", r, b, t / hz, s, 100 * t / hz / s }'
    done
done

awk -v v="${total[systemd]}" -v f="${total[process]}" -v hz="$hz" -v s=$((seconds * rounds)) -v goal="$goal" \
    -v cv="${children[systemd]}" 'BEGIN {
    printf "value (systemd backend, fake manager): %.2f s CPU in %d s (%.2f%% of one core)\n", v / hz, s, 100 * v / hz / s
    printf "floor (process backend):               %.2f s CPU in %d s (%.2f%% of one core)\n", f / hz, s, 100 * f / hz / s
    printf "children of Pylon with the systemd backend: %d\n", cv
}'
[[ ${children[systemd]} -eq 0 ]] || { echo "service-cpu: the systemd backend started child processes" >&2; exit 1; }
# The table row (bench/run-all collects it): the share of one core, systemd against the process backend.
percent() { awk -v t="$1" -v hz="$hz" -v s=$((seconds * rounds)) 'BEGIN { printf "%.4f", 100 * t / hz / s }'; }
exec "$(dirname "$self")/result-line" --max-ratio "$goal" "Pylon --headless CPU at 4 Hz, systemd backend" % \
    "$(percent "${total[systemd]}")" "$(percent "${total[process]}")"
