#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12.
# Idempotent: apt-get skips what is already there.
#   scripts/setup.sh --check   installs nothing; exits 0 when every package
#                              is installed and the 32-bit Wine question is
#                              settled, 1 when a set-up is due
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  wine wine64 xvfb xauth
  lhasa jlha-utils xorriso libburn-dev libisofs-dev libjte-dev libacl1-dev libbz2-dev
  python3 zstd gzip
  libfltk1.3-dev libxinerama-dev libxcursor-dev fonts-wine fonts-dejavu-core xdotool imagemagick
  osslsigncode openssl file
)

package_installed() { dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null | grep -q '^ii'; }
# wine32 runs, or set-up has noted why the 32-bit Windows tests cannot run.
wine32_settled() {
  [ -s "$(dirname "$0")/../build/wine32-missing.txt" ] ||
    { package_installed wine32:i386 && /usr/lib/wine/wine --version >/dev/null 2>&1; }
}
if [ "${1:-}" = --check ]; then
  for package in "${PACKAGES[@]}"; do
    package_installed "$package" || { echo "setup: $package is not installed"; exit 1; }
  done
  wine32_settled || { echo "setup: the 32-bit Wine check has not run here"; exit 1; }
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
# A machine that has the i386 architecture from an earlier run must not fail
# here when only the i386 lists are out of step: retry with the native lists.
$SUDO apt-get update -qq || $SUDO apt-get update -qq -o APT::Architectures="$(dpkg --print-architecture)"
$SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}" >/dev/null
echo "setup: packages present"

# 32-bit Wine, only where 32-bit programs run (its own script says why).
bash "$(dirname "$0")/setup_wine32.sh"
