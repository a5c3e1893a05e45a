#!/usr/bin/env bash
# Installs what is missing, builds the programs, creates the demo project
# demo/demo.ovs when it is missing and shows it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build --target ovopc

mkdir -p demo
project="demo/demo.ovs"
[ -f "$project" ] || build/apps/cli/ovopc new "$project" --demo
build/apps/cli/ovopc info "$project"
