#!/usr/bin/env bash
# End to end on Linux: the real built applet in a temporary folder, driven
# through its switches and its event log. Takes the Linux build folder (or,
# as scripts/test.sh passes it, the path of qvpack inside it).
# Ends with "N passed, M failed"; exit code 1 on any failure.
set -uo pipefail

source "$(dirname "$0")/harness/linux_applet.bash" "${1:-}"
QVPACK=$build/tools/qvpack/qvpack
[ -x "$QVPACK" ] || { echo "missing $QVPACK"; echo "0 passed, 1 failed"; exit 1; }

mounted=""
at_exit '[ -n "$mounted" ] && umount "$mounted" 2>/dev/null'

BARE=$(stat -c %s "$APPLET")
OFFSET=$(python3 "$harness_dir/stamped_offset.py" "$APPLET")
check "the stamped payload offset is the bare size ($BARE)" test "$OFFSET" = "$BARE"

# A fresh folder holding the bare applet under a name of its own.
fresh() { local d; d=$(mktemp -d "$work/run.XXXX"); cp "$APPLET" "$d/setup"; echo "$d"; }
# The replace script runs after the applet has ended: wait for it to finish.
wait_batch() { local i; for i in $(seq 1 100); do [ -e "$1/qv1e.bat" ] || return 0; sleep 0.1; done; return 1; }
members() { "$QVPACK" l "$1" | awk 'NR > 2 && NF >= 8 && $NF != "member(s)" { print $4, $NF }' | sort; }
archive_method() { "$QVPACK" l "$1" | sed -n '1s/.*method //p'; }

# A content file long enough for LH5 to pay off, and an engine stand-in.
make_sources() {
  { printf '[TITLE]\r\nTitle =Demo Disc\r\n[TRACKS AND TAGS]\r\n'
    for i in $(seq 1 40); do printf 'Track%02d=Chapter %d of the demo disc\r\n' "$i" "$i"; done
  } > "$1/qvorig.qv"
  head -c 200000 "$APPLET" > "$1/CdRwLib.dll"
}

# Packing with LH5: only the content file and the engine.
d=$(fresh); make_sources "$d"; cp "$d/qvorig.qv" "$d/CdRwLib.dll" "$work/"
(cd "$d" && ./setup '/max#13/#10'); rc=$?
check "/max#13/#10 ends with exit code 0" test $rc -eq 0
check "the replace script ran and deleted itself" wait_batch "$d"
check "Applet.exe replaced the applet that ran" test -e "$d/Applet.exe" -a ! -e "$d/setup" -a ! -e "$d/qv1e.qv"
check "Applet.exe is executable" test -x "$d/Applet.exe"
check "the payload lists exactly the two members, coded LH5" \
  test "$(members "$d/Applet.exe")" = "$(printf 'LH5 CdRwLib.dll\nLH5 qvorig.qv')"
check "both sources are gone" test ! -e "$d/qvorig.qv" -a ! -e "$d/CdRwLib.dll"
check "Applet.exe begins with the bare applet" cmp -s -n "$BARE" "$d/Applet.exe" "$APPLET"
check "the payload reads back" eval "\"$QVPACK\" t \"$d/Applet.exe\" >/dev/null"
packed=$d

# Spawn writes every member, byte for byte.
(cd "$packed" && ./Applet.exe '/SPAWNQV00#13/#10'); rc=$?
check "/spawnqv00#13/#10 (capitals) ends with exit code 0" test $rc -eq 0
check "spawn wrote the content file" cmp -s "$packed/qvorig.qv" "$work/qvorig.qv"
check "spawn wrote the engine" cmp -s "$packed/CdRwLib.dll" "$work/CdRwLib.dll"

# "/Now" leaves the disc image alone.
d=$(fresh); make_sources "$d"; head -c 300000 /dev/urandom > "$d/qvi9cd.qv"; cp "$d/qvi9cd.qv" "$work/image"
(cd "$d" && ./setup '/Now#13/#10'); wait_batch "$d"
check "/Now#13/#10 neither packs nor deletes the image" cmp -s "$d/qvi9cd.qv" "$work/image"
check "/Now#13/#10 packs the other two" \
  test "$(members "$d/Applet.exe")" = "$(printf 'LH5 CdRwLib.dll\nLH5 qvorig.qv')"

