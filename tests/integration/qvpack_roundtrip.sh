#!/bin/bash
# qvpack end to end: a real folder (an ISO image, text, binaries) packed with
# every method, tested, extracted and compared; a flipped byte caught by
# "qvpack t"; an applet built from a stamped stub and read back.
# Usage: qvpack_roundtrip.sh PATH_TO_QVPACK
set -u
QVPACK=${1:?usage: qvpack_roundtrip.sh PATH_TO_QVPACK}
QVPACK=$(realpath "$QVPACK")
. "$(dirname "$0")/harness/common.bash"
WORK=$work
# Each check's output is shown only when it fails.
CHECK_QUIET=1

# Succeeds when the command fails with exit code 1 (a data error).
fails_with_data_error() {
    "$@"
    [ $? -eq 1 ]
}

make_content() {
    local src=$WORK/src
    mkdir -p "$src/docs/deep" "$WORK/iso-root/bin"
    python3 - "$src" <<'PY'
import os, random, sys
src = sys.argv[1]
rng = random.Random(7)
words = b"the disc image recorder writes track at once speed buffer sector archive member\r\n".split(b" ")
with open(os.path.join(src, "docs", "readme.txt"), "wb") as f:
    f.write(b" ".join(rng.choice(words) for _ in range(400000)))
with open(os.path.join(src, "docs", "deep", "random.bin"), "wb") as f:
    f.write(rng.randbytes(300000))
with open(os.path.join(src, "docs", "deep", "zeros.bin"), "wb") as f:
    f.write(bytes(200000))
open(os.path.join(src, "empty.txt"), "wb").close()
PY
    cp "$QVPACK" "$src/qvpack.bin"
    cp "$QVPACK" "$WORK/iso-root/bin/qvpack.bin"
    cp "$src/docs/readme.txt" "$WORK/iso-root/"
    for lib in /usr/lib/x86_64-linux-gnu/libc.so.6 /usr/lib/x86_64-linux-gnu/libstdc++.so.6; do
        [ -f "$lib" ] && cp -L "$lib" "$WORK/iso-root/bin/"
    done
    xorriso -as mkisofs -quiet -R -J -V QVTEST -o "$src/image.iso" "$WORK/iso-root" 2>/dev/null
}

# A stand-in for a bare applet: some bytes, then a payload slot stamped with
# the file's own size, as the build stamps the real one.
make_stub() {
    python3 - "$1" <<'PY'
import struct, sys
body = bytes(range(256)) * 40
marker = b"QV-PAYLOAD" + b"-SLOT\x1a"
size = len(body) + len(marker) + 8 + 100
with open(sys.argv[1], "wb") as f:
    f.write(body + marker + struct.pack("<Q", size) + bytes(100))
PY
}

roundtrip() {
    local method=$1
    shift
    local archive=$WORK/$method.qv out=$WORK/out-$method
    "$QVPACK" a -m "$method" "$@" -C "$WORK/src" "$archive" docs empty.txt image.iso qvpack.bin &&
        "$QVPACK" t "$@" "$archive" &&
        "$QVPACK" x "$@" -C "$out" "$archive" &&
        diff -r "$WORK/src" "$out"
}

flipped_byte_is_caught() {
    local archive=$WORK/flip.qv
    "$QVPACK" a -m "$1" -C "$WORK/src" "$archive" docs qvpack.bin || return 1
    # The last member is the largest; the byte lies well inside its data.
    python3 -c "
import sys
p = sys.argv[1]
b = bytearray(open(p, 'rb').read())
b[len(b) - 1000] ^= 0x10
open(p, 'wb').write(b)" "$archive"
    fails_with_data_error "$QVPACK" t "$archive"
}

applet_roundtrip() {
    local stub=$WORK/stub.bin applet=$WORK/applet.exe again=$WORK/applet2.exe
    make_stub "$stub"
    "$QVPACK" applet --stub "$stub" -m lh5 -o "$applet" -C "$WORK/src" docs/readme.txt empty.txt &&
        "$QVPACK" l "$applet" | grep -q 'docs\\readme.txt' &&
        "$QVPACK" t "$applet" &&
        # A stub that already carries a payload gives only its bare part.
        "$QVPACK" applet --stub "$applet" -m rle -o "$again" -C "$WORK/src" empty.txt &&
        "$QVPACK" l "$again" | grep -q ' 1 member(s)' &&
        "$QVPACK" x -C "$WORK/applet-out" "$applet" 'DOCS\README.TXT' &&
        cmp "$WORK/src/docs/readme.txt" "$WORK/applet-out/docs/readme.txt"
}

