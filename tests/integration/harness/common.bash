# Shared by every integration script (sourced, not run): finds the builds,
# counts the checks, gives the script one work folder for its runs, starts
# virtual displays and tidies up at exit. KEEP=1 keeps the work folder (its path is printed first)
# instead of removing it.

passed=0; failed=0
pass() { passed=$((passed + 1)); echo "ok   $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
# With CHECK_QUIET=1 the command's output is shown only when it fails.
check() { # name, then the command that must succeed
  local name=$1; shift
  if [ -z "${CHECK_QUIET:-}" ]; then
    if "$@"; then pass "$name"; else fail "$name"; fi
  elif "$@" >"$work/check.log" 2>&1; then pass "$name"
  else fail "$name"; sed 's/^/    /' "$work/check.log" | head -20; fi
}
finish_checks() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# The builds from a script's argument: the path of qvpack inside a Linux build
# (as scripts/test.sh passes it), a Linux build folder, or the root holding
# linux/ and win/. Sets LINUX_BUILD and WIN_BUILD, the sibling "win" of the
# Linux build unless QV_WIN_BUILD names another.
find_builds() { # argument
  local arg=${1:-build/linux}
  if [ -f "$arg" ]; then LINUX_BUILD=$(cd "$(dirname "$arg")/../.." && pwd)
  elif [ -d "$arg/ui" ]; then LINUX_BUILD=$(cd "$arg" && pwd)
  else LINUX_BUILD=$(cd "$arg" && pwd)/linux; fi
  WIN_BUILD=${QV_WIN_BUILD:-$(dirname "$LINUX_BUILD")/win}
}
# Ends the script as failed when a program it needs is missing.
need_files() { # files
  local file
  for file in "$@"; do
    [ -f "$file" ] || { echo "missing $file"; echo "0 passed, 1 failed"; exit 1; }
  done
}

# What a script started (a server, a mount) is ended at exit by a step it
# registers, latest first; then the work folder goes unless KEEP is set. A
# script that sets an exit trap of its own calls cleanup from it.
exit_steps=()
at_exit() { exit_steps+=("$1"); }
cleanup() {
  local i
  for ((i = ${#exit_steps[@]} - 1; i >= 0; i--)); do eval "${exit_steps[i]}" || true; done
  if [ -z "${KEEP:-}" ]; then rm -rf "$work"; fi
}
work=$(mktemp -d)
if [ -n "${KEEP:-}" ]; then echo "work folder $work (kept)"; fi
trap cleanup EXIT

# A virtual display of its own for the script, whatever the machine has;
# every one started is ended at exit.
xvfbs=()
at_exit 'kill "${xvfbs[@]}" 2>/dev/null'
start_xvfb() { # bits per pixel, [size]
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 "${2:-1024x768}x$1" -nolisten tcp 3>"$work/display" 2>/dev/null &
  xvfbs+=($!)
  local i
  for i in $(seq 1 300); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "Xvfb did not start"; return 1; }
  export DISPLAY=:$(head -n1 "$work/display")
}
