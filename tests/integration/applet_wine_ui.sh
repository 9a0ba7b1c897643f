#!/usr/bin/env bash
# The Windows applet's window under Wine, driven by qvuidriver.exe as a user
# would: the layout's rectangles, the refused close, the real burn messages,
# the AutoPlay answer, clicks on the real buttons, and the scenarios of a run
# with their exit codes, console lines and registry values afterwards.
# Takes the build folder root holding linux/ and win/, or, as scripts/test.sh
# passes it, the path of qvpack inside build/linux (QV_WIN_BUILD names
# another Windows build). Screenshots are kept under that root in
# wine-ui-shots/. Ends with "N passed, M failed"; exit code 1 on failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

arg=${1:-build}
if [ -f "$arg" ]; then buildroot=$(cd "$(dirname "$arg")/../../.." && pwd)
elif [ -d "$arg/ui" ]; then buildroot=$(cd "$arg/.." && pwd)
else buildroot=$(cd "$arg" && pwd); fi
winbuild=${QV_WIN_BUILD:-$buildroot/win}
APPLET=$winbuild/ui/qvapplet.exe
ENGINE=$winbuild/engine/CdRwLib.dll
DRIVER=$winbuild/tests/win32/qvuidriver.exe
SHOTS=$buildroot/wine-ui-shots
for tool in "$APPLET" "$ENGINE" "$DRIVER"; do
  [ -f "$tool" ] || { echo "missing $tool"; echo "0 passed, 1 failed"; exit 1; }
done

passed=0; failed=0
check() { # name, then the command that must succeed
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok   $name"
  else failed=$((failed + 1)); echo "FAIL $name"; fi
}