# The alternative method.
d=$(fresh); make_sources "$d"
(cd "$d" && ./setup '/#13/#10'); wait_batch "$d"
check "/#13/#10 gives CompressID RLE" test "$(archive_method "$d/Applet.exe")" = "RLE"

# Empty mode strips the payload; on a bare applet it writes nothing.
cp "$packed/Applet.exe" "$work/with-payload"
d=$(fresh); cp "$work/with-payload" "$d/setup"
(cd "$d" && ./setup '/emptyqv00#13/#10'); wait_batch "$d"
check "/emptyqv00#13/#10 gives an applet of exactly PayloadOffset bytes" \
  test "$(stat -c %s "$d/Applet.exe" 2>/dev/null)" = "$OFFSET"
(cd "$d" && ./Applet.exe '/emptyqv00#13/#10'); sleep 0.5
check "/emptyqv00#13/#10 on a bare applet writes nothing" \
  test -e "$d/Applet.exe" -a ! -e "$d/qv1e.qv" -a ! -e "$d/qv1e.bat"

# Switches that are not quite right select nothing: the bare applet ends silently.
d=$(fresh); make_sources "$d"
out=$(cd "$d" && ./setup /max -max#13/#10 '/max#13/#10x' </dev/null); rc=$?
check "near-miss switches select nothing and the bare applet ends silently" \
  test $rc -eq 0 -a -z "$out" -a -e "$d/qvorig.qv" -a ! -e "$d/qv1e.qv"

# The window: 1,024 bytes of payload open it; the right button cancels.
d=$(fresh); head -c 1023 /dev/zero >> "$d/setup"
out=$(cd "$d" && ./setup </dev/null); rc=$?
check "PayloadOffset + 1,023 bytes ends silently" test $rc -eq 0 -a -z "$out"
d=$(fresh); head -c 1024 /dev/zero >> "$d/setup"
out=$(cd "$d" && timeout 2 ./setup < <(sleep 5)); rc=$?
check "PayloadOffset + 1,024 bytes opens the window and waits" \
  test $rc -eq 124 -a -n "$(grep -x 'caption right: &Cancel' <<<"$out")"
# Pressed during the run start it cancels (1); once the content check has
# found no "qvorig.qv" in these zeros it ends with that check's code (2).
out=$(cd "$d" && (sleep 0.5; echo right) | timeout 20 ./setup); rc=$?
check "the right button ends the run (exit code $rc)" \
  test \( $rc -eq 1 -a -n "$(grep -x 'console: \*\*\* Canceling per your request' <<<"$out")" \) \
    -o \( $rc -eq 2 -a -n "$(grep -x 'console: \*\*\* Required files are missing!  Press OK to exit now.' <<<"$out")" \)
out=$(cd "$d" && ./setup /show </dev/null); rc=$?
check "/show ends at once even with a payload" test $rc -eq 0 -a -z "$out"

# A full disk while packing loses no source file and leaves no applet.
if mkdir -p "$work/small" && mount -t tmpfs -o size=$((BARE / 1024 + 1200))k tmpfs "$work/small" 2>/dev/null; then
  mounted=$work/small
  d=$work/small; cp "$APPLET" "$d/setup"; make_sources "$d"
  head -c 600000 /dev/urandom > "$d/qvi9cd.qv"
  sums=$(cd "$d" && md5sum qvorig.qv CdRwLib.dll qvi9cd.qv)
  (cd "$d" && ./setup '/max#13/#10'); rc=$?; sleep 0.5
  check "a full disk: exit code 1, no applet was made" test $rc -eq 1
  check "a full disk: every source file is intact" test "$(cd "$d" && md5sum qvorig.qv CdRwLib.dll qvi9cd.qv)" = "$sums"
  check "a full disk: no half-written applet" test ! -e "$d/qv1e.qv" -a ! -e "$d/Applet.exe" -a -e "$d/setup"
  umount "$mounted" && mounted=""
else
  echo "skip full-disk test: no tmpfs mount here"
fi

finish_checks
