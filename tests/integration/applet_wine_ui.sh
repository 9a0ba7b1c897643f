#!/usr/bin/env bash
# The Windows applet's window under Wine, driven by qvuidriver.exe as a user
# would: the packing mode, the layout's rectangles, the refused close, the
# real burn messages, the AutoPlay answer, clicks on the real buttons, the
# keyboard, the colours on a true-colour and on a 256-colour screen (also
# while writing), a 320 x 240 screen, and the runs that end
# early or by a cancel or with a complete CD: exit codes, console lines,
# registry values, the files left and the run batch gone. The other run
# scenarios are in applet_wine_runs.sh; both share wine_ui_harness.
# Takes the build folder root holding linux/ and win/, or, as scripts/test.sh
# passes it, the path of qvpack inside build/linux (QV_WIN_BUILD names
# another Windows build). Screenshots are kept under that root in
# wine-ui-shots/, and those of a check, the write and the end also in
# window-shots/ beside the Linux window's (applet_linux_window.sh). Ends with "N passed, M failed"; exit code 1 on failure.
. "$(dirname "$0")/wine_ui_harness"

memo_lacks() { ! grep -qF -- "$2" "$1"; }
applet_pid() { # folder: the Wine process of the applet running there
  local p
  for p in $(pgrep -x Applet.exe); do
    [ "$(readlink "/proc/$p/cwd")" = "$1" ] && { echo "$p"; return; }
  done
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
idle_cpu_below() { # folder, percent over three seconds of waiting
  local p before after hz
  p=$(applet_pid "$1"); [ -n "$p" ] || return 1
  hz=$(getconf CLK_TCK); before=$(cpu_ticks "$p"); sleep 3; after=$(cpu_ticks "$p")
  echo "    applet used $((after - before)) ticks of $((3 * hz)) while waiting"
  [ $(( (after - before) * 100 )) -lt $(( $2 * 3 * hz )) ]
}
# The gradient's first and last rows, and the console's text colour counted
# over the console less its scroll bar.
colours_are() { # top colour, bottom colour, text colour that must show, colour that must not
  local out
  out=$(drive pixel 5 0 pixel 5 342 count "$3" 16 160 288 129 count "$4" 16 160 288 129)
  echo "$out" | sed 's/^/     /'
  echo "$out" | grep -qx "pixel 5,0 $1" && echo "$out" | grep -qx "pixel 5,342 $2" &&
    echo "$out" | grep -qE "^count $3 [1-9]" && echo "$out" | grep -qx "count $4 0"
}

check "packing mode: the publisher's folder becomes Applet.exe alone" make_applet "$work/demo" with-content
check "packing mode: a folder without its content file packs too" make_applet "$work/bare" without-content

# 1. A missing content file, with the window checks while the run waits.
new_run missing "$work/bare" "time_scale = 0
"
start_applet
drive wait 60000 sleep 300 shot "$(winpath "$SHOTS/start.bmp")" > "$o/started"
drive waittext 'Required files are missing!' 30000 sleep 300 shot "$(winpath "$SHOTS/check.bmp")" > "$o/waited"
check "missing content: the message is shown" grep -q '^ok' "$o/waited"
grep -q '^FAIL' "$o/started" "$o/waited" && sed 's/^/     /' "$o/started" "$o/waited"
drive layout > "$o/layout"
sed 's/^/    /' "$o/layout"
check "layout: every rectangle as tabled, centred, no caption bar" \
  test "$(grep -c '^ok' "$o/layout")" = 11
check "the right button has the focus first" test "$(drive focus)" = "focus 108"
check "LabelProgress reads Progress" test "$(drive label)" = 'label "Progress"'
check "true colour: gradient from black to RGB(196, 0, 38), white console text" \
  colours_are 000000 C40026 FFFFFF 000000
drive close alive > "$o/close"
check "WM_CLOSE leaves the window open" grep -q '^ok' "$o/close"
drive altf4 alive > "$o/altf4"
check "Alt+F4 leaves the window open" grep -q '^ok' "$o/altf4"
check "QueryCancelAutoPlay is answered with 1" test "$(drive autoplay)" = "autoplay 1"
drive progress 57 100 >/dev/null
check "a sent WM_BURNPROGRESS 57/100 shows on ProgressBar" test "$(drive gauge main)" = "gauge main 57/100"
drive memo > "$o/memo"
check "the console starts with the publisher's notice" \
  test "$(head -c 8 "$o/memo")" = "________"
check "missing content: the console lines in order (no title)" \
  console_is "$o/memo" "$T_PRODUCT" "$T_MISSING"
check "missing content: the right button reads &OK" test "$(drive caption right)" = 'caption right "&OK"'
# The keyboard from &OK, counted by the help pages the browser stand-in opens.
helps_reach() { # count, within 10 s
  local i; for i in $(seq 1 50); do [ "$(grep -c helpbutton "$work/opened")" = "$1" ] && return 0; sleep 0.2; done 2>/dev/null
  return 1
}
check "keyboard: Tab moves the focus to Help, Shift+Tab back to &OK" \
  test "$(drive key tab focus key shift+tab focus | tr '\n' ' ')" = "focus 107 focus 108 "
drive key tab key space
check "keyboard: Tab, then Space presses Help" helps_reach 1
drive key tab key alt+h
check "keyboard: from &OK, Alt+H presses Help" helps_reach 2
check "keyboard: a click in the console leaves the focus on Help, Return presses it" \
  eval '[ "$(drive click memo focus)" = "focus 107" ] && drive key return && helps_reach 3'
check "waiting for the user takes next to no processor time" idle_cpu_below "$d" 10
drive key tab click memo key space # &OK by the keyboard
run_ended_with "missing content" 2 Applet.exe
check "missing content: registry values written, none changed" registry_is

# 2. A cancel as soon as the run shows &Cancel; the console is read while
# the run's end pauses.
new_run cancel "$work/demo" "time_scale = 0
"
start_applet
drive wait 60000 > /dev/null
wait_caption "&Cancel"
drive key alt+c sleep 300 memo > "$o/memo"
check "cancel: Alt+C cancels; the console ends with the cancel line" \
  test "$(console_after_notice "$o/memo" | tail -4)" = "$(printf '\n\n%s\n\n' '*** Canceling per your request')"
run_ended_with cancel 1 Applet.exe
check "cancel: registry: the burn was not good, the speed kept" \
  registry_is 'PriorBurnWasGood=0' 'CPUspeed=~[0-9]+'

# 3. A complete CD, slow enough to look at while it writes.
new_run complete "$work/demo" "time_scale = 30
"
start_applet
drive wait 60000 waittext 'CD will be ready in' 60000 sleep 500 \
  shot "$(winpath "$SHOTS/writing.bmp")" click left respond 200 > "$o/writing"
check "writing: the console is still writing when shot" memo_lacks <(drive memo) 'CD completed successfully!'
check "writing: Help opened the help page" grep -q helpbutton "$work/opened"
check "writing: the window answers a click on Help within 200 ms" grep -q '^ok.*answered' "$o/writing"
grep -q '^FAIL' "$o/writing" && sed 's/^/     /' "$o/writing"
drive waittext 'CD completed successfully!' 240000 > "$o/waited"
check "complete CD: the success lines" grep -q '^ok' "$o/waited"
check "complete CD: the right button reads &OK" wait_caption "&OK"
drive shot "$(winpath "$SHOTS/done.bmp")" > /dev/null
drive memo > "$o/memo"
check "complete CD: the console lines in order" console_is "$o/memo" \
  "$T_TITLE" "$T_PRODUCT" "$T_VERSION" "$T_RECORDER" "${T_WRITING[@]}" "${T_COMPLETED[@]}"
click right
run_ended_with "complete CD" 0
check "complete CD: the disc file holds the image" cmp -s "$o/disc.img" "$work/demo.image"
check "complete CD: registry: a track-at-once success, the speed kept" registry_is \
  'TAOModeSuccess=+1' 'PriorBurnWasGood=1' 'PriorX=~([2-9]|[1-9][0-9]+)' \
  'CPUspeed=~[1-9][0-9]*' 'PriorSaidHoldThrottle=~[01]'

# 4. A cancel while writing: ends with the cancel's result, counts a
# track-at-once failure and keeps the speed of the stopped recording.
new_run cancelwrite "$work/demo" "time_scale = 30
"
start_applet
drive wait 60000 waittext 'CD will be ready in' 60000 click right sleep 300 memo > "$o/memo"
check "cancel while writing: the console lines in order" console_is prefix "$o/memo" \
  "$T_TITLE" "$T_PRODUCT" "$T_VERSION" "$T_RECORDER" "${T_WRITING[@]}" "$T_CANCELING"
run_ended_with "cancel while writing" 1 Applet.exe
check "cancel while writing: registry: a track-at-once failure, the burn not good" registry_is \
  'TAOModeFail=+1' 'PriorBurnWasGood=0' 'PriorX=~([2-9]|[1-9][0-9]+)' 'PriorSaidHoldThrottle=~[01]'

# 5. A 256-colour screen: both gradient ends pure red, black console text.
if start_display 8; then
  new_run palette "$work/bare" "time_scale = 0
"
  start_applet
  drive wait 60000 waittext 'Required files are missing!' 30000 sleep 300 \
    shot "$(winpath "$SHOTS/palette.bmp")" > "$o/waited"
  check "256 colours: the window runs" test "$(grep -c '^ok' "$o/waited")" = 2
  check "256 colours: gradient pure red at both ends, black console text" \
    colours_are FF0000 FF0000 000000 FFFFFF
  click right
  run_ended_with "256 colours" 2 Applet.exe

  # Writing without underrun protection (Help disabled): the gauge's fill
  # at two moments; the focus never on &Cancel.
  new_run palettewrite "$work/demo" "time_scale = 45
underrun_protection = 0
"
  start_applet
  fill() { drive count "$1" 41 128 279 17 | cut -d' ' -f3; }
  drive wait 60000 waittext 'CD will be ready in' 60000 sleep 500 > /dev/null
  check "Help disabled while writing: the focus on neither button" test "$(drive focus)" = "focus 0"
  early=$(fill FFFF00)
  check "256 colours, writing: a yellow fill ($early), a black rest, no red in the gauge" \
    eval '[ "$early" -gt 0 ] && [ "$(fill 000000)" -gt 0 ] && [ "$(fill FF0000)" = 0 ]'
  drive key space sleep 500
  check "Help disabled: Space presses nothing" memo_lacks <(drive memo) 'Canceling per your request'
  for _ in $(seq 1 120); do [[ $(drive gauge main) =~ \ [5-9][0-9]/ ]] && break; sleep 1; done
  drive shot "$(winpath "$SHOTS/palette-writing.bmp")" > /dev/null
  check "256 colours, writing: the yellow fill has grown, still no red" \
    eval '[ "$(fill FFFF00)" -gt "$early" ] && [ "$(fill FF0000)" = 0 ]'
  check "Help disabled: Tab reaches &Cancel" test "$(drive key tab focus)" = "focus 108"
  drive key return
  run_ended_with "Help disabled: Return on &Cancel" 1 Applet.exe
else
  check "256 colours: Xvfb runs an 8-bit screen" false
fi

# A screen smaller than the window: a new session on a 320 x 240 display.
start_display 24 320x240
new_run small "$work/bare" "time_scale = 0
"
start_applet
drive wait 60000 waittext 'Required files are missing!' 30000 sleep 300 \
  shot "$(winpath "$SHOTS/small-screen.bmp")" > "$o/waited"
check "320 x 240: the window runs" test "$(grep -c '^ok' "$o/waited")" = 2
check "320 x 240: centred across, 38 pixels up (at -9,-91): the buttons on the screen" \
  grep -q 'off by 0,-38' <(drive layout)
drive key space
run_ended_with "320 x 240: Space on &OK" 2 Applet.exe

shots_to_png
mkdir -p "$buildroot/window-shots"
for moment in check writing done; do cp "$SHOTS/$moment.png" "$buildroot/window-shots/wine-$moment.png"; done
check "the start screenshot was taken" test -s "$SHOTS/start.bmp"
finish
