#!/usr/bin/env bash
# The Linux applet's desktop window under an Xvfb of its own, driven with
# xdotool as a user would (clicks on the buttons' rectangles, keys, a drag)
# and read back through screenshots (sampled pixels against the layout's
# rectangles and colours), the event log it writes beside the window, and
# its exit code: a missing content file, a cancel, a complete CD, the erase
# question refused and accepted, the keyboard, a 256-colour screen (also
# while writing), a screen smaller than the window, and the display going
# away at a check and during the write. Screenshots are kept in
# build/linux-window-shots, and those of a check, the write and the end, with
# the faces' widths measured on them, in build/window-shots. Takes the Linux build folder (or the qvpack in
# it, as scripts/test.sh passes it). Ends with "N passed, M failed".
set -uo pipefail

source "$(dirname "$0")/harness/linux_applet.bash" "${1:-}"
SHOTS=$(dirname "$build")/linux-window-shots
PAIRED=$(dirname "$build")/window-shots
mkdir -p "$SHOTS" "$PAIRED"
for tool in Xvfb xdotool convert import; do
  command -v "$tool" >/dev/null || { echo "FAIL $tool is missing (scripts/setup.sh)"; echo "0 passed, 1 failed"; exit 1; }
done

# Our own display: true colour, and later 256 colours.
start_xvfb 24
FRAME=2 # the flat border: the client area starts 2 pixels in

