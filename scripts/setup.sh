#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12.
# Idempotent: apt-get skips what is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  wine wine64 xvfb xauth
  lhasa jlha-utils xorriso libburn-dev
  python3 zstd gzip
  osslsigncode openssl
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}" >/dev/null
echo "setup: packages present"
