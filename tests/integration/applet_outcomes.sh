#!/usr/bin/env bash
# End to end on Linux: the run never reports a CD it did not make. Damaged
# payloads (a flipped byte in LH5-coded, RLE-coded and stored image data, a
# payload cut short, a damaged carried ASPI layer), a recorder beyond the
# estimate's range and a late write failure, presses repeated while the run
# pauses, damaged settings files, a folder whose name holds a backslash, and
# the end user's conditions: an ordinary user, small file systems, a second
# copy, links, signals, closed descriptors, long paths. Each run checks its
# exit code, console,
# disc and settings. Takes the Linux build folder (or qvpack inside it).
# Ends with "N passed, M failed"; exit code 1 on any failure.
set -uo pipefail

source "$(dirname "$0")/harness/linux_applet.bash" "${1:-}"
QVPACK=$build/tools/qvpack/qvpack

# The publisher's files: a content file, the engine, a compressible 2 MiB
# image (1,024 sectors) and a carried ASPI layer.
files=$work/files
mkdir -p "$files"
cp "$ENGINE" "$files/CdRwLib.dll"
printf 'Demo source line\r\n[TITLE]\r\nTitle =Demo Disc\r\n' > "$files/qvorig.qv"
seq 1 400000 | head -c 2097152 > "$files/qvi9cd.qv"
head -c 65536 /dev/urandom > "$files/mqv2k.qv"

pack() { # output, method, members in order (the last one is the one damaged)
  local out=$1 method=$2; shift 2
  (cd "$files" && "$QVPACK" applet --stub "$APPLET" -m "$method" -o "$out" "$@" >/dev/null)
}
flip_byte_before_end() { # file, distance from the end
  local size; size=$(stat -c %s "$1")
  python3 - "$1" $((size - $2)) <<'EOF'
import sys
path, at = sys.argv[1], int(sys.argv[2])
with open(path, "r+b") as f:
    f.seek(at); b = f.read(1); f.seek(at); f.write(bytes([b[0] ^ 0x55]))
EOF
}
RUN_CONFIG_HEAD='disc = %s/disc.img\ntime_scale = 0\n'
successes() { local v; v=$(setting TAOModeSuccess 2>/dev/null); echo "${v:-0}"; }

# ---- 1. Damaged payloads: nothing is burnt, the applet stays, exit 7 ------
pack "$work/lh5.exe" lh5 qvorig.qv CdRwLib.dll mqv2k.qv qvi9cd.qv
pack "$work/rle.exe" rle qvorig.qv CdRwLib.dll mqv2k.qv qvi9cd.qv
(cd "$files" && "$QVPACK" a -m non "$work/stored.lzs" qvorig.qv CdRwLib.dll mqv2k.qv qvi9cd.qv >/dev/null)
cat "$APPLET" "$work/stored.lzs" > "$work/stored.exe"
cp "$work/lh5.exe" "$work/short.exe"
truncate -s $(($(stat -c %s "$work/short.exe") - 5000)) "$work/short.exe"
for kind in lh5 rle stored; do flip_byte_before_end "$work/$kind.exe" 3000; done
for kind in lh5 rle stored short; do
  before=$(successes)
  d=$(run_folder "damaged-$kind" "$work/$kind.exe" "")
  code=$(run "$d" 60 'caption right: &OK=>right')
  check "damaged $kind: exit code 7" test "$code" = 7
  check "damaged $kind: the console names the image and the archive's message" \
    grep -qE '^console: \*\*\* The carried file qvi9cd\.qv is damaged: .+' "$d/log"
  check "damaged $kind: no other file is named damaged" \
    test "$(grep -c '^console: \*\*\* The carried file' "$d/log")" = 1
  check "damaged $kind: nothing was written" test ! -e "$d/disc.img"
  check "damaged $kind: no success banner" lacks_line "$d" 'console: CD completed successfully!'
  check "damaged $kind: no success counted" test "$(successes)" = "$before"
  check "damaged $kind: the applet stays, the partial image is gone" \
    test -e "$d/Applet.exe" -a ! -e "$d/qvi9cd.qv"
