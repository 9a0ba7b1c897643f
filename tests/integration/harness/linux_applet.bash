# Shared by the Linux end-to-end scripts (sourced, not run): finds the Linux
# applet and engine from the script's argument, and gives each run a folder
# in the work folder (common.bash), a settings folder of its own and the
# event-log driver. The argument is the Linux build folder, or the qvpack
# inside it (as scripts/test.sh passes it).

harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$harness_dir/common.bash"
find_builds "${1:-}"
build=$LINUX_BUILD
APPLET=$build/ui/qvapplet
ENGINE=$build/engine/CdRwLib.dll
need_files "$APPLET" "$ENGINE"
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
# disc image (random bytes, 40 KiB unless told) stays beside the folder as
# FOLDER.image, to compare discs with.
make_applet() { # folder, "with-content" or "without-content", [image bytes], [more content lines]
  local d=$1
  mkdir -p "$d"; cp "$APPLET" "$d/setup"; cp "$ENGINE" "$d/CdRwLib.dll"
  [ "$2" = with-content ] && printf 'Demo source line\r\n[TITLE]\r\nTitle =Demo Disc\r\n%s' "${4:-}" > "$d/qvorig.qv"
  head -c "${3:-40960}" /dev/urandom > "$d/qvi9cd.qv"; cp "$d/qvi9cd.qv" "$d.image"
  (cd "$d" && ./setup '/max#13/#10' </dev/null >/dev/null)
  local i; for i in $(seq 1 100); do [ -e "$d/qv1e.bat" ] || break; sleep 0.1; done
  [ -e "$d/Applet.exe" ]
}

# A run folder in the work folder: the applet given, as Applet.exe, alone,
# and the recorder's configuration beside it: the lines RUN_CONFIG_HEAD
# makes (a printf format given the run folder; the virtual recorder's disc
# file in it unless set otherwise), then the lines given. Prints the folder.
RUN_CONFIG_HEAD=${RUN_CONFIG_HEAD:-'disc = %s/disc.img\n'}
run_folder() { # name, applet, recorder configuration lines
  local d=$work/$1
  mkdir -p "$d"; cp "$2" "$d/Applet.exe"; chmod +x "$d/Applet.exe"
  { printf "$RUN_CONFIG_HEAD" "$d"; printf '%s' "${3:-}"; } > "$d/recorder.cfg"
  echo "$d"
}
