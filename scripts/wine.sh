#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's fixed prefix, no
# debug chatter, a virtual X display when none is set, and the loader of the
# program's own bitness (scripts/wine_loader.bash). QV_WINE_BITS (32 or 64,
# default 64) is the bitness for Wine's builtins, such as the prefix's set-up.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_loader.bash"
export WINEPREFIX=${WINEPREFIX:-/tmp/qv-wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
bits=${QV_WINE_BITS:-64}
# A new prefix is made in full (wineserver -w waits for its last process)
# before any program runs in it: a window created while it is still being
# set up comes back as no window at all.
if [ ! -d "$WINEPREFIX" ]; then
  qv_wine_command "$bits" wineboot -i
  if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a sh -c '"$@"; wineserver -w' _ "${QV_WINE_COMMAND[@]}" >/dev/null 2>&1 || true
  else
    { "${QV_WINE_COMMAND[@]}"; wineserver -w; } >/dev/null 2>&1 || true
  fi
fi
qv_wine_command "$bits" "$@"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "${QV_WINE_COMMAND[@]}"
fi
exec "${QV_WINE_COMMAND[@]}"