done

# The carried ASPI layer fails its checksum: no layer (exit 4), and the end
# of the run still removes the engine and the content file.
pack "$work/aspi.exe" lh5 qvorig.qv CdRwLib.dll qvi9cd.qv mqv2k.qv
flip_byte_before_end "$work/aspi.exe" 2000
d=$(run_folder damaged-aspi "$work/aspi.exe" "")
code=$(run "$d" 60 'caption right: &OK=>right')
check "damaged ASPI layer: exit code 4" test "$code" = 4
check "damaged ASPI layer: the console names it" \
  grep -qE '^console: \*\*\* The carried file mqv2k\.qv is damaged: ' "$d/log"
check "damaged ASPI layer: the no-ASPI message" grep -q '^console: \*\*\* No ASPI layer found!' "$d/log"
check "damaged ASPI layer: engine and content file removed" \
  test ! -e "$d/CdRwLib.dll" -a ! -e "$d/qvorig.qv" -a ! -e "$d/wnaspi32.dll"

# ---- 2. Success means written ---------------------------------------------
pack "$work/good.exe" lh5 qvorig.qv CdRwLib.dll mqv2k.qv qvi9cd.qv
before=$(successes)
d=$(run_folder fast "$work/good.exe" "write_speeds = 30000
")
code=$(run "$d" 60 'caption right: &OK=>right')
check "30,000 KB/s recorder: exit code 0" test "$code" = 0
check "30,000 KB/s recorder: the disc holds exactly the image" cmp -s "$d/disc.img" "$files/qvi9cd.qv"
check "30,000 KB/s recorder: the estimate" grep -q '^console: CD will be ready in 2 minutes\.$' "$d/log"
check "30,000 KB/s recorder: one success counted" test "$(successes)" = $((before + 1))

before=$(successes)
d=$(run_folder late-failure "$work/good.exe" "write_fail_sector = 1000
")
code=$(run "$d" 60 'caption right: &OK=>right')
check "late write failure: exit code 7" test "$code" = 7
check "late write failure: the problem line, no banner" \
  bash -c "grep -q '^console: \*\*\* A problem has prevented' '$d/log' && ! grep -qx 'console: CD completed successfully!' '$d/log'"
check "late write failure: no success counted, the applet stays" \
  test "$(successes)" = "$before" -a -e "$d/Applet.exe"

# ---- 3. One burn, one end --------------------------------------------------
# No blank disc; a blank one goes in, then "&OK" twice a second apart while
# the drive reloads: one burn, a good disc.
d=$(run_folder ok-twice "$work/good.exe" "")
head -c 4096 /dev/urandom > "$d/disc.img"
code=$(run "$d" 60 "console: \*\*\* Attention - No Blank CD.*=>sh rm -f $d/disc.img" \
  'caption right: &OK=>right,wait 1,right' 'caption right: &OK=>right')
check "OK twice: exit code 0" test "$code" = 0
check "OK twice: one burn started" test "$(grep -c '^console: (Using TAO method' "$d/log")" = 1
check "OK twice: the disc holds exactly the image" cmp -s "$d/disc.img" "$files/qvi9cd.qv"

# A press while the drive reloads in the first blank test cancels the run.
d=$(run_folder reload-cancel "$work/good.exe" "inserted = 0
")
code=$(run "$d" 60 'console: CD Recorder: .*=>wait 1.5,right')
check "cancel while the drive reloads: exit code 1" test "$code" = 1
check "cancel while the drive reloads: no burn" lacks_line "$d" 'console: (Using TAO method- Pause near end is normal)'

# A press every half second while the run ends: it ends once, in time.
d=$(run_folder end-presses "$work/good.exe" "")
code=$(run "$d" 30 'caption right: &OK=>right,wait 0.5,right,wait 0.5,right,wait 0.5,right,wait 0.5,right,wait 0.5,right')
check "presses while the run ends: exit code 0" test "$code" = 0
check "presses while the run ends: at most one report" test "$(grep -c '^url: http://report' "$d/log")" -le 1

# ---- 4. Settings that survive ----------------------------------------------
key='[Software\Quarlow\VTQApplet\5.0]'
mkdir -p "$(dirname "$SETTINGS")"
printf '%s\nDeleteApplet=0\nthis line has no equals sign\nPriorX=1%%G\nTAOModeSuccess=2147483647\nbroken\0line\n' \
  "$key" > "$SETTINGS"
d=$(run_folder settings "$work/good.exe" "")
code=$(run "$d" 60 'caption right: &OK=>right')
check "damaged settings: exit code 0" test "$code" = 0
sleep 1
check "damaged settings: DeleteApplet=0 kept the applet" test -e "$d/Applet.exe"
check "damaged settings: DeleteApplet=0 is still there" test "$(setting DeleteApplet)" = 0
check "damaged settings: the counter stays at the top" test "$(setting TAOModeSuccess)" = 2147483647
check "damaged settings: the damaged lines are gone" \
  bash -c "! grep -qa -e 'no equals' -e 'broken' '$SETTINGS'"
check "damaged settings: no temporary file left" \
  test "$(ls "$(dirname "$SETTINGS")")" = settings.ini

# ---- 5. A folder whose name holds a backslash ------------------------------
# "\" is an ordinary character of a POSIX name: packing, spawning and a whole
# run work there as anywhere.
odd=$work/'pub\lisher'
mkdir -p "$odd"; cp "$APPLET" "$odd/setup"; cp "$files"/qvorig.qv "$files"/CdRwLib.dll "$files"/qvi9cd.qv "$odd/"
(cd "$odd" && ./setup '/max#13/#10' </dev/null >/dev/null)
for _ in $(seq 1 100); do [ -e "$odd/qv1e.bat" ] || break; sleep 0.1; done
check "backslash folder: the packing mode makes Applet.exe" test -x "$odd/Applet.exe"
spawned=$work/'spa\wned'
mkdir -p "$spawned"; cp "$odd/Applet.exe" "$spawned/"
(cd "$spawned" && ./Applet.exe '/spawnqv00#13/#10' </dev/null >/dev/null)
check "backslash folder: the spawn mode writes every member" \
  bash -c 'for f in qvorig.qv CdRwLib.dll qvi9cd.qv; do cmp -s "$1/$f" "$2/$f" || exit 1; done' _ "$spawned" "$files"
d=$(run_folder 'run\here' "$odd/Applet.exe" "")
code=$(run "$d" 60 'caption right: &OK=>right')
check "backslash folder: a whole run makes the CD" \
  bash -c '[ "$1" = 0 ] && cmp -s "$2/disc.img" "$3/qvi9cd.qv"' _ "$code" "$d" "$files"

# ---- 6. The end user's conditions -----------------------------------------
# Run as an ordinary user (uid 65534) in folders that user owns; small file
# systems are tmpfs mounts (as root). A 16 MiB image packed from a read-only
# file (attribute word R---A).
chmod 755 "$work"
mounts=()
at_exit 'for m in "${mounts[@]}"; do umount "$m"; done'
ufiles=$work/ufiles; ucfg=$work/uconfig
mkdir -p "$ufiles" "$work/user" "$ucfg"
cp "$files/qvorig.qv" "$files/CdRwLib.dll" "$files/mqv2k.qv" "$ufiles/"
seq 1 3000000 | head -c 16777216 > "$ufiles/qvi9cd.qv"; chmod 444 "$ufiles/qvi9cd.qv"
(cd "$ufiles" && "$QVPACK" applet --stub "$APPLET" -m lh5 -o "$work/user.exe" \
  qvorig.qv CdRwLib.dll mqv2k.qv qvi9cd.qv >/dev/null)
chown 65534:65534 "$work/user" "$ucfg"
as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups env XDG_CONFIG_HOME="$ucfg" "$@"; }
user_run() { # as run, as the ordinary user
  local d=$1 limit=$2; shift 2
  CDRWLIB_CONFIG=$d/recorder.cfg as_user python3 "$harness_dir/drive_event_log.py" "$d/log" "$limit" "$d/Applet.exe" "$@"
}
small_fs() { # name, size: a tmpfs of the user's (not in a subshell: the mount is remembered)
  mkdir -p "$work/user/$1"
  mount -t tmpfs -o "size=$2,uid=65534,gid=65534,mode=0755" tmpfs "$work/user/$1" 2>/dev/null || return 1
  mounts+=("$work/user/$1")
}
user_folder() { # name [applet]: a folder of the user's with the applet and its log; the disc lies outside
  local d=$work/user/$1
  mkdir -p "$d"; : > "$d/log"
  cp "${2:-$work/user.exe}" "$d/Applet.exe"; chmod 755 "$d/Applet.exe"
  printf 'disc = %s\ntime_scale = 0\n' "$work/user/$1.disc" > "$d/recorder.cfg"
  chown -R 65534:65534 "$d"; echo "$d"
}
usetting() { sed -n "s/^$1 *= *//p" "$ucfg/qvapplet/settings.ini" 2>/dev/null | tr -d '\r'; }
usuccesses() { local v; v=$(usetting TAOModeSuccess); echo "${v:-0}"; }
run_files() { # folder: the run files left there
  (cd "$1" && ls -A qvorig.qv CdRwLib.dll mqv2k.qv qvi9cd.qv 2>/dev/null | tr '\n' ' ')
}
start_applet() { # folder: the applet in the background ($pid), its input on descriptor 7
  mkfifo "$1/in"; exec 7<>"$1/in"
  (cd "$1" && CDRWLIB_CONFIG=$1/recorder.cfg exec ./Applet.exe <"$1/in" >"$1/log" 2>&1) & pid=$!
}
wait_log() { local i; for i in $(seq 1 300); do grep -qE "$2" "$1/log" && return; sleep 0.1; done; }

# 6.1 A full disk while the image is written is the disk-space failure; its
# read-only partial goes; the next run in the same folder, with room, burns
# the whole image. A read-only stale image left in the folder is replaced.
own=$(stat -c %s "$work/user.exe")
if small_fs full $((own * 2 + 3 * 1048576)); then
  d=$(user_folder full)
  code=$(user_run "$d" 60 'caption right: &OK=>right')
  check "full disk: exit code 3" test "$code" = 3
  check "full disk: the disk-space line, no damage line" \
    bash -c 'grep -q "^console: \*\*\* Insufficient hard drive space" "$1/log" && ! grep -q "is damaged" "$1/log"' _ "$d"
  check "full disk: no run file left, nothing burnt" test -z "$(run_files "$d")" -a ! -e "$work/user/full.disc"
  mount -o remount,size=64m "$d"
  before=$(usuccesses)
  code=$(user_run "$d" 60 'caption right: &OK=>right')
  check "full disk, then room: exit code 0 and the whole image burnt" \
    bash -c '[ "$1" = 0 ] && cmp -s "$2" "$3"' _ "$code" "$work/user/full.disc" "$ufiles/qvi9cd.qv"
  check "full disk, then room: one success counted" test "$(usuccesses)" = $((before + 1))
else
  echo "skip full disk: no tmpfs mount here"
fi
d=$(user_folder stale)
head -c 7852032 "$ufiles/qvi9cd.qv" > "$d/qvi9cd.qv"; chown 65534:65534 "$d/qvi9cd.qv"; chmod 444 "$d/qvi9cd.qv"
code=$(user_run "$d" 60 'caption right: &OK=>right')
check "stale read-only image: exit code 0, the whole image burnt" \
  bash -c '[ "$1" = 0 ] && cmp -s "$2" "$3"' _ "$code" "$work/user/stale.disc" "$ufiles/qvi9cd.qv"

# 6.2 A second copy started while the first writes says so and touches
# nothing; the first makes its CD and leaves nothing behind.
d=$(run_folder second "$work/good.exe" "time_scale = 1
write_speeds = 706
")
start_applet "$d"; wait_log "$d" '^gauge main: [1-9]'
code=$(CDRWLIB_CONFIG=$d/recorder.cfg python3 "$harness_dir/drive_event_log.py" "$d/log2" 30 "$d/Applet.exe" 'caption right: &OK=>right')
wait_log "$d" '^caption right: &OK'; echo right >&7; wait "$pid"; first=$?; exec 7>&-
check "second copy: exit code 1 and the plain words" \
  bash -c '[ "$1" = 1 ] && grep -q "^console: \*\*\* Another copy of this program is already making a CD" "$2/log2"' _ "$code" "$d"
check "second copy: the first makes its CD, nothing is left" \
  bash -c '[ "$1" = 0 ] && cmp -s "$2/disc.img" "$3" && [ -z "$4" ] && [ ! -e "$2/qvrun.lock" ]' \
  _ "$first" "$d" "$files/qvi9cd.qv" "$(run_files "$d")"

# 6.3 Links in the folder where the run writes are replaced, never written
# through: their targets stay as they were.
d=$(run_folder links "$work/good.exe" "")
mkdir -p "$work/targets"
for f in qvi9cd.qv CdRwLib.dll qv1e.bat; do echo "keep $f" > "$work/targets/$f"; ln -s "$work/targets/$f" "$d/$f"; done
code=$(run "$d" 60 'caption right: &OK=>right')
sleep 1
check "links: exit code 0, the disc holds the image" \
  bash -c '[ "$1" = 0 ] && cmp -s "$2/disc.img" "$3"' _ "$code" "$d" "$files/qvi9cd.qv"
check "links: their targets are untouched" \
  bash -c 'for f in qvi9cd.qv CdRwLib.dll qv1e.bat; do [ "$(cat "$1/$f")" = "keep $f" ] || exit 1; done' _ "$work/targets"

# 6.4 An engine that fails its checksum (packed read-only) and one cut to
# 100,000 bytes with a good checksum: neither is loaded; the engine-missing
# path, no signal, no engine left (without a recorder an ordinary user is
# told about rights: exit 11).
efiles=$work/efiles; mkdir -p "$efiles"; cp "$files"/qvorig.qv "$files"/mqv2k.qv "$files"/qvi9cd.qv "$efiles/"
for kind in damaged cut; do
  rm -f "$efiles/CdRwLib.dll"
  if [ $kind = cut ]; then head -c 100000 "$ENGINE" > "$efiles/CdRwLib.dll"; else cp "$ENGINE" "$efiles/CdRwLib.dll"; fi
  chmod 444 "$efiles/CdRwLib.dll"
  (cd "$efiles" && "$QVPACK" applet --stub "$APPLET" -m lh5 -o "$work/$kind-engine.exe" \
    qvorig.qv mqv2k.qv qvi9cd.qv CdRwLib.dll >/dev/null)
  [ $kind = damaged ] && flip_byte_before_end "$work/$kind-engine.exe" 3000
  d=$(user_folder "$kind-engine" "$work/$kind-engine.exe")
  code=$(user_run "$d" 60 'caption right: &OK=>right')
  check "$kind engine: exit code 11 and the missing-files line" \
    bash -c '[ "$1" = 11 ] && grep -q "^console: \*\*\* Required files are missing!" "$2/log"' _ "$code" "$d"
  check "$kind engine: no engine left, nothing burnt" test ! -e "$d/CdRwLib.dll" -a ! -e "$work/user/$kind-engine.disc"
done

# 6.7 A read-only working folder says so.
d=$(user_folder readonly); chmod 555 "$d"
code=$(user_run "$d" 60 'caption right: &OK=>right')
check "read-only folder: exit code 2" test "$code" = 2
check "read-only folder: the folder cannot be written" \
  grep -q "^console: \*\*\* This folder cannot be written: $d/\$" "$d/log"
chmod 755 "$d"

# 6.6 A folder whose path does not fit the job's 260-byte slot stops the run
# before anything is written, and is no failed recording.
long=$(printf 'L%.0s' $(seq 1 250))
d=$(user_folder "$long")
cp "$ufiles/qvi9cd.qv" "$d/qvi9cd.q"
fails=$(usetting TAOModeFail)
code=$(user_run "$d" 60 'caption right: &OK=>right')
check "long path: exit code 2 and the path line" \
  bash -c '[ "$1" = 2 ] && grep -q "^console: \*\*\* The path of this folder is too long" "$2/log"' _ "$code" "$d"
check "long path: nothing written or burnt, no failure counted" \
  test -z "$(run_files "$d")" -a ! -e "$work/user/$long.disc" -a "$(usetting TAOModeFail)" = "$fails"

# 6.5 Standard input closed or at its end: the payload reads are not
# disturbed and the run ends at once as the right button would end it (a
# cancel), with the settings saved and the run files gone.
for how in closed null; do
  d=$(run_folder "input-$how" "$work/good.exe" "")
  if [ $how = closed ]; then (cd "$d" && CDRWLIB_CONFIG=$d/recorder.cfg exec ./Applet.exe 0<&- >"$d/log" 2>&1)
  else (cd "$d" && CDRWLIB_CONFIG=$d/recorder.cfg exec ./Applet.exe </dev/null >"$d/log" 2>&1); fi
  code=$?
  check "input $how: exit code 1, a cancel, nothing damaged" \
    bash -c '[ "$1" = 1 ] && grep -q "^console: \*\*\* Canceling per your request" "$2/log" && ! grep -q "is damaged" "$2/log"' _ "$code" "$d"
  check "input $how: settings saved, run files gone" \
    test "$(setting PriorBurnWasGood)" = 0 -a -z "$(run_files "$d")"
done

# 6.8 Signals end the run as the user's cancel at that moment: during the
# write through the engine's cancel (a failure counted), after a good CD as
# its "&OK" (a success). SIGPIPE comes from a reader of the log that left.
signal_run() { # folder, pattern of the log line to wait for, signal; prints the exit code
  start_applet "$1"; wait_log "$1" "$2"
  kill -"$3" "$pid"; wait "$pid"; echo $?
  exec 7>&-
}
for sig in TERM INT HUP; do
  fails=$(setting TAOModeFail)
  d=$(run_folder "sig-$sig" "$work/good.exe" "time_scale = 1
write_speeds = 353
")
  code=$(signal_run "$d" '^gauge main: [1-9][0-9]/100' $sig)
  check "SIG$sig while writing: exit code 1, the cancel line, a failure counted" \
    bash -c '[ "$1" = 1 ] && grep -q "^console: \*\*\* Canceling per your request" "$2/log" && [ "$3" = $(($4 + 1)) ]' \
    _ "$code" "$d" "$(setting TAOModeFail)" "${fails:-0}"
  check "SIG$sig while writing: no banner, run files gone" \
    bash -c '! grep -q "CD completed" "$1/log" && [ -z "$2" ]' _ "$d" "$(run_files "$d")"
done
# (The success counter stays at its top since group 4; the outcome flag,
# which the cancels above cleared, tells.)
d=$(run_folder sig-ok "$work/good.exe" "")
code=$(signal_run "$d" '^caption right: &OK' TERM)
check "SIGTERM at the &OK after a good CD: exit code 0, saved as a good burn" \
  test "$code" = 0 -a "$(setting PriorBurnWasGood)" = 1
d=$(run_folder sig-pipe "$work/good.exe" "")
(cd "$d" && CDRWLIB_CONFIG=$d/recorder.cfg ./Applet.exe < <(sleep 30) | head -n 3 >/dev/null; exit "${PIPESTATUS[0]}")
code=$?
check "log reader gone (SIGPIPE): exit code 1, settings saved, run files gone" \
  test "$code" = 1 -a "$(setting PriorBurnWasGood)" = 0 -a -z "$(run_files "$d")"

# 6.9 The terminal front end gives the terminal back as it found it; on a
# 10x5 terminal the newest console line and the captions stay in sight.
d=$(run_folder terminal "$work/good.exe" "")
check "terminal: canonical input and echo are back after the run" \
  env CDRWLIB_CONFIG="$d/recorder.cfg" python3 "$harness_dir/pty_run.py" "$d/Applet.exe"
d=$(run_folder small-terminal "$work/good.exe" "")
check "10x5 terminal: the screen fits, with the result's last line and the captions" \
  env CDRWLIB_CONFIG="$d/recorder.cfg" python3 "$harness_dir/pty_run.py" "$d/Applet.exe" 5x10

# 6.11 The folder renamed while the disc is written: the engine checks the
# disc against the image it wrote, and the CD is made.
d=$(run_folder renamed "$work/good.exe" "time_scale = 1
write_speeds = 706
disc = $work/renamed.disc
")
start_applet "$d"; wait_log "$d" '^gauge main: [1-9]'
mv "$d" "$d.moved"; wait_log "$d.moved" '^caption right: &OK'
echo right >&7; wait "$pid"; code=$?; exec 7>&-
check "folder renamed while writing: exit code 0, the disc holds the image" \
  bash -c '[ "$1" = 0 ] && cmp -s "$2" "$3"' _ "$code" "$work/renamed.disc" "$files/qvi9cd.qv"

# 6.10 An applet named "My\Applet.exe" runs, writes through a settings file
# that is a link and removes a temporary one a killed run left; packing from
# read-only sources leaves none of them behind.
mv "$SETTINGS" "$work/settings-target.ini"; ln -s "$work/settings-target.ini" "$SETTINGS"
: > "$SETTINGS.tmp4194305"
d=$(run_folder named "$work/good.exe" ""); mv "$d/Applet.exe" "$d/My\Applet.exe"
code=$(CDRWLIB_CONFIG=$d/recorder.cfg python3 "$harness_dir/drive_event_log.py" "$d/log" 60 "$d/My\Applet.exe" 'caption right: &OK=>right')
check "My\\Applet.exe: exit code 0, the disc holds the image" \
  bash -c '[ "$1" = 0 ] && cmp -s "$2/disc.img" "$3"' _ "$code" "$d" "$files/qvi9cd.qv"
check "settings link: still a link, its target written, no temporary file left" \
  bash -c '[ -L "$1" ] && grep -q "^TAOModeSuccess" "$2" && [ ! -e "$1.tmp4194305" ]' _ "$SETTINGS" "$work/settings-target.ini"
d=$work/ro-publisher; mkdir -p "$d"; cp "$APPLET" "$d/setup"; cp "$files"/qvorig.qv "$files"/CdRwLib.dll "$files"/qvi9cd.qv "$d/"
chmod 444 "$d"/qvorig.qv "$d"/CdRwLib.dll "$d"/qvi9cd.qv
(cd "$d" && ./setup '/max#13/#10' </dev/null >/dev/null)
for _ in $(seq 1 100); do [ -e "$d/qv1e.bat" ] || break; sleep 0.1; done
check "read-only sources: packed, and none is left" \
  bash -c '[ -x "$1/Applet.exe" ] && [ -z "$(cd "$1" && ls qvorig.qv CdRwLib.dll qvi9cd.qv 2>/dev/null)" ]' _ "$d"

finish_checks
