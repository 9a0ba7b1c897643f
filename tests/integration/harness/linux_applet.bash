# Shared by the Linux end-to-end scripts (sourced, not run): finds the Linux
# applet and engine from the script's argument, counts checks, and gives each
# run a temporary folder, a settings folder of its own and the event-log
# driver. The argument is the Linux build folder, or the qvpack inside it (as
# scripts/test.sh passes it). KEEP=1 keeps the work folder.

harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arg=${1:-build/linux}
if [ -f "$arg" ]; then build=$(cd "$(dirname "$arg")/../.." && pwd); else build=$(cd "$arg" && pwd); fi
APPLET=$build/ui/qvapplet
ENGINE=$build/engine/CdRwLib.dll
for tool in "$APPLET" "$ENGINE"; do
  [ -f "$tool" ] || { echo "missing $tool"; echo "0 passed, 1 failed"; exit 1; }
done

passed=0; failed=0
check() { # name, then the command that must succeed
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok   $name"
  else failed=$((failed + 1)); echo "FAIL $name"; fi
}
finish_checks() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

work=$(mktemp -d); [ -n "${KEEP:-}" ] && echo "work folder $work"
[ -n "${KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
# The event-log scripts drive the terminal front end, even on a desktop.
export QVAPPLET_FRONT_END=terminal
SETTINGS=$XDG_CONFIG_HOME/qvapplet/settings.ini
setting() { sed -n "s/^$1 *= *//p" "$SETTINGS" | tr -d '\r'; }

run() { # folder, timeout, steps...: runs folder/Applet.exe with folder/recorder.cfg
  local d=$1 limit=$2; shift 2
  CDRWLIB_CONFIG=$d/recorder.cfg python3 "$harness_dir/drive_event_log.py" "$d/log" "$limit" "$d/Applet.exe" "$@"
}
has_line() { grep -qxF -- "$2" "$1/log"; }
lacks_line() { ! grep -qxF -- "$2" "$1/log"; }

# A publisher's folder packed with the applet's own packing switch; the
# disc image stays beside the folder as FOLDER.image, to compare discs with.
make_applet() { # folder, "with-content" or "without-content"
  local d=$1
  mkdir -p "$d"; cp "$APPLET" "$d/setup"; cp "$ENGINE" "$d/CdRwLib.dll"
  [ "$2" = with-content ] && printf 'Demo source line\r\n[TITLE]\r\nTitle =Demo Disc\r\n' > "$d/qvorig.qv"
  head -c 40960 /dev/urandom > "$d/qvi9cd.qv"; cp "$d/qvi9cd.qv" "$d.image"
  (cd "$d" && ./setup '/max#13/#10' </dev/null >/dev/null)
  local i; for i in $(seq 1 100); do [ -e "$d/qv1e.bat" ] || break; sleep 0.1; done
  [ -e "$d/Applet.exe" ]
}
