#!/usr/bin/env bash
# CPU use of Pylon's main job over a stretch of polling: starts the development bundle's
# `Pylon --headless` in a throw-away home with the process service backend (so it registers and
# starts the bundled companion), lets it poll for SECONDS (default 60; the first 180 s are the
# 4 Hz start-up phase), and reports the CPU time Pylon used as a share of one core.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
home=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; [[ -f "$pidfile" ]] && kill "$(cut -d" " -f1 "$pidfile")" 2>/dev/null; rm -rf "$home"' EXIT
pidfile="$home/.local/share/Pylon-Dev/service/net.ostrand.PylonCompanion-Dev.pid"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_STATE_HOME -u XDG_CACHE_HOME HOME="$home" \
    PYLON_SERVICE_BACKEND=process "$build/Pylon-Dev.app/Contents/MacOS/Pylon" --headless >/dev/null 2>&1 &
pid=$!
sleep 2 # start-up: registration and the companion's own start are not what is measured
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "Pylon CPU over %d s of polling: %.3f s (%.2f%% of one core)\n", s, t / hz, 100 * t / hz / s }'
