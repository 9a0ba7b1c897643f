#!/usr/bin/env bash
# Grows the committed corpora: each fuzzer runs SECONDS (default 180) on its
# corpus under tests/fuzz/corpus/ plus what CI found on this machine, and the
# minimised result replaces the committed corpus (see fuzz_round.sh). Needs
# the fuzz build (scripts/build.sh fuzz); commit tests/fuzz/corpus/ after.
#   tests/fuzz/grow_corpus.sh [SECONDS] [TARGET...]   (default: every target)
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-180}
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in build/fuzz/tests/fuzz/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzzers: run scripts/build.sh fuzz first" >&2; exit 2; }
failed=0
for name in "${targets[@]}"; do
  echo "== grow $name"
  bash tests/fuzz/fuzz_round.sh "build/fuzz/tests/fuzz/$name" "$seconds" committed || failed=1
done
exit "$failed"
