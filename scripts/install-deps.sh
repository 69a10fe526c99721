#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Safe to run again: it only
# calls apt-get when something is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3
  libdbd-xbase-perl python3-dbf python3-dbfread pxlib-dev
  fp-compiler fp-units-db
  qt6-base-dev qt6-svg-dev
  xvfb xauth x11-apps xdotool netpbm poppler-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