start_window() { # name, source folder, recorder lines: the applet with its window and log
  d=$work/$1
  mkdir -p "$d"; cp "$2/Applet.exe" "$d/"
  printf 'disc = %s\n%s' "$d/disc.img" "$3" > "$d/recorder.cfg"
  [ -n "${4:-}" ] && head -c 4096 /dev/urandom > "$d/disc.img"
  [ -n "${OWNER:-}" ] && chown -R "$OWNER:$OWNER" "$d"
  (cd "$d" && CDRWLIB_CONFIG=$d/recorder.cfg QVAPPLET_FRONT_END=window+log exec ${RUN_AS[@]+"${RUN_AS[@]}"} ./Applet.exe) \
    </dev/null >"$d/log" 2>"$d/errors" &
  pid=$!
  wait_window
  geometry
  # At once, while the console holds no more than the notice.
  [ -n "${EARLY_SHOT:-}" ] && import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$SHOTS/$EARLY_SHOT.png"
  xdotool mousemove $((X + WIDTH + 20)) "$Y" # beside the window: no hint over the screenshots
}
wait_window() { # up to 10 s for the applet's window; its id in wid
  local i; wid=""
  for i in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --class TFormMain 2>/dev/null | head -n1)
    [ -n "$wid" ] && return 0; sleep 0.1
  done
  return 1
}
geometry() { eval "$(xdotool getwindowgeometry --shell "$wid" 2>/dev/null)"; }
wait_line() { # exact log line, seconds
  local i; for i in $(seq 1 $(($2 * 10))); do has_line "$d" "$1" && return 0; sleep 0.1; done
  return 1
}
ended_with() { # expected exit code: waits up to 30 s for the applet to end
  local i code; for i in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then kill "$pid"; code=124; else wait "$pid"; code=$?; fi
  echo "    exit code $code"; [ "$code" = "$1" ]
}
click() { # client x, y
  xdotool mousemove $((X + FRAME + $1)) $((Y + FRAME + $2)) sleep 0.2 click 1
}
click_left() { click 88 316; }
click_right() { click 248 316; }
shot() { # name: the window (and whatever lies over it) as PNG
  sleep 0.4; geometry
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$SHOTS/$1.png"
  png=$SHOTS/$1.png
}
paired() { cp "$png" "$PAIRED/linux-$1.png"; } # the shot beside the Windows window's
pixel() { convert "$png" -format '%[hex:p{'$(($1 + FRAME))','$(($2 + FRAME))'}]' info: | cut -c1-6; }
pixels_are() { # client x, y, hex colour, ...
  local bad=0
  while [ $# -ge 3 ]; do
    local seen; seen=$(pixel "$1" "$2")
    [ "$seen" = "$3" ] || { echo "    pixel $1,$2 is $seen, not $3"; bad=1; }
    shift 3
  done
  return $bad
}
pixel_not() { [ "$(pixel "$1" "$2")" != "$3" ]; }
# Keys go to the window under the pointer: a bare spot between the buttons.
keys() { xdotool mousemove $((X + FRAME + 168)) $((Y + FRAME + 296)) sleep 0.2 key --delay 150 "$@"; sleep 0.5; }
helps() { grep -c '^url: .*helpbutton' "$d/log"; }
count_colour() { # hex, client x, y, w, h: how many pixels of the colour
  convert "$png" -crop "$4x$5+$(($2 + FRAME))+$(($3 + FRAME))" +repage -alpha off \
    -fill '#010203' -opaque "#$1" -fill black +opaque '#010203' -fill white -opaque '#010203' \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}
alive() { sleep 0.5; kill -0 "$pid" 2>/dev/null && xdotool search --onlyvisible --class TFormMain >/dev/null; }
idle_cpu_below() { # percent over two seconds of waiting
  local before after hz; hz=$(getconf CLK_TCK)
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat"); sleep 2
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  echo "    applet used $((after - before)) ticks of $((2 * hz)) while waiting"
  [ $(( (after - before) * 100 )) -lt $(( $1 * 2 * hz )) ]
}
# The window manager's close: WM_DELETE_WINDOW as a desktop sends it.
wm_close() {
  python3 - "$wid" <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
class Event(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]
d = x.XOpenDisplay(None)
e = Event(type=33, send_event=1, display=d, window=int(sys.argv[1]), format=32)
e.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
e.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XSendEvent(d, int(sys.argv[1]), 0, 0, ctypes.byref(e))
x.XCloseDisplay(d)
PY
}

GRADIENT_END=C40026
check "the demo folder packs into Applet.exe" make_applet "$work/demo" with-content
check "a demo folder without its content file packs too" make_applet "$work/bare" without-content
# A 600-sector image (progress comes every 100 sectors), packed by qvpack.
long_applet() {
  local s=$work/long-source; mkdir -p "$s" "$work/long"; cp "$ENGINE" "$s/CdRwLib.dll"
  head -c $((600 * 2048)) /dev/urandom > "$s/qvi9cd.qv"; printf '[TITLE]\r\nTitle =Long\r\n' > "$s/qvorig.qv"
  "$build/tools/qvpack/qvpack" applet --stub "$APPLET" -m lh5 -o "$work/long/Applet.exe" -C "$s" \
    qvorig.qv CdRwLib.dll qvi9cd.qv >/dev/null && chmod +x "$work/long/Applet.exe"
}
check "qvpack packs the demo with a 600-sector image" long_applet

# 1. A missing content file; the window itself is checked while the run waits.
start_window missing "$work/bare" "time_scale = 0
"
check "the window shows, 338 x 347 (client 334 x 343 and the frame), centred" \
  test "${WIDTH:-0}x${HEIGHT:-0}+${X:-0}+${Y:-0}" = "338x347+343+210"
check "missing content: the message is logged" \
  wait_line 'console: *** Required files are missing!  Press OK to exit now.' 20
check "missing content: the right button reads &OK" wait_line 'caption right: &OK' 5
shot missing; paired check
check "frame and gradient: border RGB(196, 0, 38), black at the top, RGB(196, 0, 38) at the bottom" \
  pixels_are -2 -2 $GRADIENT_END -1 100 $GRADIENT_END 5 0 000000 5 342 $GRADIENT_END
check "gauges: black on the rectangles 16,128,25,17 and 41,128,279,17, gradient around them" \
  pixels_are 16 128 000000 40 144 000000 41 128 000000 319 144 000000
check "gauges: nothing painted outside their rectangles" \
  eval 'pixel_not 100 127 000000 && pixel_not 100 145 000000 && pixel_not 15 136 000000 && pixel_not 320 136 000000'
check "buttons: white flat frames on 16,304,145,25 and 176,304,145,25" \
  pixels_are 16 304 FFFFFF 160 328 FFFFFF 176 304 FFFFFF 320 328 FFFFFF 100 304 FFFFFF
check "buttons: nothing painted just outside them" \
  eval 'pixel_not 15 303 FFFFFF && pixel_not 161 329 FFFFFF && pixel_not 175 303 FFFFFF'
check "console: white text in the console, none outside it" \
  eval '[ "$(count_colour FFFFFF 16 160 288 129)" -gt 20 ] && [ "$(count_colour FFFFFF 0 290 334 13)" = 0 ]'
check "waiting for the user takes next to no processor time" idle_cpu_below 5
xdotool mousemove $((X + FRAME + 160)) $((Y + FRAME + 220)) sleep 0.2 key alt+F4
check "Alt+F4 leaves the window open" alive
wm_close
check "the window manager's close leaves the window open" alive
xdotool mousemove $((X + FRAME + 5)) $((Y + FRAME + 150)) sleep 0.3 \
  mousemove $((X + FRAME + 160)) $((Y + FRAME + 225)) sleep 1.5
shot tooltip
check "the console's hint shows as a tooltip" \
  test "$(count_colour FFFFE1 -2 -2 338 347)" -gt 100
before="$X,$Y"
xdotool mousemove $((X + FRAME + 6)) $((Y + FRAME + 200)) mousedown 1 sleep 0.2 \
  mousemove_relative 20 15 sleep 0.2 mousemove_relative 20 15 sleep 0.2 mouseup 1
sleep 0.3; geometry
check "a drag on the client area moves the window" test "$before -> $X,$Y" = "343,210 -> 383,240"
# The keyboard from &OK, counted by the help pages logged.
keys Tab space
check "keyboard: Tab moves to Help, Space presses it" test "$(helps)" = 1
keys shift+Tab shift+Tab Return
check "keyboard: Shift+Tab twice comes back to Help, Return presses it" test "$(helps)" = 2
keys Tab alt+h
check "keyboard: from &OK, Alt+H presses Help" test "$(helps)" = 3
click 160 220; keys Return
check "keyboard: the focus stayed on Help through a click in the console" test "$(helps)" = 4
keys Tab; click 160 220; keys space
check "keyboard: Tab to &OK, a click in the console, Space: exit code 2" ended_with 2
check "missing content: no title line" lacks_line "$d" 'console: "Demo Disc"'

# 2. A cancel as soon as the run shows &Cancel.
EARLY_SHOT=notice start_window cancel "$work/demo" "time_scale = 0
"
check "cancel: the window reads &Cancel" wait_line 'caption right: &Cancel' 20
shot cancel
track_colours() { convert "$SHOTS/$1.png" -crop 17x95+306+179 +repage -unique-colors -format %w info:; }
check "console: no scroll-bar thumb while nothing scrolls, a thumb once it does" \
  eval '[ "$(track_colours notice)" = 1 ] && [ "$(track_colours missing)" -gt 1 ]'
keys alt+c
check "cancel: Alt+C: exit code 1" ended_with 1
check "cancel: the canceling line" has_line "$d" 'console: *** Canceling per your request'
check "cancel: the checks did not go on" lacks_line "$d" 'console: CD Recorder:  VIRTUAL CD-RW RECORDER'

# 3. A complete CD; both gauges full, then OK.
start_window complete "$work/demo" "time_scale = 0
"
check "complete CD: the success lines" wait_line 'console: CD completed successfully!' 60
check "complete CD: the right button reads &OK" wait_line 'caption right: &OK' 10
shot complete; paired done
check "complete CD: both gauges full in RGB(196, 0, 38)" \
  pixels_are 16 128 $GRADIENT_END 40 144 $GRADIENT_END 41 136 $GRADIENT_END 319 144 $GRADIENT_END
click_right
check "complete CD: exit code 0" ended_with 0
check "complete CD: the disc holds exactly the image" cmp -s "$d/disc.img" "$work/demo.image"

# 4. A rewritable disc with data: "No", then the no-blank message and OK: 5.
start_window refuse "$work/demo" "time_scale = 0
rewritable = 1
" used
check "erase refused: the question's buttons read Yes and No" \
  eval 'wait_line "caption right: No" 30 && has_line "$d" "caption left: Yes"'
shot erase-question
click_right
check "erase refused: the no-blank message and &OK" wait_line 'caption right: &OK' 20
shot erase-refused
click_right
check "erase refused: exit code 5" ended_with 5
check "erase refused: Cancel came before the message" \
  test "$(grep -E '^(caption right: Cancel|console: \*\*\* Attention)' "$d/log" | cut -c1-22)" \
    = "$(printf '%s\n' 'caption right: Cancel' 'console: *** Attention')"

# 5. The same disc, "Yes": erased, then written.
start_window erase "$work/demo" "time_scale = 0
rewritable = 1
" used
check "erase accepted: the question" wait_line 'caption left: Yes' 30
click_left
check "erase accepted: erased, then the success lines" \
  eval 'wait_line "console: --> Erasing successful.  Beginning recording" 30 && wait_line "console: CD completed successfully!" 60'
check "erase accepted: the right button reads &OK" wait_line 'caption right: &OK' 10
shot erase-accepted
click_right
check "erase accepted: exit code 0" ended_with 0
check "erase accepted: the disc holds exactly the image" cmp -s "$d/disc.img" "$work/demo.image"

# 6. The front-end rule on a desktop: without the variable the window alone
# (nothing on standard output); QVAPPLET_FRONT_END=terminal gives the event
# log and no window.
plain_folder() { # name: the applet without content and a virtual recorder beside it
  d=$work/$1; mkdir -p "$d"; cp "$work/bare/Applet.exe" "$d/"
  printf 'disc = %s\ntime_scale = 0\n' "$d/disc.img" > "$d/recorder.cfg"
}
plain_folder alone
(cd "$d" && CDRWLIB_CONFIG=$d/recorder.cfg env -u QVAPPLET_FRONT_END ./Applet.exe) </dev/null >"$d/log" 2>&1 &
pid=$!
check "without the variable: the window alone, nothing on standard output" \
  eval 'wait_window && sleep 1 && kill -0 "$pid" && [ ! -s "$d/log" ]'
kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
plain_folder terminal
code=$(run "$d" 20 'caption right: &OK=>right')
check "QVAPPLET_FRONT_END=terminal on a desktop: the event log, exit code 2" \
  eval '[ "$code" = 2 ] && has_line "$d" "console: *** Required files are missing!  Press OK to exit now."'

# 7. A 256-colour screen: both gradient ends pure red, black console text.
start_xvfb 8
start_window palette "$work/bare" "time_scale = 0
"
check "256 colours: the window runs" wait_line 'caption right: &OK' 20
shot palette
check "256 colours: gradient pure red at both ends" pixels_are 5 0 FF0000 5 342 FF0000
check "256 colours: black console text, no white" \
  eval '[ "$(count_colour 000000 16 160 288 129)" -gt 20 ] && [ "$(count_colour FFFFFF 16 160 288 129)" = 0 ]'
click_right
check "256 colours: exit code 2" ended_with 2

# 8. Writing on 256 colours without underrun protection (Help disabled):
# the gauge's fill at two moments; the focus never on &Cancel.
start_window palette-write "$work/long" "time_scale = 40
underrun_protection = 0
"
fill() { count_colour "$1" 41 128 279 17; }
check "writing, no underrun protection: Help is disabled" wait_line 'enabled left: 0' 60
shot palette-writing-early; early=$(fill FFFF00)
check "256 colours, writing: a yellow fill ($early), a black rest and no red in the gauge" \
  eval '[ "$early" -gt 0 ] && [ "$(fill 000000)" -gt 0 ] && [ "$(fill FF0000)" = 0 ]'
keys space
check "Help disabled: Space presses nothing" eval 'alive && lacks_line "$d" "console: *** Canceling per your request"'
for _ in $(seq 1 600); do grep -qE '^gauge main: (3[4-9]|[4-8][0-9])/' "$d/log" && break; sleep 0.1; done
shot palette-writing-later
check "256 colours, writing: the yellow fill has grown, still no red" \
  eval '[ "$(fill FFFF00)" -gt "$early" ] && [ "$(fill FF0000)" = 0 ]'
keys Tab Return
check "Help disabled: Tab reaches &Cancel, Return cancels: exit code 1" ended_with 1

# 9. A 320 x 240 screen: centred across, moved up just enough for the buttons.
start_xvfb 24 320x240
start_window small "$work/bare" "time_scale = 0
"
check "320 x 240: the window at -9,-91" test "$X,$Y" = "-9,-91"
check "320 x 240: the run waits at &OK" wait_line 'caption right: &OK' 20
sleep 0.4; png=$SHOTS/small-screen.png; import -window root "$png"
on_screen() { FRAME=0 pixels_are "$@"; } # screen coordinates
check "320 x 240: the buttons' outer corners show on the screen, white" on_screen \
  $((X + FRAME + 16)) $((Y + FRAME + 304)) FFFFFF $((X + FRAME + 320)) $((Y + FRAME + 328)) FFFFFF
keys space
check "320 x 240: Space presses the focused &OK: exit code 2" ended_with 2

# 10. The display goes away (its server ends) at a check and during the
# write, also for an ordinary user: the run ends as the user's cancel at that
# moment, the settings saved, the run files gone, no abort.
run_files() { (cd "$d" && ls -A qvorig.qv CdRwLib.dll mqv2k.qv qvi9cd.qv 2>/dev/null | tr '\n' ' '); }
lose_display() { # name, moment's log pattern, user or "", what is counted, failures then
  local cfg=$SETTINGS fails counted=$5 failed_before=$failed
  start_xvfb 24
  if [ -n "${3:-}" ]; then
    chmod 711 "$work"; OWNER=$3
    cfg=$work/$1/config/qvapplet/settings.ini
    RUN_AS=(env "XDG_CONFIG_HOME=$work/$1/config" setpriv --reuid="$3" --regid="$3" --clear-groups)
  fi
  rm -f "$cfg"
  start_window "$1" "$work/long" "time_scale = 40
"
  for _ in $(seq 1 1200); do grep -qE "$2" "$d/log" && break; sleep 0.1; done
  grep -qE "$2" "$d/log" || echo "    the moment ($2) did not come in 120 s"
  if [ "$1" = lost-write ]; then shot writing; paired writing; fi
  kill "${xvfbs[-1]}"
  check "display lost $1: exit code 1, the event log says so, the cancel line" \
    eval 'ended_with 1 && has_line "$d" "display: lost" && has_line "$d" "console: *** Canceling per your request"'
  check "display lost $1: no abort, no X error" eval '[ ! -s "$d/errors" ] || ! grep -qiE "X I/O|terminate|abort" "$d/errors"'
  fails=$(sed -n 's/^TAOModeFail *= *//p' "$cfg" 2>/dev/null | tr -d '\r')
  check "display lost $1: settings saved (not a good burn; $4), run files gone" \
    eval '[ "$(sed -n "s/^PriorBurnWasGood *= *//p" "$cfg" | tr -d "\r")" = 0 ] && [ "${fails:-0}" = "$counted" ] && [ -z "$(run_files)" ]'
  [ "$failed" = "$failed_before" ] || tail -n 4 "$d/log" "$d/errors" | sed 's/^/    /'
  RUN_AS=(); OWNER=""
}
RUN_AS=(); OWNER=""
lose_display lost-check '^caption right: &Cancel' "" "no failure counted" 0
lose_display lost-write '^gauge main: [1-9][0-9]/' "" "a failure counted" 1
lose_display lost-user '^gauge main: [1-9][0-9]/' 65534 "a failure counted" 1

# The faces, measured on the shots as ink widths (the same on the Windows
# window's shots from applet_wine_ui.sh): "Progress", the logo's name, the
# console's rows and the lone "recording." of a wrapped line while writing.
ink() { # shot, client x, y, w, h: the white ink's width
  convert "$1" -crop "$4x$5+$(($2 + FRAME))+$(($3 + FRAME))" +repage -colorspace gray \
    -threshold 60% -trim -format %w info:
}
bands() { # shot: the console's text rows as "top width", from the white ink
  convert "$1" -crop "288x129+$((16 + FRAME))+$((160 + FRAME))" +repage -colorspace gray \
    -threshold 60% txt:- | awk -F'[,: ]+' 'NR > 1 && /#FFFFFF/ {
      if (!($2 in lo) || $1 < lo[$2]) lo[$2] = $1; if ($1 > hi[$2]) hi[$2] = $1 }
    END { for (y = 0; y <= 129; y++) if (y in lo) { if (!((y - 1) in lo)) { top = y; w = 0 }
            if (hi[y] - lo[y] + 1 > w) w = hi[y] - lo[y] + 1 } else if ((y - 1) in lo) print top, w }'
}
faces() { # shot: the figures, one line
  local b pitch
  b=$(bands "$1"); pitch=$(echo "$b" | awk 'NR > 1 && $1 - prev < 20 { n[$1 - prev]++ } { prev = $1 }
    END { for (d in n) if (n[d] > n[m] + 0) m = d; print m + 0 }') # the commonest step
  echo "Progress $(ink "$1" 14 108 84 22) px, logo $(ink "$1" 118 18 215 64) px, rows $(( pitch ? 129 / pitch : 0 )) (pitch $pitch), lone short row $(echo "$b" | awk '$2 >= 40 && $2 <= 64 { print "yes"; exit }')"
}
for side in linux wine; do
  [ -f "$PAIRED/$side-writing.png" ] && echo "    $side writing: $(faces "$PAIRED/$side-writing.png")"
done
linux_faces=$(faces "$PAIRED/linux-writing.png")
check "faces: Progress 63 and the logo 196 px wide within 3 px, 9 rows, the long line wrapped" \
  eval 'echo "$linux_faces" | awk "{ p = \$2; l = \$5; exit !(p >= 60 && p <= 66 && l >= 193 && l <= 199 && \$8 == 9 && \$14 == \"yes\") }"'

finish_checks
