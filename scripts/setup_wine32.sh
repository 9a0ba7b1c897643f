#!/usr/bin/env bash
# 32-bit Wine for the 32-bit Windows build: Debian's wine32 from the i386
# architecture, kept only where a 32-bit program really runs.
#
# Whether wine32 installs says nothing about whether it runs: a kernel built
# without 32-bit execution takes the package and then refuses every 32-bit
# program, and Debian's `wine` launcher picks the 32-bit loader whenever it is
# installed, for 64-bit programs too, so a dead wine32 breaks all of Wine. So
# the machine is probed first and the loader tried after installing. Where
# either fails, wine32 and the i386 packages it pulled in are purged, the i386
# architecture is removed again when nothing else uses it (later apt-get
# update calls would otherwise fetch, and sometimes fail on, its lists), and
# the reason is left in build/wine32-missing.txt for scripts/test.sh.
#
# Knobs to try the paths that this machine may not take by itself:
#   QV_NO_32BIT=1    the probe answers that 32-bit programs cannot run
#   QV_FAIL_I386=1   the install of wine32 fails
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
NOTE=$ROOT/build/wine32-missing.txt
LOADER32=/usr/lib/wine/wine
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

REASON_NO_32BIT="this machine cannot run 32-bit programs"
REASON_NO_WINE32="wine32 could not be installed"

wine32_installed() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed'; }
i386_packages() { dpkg-query -W -f='${binary:Package} ${db:Status-Abbrev}\n' '*:i386' 2>/dev/null |
  awk '$2 != "un" { print $1 }'; }
has_i386_architecture() { dpkg --print-foreign-architectures | grep -qx i386; }

# The smallest static i386 program: _exit(0) through int 0x80. It needs no
# library and no package, so the probe asks the kernel alone.
write_probe() { # path
  local header='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  header+='\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
  header+='\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
  local segment='\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
  segment+='\x5b\x00\x00\x00\x5b\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
  local code='\x31\xdb\x31\xc0\x40\xcd\x80'
  printf "$header$segment$code" > "$1"
  chmod 755 "$1"
}

# Prints why 32-bit programs cannot run here, or nothing when they can.
why_no_32bit() {
  if [ "${QV_NO_32BIT:-0}" = 1 ]; then
    echo "the probe was made to fail (QV_NO_32BIT=1)"
    return
  fi
  # Made in the build folder, where the tests' own programs run: /tmp may be
  # mounted without execution.
  local probe out rc=0
  probe=$(mktemp "$ROOT/build/probe32.XXXXXX")
  write_probe "$probe"
  out=$("$probe" 2>&1) || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 0 ] || echo "a 32-bit program ended with exit code $rc: ${out##*: }"
}

why_loader_fails() {
  local out rc=0
  out=$("$LOADER32" --version 2>&1) || rc=$?
  [ "$rc" -eq 0 ] || echo "$LOADER32 --version ended with exit code $rc: ${out##*: }"
}

# Prints why wine32 could not be installed, or nothing once it is.
why_install_fails() {
  if [ "${QV_FAIL_I386:-0}" = 1 ]; then
    echo "the i386 step was made to fail (QV_FAIL_I386=1)"
    return
  fi
  wine32_installed && return
  $SUDO dpkg --add-architecture i386 || { echo "dpkg --add-architecture i386 failed"; return; }
  # A failed update may still leave lists good enough for the install.
  local update="ok"
  $SUDO apt-get update -qq >&2 || update="failed"
  $SUDO apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null ||
    echo "apt-get install wine32:i386 failed (the i386 package lists: update $update)"
}

purge_quietly() { [ $# -eq 0 ] || $SUDO apt-get purge -y -qq "$@" >/dev/null || true; }
# libgcc-s1 counts as protected for every architecture, the i386 one too;
# this is used only on a set checked to hold nothing but i386 packages.
purge_i386_quietly() { [ $# -eq 0 ] || $SUDO apt-get purge -y -qq --allow-remove-essential "$@" >/dev/null || true; }
removed_by_purge() { $SUDO apt-get -s purge "$@" 2>/dev/null | awk '/^Purg |^Remv / { print $2 }' | sort; }

# wine32, then the i386 packages installed only for it (apt's orphans, and
# the automatically installed ones, such as libc6:i386, that apt keeps from
# autoremove), and the architecture when no i386 package is left. Nothing the
# user installed by hand goes: the automatic ones are purged only when that
# takes no other package with them.
remove_wine32() {
  wine32_installed && purge_quietly wine32:i386
  # shellcheck disable=SC2046
  purge_quietly $($SUDO apt-get -s autoremove 2>/dev/null | awk '/^Remv / && $2 ~ /:i386$/ { print $2 }')
  local automatic
  automatic=$(apt-mark showauto 2>/dev/null | grep ':i386$' | sort || true)
  # shellcheck disable=SC2086
  if [ -n "$automatic" ] && [ "$(removed_by_purge $automatic)" = "$automatic" ]; then
    purge_i386_quietly $automatic
  fi
  if has_i386_architecture && [ -z "$(i386_packages)" ]; then
    $SUDO dpkg --remove-architecture i386 && $SUDO apt-get update -qq || true
  fi
}

mkdir -p "$(dirname "$NOTE")"
reason=""
detail=$(why_no_32bit)
if [ -n "$detail" ]; then
  reason="$REASON_NO_32BIT: $detail"
else
  detail=$(why_install_fails)
  if [ -n "$detail" ]; then
    reason="$REASON_NO_WINE32: $detail"
  else
    detail=$(why_loader_fails)
    [ -z "$detail" ] || reason="$REASON_NO_32BIT: $detail"
  fi
fi

if [ -z "$reason" ]; then
  rm -f "$NOTE"
  echo "setup: wine32 present and its loader runs"
  exit 0
fi
echo "$reason" > "$NOTE"
echo "setup: no wine32 ($reason); the 32-bit Windows tests will not run"
remove_wine32
if wine32_installed || [ -x "$LOADER32" ]; then
  echo "setup: wine32 could not be removed: Wine's launcher may pick its 32-bit loader" >&2
  exit 1
fi
