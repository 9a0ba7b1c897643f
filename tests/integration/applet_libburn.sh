#!/usr/bin/env bash
# End to end on Linux through libburn: the real applet burns its image onto
# libburn "stdio:" pseudo-drives (plain files that libburn writes like a
# disc), driven through the terminal front end's event log: a complete CD,
# the speeds the applet sets, the test write, a disc that is not blank, a
# changed byte caught by verification (the virtual recorder's injection),
# a cancel while writing and while reading back, pseudo-drives libburn
# cannot write (a folder, a place the user may not write, a file system that
# fills up mid-write), a block device full of data, and no configuration on a
# PC without a recorder.
# Takes the Linux build folder. Ends with "N passed, M failed"; exit code 1
# on any failure.
set -uo pipefail

source "$(dirname "$0")/harness/linux_applet.bash" "${1:-}"

check "the engine needs nothing but the C library" \
  bash -c "! ldd '$ENGINE' | grep -vE '(linux-vdso|libc\.so|libm\.so|ld-linux|libpthread\.so|libdl\.so)'"

# The publisher's folder: a 4 MiB image (2048 sectors), packed with /max; each
# run's configuration starts with a pseudo-drive disc.img.
demo=$work/demo
check "the demo folder packs into Applet.exe" make_applet "$demo" with-content 4194304
RUN_CONFIG_HEAD='backend = libburn\ndevice = stdio:disc.img\n'
problem_with() { grep -q "^console: \*\*\* A problem has prevented completion of your CD.* $2" "$1/log"; }

# 1. A complete CD: the pseudo-drive's file holds exactly the image, the
# drive's name is libburn's, and libburn's messages stay off the window.
d=$(run_folder complete "$demo/Applet.exe" "")
code=$(run "$d" 60 'caption right: &OK=>right' 2> "$d/errors")
check "complete: exit code 0" test "$code" = 0
check "complete: the pseudo-drive holds exactly the image" cmp -s "$d/disc.img" "$demo.image"
check "complete: the success banner" has_line "$d" 'console: CD completed successfully!'
check "complete: the drive as libburn names it" grep -q '^console: CD Recorder:  YOYODYNE WARP DRIVE' "$d/log"
check "complete: no libburn message in the window" bash -c "! grep -q 'libburn' '$d/log'"

