#!/bin/bash
# The lh5 codec against independent LHA tools used as black boxes:
#  (a) our encoder's raw stream, wrapped in a minimal level-0 LHA header, must
#      extract bit-exact with lhasa;
#  (b) lh5 members made by jlha must decode bit-exact with our decoder.
# Usage: lh5_interop.sh PATH/TO/qvpack
# With LH5_INTEROP_BENCH=1 it also measures compression time and size against
# jlha and gzip -6 (one run each, so the figures are ratios of the same run).
set -euo pipefail

readonly QVPACK=$(realpath "${1:?usage: $0 PATH/TO/qvpack}")
. "$(dirname "$0")/harness/common.bash"
readonly WORK=$work
readonly UNABLE_TEXT="Could not compress data, will store instead"

for tool in lhasa jlha xorriso python3 gzip; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool"; echo "0 passed, 1 failed"; exit 1; }
done

# LHA headers: wrap a raw stream as a level-0 member, or pull the raw stream
# of the first member out of an archive of any header level.
cat >"$WORK/lha.py" <<'PY'
import struct, sys

def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc

def wrap(raw_path, orig_path, name, out_path):
    raw = open(raw_path, 'rb').read()
    orig = open(orig_path, 'rb').read()
    name_b = name.encode()
    dos_time = (0 << 11) | (0 << 5) | 0          # 00:00:00
    dos_date = ((2000 - 1980) << 9) | (1 << 5) | 1  # 2000-01-01
    body = (b'-lh5-' + struct.pack('<III', len(raw), len(orig), (dos_date << 16) | dos_time)
            + bytes([0x20, 0, len(name_b)]) + name_b + struct.pack('<H', crc16(orig)))
    header = bytes([len(body), sum(body) & 0xFF]) + body
    open(out_path, 'wb').write(header + raw + b'\0')

def extract(archive_path, raw_path):
    d = open(archive_path, 'rb').read()
    level = d[20]
    method = d[2:7].decode()
    packed, orig = struct.unpack('<II', d[7:15])
    if level == 0:
        start = 2 + d[0]
    elif level == 1:
        start = 2 + d[0]
        ext = struct.unpack('<H', d[start - 2:start])[0]
        while ext:
            packed -= ext
            start += ext
            ext = struct.unpack('<H', d[start - 2:start])[0]
    elif level == 2:
        start = struct.unpack('<H', d[0:2])[0]
    else:
        sys.exit('unsupported header level %d' % level)
    open(raw_path, 'wb').write(d[start:start + packed])
    print(method, orig)

if sys.argv[1] == 'wrap':
    wrap(*sys.argv[2:6])
else:
    extract(*sys.argv[2:4])
PY
lha() { python3 "$WORK/lha.py" "$@"; }

# ---- inputs -------------------------------------------------------------
mkdir -p "$WORK/in"
cat /usr/share/common-licenses/* > "$WORK/text.all"
while [ "$(stat -c%s "$WORK/text.all")" -lt 3000000 ]; do
    cat "$WORK/text.all" "$WORK/text.all" > "$WORK/text.tmp" && mv "$WORK/text.tmp" "$WORK/text.all"
done
head -c 40000 "$WORK/text.all" > "$WORK/in/text-40k.txt"
head -c 3000000 "$WORK/text.all" > "$WORK/in/text-3m.txt"
for n in 0 1 2 8191 8192 8193; do head -c $n "$WORK/text.all" > "$WORK/in/text-$n.txt"; done
cp /usr/bin/bash "$WORK/in/bash.bin"
cat /usr/bin/python3* /usr/bin/perl 2>/dev/null | head -c 4000000 > "$WORK/in/binaries-4m.bin" || true
mkdir -p "$WORK/isosrc"
for d in /usr/share/doc/*/; do
    cp -r "$d" "$WORK/isosrc/" 2>/dev/null || true
    [ "$(du -sm "$WORK/isosrc" | cut -f1)" -ge 4 ] && break
done
xorriso -as mkisofs -quiet -o "$WORK/in/doc.iso" "$WORK/isosrc" 2>/dev/null
python3 -c "
import random, sys
r = random.Random(1)
open(sys.argv[1], 'wb').write(bytes(r.getrandbits(8) for _ in range(300000)))" "$WORK/in/random.bin"
head -c 2000000 /dev/zero | tr '\0' 'Q' > "$WORK/in/constant.bin"
head -c 1 /dev/zero | tr '\0' 'Q' > "$WORK/in/constant-1.bin"

