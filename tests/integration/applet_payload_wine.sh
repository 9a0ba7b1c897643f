#!/usr/bin/env bash
# The Windows applet under Wine: packing and spawn with the real batch run by
# the Windows command interpreter. Takes the Linux build folder (or the path
# of qvpack inside it, as scripts/test.sh passes it); the Windows build is its
# sibling "win" unless QV_WIN_BUILD names another. qvpack of the Linux build
# reads the result. Ends with "N passed, M failed"; exit code 1 on failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

. "$root/tests/integration/harness/common.bash"
find_builds "${1:-}"
APPLET=$WIN_BUILD/ui/qvapplet.exe
ENGINE=$WIN_BUILD/engine/CdRwLib.dll
QVPACK=$LINUX_BUILD/tools/qvpack/qvpack
need_files "$APPLET" "$QVPACK"
. "$root/tests/integration/harness/wine.bash" "$APPLET"
wine_run() { (cd "$1" && shift && timed_wine 300 "$@" >/dev/null 2>&1); }
# The batch runs in a console of its own after the applet has ended.
wait_replaced() {
  local i
  for i in $(seq 1 300); do
    [ -e "$1/Applet.exe" ] && [ ! -e "$1/qv1e.qv" ] && [ ! -e "$1/setup.exe" ] && return 0
    sleep 0.2
  done
  return 1
}
# Wine's command interpreter keeps the running batch open, so its own "del"
# only marks it for deletion and "if exist" keeps looping; the file goes when
# the interpreter ends. Ending the Wine session ends the loop.
end_batch() {
  local i
  for i in $(seq 1 25); do [ -e "$1/qv1e.bat" ] || return 0; sleep 0.2; done
  wineserver -k >/dev/null 2>&1
  for i in $(seq 1 25); do [ -e "$1/qv1e.bat" ] || return 0; sleep 0.2; done
  return 1
}

BARE=$(stat -c %s "$APPLET")
OFFSET=$(python3 "$root/tests/integration/harness/stamped_offset.py" "$APPLET")
check "the stamped payload offset is the bare size ($BARE)" test "$OFFSET" = "$BARE"

d=$work/publisher; mkdir -p "$d"
cp "$APPLET" "$d/setup.exe"
{ printf '[TITLE]\r\nTitle =Wine Disc\r\n[TRACKS AND TAGS]\r\n'
  for i in $(seq 1 40); do printf 'Track%02d=Chapter %d of the demo disc\r\n' "$i" "$i"; done
} > "$d/qvorig.qv"
if [ -f "$ENGINE" ]; then cp "$ENGINE" "$d/CdRwLib.dll"; else head -c 150000 "$APPLET" > "$d/CdRwLib.dll"; fi
cp "$d/qvorig.qv" "$d/CdRwLib.dll" "$work/"

wine_run "$d" setup.exe '/max#13/#10'
check "the batch replaced setup.exe by Applet.exe" wait_replaced "$d"
check "the batch is gone once the interpreter ends" end_batch "$d"
check "both sources are gone" test ! -e "$d/qvorig.qv" -a ! -e "$d/CdRwLib.dll"
listing=$("$QVPACK" l "$d/Applet.exe" 2>&1)
check "the payload lists the two members, coded LH5" \
  test "$(awk 'NR > 2 && NF >= 8 && $NF != "member(s)" { print $4, $NF }' <<<"$listing" | sort)" \
       = "$(printf 'LH5 CdRwLib.dll\nLH5 qvorig.qv')"

u=$work/user; mkdir -p "$u"
cp "$d/Applet.exe" "$u/" 2>/dev/null
wine_run "$u" Applet.exe '/spawnqv00#13/#10'
check "spawn wrote the content file" cmp -s "$u/qvorig.qv" "$work/qvorig.qv"
check "spawn wrote the engine" cmp -s "$u/CdRwLib.dll" "$work/CdRwLib.dll"

