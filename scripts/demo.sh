#!/usr/bin/env bash
# Installs what is missing, builds the programs, creates the demo project
# demo/demo.ovs when it is missing and shows it: its numbers with ovopc, then
# the studio on it. Without a display the studio runs on a virtual X server
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

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR="$(mktemp -d /tmp/ovxdg.XXXXXX)"
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi

studio="build/apps/studio/ovstudio"
if [ -z "${DISPLAY:-}" ]; then
    screenshot="demo/screenshot.png"
    echo "No display: running the studio on a virtual X server for a screenshot."
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1400x900x24" \
        "$studio" --screenshot "$screenshot" "$project"
    echo "Screenshot of the studio: $root/$screenshot"
else
    "$studio" "$project"
fi
