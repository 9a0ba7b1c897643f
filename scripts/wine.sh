#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's fixed prefix, no
# debug chatter, and a virtual X display when none is set.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-/tmp/qv-wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A new prefix is made in full (wineserver -w waits for its last process)
# before any program runs in it: a window created while it is still being
# set up comes back as no window at all.
if [ ! -d "$WINEPREFIX" ]; then
  if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a sh -c 'wineboot -i; wineserver -w' >/dev/null 2>&1 || true
  else
    { wineboot -i; wineserver -w; } >/dev/null 2>&1 || true
  fi
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a wine "$@"
fi
exec wine "$@"
