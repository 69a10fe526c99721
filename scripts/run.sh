#!/usr/bin/env bash
# Builds Railfolio and starts it on a sample collection. On the first run it installs what is
# missing, makes the collection in a folder under your home and, when the engine has no alias
# "rf" yet, points "rf" at that folder. The folder is also the working directory of the run, so
# the inventory and hobby shop tables are found there too.
#   RAILFOLIO_COLLECTION=DIR   use (or make) another collection folder
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
collection="${RAILFOLIO_COLLECTION:-$HOME/Railfolio/Sample Collection}"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target railfolio railfolio-db railfolio-sample delivered-data

tool="$root/build/tools/railfolio-db"
if [ ! -e "$collection/Inven.DB" ]; then
  mkdir -p "$(dirname "$collection")"
  "$root/build/tools/railfolio_sample/railfolio-sample" "$collection" --data "$root/build/railfolio-data"
  echo "A sample collection was made in: $collection"
fi
if ! "$tool" alias list | grep -q '^rf[[:space:]]'; then
  "$tool" alias set rf "$collection"
  echo "The alias \"rf\" now names: $collection"
else
  rf_dir=$("$tool" alias list | sed -n 's/^rf[[:space:]]*=*[[:space:]]*//p')
  echo "The alias \"rf\" names: $rf_dir (left as it was)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "There is no display to show Railfolio on. Under a virtual X server it runs like this:" >&2
  echo "  xvfb-run -a -s '-screen 0 1280x800x24' $0" >&2
  exit 1
fi
cd "$collection"
exec "$root/build/app/railfolio"
