#!/usr/bin/env bash
# A publisher's folder to an applet, two ways in the same run: qvpack
# applet --folder (the image made while it is coded) against xorriso's
# mkisofs image followed by qvpack applet. Prints one line: seconds and
# peak resident memory of each, and the disc space the image file took.
# Usage: tests/bench/folder_applet_bench.sh QVPACK [WORKDIR]   (FOLDER_MB=600)
set -euo pipefail
QVPACK=$(realpath "$1")
WORK=${2:-$(mktemp -d)}
FOLDER_MB=${FOLDER_MB:-600}
mkdir -p "$WORK/folder"
cd "$WORK"
trap 'rm -rf "$WORK/folder" "$WORK"/*.exe "$WORK/qvi9cd.qv"' EXIT
# Real files (libraries, documents), as a publisher's folder would hold.
find /usr/lib /usr/share -xdev -type f -readable -size +4k -printf '%s %p\n' 2>/dev/null | sort -k2 |
  awk -v limit=$((FOLDER_MB * 1048576)) '{ total += $1; if (total > limit) exit; print substr($0, index($0, " ") + 1) }' |
  while read -r f; do mkdir -p "folder/$(dirname "$f")" && cp "$f" "folder/$f"; done ||
  true # find and sort end on a closed pipe once awk has enough
# The stub: bytes with a payload slot stamped with its own size.
python3 -c "
import struct
body = bytes(range(256)) * 40
marker = b'QV-PAYLOAD' + b'-SLOT\x1a'
open('stub.bin', 'wb').write(body + marker + struct.pack('<Q', len(body) + len(marker) + 108) + bytes(100))"
export SOURCE_DATE_EPOCH=1700000000
measure() { /usr/bin/time -f '%e %M' -o "$1.time" "${@:2}" >/dev/null 2>&1; cat "$1.time"; }
read -r a_s a_kb < <(measure a "$QVPACK" applet --stub stub.bin -m lh5 -o a.exe --folder folder)
read -r m_s m_kb < <(measure m xorriso -as mkisofs -quiet -R -J -o qvi9cd.qv folder)
read -r p_s p_kb < <(measure p "$QVPACK" applet --stub stub.bin -m lh5 -o b.exe qvi9cd.qv)
printf '%s MiB folder: applet --folder %.1f s, peak %d MB | mkisofs %.1f s + applet %.1f s = %.1f s, peak %d MB, image file %d MB\n' \
  "$(du -sm folder | cut -f1)" "$a_s" $((a_kb / 1024)) "$m_s" "$p_s" "$(awk "BEGIN { print $m_s + $p_s }")" \
  $(((m_kb > p_kb ? m_kb : p_kb) / 1024)) $(($(stat -c %s qvi9cd.qv) / 1000000))
