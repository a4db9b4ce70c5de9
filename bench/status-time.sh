#!/usr/bin/env bash
# Wall time of `Pylon --status` beside its floor: status_floor (StatusFloor.cpp), a minimal Qt
# program making the same GET and JSON decode. Both run in turn against the same stand-in companion
# (tests/package/fake-companion.py), RUNS times each; the medians are compared. Prints one row of
# the benchmark table (bench/result-line), goal 1.5x the floor. Also checks that --status left
# nothing in its home (no log file, no settings).
#
#   bench/status-time.sh [BUILD_DIR] [SECONDS]      (SECONDS is ignored; RUNS=40 by default)
#
# Runs inside a network namespace of its own (unshare -n, loopback up) with a temporary HOME, with
# the process service backend. Needs root for unshare; without it the row says "not run".
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-build}" && pwd)
runs=${RUNS:-40}
measure="Pylon --status wall time, median of $runs"
row() { "$here/result-line" --max-ratio 1.5 "$@"; }

pylon="$build/Pylon.app/Contents/MacOS/Pylon"
floor_program="$build/bench/status_floor"
for program in "$pylon" "$floor_program"; do
    [[ -x $program ]] || { row --not-run "no $program (build first)" "$measure" ms; exit 1; }
done
if [[ -z ${PYLON_BENCH_NAMESPACE:-} ]]; then
    if ! unshare -n true 2>/dev/null; then
        row --not-run "needs root for unshare -n" "$measure" ms
        exit 1
    fi
    exec unshare -n env PYLON_BENCH_NAMESPACE=1 "$0" "$@"
fi
ip link set lo up

work=$(mktemp -d)
companion_pid=""
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    [[ -n $companion_pid ]] && kill "$companion_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" TMPDIR="$work/tmp" PYLON_SERVICE_BACKEND=process
mkdir -p "$HOME" "$TMPDIR"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_STATE_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS

python3 "$(dirname "$here")/tests/package/fake-companion.py" 47150 &
companion_pid=$!
for _ in $(seq 50); do "$floor_program" 47150 >/dev/null 2>&1 && break; sleep 0.1; done

millis() { date +%s%N; }
pylon_times=() floor_times=()
for _ in $(seq "$runs"); do
    start=$(millis)
    "$pylon" --status >/dev/null 2>&1 || { row --not-run "Pylon --status failed" "$measure" ms; exit 1; }
    pylon_times+=($(($(millis) - start)))
    start=$(millis)
    "$floor_program" 47150 >/dev/null 2>&1 || { row --not-run "status_floor failed" "$measure" ms; exit 1; }
    floor_times+=($(($(millis) - start)))
done
left=$(find "$HOME" -mindepth 1 | head -n 3)
if [[ -n $left ]]; then
    row --not-run "--status left files behind: $left" "$measure" ms
    exit 1
fi
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] / 1e6 }'; }
row "$measure" ms "$(median "${pylon_times[@]}")" "$(median "${floor_times[@]}")"
