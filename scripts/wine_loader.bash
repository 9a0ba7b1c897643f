# Wine's loader chosen by the program's bitness, sourced by scripts/wine.sh
# and the Wine test harnesses. Debian's `wine` launcher takes the 32-bit
# loader whenever wine32 is installed, also for 64-bit programs, so on a
# machine whose wine32 cannot run every program would fail through it: a
# 64-bit program goes to the 64-bit loader, a 32-bit one to the 32-bit loader
# only where that loader runs.

QV_WINE64_LOADER=/usr/lib/wine/wine64
QV_WINE32_LOADER=/usr/lib/wine/wine

# 32 or 64 for a PE file, nothing for anything else (a builtin such as reg).
qv_pe_bits() { # file
  [ -f "$1" ] || return 0
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$pe" ] || return 0
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  case $machine in
    8664) echo 64 ;;
    014c) echo 32 ;;
  esac
}

qv_wine32_runs() { "$QV_WINE32_LOADER" --version >/dev/null 2>&1; }

# The loader for 32 or 64 bits; fails, saying why, for 32 bits where none runs.
qv_wine_loader() { # bits
  if [ "$1" = 32 ]; then
    qv_wine32_runs && { echo "$QV_WINE32_LOADER"; return 0; }
    echo "wine: no 32-bit Wine loader runs on this machine ($QV_WINE32_LOADER)" >&2
    return 1
  fi
  if [ -x "$QV_WINE64_LOADER" ]; then echo "$QV_WINE64_LOADER"
  else command -v wine64 || command -v wine; fi
}

# The command line that runs a program, or a builtin with the given default
# bitness, under the loader its bitness needs, left in QV_WINE_COMMAND.
qv_wine_command() { # default bits for builtins, then the wine arguments
  local bits loader
  bits=$(qv_pe_bits "$2")
  loader=$(qv_wine_loader "${bits:-$1}") || return 126
  QV_WINE_COMMAND=("$loader" "${@:2}")
  # The 64-bit loader is told its own path, as Debian's launcher does: a
  # process it starts is started through the same loader.
  if [ "$loader" = "$QV_WINE64_LOADER" ] && [ -z "${WINELOADER:-}" ]; then
    QV_WINE_COMMAND=(env "WINELOADER=$loader" "${QV_WINE_COMMAND[@]}")
  fi
}

qv_wine() { # default bits for builtins, then the wine arguments
  qv_wine_command "$@" || return
  "${QV_WINE_COMMAND[@]}"
}