# A signed applet (a self-made certificate): its archive ends where the
# signature begins, so it lists, spawns, empties and re-packs like the
# unsigned one; what the packing and empty modes write is unsigned.
sign() {
  [ -f "$work/cert.pem" ] || openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" \
    -out "$work/cert.pem" -days 2 -subj "/CN=Wine Test Publisher" >/dev/null 2>&1
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$1" -out "$2" >/dev/null 2>&1
}
verified() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }
unsigned_with() { # FILE MEMBERS: no signature named, the members listed
  local out; out=$("$QVPACK" l "$1" 2>&1) || return 1
  ! grep -q '^signed:' <<<"$out" && grep -q " $2 member(s)" <<<"$out" && ! verified "$1"
}
signed_app=$work/Signed.exe
sign "$d/Applet.exe" "$signed_app"
check "the signed applet verifies" verified "$signed_app"
check "qvpack l names the signature and lists both members" \
  bash -c '"$0" l "$1" | grep -q "^signed: a code signature of [0-9]* bytes" && "$0" l "$1" | grep -q " 2 member(s)"' \
  "$QVPACK" "$signed_app"
check "qvpack t passes the signed applet" bash -c '"$0" t "$1" >/dev/null' "$QVPACK" "$signed_app"

su=$work/signed-user; mkdir -p "$su"; cp "$signed_app" "$su/Applet.exe"
wine_run "$su" Applet.exe '/spawnqv00#13/#10'
check "spawn of the signed applet wrote every member" \
  bash -c 'cmp -s "$0/qvorig.qv" "$1/qvorig.qv" && cmp -s "$0/CdRwLib.dll" "$1/CdRwLib.dll"' "$su" "$work"

se=$work/signed-empty; mkdir -p "$se"; cp "$signed_app" "$se/setup.exe"
wine_run "$se" setup.exe '/emptyqv00#13/#10'
check "empty mode of the signed applet leaves the bare applet" wait_replaced "$se"
end_batch "$se"
check "the emptied applet has the bare size and no signature" \
  bash -c '[ "$(stat -c %s "$0")" = "$1" ] && ! osslsigncode verify -in "$0" >/dev/null 2>&1' \
  "$se/Applet.exe" "$BARE"

sp=$work/signed-pack; mkdir -p "$sp"; cp "$signed_app" "$sp/setup.exe"
cp "$work/qvorig.qv" "$work/CdRwLib.dll" "$sp/"
wine_run "$sp" setup.exe '/max#13/#10'
check "the signed applet re-packs" wait_replaced "$sp"
end_batch "$sp"
check "the re-packed applet is unsigned and lists both members" unsigned_with "$sp/Applet.exe" 2

# A certificate entry that points into the bare applet is no signature:
# packing copies the whole bare part and the new applet reads back.
fc=$work/false-cert; mkdir -p "$fc"
python3 - "$APPLET" "$fc/setup.exe" <<'PY'
import struct, sys
b = bytearray(open(sys.argv[1], "rb").read())
pe, = struct.unpack_from("<I", b, 0x3C)
optional = pe + 24
count_at = optional + (92 if struct.unpack_from("<H", b, optional)[0] == 0x10B else 108)
struct.pack_into("<II", b, count_at + 4 + 4 * 8, len(b) - 1000, 1000)
open(sys.argv[2], "wb").write(b)
PY
cp "$work/qvorig.qv" "$work/CdRwLib.dll" "$fc/"
wine_run "$fc" setup.exe '/max#13/#10'
check "a false certificate entry: packing makes an applet that reads back" \
  bash -c 'for i in $(seq 1 150); do [ -e "$1/Applet.exe" ] && break; sleep 0.2; done; "$0" t "$1/Applet.exe" >/dev/null' \
  "$QVPACK" "$fc"
end_batch "$fc"

# A signed bare applet carries no payload: it ends at once, as an unsigned
# copy without payload does, and extracts nothing.
sb=$work/signed-bare; mkdir -p "$sb"
sign "$APPLET" "$sb/Applet.exe"
wine_run "$sb" Applet.exe; rc=$?
check "a signed bare applet ends at once with exit code 0 and writes nothing" \
  bash -c '[ "$0" = 0 ] && [ "$(ls -A "$1")" = Applet.exe ]' "$rc" "$sb"

finish_checks
