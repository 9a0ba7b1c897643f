#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's fixed prefix, no
# debug chatter, and a virtual X display when none is set.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-/tmp/qv-wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -d "$WINEPREFIX" ]; then
  wineboot -i >/dev/null 2>&1 || true
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a wine "$@"
fi
exec wine "$@"