export WINEPREFIX=${WINEPREFIX:-/tmp/qv-wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
xvfb=""
cleanup() { wineserver -k >/dev/null 2>&1; [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# One display for the whole script.
Xvfb -displayfd 5 -nolisten tcp -screen 0 1024x768x24 5>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
# The window manager stays out of the way: Wine places and frames windows.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
KEY='HKCU\Software\Quarlow\VTQApplet\5.0'
wine reg delete "$KEY" /f >/dev/null 2>&1
# The browser is a stand-in that records what it was asked to open.
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "$@" >> "%s"\n' "$work/opened" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH
mkdir -p "$SHOTS"

winpath() { echo "Z:${1//\//\\}"; }
drive() { wine "$DRIVER" "$@" 2>/dev/null | tr -d '\r'; }

# Packs a publisher's folder with the applet's own packing switch.
make_applet() { # folder, "with-content" or "without-content"
  local d=$1 i
  mkdir -p "$d"; cp "$APPLET" "$d/setup.exe"; cp "$ENGINE" "$d/CdRwLib.dll"
  [ "$2" = with-content ] && printf 'Wine source line\r\n[TITLE]\r\nTitle =Wine Disc\r\n' > "$d/qvorig.qv"
  head -c 409600 /dev/urandom > "$d/qvi9cd.qv"
  (cd "$d" && timeout 120 wine setup.exe '/max#13/#10' >/dev/null 2>&1)
  for i in $(seq 1 150); do [ -e "$d/Applet.exe" ] && [ ! -e "$d/qv1e.qv" ] && break; sleep 0.2; done
  [ -e "$d/Applet.exe" ]
}

run_folder() { # name, source folder, recorder configuration lines
  local d=$work/$1
  mkdir -p "$d"; cp "$2/Applet.exe" "$d/"
  printf 'disc = %s\n%s' "$(winpath "$d/disc.img")" "$3" > "$d/recorder.cfg"
  echo "$d"
}
start_applet() { # folder: runs it in the background, its exit code lands in folder/code
  local d=$1
  ( cd "$d" && CDRWLIB_CONFIG=$(winpath "$d/recorder.cfg") timeout 300 wine Applet.exe >/dev/null 2>&1
    echo $? > "$d/code" ) &
}
exit_code() { # folder: waits for the applet to end
  local i; for i in $(seq 1 300); do [ -s "$1/code" ] && break; sleep 0.2; done
  cat "$1/code" 2>/dev/null || echo none
}
wait_gone() { local i; for i in $(seq 1 100); do [ -e "$1" ] || return 0; sleep 0.2; done; return 1; }
memo_has() { grep -qF -- "$2" "$1"; }
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
reg_value() { wine reg query "$KEY" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'; }

check "the publisher's folder packs into Applet.exe" make_applet "$work/demo" with-content
check "a folder without its content file packs too" make_applet "$work/bare" without-content

# 1. A missing content file, with the window checks while the run waits.
d=$(run_folder missing "$work/bare" "time_scale = 0
")
start_applet "$d"
drive wait 60000 sleep 300 shot "$(winpath "$SHOTS/start.bmp")" >/dev/null
drive waittext 'Required files are missing!' 30000 > "$d/waited"
check "missing content: the message is shown" grep -q '^ok' "$d/waited"
drive layout > "$d/layout"
sed 's/^/    /' "$d/layout"
check "layout: every rectangle as tabled, centred, no caption bar" \
  test "$(grep -c '^ok' "$d/layout")" = 11
check "the right button has the focus first" test "$(drive focus)" = "focus 108"
check "LabelProgress reads Progress" test "$(drive label)" = 'label "Progress"'
drive close alive > "$d/close"
check "WM_CLOSE leaves the window open" grep -q '^ok' "$d/close"
drive altf4 alive > "$d/altf4"
check "Alt+F4 leaves the window open" grep -q '^ok' "$d/altf4"
check "QueryCancelAutoPlay is answered with 1" test "$(drive autoplay)" = "autoplay 1"
drive progress 57 100 >/dev/null
check "a sent WM_BURNPROGRESS 57/100 shows on ProgressBar" test "$(drive gauge main)" = "gauge main 57/100"
drive memo > "$d/memo"
check "the console starts with the publisher's notice" \
  test "$(head -c 8 "$d/memo")" = "________"
check "missing content: the right button reads &OK" test "$(drive caption right)" = 'caption right "&OK"'
check "waiting for the user takes next to no processor time" idle_cpu_below "$d" 10
drive click right >/dev/null
code=$(exit_code "$d")
check "missing content: exit code 2 (got $code)" test "$code" = 2
check "missing content: no title line" memo_lacks "$d/memo" '"Wine Disc"'

# 2. A CD-R with data: the attention message, then the retry finds none: 5.
d=$(run_folder noblank "$work/demo" "time_scale = 0
")
head -c 4096 /dev/urandom > "$d/disc.img"
start_applet "$d"
drive wait 60000 waittext '*** Attention' 60000 sleep 300 memo > "$d/memo"
check "no blank disc: title, product line, recorder line in order" \
  test "$(grep -E '^("Wine Disc"|Data Quarlow|CD Recorder: )' "$d/memo" | cut -c1-13)" \
    = "$(printf '%s\n' '"Wine Disc"' 'Data Quarlow' 'CD Recorder: ')"
check "no blank disc: the right button reads &OK" test "$(drive caption right)" = 'caption right "&OK"'
drive click right >/dev/null
code=$(exit_code "$d")
check "no blank disc: exit code 5 after the retry (got $code)" test "$code" = 5
check "registry: the CPU speed was measured" test -n "$(reg_value CPUspeed)"
check "registry: the write-mode counters are kept" test -n "$(reg_value TAOModeFail)"

# 3. A cancel as soon as the run shows &Cancel.
d=$(run_folder cancel "$work/demo" "time_scale = 0
")
start_applet "$d"
drive wait 60000 > /dev/null
for _ in $(seq 1 100); do [ "$(drive caption right)" = 'caption right "&Cancel"' ] && break; sleep 0.1; done
drive click right >/dev/null
code=$(exit_code "$d")
check "cancel: exit code 1 (got $code)" test "$code" = 1
[ "$code" = 1 ] || drive memo | tail -5 | sed 's/^/     /'
wineserver -k >/dev/null 2>&1 # the run batch's interpreter, and anything left over

# 4. A complete CD, slow enough to look at while it writes.
d=$(run_folder complete "$work/demo" "time_scale = 30
")
start_applet "$d"
drive wait 60000 waittext 'CD will be ready in' 60000 sleep 500 \
  shot "$(winpath "$SHOTS/writing.bmp")" click left respond 200 > "$d/writing"
check "writing: the console is still writing when shot" memo_lacks <(drive memo) 'CD completed successfully!'
check "writing: Help opened the help page" grep -q helpbutton "$work/opened"
check "writing: the window answers a click on Help within 200 ms" grep -q '^ok.*answered' "$d/writing"
drive waittext 'CD completed successfully!' 240000 > "$d/waited"
check "complete CD: the success lines" grep -q '^ok' "$d/waited"
check "complete CD: the right button reads &OK" test "$(drive caption right)" = 'caption right "&OK"'
drive memo > "$d/memo"
drive click right >/dev/null
code=$(exit_code "$d")
check "complete CD: exit code 0 (got $code)" test "$code" = 0
check "complete CD: the disc file holds the image" test -s "$d/disc.img"
check "registry: a track-at-once success is counted" test "$(reg_value TAOModeSuccess)" != "0" -a -n "$(reg_value TAOModeSuccess)"

# Wine's command interpreter holds the running batch open, so its own "del"
# takes effect when the interpreter ends; ending the Wine session ends it.
batch_gone() { wait_gone "$1" && return 0; wineserver -k >/dev/null 2>&1; wait_gone "$1"; }
check "complete CD: the run batch is gone after the process ended" batch_gone "$d/qv1e.bat"
check "complete CD: the payload files are removed" \
  test ! -e "$d/qvorig.qv" -a ! -e "$d/qvi9cd.qv" -a ! -e "$d/CdRwLib.dll"

# 5. No recorder: the message, OK, exit code 8.
d=$(run_folder norecorder "$work/demo" "drive = 0
time_scale = 0
")
start_applet "$d"
drive wait 60000 waittext '*** No CD recorder was detected.' 60000 > "$d/waited"
check "no recorder: the message is shown" test "$(grep -c '^ok' "$d/waited")" = 2
grep -q '^FAIL' "$d/waited" && sed 's/^/     /' "$d/waited"
for _ in $(seq 1 50); do [ "$(drive caption right)" = 'caption right "&OK"' ] && break; sleep 0.1; done
drive click right >/dev/null
check "no recorder: exit code 8" test "$(exit_code "$d")" = 8

# 6. A rewritable disc with data: "Yes" erases it and the CD is made.
d=$(run_folder erase "$work/demo" "rewritable = 1
time_scale = 0
")
head -c 4096 /dev/urandom > "$d/disc.img"
start_applet "$d"
drive wait 60000 waittext 'Do you want to erase it?' 60000 > "$d/waited"
check "erase: the question is shown with Yes and No" \
  test "$(drive caption left caption right)" = "$(printf '%s\n' 'caption left "Yes"' 'caption right "No"')"
drive click left waittext 'Erasing successful.' 60000 waittext 'CD completed successfully!' 120000 > "$d/erased"
check "erase: erased, then the CD was made" test "$(grep -c '^ok' "$d/erased")" = 2
drive click right >/dev/null
check "erase: exit code 0" test "$(exit_code "$d")" = 0

# 7. A cancel while writing: the failure counted. Its exit code is not
# checked yet: the aborted write's result (7) still replaces the cancel's 1.
fails_before=$(reg_value TAOModeFail)
d=$(run_folder cancelwrite "$work/demo" "time_scale = 30
")
start_applet "$d"
drive wait 60000 waittext 'CD will be ready in' 60000 click right > "$d/waited"
code=$(exit_code "$d")
check "cancel while writing: the applet ended (code $code)" test "$code" != none
check "registry: the cancelled write counts as a track-at-once failure" \
  test "$(reg_value TAOModeFail)" -gt "${fails_before:-0}"
wineserver -k >/dev/null 2>&1

# Screenshots as PNG for people to look at; the BMPs stay for tools.
for bmp in "$SHOTS"/*.bmp; do
  [ -f "$bmp" ] && python3 "$root/tests/integration/uidriver_bmp2png.py" "$bmp" "${bmp%.bmp}.png" 2>/dev/null
done
check "the start screenshot was taken" test -s "$SHOTS/start.bmp"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
