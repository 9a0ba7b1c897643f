#!/usr/bin/env bash
# Builds the configurations the tests use, each in its own folder under build/:
#   build/linux  Release, Linux (the programs the demo runs)
#   build/asan   Debug with AddressSanitizer and UndefinedBehaviorSanitizer
#   build/win    Release, Windows x86_64 (mingw-w64)
#   build/win32  Release, Windows i686 (mingw-w64), the build a publisher ships
#   build/fuzz   clang with libFuzzer
# Usage: scripts/build.sh [linux|asan|win|win32|fuzz|bench ...]   (default: all but bench)
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}

configure_and_build() {
  local dir=$1; shift
  cmake -S . -B "build/$dir" -G Ninja -DQV_WERROR=ON "$@" >/dev/null
  ninja -C "build/$dir" -j "$JOBS"
}

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(linux asan win win32 fuzz)
for t in "${targets[@]}"; do
  echo "== build $t"
  case $t in
    linux) configure_and_build linux -DCMAKE_BUILD_TYPE=Release ;;
    asan)  configure_and_build asan -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON ;;
    win)   configure_and_build win -DCMAKE_BUILD_TYPE=Release \
             -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ;;
    win32) configure_and_build win32 -DCMAKE_BUILD_TYPE=Release \
             -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake ;;
    fuzz)  CC=clang CXX=clang++ configure_and_build fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
             -DQV_FUZZ=ON -DQV_TESTS=OFF ;;
    bench) configure_and_build bench -DCMAKE_BUILD_TYPE=Release -DQV_BENCH=ON -DQV_TESTS=OFF ;;
    *) echo "unknown build $t" >&2; exit 2 ;;
  esac
done