# ---- (a) our encoder, extracted by lhasa -----------------------------------
encode_case() {
    local f=$1 name=$2 size
    size=$(stat -c%s "$f")
    local out="$WORK/enc/$name"
    mkdir -p "$out"
    if ! "$QVPACK" encode -m lh5 "$f" "$out/raw" >"$out/log" 2>&1; then
        if grep -q "$UNABLE_TEXT" "$out/log"; then
            # The container would store it; it must be data that really does
            # not shrink (gzip cannot shrink it either).
            local gz
            gz=$(gzip -9 -c "$f" | wc -c)
            if [ "$size" -le 2 ] || [ "$gz" -ge "$size" ]; then
                pass "encode $name ($size bytes): stored (incompressible)"
            else
                fail "encode $name ($size bytes): refused although gzip makes $gz bytes"
            fi
        else
            fail "encode $name: $(cat "$out/log")"
        fi
        return
    fi
    local packed
    packed=$(stat -c%s "$out/raw")
    lha wrap "$out/raw" "$f" "$name" "$out/a.lzh"
    mkdir -p "$out/x"
    if (cd "$out/x" && lhasa xqf "$out/a.lzh" >"$out/lhasa.log" 2>&1) && cmp -s "$f" "$out/x/$name"; then
        pass "encode $name ($size -> $packed bytes): lhasa extracts it bit-exact"
    else
        fail "encode $name ($size -> $packed bytes): lhasa $(cat "$out/lhasa.log")"
    fi
}

# ---- (b) jlha's lh5 members, decoded by us ---------------------------------
decode_case() {
    local f=$1 name=$2 size
    size=$(stat -c%s "$f")
    local out="$WORK/dec/$name"
    mkdir -p "$out"
    cp "$f" "$out/$name"
    if ! (cd "$out" && jlha cq2o5 a.lzh "$name" >"$out/jlha.log" 2>&1); then
        fail "decode $name: jlha failed: $(cat "$out/jlha.log")"
        return
    fi
    local info method
    info=$(lha extract "$out/a.lzh" "$out/raw")
    method=${info%% *}
    if [ "$method" != "-lh5-" ]; then
        if [ "$size" -le 2 ] || [ "$method" = "-lh0-" ]; then
            pass "decode $name ($size bytes): jlha stored it as $method"
        else
            fail "decode $name: jlha chose $method"
        fi
        return
    fi
    if "$QVPACK" decode -m lh5 -s "$size" "$out/raw" "$out/back" >"$out/log" 2>&1 &&
        cmp -s "$f" "$out/back"; then
        pass "decode $name ($(stat -c%s "$out/raw") -> $size bytes): jlha's stream decodes bit-exact"
    else
        fail "decode $name: $(cat "$out/log")"
    fi
}

for f in "$WORK"/in/*; do
    name=$(basename "$f")
    encode_case "$f" "$name"
    decode_case "$f" "$name"
done

# ---- optional measurement ------------------------------------------------
seconds() { python3 -c 'import time; print(f"{time.monotonic():.3f}")'; }
measure() {
    local f=$1 label=$2 t0 t1 t2 t3 ours jl gz
    t0=$(seconds)
    "$QVPACK" encode -m lh5 "$f" "$WORK/m.raw" >/dev/null 2>&1 || true
    t1=$(seconds)
    rm -f "$WORK/m.lzh"
    (cd "$(dirname "$f")" && jlha cq2o5 "$WORK/m.lzh" "$(basename "$f")" >/dev/null 2>&1)
    t2=$(seconds)
    gzip -6 -c "$f" > "$WORK/m.gz"
    t3=$(seconds)
    ours=$(stat -c%s "$WORK/m.raw"); jl=$(stat -c%s "$WORK/m.lzh"); gz=$(stat -c%s "$WORK/m.gz")
    python3 - "$label" "$(stat -c%s "$f")" "$t0" "$t1" "$t2" "$t3" "$ours" "$jl" "$gz" <<'PY'
import sys
label, size = sys.argv[1], int(sys.argv[2])
t0, t1, t2, t3 = map(float, sys.argv[3:7])
ours, jl, gz = map(int, sys.argv[7:10])
o, j, g = t1 - t0, t2 - t1, t3 - t2
print(f"bench {label}: {size} bytes; ours {o:.2f} s {size/o/1e6:.1f} MB/s size {ours}; "
      f"jlha {j:.2f} s size {jl} (archive); gzip -6 {g:.2f} s size {gz}; "
      f"speed vs jlha x{j/o:.2f}, vs gzip x{g/o:.2f}; size vs jlha {100*(ours/jl-1):+.2f} %")
PY
}
if [ "${LH5_INTEROP_BENCH:-0}" = 1 ]; then
    mkdir -p "$WORK/big"
    cp -r /usr/share/doc "$WORK/big/doc" 2>/dev/null || true
    xorriso -as mkisofs -quiet -o "$WORK/big.iso" "$WORK/big" 2>/dev/null
    measure "$WORK/big.iso" "iso"
    measure "$WORK/in/text-3m.txt" "text"
    measure "$WORK/in/binaries-4m.bin" "binaries"
fi

finish_checks
