#!/usr/bin/env bash
# Installs what is missing, builds the programs, creates the demo project
# demo/demo.ovs when it is missing and shows it: its numbers with ovopc, then
# the studio on it, with the demo's OPC UA server running beside it and the
# weather station's items online. Without a display the studio runs on a virtual X server
# and saves a screenshot to demo/screenshot.png instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build --target ovopc ovstudio

mkdir -p demo
project="demo/demo.ovs"
[ -f "$project" ] || build/apps/cli/ovopc new "$project" --demo
build/apps/cli/ovopc info "$project"

# The demo's OPC UA server on a loopback port: the demo plant's address space
# and, with --alive, the weather station whose values change by themselves,
# so the Weather device can be browsed and its items shown online.
server_log="demo/opcua-server.log"
node apps/opcua-helper/server.js --port 48400 --nodeset apps/opcua-helper/demo.NodeSet2.xml --alive >"$server_log" 2>&1 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q '"ready"' "$server_log" && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
if grep -q '"ready"' "$server_log"; then
    echo "OPC UA demo server on opc.tcp://127.0.0.1:48400 (log: $server_log)"
else
    echo "warning: the OPC UA demo server did not start (see $server_log); the Weather device can be neither browsed nor shown online." >&2
fi

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR="$(mktemp -d /tmp/ovxdg.XXXXXX)"
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi

studio="build/apps/studio/ovstudio"
# With its server running, the studio opens on the weather station online.
online=()
grep -q '"ready"' "$server_log" && online=(--script scripts/demo-online.js)
if [ -z "${DISPLAY:-}" ]; then
    screenshot="demo/screenshot.png"
    echo "No display: running the studio on a virtual X server for a screenshot."
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1400x900x24" \
        "$studio" --screenshot "$screenshot" "${online[@]}" "$project"
    echo "Screenshot of the studio: $root/$screenshot"
else
    "$studio" "${online[@]}" "$project"
fi
