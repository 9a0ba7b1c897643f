#!/usr/bin/env bash
# One bounded fuzzing round that builds on earlier ones:
#   tests/fuzz/fuzz_round.sh FUZZER SECONDS cache|committed
# The fuzzer runs SECONDS on a scratch copy of its committed corpus
# (tests/fuzz/corpus/NAME) and of this machine's cache (outside the clone,
# kept between runs; QV_FUZZ_CACHE overrides it), or on the peer lh5
# streams when both are empty. Then everything the round knows is minimised
# with libFuzzer's merge into the folder named: the cache (what CI does) or
# the committed corpus (tests/fuzz/grow_corpus.sh). Exits with the fuzzer's
# status; a failed merge leaves that folder as it was.
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: $0 FUZZER SECONDS cache|committed" >&2; exit 2; }
fuzzer=$1 seconds=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
name=$(basename "$fuzzer")
committed=$root/tests/fuzz/corpus/$name
cache=${QV_FUZZ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qvapplet/fuzz}/$name
peer_streams=$root/../shared/corpus/lh5
case $3 in
  cache) into=$cache ;;
  committed) into=$committed ;;
  *) echo "usage: $0 FUZZER SECONDS cache|committed" >&2; exit 2 ;;
esac
# Inputs stay short: the targets cap their outputs anyway, and short inputs
# keep each round fast and the kept corpus small.
options=(-max_len=4096 -rss_limit_mb=2048 -timeout=10)
# A crashing input lands under build/, never in the clone's top folder.
artifacts=$root/build/fuzz-artifacts/$name/
mkdir -p "$artifacts"

work=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$work" "$log"' EXIT
for from in "$committed" "$cache"; do
  [ -d "$from" ] && find "$from" -maxdepth 1 -type f -exec cp -t "$work" {} +
done
if [ -z "$(ls -A "$work")" ]; then
  cp "$peer_streams"/*.lh? "$work"/ 2>/dev/null || true
fi

"$fuzzer" "${options[@]}" -artifact_prefix="$artifacts" -max_total_time="$seconds" \
  -print_final_stats=1 "$work"
status=$?
[ "$status" -eq 0 ] || echo "the failing input is kept in $artifacts" >&2

mkdir -p "$(dirname "$into")"
kept=$(mktemp -d "$into.XXXXXX")
if "$fuzzer" "${options[@]}" -merge=1 "$kept" "$work" >"$log" 2>&1; then
  chmod 755 "$kept"
  rm -rf "$into" && mv "$kept" "$into"
  echo "corpus $into: $(ls "$into" | wc -l) inputs, $(du -sk --apparent-size "$into" | cut -f1) KB"
else
  echo "merge failed, $into kept as it was:" >&2
  tail -5 "$log" >&2
  rm -rf "$kept"
fi
exit "$status"
