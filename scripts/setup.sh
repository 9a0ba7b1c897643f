#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12.
# Idempotent: apt-get skips what is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  wine wine64 xvfb xauth
  lhasa jlha-utils xorriso libburn-dev
  python3 zstd gzip
  libfltk1.3-dev libxinerama-dev libxcursor-dev fonts-wine xdotool imagemagick
  osslsigncode openssl
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
# A machine that has the i386 architecture from an earlier run must not fail
# here when only the i386 lists are out of step: retry with the native lists.
$SUDO apt-get update -qq || $SUDO apt-get update -qq -o APT::Architectures="$(dpkg --print-architecture)"
$SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}" >/dev/null
echo "setup: packages present"

# 32-bit Wine for the 32-bit Windows build: Debian's wine32 from the i386
# architecture. The archive's i386 lists are sometimes out of step with the
# amd64 ones, so this step may fail on its own: the architecture is then
# taken away again (later apt-get update calls would fail on it), the reason
# is left for scripts/test.sh, and set-up goes on. QV_FAIL_I386=1 makes the
# step fail on purpose, to try that path.
WINE32_NOTE="$(cd "$(dirname "$0")/.." && pwd)/build/wine32-missing.txt"
wine32_installed() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed'; }
install_wine32() {
  local had_i386=0 reason=""
  dpkg --print-foreign-architectures | grep -qx i386 && had_i386=1
  if [ "${QV_FAIL_I386:-0}" != 1 ] && wine32_installed; then
    :
  elif ! $SUDO dpkg --add-architecture i386; then
    reason="dpkg --add-architecture i386 failed"
  else
    # A failed update may still leave lists good enough for the install.
    local update="ok"
    $SUDO apt-get update -qq || update="failed"
    if [ "${QV_FAIL_I386:-0}" = 1 ]; then
      reason="the i386 step was made to fail (QV_FAIL_I386=1)"
    elif ! $SUDO apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; then
      reason="apt-get install wine32:i386 failed (the i386 package lists: update $update)"
    fi
  fi
  mkdir -p "$(dirname "$WINE32_NOTE")"
  if [ -z "$reason" ]; then
    rm -f "$WINE32_NOTE"
    echo "setup: wine32 present"
    return 0
  fi
  echo "$reason" > "$WINE32_NOTE"
  echo "setup: no wine32 ($reason); the 32-bit Windows tests will not run"
  if [ "$had_i386" = 0 ] && ! wine32_installed; then
    $SUDO dpkg --remove-architecture i386 || true
    $SUDO apt-get update -qq || true
  fi
  return 0
}
install_wine32
