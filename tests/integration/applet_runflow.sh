#!/usr/bin/env bash
# End to end on Linux: a real applet packed from a demo folder, run in a
# temporary folder with the virtual recorder, driven through the terminal
# front end's event log as a user would: a button is pressed only once the
# run shows that it waits for it. Takes the Linux build folder (or, as
# scripts/test.sh passes it, the path of qvpack inside it).
# Ends with "N passed, M failed"; exit code 1 on any failure.
set -uo pipefail

source "$(dirname "$0")/harness/linux_applet.bash" "${1:-}"

# The publisher's demo folder: content file, engine, disc image; packed with
# "/max#13/#10" into Applet.exe, which is copied into a fresh run folder.
check "the demo folder packs into Applet.exe" make_applet "$work/demo" with-content
check "a demo folder without its content file packs too" make_applet "$work/demo-bare" without-content

# Each run's recorder writes its disc file in the run folder at full speed.
RUN_CONFIG_HEAD='disc = %s/disc.img\ntime_scale = 0\n'

# A missing content file: the first check stops the run; OK ends it with 2.
d=$(run_folder missing "$work/demo-bare/Applet.exe" "")
code=$(run "$d" 20 'console: \*\*\* Required files are missing!  Press OK to exit now\.=>right')
check "missing content file: exit code 2" test "$code" = 2
check "missing content file: the message, a beep and the OK caption" \
  test -n "$(grep -A4 -xF 'console: *** Required files are missing!  Press OK to exit now.' "$d/log" | grep -x 'caption right: &OK')"
check "missing content file: no title line" lacks_line "$d" 'console: "Demo Disc"'

# No blank disc: the message and "&OK"; the retry finds none either: exit 5.
d=$(run_folder noblank "$work/demo/Applet.exe" "")
head -c 4096 /dev/urandom > "$d/disc.img"
code=$(run "$d" 40 'caption right: &OK=>right')
check "no blank disc: exit code 5 after the retry" test "$code" = 5
check "no blank disc: title, product line, version and recorder lines in order" \
  test "$(grep -E '^console: ("Demo Disc"|Data Quarlow|Version .* with ASPI |CD Recorder:  VIRTUAL CD-RW RECORDER)' "$d/log" | sed 's/Version .*/Version/')" \
    = "$(printf '%s\n' 'console: "Demo Disc"' 'console: Data Quarlow' 'console: Version' 'console: CD Recorder:  VIRTUAL CD-RW RECORDER')"
check "no blank disc: the attention message once" \
  test "$(grep -cxF 'console: *** Attention - No Blank CD was found, please check it. Then try again by pressing OK after inserting a blank CD. Program will exit if a blank CD is not found again.' "$d/log")" = 1
check "no blank disc: no erase question for a CD-R" lacks_line "$d" 'caption left: Yes'
check "no blank disc: the end of the run removed the carried engine" test ! -e "$d/CdRwLib.dll"
check "settings file written at the end" test -s "$SETTINGS"
for name in CPUspeed PriorX PriorBurnWasGood PriorSaidHoldThrottle TAOModeSuccess SAOModeSuccess \
            DAOModeSuccess TAOModeFail SAOModeFail DAOModeFail; do
  check "settings file holds $name" grep -q "^$name *=" "$SETTINGS"
done
check "settings file: the CPU speed was measured" grep -qE '^CPUspeed *= *[1-9][0-9]*$' "$SETTINGS"
check "settings file: Testing and DeleteApplet are never written" \
  test -z "$(grep -E '^(Testing|DeleteApplet) *=' "$SETTINGS")"

# A cancel as soon as the run starts (stage 9): exit 1 with its line.
d=$(run_folder cancel "$work/demo/Applet.exe" "")
code=$(run "$d" 20 'caption right: &Cancel=>right')
check "cancel: exit code 1" test "$code" = 1
check "cancel: the canceling line" has_line "$d" 'console: *** Canceling per your request'
check "cancel: the checks did not go on" lacks_line "$d" 'console: CD Recorder:  VIRTUAL CD-RW RECORDER'

# A rewritable disc with data: the question, "No", then the no-blank message
# and "&OK"; the refusal holds for the retry, which ends with 5.
d=$(run_folder refuse "$work/demo/Applet.exe" "rewritable = 1
")
head -c 4096 /dev/urandom > "$d/disc.img"
code=$(run "$d" 40 'caption right: No=>right' 'caption right: &OK=>right')
check "erase refused: exit code 5" test "$code" = 5
check "erase refused: question, Cancel caption, message, OK caption in order" \
  test "$(grep -E '^(console: --> Disc is not blank|caption right: (Cancel|&OK)$|console: \*\*\* Attention)' "$d/log" | cut -c1-29)" \
    = "$(printf '%s\n' 'console: --> Disc is not blan' 'caption right: Cancel' 'console: *** Attention - No B' 'caption right: &OK')"

finish_checks
