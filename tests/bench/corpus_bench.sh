#!/usr/bin/env bash
# Corpus benchmark: our LH5 (and RLE/NON) against independent tools on the
# same files in the same run. Prints MB/s (uncompressed side), the stored
# size in percent, and our figures as ratios against each reference.
# Usage: tests/bench/corpus_bench.sh QVPACK [WORKDIR]   (ISO_MB=110 by default)
# MEASURE=wall (default) times the wall clock; MEASURE=cpu takes user + system
# time, steadier on a loaded machine (it charges a JVM's helper threads too).
# BASE=/path/to/other/qvpack also times that build's LH5 compression in the
# same run (before/after comparisons); FILES picks corpus files.
set -euo pipefail
QVPACK=$(realpath "$1")
WORK=${2:-$(dirname "$QVPACK")/../../bench-corpus}
ISO_MB=${ISO_MB:-110}
RUNS=${RUNS:-3}
mkdir -p "$WORK"
WORK=$(realpath "$WORK")
cd "$WORK"

make_corpus() {
  [ -s iso.bin ] && [ -s binaries.bin ] && return
  echo "making the corpus in $WORK (once)..." >&2
  local tree; tree=$(mktemp -d)
  mkdir -p "$tree/doc" "$tree/lib" "$tree/locale"
  cp -r /usr/share/doc/. "$tree/doc/" 2>/dev/null || true
  cp /usr/lib/x86_64-linux-gnu/*.so* "$tree/lib/" 2>/dev/null || true
  cp -r /usr/share/locale/. "$tree/locale/" 2>/dev/null || true
  xorriso -as mkisofs -quiet -R -J -o full.iso "$tree" 2>/dev/null
  head -c $((ISO_MB * 1024 * 1024)) full.iso > iso.bin
  rm -rf "$tree" full.iso
  # head closes the pipes early; the writers' SIGPIPE is expected
  { find /usr/share/doc /usr/share/common-licenses -type f -name '*.gz' -print0 | xargs -0 zcat 2>/dev/null
    find /usr/share/doc /usr/share/common-licenses -type f ! -name '*.gz' -print0 | xargs -0 cat 2>/dev/null
  } | head -c $((24 * 1024 * 1024)) > text.bin || true
  find /usr/bin -type f -size +10k -print0 | sort -z | xargs -0 cat 2>/dev/null | head -c $((24 * 1024 * 1024)) > binaries.bin || true
  head -c $((8 * 1024 * 1024)) /dev/urandom > random.bin
}

MEASURE=${MEASURE:-wall}
# one_run CMD...: seconds of one run, wall clock or CPU by MEASURE
one_run() {
  local TIMEFORMAT='%R %U %S' out
  out=$( { time "$@" >/dev/null 2>&1; } 2>&1 ) || true
  if [ "$MEASURE" = cpu ]; then echo "$out" | awk '{print $2 + $3}'; else echo "$out" | awk '{print $1}'; fi
}
# best_of CMD...: the shortest time of RUNS runs, in seconds
best_of() {
  local best=1e9 t
  for _ in $(seq "$RUNS"); do
    t=$(one_run "$@")
    best=$(awk -v a="$t" -v b="$best" 'BEGIN{print (a<b)?a:b}')
  done
  echo "$best"
}
mbps() { awk -v b="$1" -v s="$2" 'BEGIN{printf "%.1f", b/1e6/s}'; }
pct() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.1f", 100*a/b}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }

make_corpus
echo "timing: $MEASURE, best of $RUNS"
printf '%-9s %-26s %9s %8s\n' file codec MB/s size%
BASE=${BASE:+$(realpath "$BASE")}
for f in ${FILES:-iso text binaries random}; do
  src=$f.bin; size=$(stat -c %s "$src")
  rm -f "$f.lzh" && jlha co5q "$f.lzh" "$src" >/dev/null 2>&1 || true
  "$QVPACK" encode -m lh5 "$src" "$f.lh5" >/dev/null 2>&1 || cp "$src" "$f.lh5"
  gzip -6 -c "$src" > "$f.gz"; zstd -3 -q -f "$src" -o "$f.zst"

  t_enc=$(best_of "$QVPACK" encode -m lh5 "$src" "$f.tmp")
  [ -n "$BASE" ] && t_base=$(best_of "$BASE" encode -m lh5 "$src" "$f.tmp")
  t_dec=$(best_of "$QVPACK" decode -m lh5 -s "$size" "$f.lh5" /dev/null)
  t_jlha=$(RUNS=1 best_of sh -c "rm -f $f.j.lzh; jlha co5q $f.j.lzh $src")
  t_lhasa=$(best_of lhasa pq "$f.lzh")
  t_gz=$(best_of gzip -6 -c "$src")
  t_gunzip=$(best_of gzip -d -c "$f.gz")
  t_zstd=$(best_of zstd -d -c "$f.zst")
  t_cat=$(best_of cat "$src")
  t_rle=$(best_of "$QVPACK" encode -m rle "$src" "$f.tmp")
  t_non=$(best_of "$QVPACK" encode -m non "$src" "$f.tmp")

  s_lh5=$(stat -c %s "$f.lh5"); s_lzh=$(stat -c %s "$f.lzh" 2>/dev/null || echo "$size")
  printf '%-9s %-26s %9s %8s\n' "$f" "ours lh5 compress" "$(mbps "$size" "$t_enc")" "$(pct "$s_lh5" "$size")"
  printf '%-9s %-26s %9s %8s\n' "$f" "ours lh5 expand" "$(mbps "$size" "$t_dec")" ""
  printf '%-9s %-26s %9s %8s\n' "$f" "jlha lh5 compress" "$(mbps "$size" "$t_jlha")" "$(pct "$s_lzh" "$size")"
  printf '%-9s %-26s %9s %8s\n' "$f" "lhasa lh5 extract" "$(mbps "$size" "$t_lhasa")" ""
  printf '%-9s %-26s %9s %8s\n' "$f" "gzip -6 compress" "$(mbps "$size" "$t_gz")" "$(pct "$(stat -c %s "$f.gz")" "$size")"
  printf '%-9s %-26s %9s %8s\n' "$f" "gzip -d" "$(mbps "$size" "$t_gunzip")" ""
  printf '%-9s %-26s %9s %8s\n' "$f" "zstd -d" "$(mbps "$size" "$t_zstd")" ""
  printf '%-9s %-26s %9s %8s\n' "$f" "cat (page cache)" "$(mbps "$size" "$t_cat")" ""
  printf '%-9s %-26s %9s %8s\n' "$f" "ours rle compress" "$(mbps "$size" "$t_rle")" ""
  printf '%-9s %-26s %9s %8s\n' "$f" "ours non store" "$(mbps "$size" "$t_non")" ""
  echo "$f ratios: expand/lhasa $(ratio "$t_lhasa" "$t_dec")x, expand/gzip-d $(ratio "$t_gunzip" "$t_dec")x, compress/jlha $(ratio "$t_jlha" "$t_enc")x, compress/gzip-6 $(ratio "$t_gz" "$t_enc")x, size lh5/jlha $(ratio "$s_lh5" "$s_lzh"), non/cat $(ratio "$t_cat" "$t_non")x"
  if [ -n "$BASE" ]; then
    printf '%-9s %-26s %9s\n' "$f" "base lh5 compress" "$(mbps "$size" "$t_base")"
    echo "$f ratios: compress/base $(ratio "$t_base" "$t_enc")x, base/jlha $(ratio "$t_jlha" "$t_base")x, base/gzip-6 $(ratio "$t_gz" "$t_base")x"
  fi
  rm -f "$f.tmp" "$f.j.lzh"
done
