#!/usr/bin/env bash
# The main job, as far as the project goes today: set up, build, make a
# small sample corpus (a data-disc image, text, binaries) and code every
# file with LH5 through qvpack, printing sizes, ratio and speed, and
# checking that each file comes back bit for bit.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Installing the packages the job needs (apt-get, a few minutes on a fresh machine)..."
bash scripts/setup.sh
# The build's own progress, one line redrawn: "[done/total]" of its steps;
# its whole output is shown only when it fails.
echo "Building the Linux programs..."
build_log=$(mktemp)
if ! bash scripts/build.sh linux 2>&1 | tee "$build_log" |
  awk '/^\[[0-9]+\/[0-9]+\]/ { printf "\r  step %s", $1; fflush() } END { print "" }'; then
  cat "$build_log" >&2
  exit 1
fi
rm -f "$build_log"
QVPACK=$PWD/build/linux/tools/qvpack/qvpack

echo "Making the sample corpus (a data-disc image, text, a binary)..."

# The tests' harness gives the demo its work folder (kept with KEEP=1), the
# applet and engine of the build, and the event-log driver.
source tests/integration/harness/linux_applet.bash "$PWD/build/linux"
mkdir -p "$work/tree"
cp -r /usr/share/doc/[a-g]* "$work/tree/" 2>/dev/null || true
# One fixed date for every image: the same folder then gives the same bytes.
export SOURCE_DATE_EPOCH=1700000000
"$QVPACK" image --volume-id DEMO_DISC "$work/tree" -o "$work/disc.iso" 2>/dev/null
find /usr/share/common-licenses -type f -print0 | xargs -0 cat > "$work/licenses.txt"
cp "$QVPACK" "$work/qvpack.bin"

echo "Coding the sample corpus with LH5:"
for f in "$work/disc.iso" "$work/licenses.txt" "$work/qvpack.bin"; do
  size=$(stat -c %s "$f")
  "$QVPACK" encode -m lh5 "$f" "$f.lh5"
  "$QVPACK" decode -m lh5 -s "$size" "$f.lh5" "$f.back"
  cmp -s "$f" "$f.back" && echo "  $(basename "$f"): identical after the round trip"
done

# The applet: a publisher's content folder packed into "Applet.exe" with the
# packing switch, listed with qvpack, and spawned into a second folder.
content=$work/publisher
mkdir -p "$content" "$work/disc-tree"
cp -r /usr/share/doc/[h-k]* /usr/share/doc/m* /usr/share/doc/[q-s]* "$work/disc-tree/" 2>/dev/null || true
"$QVPACK" image --volume-id APPLET_DEMO "$work/disc-tree" -o "$content/qvi9cd.qv" 2>/dev/null
printf 'Demo source line\r\n[TITLE]\r\nTitle =Applet Demo Disc\r\n[TRACKS AND TAGS]\r\n1=Documents\r\n' \
  > "$content/qvorig.qv"
cp "$ENGINE" "$content/CdRwLib.dll"
echo "placeholder ASPI layer" > "$content/mqv2k.qv"
mkdir -p "$work/originals"
cp "$content"/* "$work/originals/"
cp "$APPLET" "$content/qvapplet"

echo
echo "Packing the publisher's folder with /max#13/#10:"
(cd "$content" && ./qvapplet '/max#13/#10')
for _ in $(seq 1 100); do [ -e "$content/qv1e.bat" ] || break; sleep 0.1; done
ls -l "$content"
"$QVPACK" l "$content/Applet.exe"

echo
echo "Spawning Applet.exe into a second folder with /spawnqv00#13/#10:"
mkdir -p "$work/user"
cp "$content/Applet.exe" "$work/user/"
(cd "$work/user" && ./Applet.exe '/spawnqv00#13/#10')
for f in "$work/originals"/*; do
  name=$(basename "$f")
  if cmp -s "$f" "$work/user/$name"; then echo "  $name: identical"; else echo "  $name: DIFFERENT"; exit 1; fi
done

# The publisher's way: qvpack builds the applet from the bare one, the disc's
# folder (its image goes in as qvi9cd.qv) and the other files; the burns
# below use this applet, so the disc must equal the image made above.
echo
echo "Building Applet.exe with qvpack applet --folder:"
mkdir -p "$work/packed"
"$QVPACK" applet --stub "$APPLET" -m lh5 -o "$work/packed/Applet.exe" --volume-id APPLET_DEMO \
  --folder "$work/disc-tree" -C "$work/originals" qvorig.qv CdRwLib.dll mqv2k.qv 2>/dev/null
"$QVPACK" l "$work/packed/Applet.exe"

# Runs the applet of a folder against the recorder configuration beside it
# through the harness's event-log driver, presses OK once the CD is done, and
# draws the progress bar and the console lines from the log as it grows;
# libburn's own messages go to the error output.
drive_applet() { # folder
  local d=$1 driver code
  run "$d" 600 'caption right: &OK=>right' > "$d/code" &
  driver=$!
  tail -F --pid="$driver" -s 0.2 -n +1 "$d/log" 2>/dev/null | draw_event_log
  wait "$driver"
  code=$(cat "$d/code")
  return "${code:-1}"
}
draw_event_log() {
  awk '/^gauge main: [0-9]+\/100$/ {
         split($3, part, "/"); percent = part[1] > 100 ? 100 : part[1] + 0
         bar = ""; for (i = 0; i < int(percent * 40 / 100); i++) bar = bar "#"
         printf "\r  [%-40s] %3d %%", bar, percent; fflush(); next
       }
       /^console: / {
         text = substr($0, 10); gsub(/^[ \t\r]+|[ \t\r]+$/, "", text)
         if (text != "" && text !~ /^_/) { print (text ~ /^CD completed/ ? "\n  " : "  ") text; fflush() }
       }'
}

# Runs Applet.exe in a folder of its own with the recorder configuration
# given, then compares what the recorder wrote with the original image.
burn_and_compare() { # folder name, what the disc is called, configuration lines
  local folder=$work/$1
  mkdir -p "$folder"
  cp "$work/packed/Applet.exe" "$folder/"
  printf '%s' "$3" > "$folder/recorder.cfg"
  local code
  set +e
  drive_applet "$folder"
  code=$?
  set -e
  echo "  the applet ended with exit code $code"
  if cmp -s "$folder/disc.img" "$work/originals/qvi9cd.qv"; then
    echo "  $2 holds exactly the image ($(stat -c %s "$folder/disc.img") bytes)"
  else
    echo "  $2 DIFFERS from the image"; exit 1
  fi
}

# The whole job: the applet runs in a fresh folder against the virtual
# recorder (time scale 0.1: ten times faster than a real drive), the OK
# button pressed once the CD is done; the progress bar and the time estimate
# are drawn from its event log, and the disc file is compared with the image.
echo
echo "Burning Applet.exe's disc image onto the virtual recorder:"
burn_and_compare burn "the virtual disc" "disc = $work/burn/disc.img"$'\ntime_scale = 0.1\n'

# The same on a libburn pseudo-drive: real libburn writes the disc into a
# plain file ("stdio:"), at the 8x the applet sets, and the engine reads it
# back before it reports the CD made.
echo
echo "Burning it again through libburn onto a pseudo-drive (stdio:disc.img):"
burn_and_compare pseudo "the pseudo-drive" $'backend = libburn\ndevice = stdio:disc.img\nwrite_speeds = 706,1411\n'