# 2. Speeds: libburn reports none for a file, so the pseudo-drive offers the
# configured ones; the applet takes the highest (2x) and the engine paces the
# write at it (2048 sectors at 150 a second: at least 13.6 s), setting the
# progress event every 100 sectors on the way.
d=$(run_folder speeds "$demo/Applet.exe" "write_speeds = 176,353
")
started=$(date +%s%N)
code=$(run "$d" 90 'caption right: &OK=>right')
took=$(( ($(date +%s%N) - started) / 1000000 ))
check "speeds: exit code 0" test "$code" = 0
check "speeds: the applet set 2x (PriorX 2)" test "$(setting PriorX)" = 2
check "speeds: the write went at 2x ($took ms)" test "$took" -ge 13600
check "speeds: the progress moved in steps of 100 sectors" \
  test "$(grep -c '^gauge main: [1-9][0-9]*/100$' "$d/log")" -ge 15
check "speeds: the pseudo-drive holds exactly the image" cmp -s "$d/disc.img" "$demo.image"

# 3. The test write (/testqv00): libburn simulates, the drive stays blank.
d=$(run_folder testwrite "$demo/Applet.exe" "")
printf '#!/bin/sh\nexec ./Applet.exe /testqv00\n' > "$d/testwrite"; chmod +x "$d/testwrite"
code=$(CDRWLIB_CONFIG=$d/recorder.cfg python3 "$harness_dir/drive_event_log.py" "$d/log" 60 \
  "$d/testwrite" 'caption right: &OK=>right')
check "test write: exit code 0" test "$code" = 0
check "test write: the pseudo-drive is untouched" test "$(stat -c %s "$d/disc.img" 2>/dev/null || echo 0)" = 0

# 4. A pseudo-drive that is not blank: the attention message, and the retry
# finds none either (exit 5); the file keeps its data.
d=$(run_folder written "$demo/Applet.exe" "")
head -c 8192 /dev/urandom > "$d/disc.img"; cp "$d/disc.img" "$d/disc.before"
code=$(run "$d" 40 'caption right: &OK=>right')
check "not blank: exit code 5" test "$code" = 5
check "not blank: the attention message" grep -q '^console: \*\*\* Attention - No Blank CD was found' "$d/log"
check "not blank: the data stays" cmp -s "$d/disc.img" "$d/disc.before"

# 5. Verification: the virtual recorder's disc reads back with one byte
# changed; the engine reports the write as failed and so does the applet.
d=$work/verify; mkdir -p "$d"; cp "$demo/Applet.exe" "$d/"
printf 'disc = disc.img\ntime_scale = 0\nchanged_byte = 1000000\n' > "$d/recorder.cfg"
code=$(run "$d" 60 'caption right: &OK=>right' 2> "$d/errors")
check "verify: exit code 7" test "$code" = 7
check "verify: the failed recording with its status text" problem_with "$d" 'Bad response from a device'
check "verify: no success banner" lacks_line "$d" 'console: CD completed successfully!'
check "verify: the sector named on the error output" grep -q 'differs from the image in sector 488' "$d/errors"

# 6. A cancel while writing at 2x (about 14 s): exit 1, the failure counted,
# the pseudo-drive's file shorter than the image, no message.
d=$(run_folder cancel "$demo/Applet.exe" "write_speeds = 353
")
fails_before=$(setting TAOModeFail); fails_before=${fails_before:-0}
code=$(run "$d" 60 'gauge main: [1-9][0-9]?/100=>right' 2> "$d/errors")
check "cancel: exit code 1" test "$code" = 1
check "cancel: nothing alarming on the error output" test ! -s "$d/errors"
check "cancel: the canceling line" has_line "$d" 'console: *** Canceling per your request'
check "cancel: no success banner" lacks_line "$d" 'console: CD completed successfully!'
check "cancel: failure counter raised" test "$(setting TAOModeFail)" = $((fails_before + 1))
check "cancel: the pseudo-drive holds less than the image" \
  test "$(stat -c %s "$d/disc.img" 2>/dev/null || echo 0)" -lt 4194304

# 7. A pseudo-drive in a folder that does not exist: libburn's complaint goes
# to the error output, not the window, and no recorder is found (exit 8).
d=$(run_folder nofolder "$demo/Applet.exe" "")
sed -i 's|^device = .*|device = stdio:no/such/folder/disc.img|' "$d/recorder.cfg"
code=$(run "$d" 60 'caption right: &OK=>right' 2> "$d/errors")
check "missing folder: exit code 8" test "$code" = 8
check "missing folder: libburn's message on the error output only" \
  bash -c "grep -q '^CdRwLib: libburn: SORRY : ' '$d/errors' && ! grep -q 'libburn' '$d/log'"

# 8. A pseudo-drive that is a folder: no drive answers at Start (exit 8), the
# run's clean-up completes, nothing crashes.
d=$(run_folder folder "$demo/Applet.exe" ""); mkdir "$d/disc.img"
code=$(run "$d" 60 'caption right: &OK=>right' 2> "$d/errors")
check "folder as drive: no recorder (exit 8)" test "$code" = 8
check "folder as drive: the reason on the error output" grep -q 'disc.img: it is a folder' "$d/errors"
check "folder as drive: the clean-up removed the run's files" test ! -e "$d/qvorig.qv"

# 9. As an ordinary user, a pseudo-drive in a folder the user may not write:
# no drive answers at Start.
if [ "$(id -u)" -ne 0 ]; then
  echo "skip unwritable place: needs root to run the applet as an ordinary user"
else
  d=$(run_folder unwritable "$demo/Applet.exe" ""); mkdir "$d/locked"
  sed -i 's|^device = .*|device = stdio:locked/disc.img|' "$d/recorder.cfg"
  printf '#!/bin/sh\nexec setpriv --reuid=65534 --regid=65534 --clear-groups ./Applet.exe\n' > "$d/as_user"
  chmod +x "$d/as_user"; chmod 755 "$work"; chmod 777 "$d"
  code=$(XDG_CONFIG_HOME=$d/config CDRWLIB_CONFIG=$d/recorder.cfg python3 "$harness_dir/drive_event_log.py" \
    "$d/log" 60 "$d/as_user" 'caption right: &OK=>right' 2> "$d/errors")
  # The user is no administrator either (no optical drive of a group of
  # theirs), which ends the run with 11 when it comes first.
  check "unwritable place: no recorder, no crash (exit 8 or 11: $code)" test "$code" = 8 -o "$code" = 11
  check "unwritable place: the drive is not present" has_line "$d" 'console: Device not present'
  check "unwritable place: the reason on the error output" grep -q 'may not make files in its folder' "$d/errors"
  check "unwritable place: the clean-up removed the run's files" test ! -e "$d/qvorig.qv"
fi

# 10. A block device full of data (a loop device over 8 MiB of random
# bytes) is not blank: exit 5, and its bytes stay.
head -c 8388608 /dev/urandom > "$work/loop.img"; cp "$work/loop.img" "$work/loop.before"
if [ "$(id -u)" -ne 0 ] || ! loop=$(losetup -f --show "$work/loop.img" 2>/dev/null); then
  echo "skip loop device: needs root and losetup"
else
  d=$(run_folder loopdev "$demo/Applet.exe" ""); sed -i "s|^device = .*|device = stdio:$loop|" "$d/recorder.cfg"
  code=$(run "$d" 40 'caption right: &OK=>right' 2> "$d/errors")
  losetup -d "$loop"
  check "loop device: exit code 5" test "$code" = 5
  check "loop device: the attention message" grep -q '^console: \*\*\* Attention - No Blank CD was found' "$d/log"
  check "loop device: its bytes stay" cmp -s "$work/loop.img" "$work/loop.before"
fi

# 11. A file system that fills up mid-write (a tmpfs, filled once the gauge
# moves): the failed recording (exit 7), no crash, the clean-up completes,
# and the gauge shows no more than was written.
mnt=$work/tmpfs; mkdir -p "$mnt"
if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o size=8m tmpfs "$mnt" 2>/dev/null; then
  echo "skip full file system: needs root to mount a tmpfs"
else
  d=$(run_folder full "$demo/Applet.exe" "write_speeds = 353
"); sed -i "s|^device = .*|device = stdio:$mnt/disc.img|" "$d/recorder.cfg"
  code=$(run "$d" 60 "gauge main: [1-9]/100=>sh head -c 8M /dev/zero > $mnt/filler 2>/dev/null" \
    'caption right: &OK=>right' 2> "$d/errors")
  umount "$mnt"
  check "full file system: exit code 7" test "$code" = 7
  check "full file system: the failed recording" problem_with "$d" 'Bad response from a device'
  check "full file system: the clean-up removed the run's files" test ! -e "$d/qvorig.qv"
  check "full file system: the gauge stayed below a third before the failure" \
    awk '/A problem has prevented/ { exit } /^gauge main: / { split($3, p, "/"); if (p[1] + 0 > 33) bad = 1 }
      END { exit bad }' "$d/log"
fi

# 12. A cancel 3 s after the gauge first moves, in the read-back of the
# written track (the write paced at 40x takes 0.7 s, the read at 1x 27 s):
# the run ends as a cancel within seconds, not after the read-back.
d=$(run_folder readback "$demo/Applet.exe" "write_speeds = 7056
read_speed = 176
")
started=$(date +%s%N)
code=$(run "$d" 60 'gauge main: [1-9][0-9]?/100=>wait 3,right' 2> "$d/errors")
took=$(( ($(date +%s%N) - started) / 1000000 ))
check "cancel in read-back: exit code 1" test "$code" = 1
check "cancel in read-back: the whole image was written first" cmp -s "$d/disc.img" "$demo.image"
check "cancel in read-back: no success banner" lacks_line "$d" 'console: CD completed successfully!'
check "cancel in read-back: ended promptly ($took ms)" test "$took" -lt 20000
check "cancel in read-back: nothing alarming on the error output" test ! -s "$d/errors"

# 13. No configuration on a PC without a recorder: libburn finds no drive.
if ls /dev/sr[0-9]* >/dev/null 2>&1; then
  echo "skip no configuration: this PC has an optical drive"
else
  d=$work/nodrive; mkdir -p "$d"; cp "$demo/Applet.exe" "$d/"
  code=$(env -u CDRWLIB_CONFIG XDG_DATA_HOME=$work/data python3 "$harness_dir/drive_event_log.py" "$d/log" 60 \
    "$d/Applet.exe" 'caption right: &OK=>right' 2>/dev/null)
  check "no configuration, no drive: exit code 8" test "$code" = 8
  check "no configuration, no drive: the message" grep -q '^console: \*\*\* No CD recorder was detected' "$d/log"
  check "no configuration, no drive: no disc file in the user's data folder" test ! -e "$work/data/CdRwLib"
fi

# 9. An applet packed by qvpack from a folder: libburn's disc, read back by
# xorriso, holds the folder's files.
mkdir -p "$work/pubfolder/docs" && head -c 200000 /dev/urandom > "$work/pubfolder/docs/data.bin"
echo "grüße" > "$work/pubfolder/Grüße.txt" && cp "$ENGINE" "$work/CdRwLib.dll"
"$build/tools/qvpack/qvpack" applet --stub "$APPLET" -m lh5 -o "$demo/Applet.exe" \
  --folder "$work/pubfolder" --title 'Folder Disc' -C "$work" CdRwLib.dll >/dev/null 2>&1
check "--folder applet: qvpack packs it" test $? = 0
d=$(run_folder folder-applet "$demo/Applet.exe" "")
code=$(run "$d" 60 'caption right: &OK=>right' 2>/dev/null)
check "--folder applet: exit code 0" test "$code" = 0
check "--folder applet: the disc holds the folder" bash -c \
  "osirrox -indev '$d/disc.img' -extract / '$d/back' 2>/dev/null && diff -r '$work/pubfolder' '$d/back'"

finish_checks
