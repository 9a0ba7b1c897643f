#!/usr/bin/env bash
# End to end on Linux: the real applet, packed from a demo folder, burns its
# disc image onto the virtual recorder, driven through the terminal front
# end's event log: a complete CD, a cancel while writing, a write failure and
# a second complete CD that follows the stored history (the speed throttled
# after the failures). Takes the Linux build folder.
# Ends with "N passed, M failed"; exit code 1 on any failure.
set -uo pipefail

source "$(dirname "$0")/harness/linux_applet.bash" "${1:-}"

# The publisher's demo folder: a 4 MiB disc image (2048 sectors) with the
# content file and the engine, packed with "/max#13/#10".
demo=$work/demo
check "the demo folder packs into Applet.exe" make_applet "$demo" with-content 4194304 $'[TRACKS AND TAGS]\r\n1=Documents\r\n'

gone_soon() { local i; for i in $(seq 1 50); do [ -e "$1" ] || return 0; sleep 0.1; done; return 1; }
online() { awk 'NR > 1 && $2 == "00000000" { found = 1 } END { exit !found }' /proc/net/route 2>/dev/null; }
report_line() { grep -m1 '^url: http://report\.example\.com/vtqs2\.asp?' "$1/log"; }
report_ok() { # folder, expected query start
  local line; line=$(report_line "$1")
  if [ -z "$line" ]; then ! online; else [[ "$line" == "url: http://report.example.com/vtqs2.asp?$2"* ]]; fi
}

# 1. A complete CD.
d=$(run_folder complete "$demo/Applet.exe" "time_scale = 0
")
code=$(run "$d" 60 'caption right: &OK=>right')
check "complete: exit code 0" test "$code" = 0
check "complete: the disc holds exactly the image" cmp -s "$d/disc.img" "$demo.image"
check "complete: the success banner" has_line "$d" 'console: CD completed successfully!'
check "complete: the progress reached 100 %" grep -qx 'gauge main: 100/100' "$d/log"
check "complete: the time estimate" grep -q '^console: .*CD will be ready in ' "$d/log"
check "complete: the applet is gone" gone_soon "$d/Applet.exe"
check "complete: the batch is gone" gone_soon "$d/qv1e.bat"
check "complete: the payload files are gone" test ! -e "$d/qvi9cd.qv" -a ! -e "$d/CdRwLib.dll" -a ! -e "$d/qvorig.qv"
check "complete: success counter 1" test "$(setting TAOModeSuccess)" = 1
check "complete: PriorX 12" test "$(setting PriorX)" = 12
check "complete: the report (when online)" report_ok "$d" 'r=0&source=Demo_source_line&av='
# The applet's version is the project's, as in the Windows build ("1.0.0.1"
# reads "1.00" in the console and "1.00(1)" in the report).
IFS=. read -r v_major v_minor v_patch v_tweak < <(sed -n \
  's/^project(qvapplet VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
check "complete: the console's version line" \
  grep -q "^console: Version $v_major\.$v_minor$v_patch with ASPI " "$d/log"
check "complete: the report's applet version (when online)" \
  bash -c "! grep -q '^url: http://report' '$d/log' || grep -q '&av=$v_major\.$v_minor$v_patch($v_tweak)&' '$d/log'"
check "complete: report with the counters and speed" \
  bash -c "! grep -q '^url: http://report' '$d/log' || grep -q '&cdr=VIRTUALCD-RW_RECORDER&Succ=0.0.1&Fail=0.0.0&t=12&size=' '$d/log'"

# 2. A cancel while writing: real-time writing at 12x takes over two seconds.
d=$(run_folder cancel "$demo/Applet.exe" "time_scale = 1
")
code=$(run "$d" 60 'gauge main: [1-9][0-9]/100=>right')
check "cancel: exit code 1" test "$code" = 1
check "cancel: the canceling line" has_line "$d" 'console: *** Canceling per your request'
check "cancel: no success banner" lacks_line "$d" 'console: CD completed successfully!'
check "cancel: failure counter 1" test "$(setting TAOModeFail)" = 1
check "cancel: success counter unchanged" test "$(setting TAOModeSuccess)" = 1
check "cancel: PriorBurnWasGood 0" test "$(setting PriorBurnWasGood)" = 0
check "cancel: the disc is not complete" test "$(stat -c %s "$d/disc.img" 2>/dev/null || echo 0)" -lt 4194304
check "cancel: the applet stays" test -e "$d/Applet.exe"
check "cancel: the report carries the progress" report_ok "$d" 'r=1&source='

# 3. A write failure at sector 1000.
d=$(run_folder failure "$demo/Applet.exe" "time_scale = 0
write_fail_sector = 1000
")
code=$(run "$d" 60 'caption right: &OK=>right')
check "write failure: exit code 7" test "$code" = 7
check "write failure: the problem line" grep -q '^console: \*\*\* A problem has prevented completion of your CD' "$d/log"
check "write failure: counters unchanged" test "$(setting TAOModeFail).$(setting TAOModeSuccess)" = 1.1
check "write failure: PriorX 8 (throttled after the cancel)" test "$(setting PriorX)" = 8
check "write failure: the throttle is held" test "$(setting PriorSaidHoldThrottle)" = 1

# 4. Another CD on this PC: the cancel (at 12x) throttled the failed run to
# 8x; after that failure this one goes at 4x, and the hold is kept.
d=$(run_folder again "$demo/Applet.exe" "time_scale = 0
")
code=$(run "$d" 60 'caption right: &OK=>right')
check "second CD: exit code 0" test "$code" = 0
check "second CD: the disc holds exactly the image" cmp -s "$d/disc.img" "$demo.image"
check "second CD: PriorX 4 (throttled again)" test "$(setting PriorX)" = 4
check "second CD: the throttle is held" test "$(setting PriorSaidHoldThrottle)" = 1
check "second CD: success counter 2" test "$(setting TAOModeSuccess)" = 2

# 5. The publisher's way: qvpack packs a folder (--folder, --title); the
# disc, read back by xorriso, holds the folder's files and the title shows.
mkdir -p "$work/pubfolder/docs/deep" && head -c 300000 /dev/urandom > "$work/pubfolder/docs/deep/data.bin"
echo "ünïcode" > "$work/pubfolder/Grüße.txt" && : > "$work/pubfolder/empty"
cp "$ENGINE" "$work/CdRwLib.dll"
"$build/tools/qvpack/qvpack" applet --stub "$APPLET" -m lh5 -o "$demo/Applet.exe" \
  --folder "$work/pubfolder" --title 'Folder Disc' -C "$work" CdRwLib.dll >/dev/null 2>&1
check "--folder applet: qvpack packs it" test $? = 0
d=$(run_folder folder "$demo/Applet.exe" "time_scale = 0
")
code=$(run "$d" 60 'caption right: &OK=>right')
check "--folder applet: exit code 0" test "$code" = 0
check "--folder applet: the title" has_line "$d" 'console: "Folder Disc"'
check "--folder applet: the disc holds the folder" bash -c \
  "osirrox -indev '$d/disc.img' -extract / '$d/back' 2>/dev/null && diff -r '$work/pubfolder' '$d/back'"

finish_checks