make_content
for method in non rle lzh lh5; do
    check "round trip $method" roundtrip "$method"
done
check "round trip lh5 with a key" roundtrip lh5 -k 305419896
check "locked archive without the key" fails_with_data_error "$QVPACK" t "$WORK/lh5.qv"
check "flipped byte caught (lh5)" flipped_byte_is_caught lh5
check "flipped byte caught (rle)" flipped_byte_is_caught rle
check "applet from a stamped stub" applet_roundtrip

# "qvpack t" on DAMAGED: exit 1 and the line LINE (a regular expression).
test_names() {
    "$QVPACK" t "$1" >"$WORK/t.out"
    [ $? -eq 1 ] && grep -qxE "$2" "$WORK/t.out"
}

# Random bytes after an applet's payload: the listing is unchanged.
bytes_after_the_payload() {
    local damaged=$WORK/damaged.exe
    for _ in 1 2 3 4 5; do
        cp "$WORK/applet.exe" "$damaged"
        head -c 4096 /dev/urandom >>"$damaged"
        "$QVPACK" l "$damaged" | grep -q ' 2 member(s)' || return 1
        test_names "$damaged" '4096 bytes follow the archive' || return 1
    done
}

# An archive cut inside a record, a name, the data and between members: the
# listing keeps the whole members, "qvpack t" says where the archive ends.
cut_archives() {
    local archive=$WORK/rle.qv cut=$WORK/cut.qv second at kept line
    # The second member record's offset: after the header and the first member.
    second=$(python3 -c "
import struct, sys
b = open(sys.argv[1], 'rb').read(21 + 25)
n, = struct.unpack_from('<h', b, 21)
c, = struct.unpack_from('<i', b, 21 + 12)
print(21 + 25 + n + c)" "$archive")
    while read -r at kept line; do
        head -c "$at" "$archive" >"$cut"
        "$QVPACK" l "$cut" | grep -q " $kept member(s)" || { echo "cut at $at"; return 1; }
        test_names "$cut" "$line" || { echo "cut at $at"; cat "$WORK/t.out"; return 1; }
    done <<CUTS
$second 1 the archive ends early: .*
$((second + 10)) 1 the archive ends early: .*
$((second + 27)) 1 the archive ends early: .*
$(($(stat -c %s "$archive") - 1)) 5 the archive ends 1 byte before its last member's data
CUTS
}
check "bytes after an applet's payload are named" bytes_after_the_payload
check "an archive cut short keeps its whole members" cut_archives

# The progress bar: on a terminal (a pseudo-terminal here) it shows bytes,
# speed and time left; on a pipe standard error stays empty.
progress_on_a_terminal_only() {
    local out=$WORK/progress.qv
    python3 - "$QVPACK" "$out" "$WORK/src" <<'PY' || return 1
import os, pty, subprocess, sys
qvpack, out, src = sys.argv[1:]
controller, terminal = pty.openpty()
p = subprocess.Popen([qvpack, "a", "-m", "lh5", "-C", src, out, "docs", "image.iso"],
                     stdout=subprocess.DEVNULL, stderr=terminal)
os.close(terminal)
seen = b""
while True:
    try:
        chunk = os.read(controller, 4096)
    except OSError:
        break
    if not chunk:
        break
    seen += chunk
sys.exit(p.wait() != 0 or b"packing [" not in seen or b" MB/s " not in seen or b" left" not in seen)
PY
    "$QVPACK" t "$out" 2>"$WORK/progress.err" >/dev/null && [ ! -s "$WORK/progress.err" ]
}
check "the progress bar shows on a terminal, not on a pipe" progress_on_a_terminal_only

# A publisher's folder without the run's files: a warning names each one;
# --strict refuses (exit 1) and writes nothing.
publisher_folder_checked() {
    local stub=$WORK/stub.bin out=$WORK/strict.exe
    "$QVPACK" applet --stub "$stub" -m rle -o "$out" -C "$WORK/src" empty.txt 2>"$WORK/warn" >/dev/null &&
        grep -q 'qvorig.qv is not among the files; the end user would see "Required files are missing!"' "$WORK/warn" &&
        grep -q 'qvi9cd.qv' "$WORK/warn" && rm "$out" || return 1
    "$QVPACK" applet --strict --stub "$stub" -m rle -o "$out" -C "$WORK/src" empty.txt 2>/dev/null
    [ $? -eq 1 ] && [ ! -e "$out" ]
}
check "qvpack applet checks the publisher's folder" publisher_folder_checked
# A failed command removes its half-written output, but only a regular file:
# an output that is a link (or a device such as /dev/null) stays.
failed_output_kinds() {
    head -c 5000 /dev/zero | tr '\0' '\377' > "$WORK/garbage" # a bad decode table
    ln -sf "$WORK/link-target" "$WORK/link-out"
    "$QVPACK" decode -m lh5 -s 100000 "$WORK/garbage" "$WORK/plain-out"
    [ $? -eq 1 ] || return 1
    "$QVPACK" decode -m lh5 -s 100000 "$WORK/garbage" "$WORK/link-out"
    [ $? -eq 1 ] || return 1
    [ ! -e "$WORK/plain-out" ] && [ -L "$WORK/link-out" ]
}
check "a failed command removes a partial file but never a link" failed_output_kinds
# Hostile and damaged files: each row is the exit code, the last line the
# command prints (an extended regular expression for the whole line) and the
# command; the files are made first.
hostile_files() {
    local stub=$WORK/stub.bin applet=$WORK/applet.exe bare offset
    bare=$(stat -c %s "$stub")
    head -c $((bare + 10)) "$applet" >"$WORK/h-cut10.exe"
    { cat "$WORK/rle.qv"; head -c 250 /dev/zero; } >"$WORK/h-zeros250.qv"
    { cat "$WORK/rle.qv"; head -c 512 /dev/zero; } >"$WORK/h-zeros512.qv"
    printf 'a' >"$WORK/a.txt" && : >"$WORK/b.txt"
    "$QVPACK" a -m lh5 -C "$WORK" "$WORK/h-empty-last.qv" a.txt b.txt >/dev/null || return 1
    cp "$stub" "$WORK/h-victim.bin"
    third=$(python3 -c "
import struct, sys
b = open(sys.argv[1], 'rb').read()
at = 21
for _ in range(2):
    n, = struct.unpack_from('<h', b, at)
    c, = struct.unpack_from('<i', b, at + 12)
    at += 25 + n + c
print(at)" "$WORK/rle.qv")
    head -c "$third" "$WORK/rle.qv" >"$WORK/h-cut3.qv"
    local failures=0 code line command
    while IFS='|' read -r code line command; do
        (cd "$WORK" && eval "$command") >"$WORK/h.out" 2>&1
        local got=$?
        if [ "$got" != "$code" ] || ! tail -n 1 "$WORK/h.out" | grep -qxE "$line"; then
            echo "$command: exit $got (want $code), last line: $(tail -n 1 "$WORK/h.out")"
            failures=$((failures + 1))
        fi
    done <<ROWS
1|no archive: 10 bytes at offset $bare, fewer than an archive header's 21|"\$QVPACK" t h-cut10.exe
1|qvpack: no archive: 10 bytes at offset $bare, .*|"\$QVPACK" x -C h-out h-cut10.exe
1|no archive: the archive region ends at offset $bare, where the payload would begin|"\$QVPACK" t stub.bin
1|qvpack: no archive: offset 99999999 lies past the end .*|"\$QVPACK" l --offset 99999999 rle.qv
1|250 bytes follow the archive|"\$QVPACK" t h-zeros250.qv
1|512 bytes follow the archive|"\$QVPACK" t h-zeros512.qv
1|qvpack: warning: 512 bytes follow the archive|"\$QVPACK" l h-zeros512.qv >/dev/null
0|.* 6 member\(s\)|"\$QVPACK" l h-zeros512.qv 2>/dev/null | grep 'member(s)'
0|the archive is good: 2 member\(s\) pass their checks|"\$QVPACK" t h-empty-last.qv
0|ok   b.txt|"\$QVPACK" x -C h-x1 h-empty-last.qv b.txt >/dev/null && [ -f h-x1/b.txt ] && echo 'ok   b.txt'
1|the archive ends early: .*|"\$QVPACK" t h-cut3.qv
1|qvpack: the archive ends early: .*|"\$QVPACK" x -C h-x2 h-cut3.qv >/dev/null
1|qvpack: not among the archive's whole members \(the archive is cut short\): image.iso|"\$QVPACK" x -C h-x3 h-cut3.qv image.iso 2>&1 >/dev/null | sed -n 1p; exit \${PIPESTATUS[0]}
0|the archive is good: 6 member\(s\) pass their checks|cat rle.qv | "\$QVPACK" t -
0|ok|"\$QVPACK" applet --stub h-victim.bin -m rle -o h-victim.bin -C src empty.txt 2>/dev/null >/dev/null && "\$QVPACK" t h-victim.bin >/dev/null && [ -x h-victim.bin ] && echo ok
1|qvpack: a file the run never extracts is among the files \(--strict\)|mkdir -p pub && : > pub/qvorig.qv && : > pub/CdRwLib.dll && : > pub/qvi9cd.qv && : > pub/wnaspi32.dll && "\$QVPACK" applet --strict --stub stub.bin -m rle -o pub.exe -C pub qvorig.qv CdRwLib.dll qvi9cd.qv wnaspi32.dll; s=\$?; [ ! -e pub.exe ] || s=9; exit \$s
1|qvpack: skipped .*/h-links/docs/readme.txt: a symbolic link lies in its way inside the target folder|mkdir -p h-links h-outside && ln -s ../h-outside h-links/docs && "\$QVPACK" x -C h-links rle.qv >/dev/null; s=\$?; [ -z "\$(ls h-outside)" ] || s=9; exit \$s
0|ok|mkdir -p h-rel && "\$QVPACK" a -m rle -C h-rel h-rel.qv ../src/empty.txt >/dev/null && "\$QVPACK" x -C h-rel-out h-rel.qv >/dev/null && [ -f h-rel-out/empty.txt ] && echo ok
1|exit 1|"\$QVPACK" x -C h-flip flip.qv >/dev/null 2>&1; s=\$?; [ ! -e h-flip/qvpack.bin ] || s=9; echo "exit \$s"; exit \$s
0|qvpack [0-9.]+|"\$QVPACK" --version
0|  expand every member to nowhere and check its checksum|"\$QVPACK" help t
ROWS
    [ "$failures" -eq 0 ]
}
check "hostile files get the right verdict" hostile_files
check "usage error exits 2" bash -c '"$0" a -m xyz out 2>/dev/null; [ $? -eq 2 ]' "$QVPACK"

# qvpack image: a folder with what publishers' folders hold, read back by an
# independent reader. Rock Ridge must give back every byte, name, link and
# mode; Joliet (what Windows shows) every name but the link's; the volume id
# and the fixed date must be there; the same folder elsewhere gives the same
# bytes.
make_image_folder() {
    local tree=$1
    mkdir -p "$tree/a/b/c/d/e/f/g/h/i/j" "$tree/empty folder" "$tree/Grüße – ünïcode" "$tree/日本語"
    echo deep >"$tree/a/b/c/d/e/f/g/h/i/j/deep.txt"
    : >"$tree/zero.bin" && : >"$tree/日本語/zero-length"
    echo grüße >"$tree/Grüße – ünïcode/ünïcode.txt"
    echo long >"$tree/$(printf 'n%.0s' $(seq 99)).txt"
    # A path of 195 characters: past what the library would give Joliet by itself.
    local long=$tree/$(printf 'p%.0s' $(seq 90))/$(printf 'q%.0s' $(seq 90))
    mkdir -p "$long" && echo far >"$long/far-away.txt"
    head -c 3000000 /dev/urandom >"$tree/a/large.bin"
    ln -s a/large.bin "$tree/link to large"
    chmod 750 "$tree/a/b"
}
image_read_back() {
    local tree="$WORK/img/My Folder" twin=$WORK/img/twin out=$WORK/img/out
    make_image_folder "$tree" && cp -a "$tree" "$twin" || return 1
    export SOURCE_DATE_EPOCH=1700000000
    "$QVPACK" image "$tree" -o "$WORK/img/a.iso" >/dev/null &&
        "$QVPACK" image --volume-id MY_FOLDER "$twin" -o "$WORK/img/b.iso" >/dev/null || return 1
    unset SOURCE_DATE_EPOCH
    cmp "$WORK/img/a.iso" "$WORK/img/b.iso" || return 1
    osirrox -indev "$WORK/img/a.iso" -extract / "$out" 2>/dev/null &&
        diff -r --no-dereference "$tree" "$out" || return 1
    [ "$(stat -c %a "$out/a/b")" = 750 ] || return 1
    xorriso -indev "$WORK/img/a.iso" -pvd_info 2>/dev/null | grep -q 'Volume Id *: MY_FOLDER$' || return 1
    xorriso -indev "$WORK/img/a.iso" -find / -exec lsdl 2>/dev/null | grep -v 'Nov 14  2023' && return 1
    (cd "$tree" && find . ! -type l | sed 's|^\.||; s|^$|/|' | sort) >"$WORK/img/want"
    xorriso -read_fs norock -indev "$WORK/img/a.iso" -find / 2>/dev/null | tr -d "'" | sort >"$WORK/img/joliet"
    diff "$WORK/img/want" "$WORK/img/joliet"
}
check "qvpack image: read back with xorriso, identical twice" image_read_back

# Folders a CD image cannot carry as they are: exit 1, nothing written, and
# the line naming the file. Each row: what to make in the folder | the line.
image_refusals() {
    local failures=0 make line dir=$WORK/refuse
    while IFS='|' read -r make line; do
        rm -rf "$dir" && mkdir -p "$dir" && (cd "$dir" && eval "$make")
        "$QVPACK" image "$dir" -o "$WORK/refused.iso" >/dev/null 2>"$WORK/refused.err"
        if [ $? -ne 1 ] || [ -e "$WORK/refused.iso" ] || ! grep -qE "$line" "$WORK/refused.err"; then
            echo "$make: $(cat "$WORK/refused.err")"
            failures=$((failures + 1))
        fi
    done <<ROWS
echo 1 >Readme.txt; echo 2 >README.TXT|Readme.txt: has the same Joliet name .* as README.TXT
mkfifo pipe|pipe: a special file
truncate -s 5G huge.bin|huge.bin: 4 GiB or larger: ISO levels 1 and 2 cannot hold it
truncate -s 737280001 big.bin|the image is [0-9]+ bytes \(36[0-9]{4} sectors\), more than a 700 MB CD holds \(360000 sectors
touch "\$(printf 'x%.0s' \$(seq 104))"|x+: the name is longer than the 103 characters Joliet holds
d=\$(printf 'd%.0s' \$(seq 100))/\$(printf 'e%.0s' \$(seq 100)); mkdir -p \$d; : >\$d/\$(printf 'f%.0s' \$(seq 39))|d+/e+/f+: the path is longer than the 240 characters Joliet allows
ROWS
    # Unreadable: root reads everything, so the command runs as nobody then.
    rm -rf "$dir" && mkdir -p "$dir" && echo s >"$dir/secret" && chmod 000 "$dir/secret"
    chmod 755 "$WORK" "$dir"
    local as=()
    [ "$(id -u)" -eq 0 ] && as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    "${as[@]}" "$QVPACK" image "$dir" -o /dev/null 2>&1 | grep -q 'secret: cannot be read' || failures=$((failures + 1))
    [ "$failures" -eq 0 ]
}
check "qvpack image names what a CD cannot carry" image_refusals

# applet --folder --title: the payload's qvi9cd.qv is the folder's image,
# its qvorig.qv carries the title under the key the applet reads.
applet_from_a_folder() {
    local out=$WORK/folder-x
    SOURCE_DATE_EPOCH=1700000000 "$QVPACK" applet --stub "$WORK/stub.bin" -m lh5 -o "$WORK/folder.exe" \
        --folder "$WORK/img/My Folder" --title 'A "quoted" title ' -C "$WORK/src" empty.txt 2>/dev/null >/dev/null &&
        "$QVPACK" x -C "$out" "$WORK/folder.exe" >/dev/null &&
        cmp "$out/qvi9cd.qv" "$WORK/img/a.iso" &&
        [ "$(cat "$out/qvorig.qv")" = $'[TITLE]\r\nTitle ="A "quoted" title "\r' ] &&
        ! ls "${TMPDIR:-/tmp}"/qvpack-* 2>/dev/null
}
check "qvpack applet --folder --title packs the image and the title" applet_from_a_folder

finish_checks
