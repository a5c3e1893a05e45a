#!/usr/bin/env bash
# Installs every Debian package the project needs, and the npm packages of
# the OPC UA helper as its lock file pins them. Safe to run again: it only
# installs what is missing or out of date.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev libgl-dev
  libsqlite3-dev sqlite3 libzip-dev
  postgresql postgresql-contrib libpq-dev  # server projects; the tests start their own throwaway server
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core xvfb xauth xdotool imagemagick
  clang libclang-rt-14-dev lld  # lld links in a quarter of the time of ld
)
# Node.js runs the OPC UA helper: Debian's, unless a node is there already.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The helper's packages, exactly as the lock file has them; again only when
# the lock file changed since the last install.
helper="$root/apps/opcua-helper"
stamp="$helper/node_modules/.installed-lock.json"
if ! cmp -s "$helper/package-lock.json" "$stamp"; then
  echo "setup: installing the OPC UA helper's npm packages"
  (cd "$helper" && npm ci --omit=dev --no-audit --no-fund --loglevel=error >/dev/null)
  cp "$helper/package-lock.json" "$stamp"
fi
