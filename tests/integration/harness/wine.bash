# The Wine environment of the Windows scripts (sourced after common.bash,
# given the program whose bitness every Wine call takes): the project's fixed
# prefix unless WINEPREFIX names one of the caller's own, no debug chatter,
# and a display of the script's own. Every Wine call, builtins such as reg
# included, goes to the loader of that bitness, whatever Debian's launcher
# would pick. The Wine session is ended at exit.
. "$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)/scripts/wine_loader.bash"
WINE_BITS=$(qv_pe_bits "$1")
wine() { qv_wine "${WINE_BITS:-64}" "$@"; }
timed_wine() { # seconds, then the wine arguments
  local limit=$1; shift
  qv_wine_command "${WINE_BITS:-64}" "$@" || return
  timeout "$limit" "${QV_WINE_COMMAND[@]}"
}

export WINEPREFIX=${WINEPREFIX:-/tmp/qv-wineprefix}
export WINEDEBUG=-all
BASE_OVERRIDES="mscoree,mshtml="
export WINEDLLOVERRIDES=$BASE_OVERRIDES
at_exit 'wineserver -k >/dev/null 2>&1'

# A display of the given depth (and size); the Wine session always starts
# fresh on it, so that no server of an earlier session (on another display)
# is joined.
start_display() { # bits per pixel, [size]
  wineserver -k >/dev/null 2>&1
  if [ ${#xvfbs[@]} -gt 0 ]; then kill "${xvfbs[-1]}" 2>/dev/null; fi
  start_xvfb "$@"
}
start_display 24 || { echo "0 passed, 1 failed"; exit 1; }
# A new prefix is a 64-bit one, as on the 64-bit Windows that runs both
# builds, and is made in full (wineserver -w waits for its last process)
# before any program runs in it.
if [ ! -d "$WINEPREFIX" ]; then
  qv_wine 64 wineboot -i >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
fi
