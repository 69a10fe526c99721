#!/usr/bin/env bash
# Runs a command under a virtual X display, waits, and saves the whole screen as a PNG: the way we
# look at screens as a user sees them. Usage: screenshot.sh OUT.png SECONDS COMMAND [ARGS...]
set -euo pipefail
out=$1 wait=$2
shift 2
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$@" & pid=$!
  sleep '"$wait"'
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > '"$out"'
  kill $pid 2>/dev/null || true
' _ "$@"
