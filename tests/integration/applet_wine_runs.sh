#!/usr/bin/env bash
# The runs of the Windows applet under Wine that stop at a check or ask the
# user, driven by qvuidriver.exe: no blank disc (the retry finding none, and
# a blank disc put in before the retry), no recorder (configured so, and no
# configuration at all), a recorder that does not become ready, the erase
# question answered both ways, the ASPI layer installed from the payload
# (Wine counts as the NT family), an engine of the other bitness (the 32-bit
# one beside the 64-bit applet, the 64-bit one beside the 32-bit applet), and
# a damaged disc image that is never burnt, and the engine's burning-service
# back end through a stand-in service (a complete CD with "backend = imapi2"
# and with no configuration, a cancel, a failed write, a used CD-RW with the
# erase question, no medium). Each with
# its exit code, the console lines in order, the registry values afterwards,
# the files left in the folder and the run batch gone. Same argument and
# output as applet_wine_ui.sh; both share wine_ui_harness.
. "$(dirname "$0")/wine_ui_harness"

T_CHECKED=("$T_TITLE" "$T_PRODUCT" "$T_VERSION" "$T_RECORDER")
BURNT=('TAOModeSuccess=+1' 'PriorBurnWasGood=1' 'PriorX=~([2-9]|[1-9][0-9]+)' 'PriorSaidHoldThrottle=~[01]')
used_disc() { head -c 4096 /dev/urandom > "$o/disc.img"; cp "$o/disc.img" "$o/disc.before"; }

check "packing mode: the publisher's folder becomes Applet.exe alone" make_applet "$work/demo" with-content

# 1. A CD-R with data: the attention message, then the retry finds none: 5.
new_run noblank "$work/demo" "time_scale = 0
"
used_disc
start_applet
drive wait 60000 waittext '*** Attention' 60000 > "$o/waited"
check "no blank disc: the message is shown" test "$(grep -c '^ok' "$o/waited")" = 2
check "no blank disc: the right button reads &OK" wait_caption "&OK"
drive memo > "$o/memo"
check "no blank disc: the console lines in order" console_is "$o/memo" "${T_CHECKED[@]}" "$T_NO_BLANK"
click right
run_ended_with "no blank disc, none at the retry" 5 Applet.exe
check "no blank disc: the disc is untouched" cmp -s "$o/disc.img" "$o/disc.before"
check "no blank disc: registry: the CPU speed measured, nothing else changed" \
  registry_is 'CPUspeed=~[1-9][0-9]*'

# 2. The same, then a blank disc put in: the retry records the CD.
new_run blanklater "$work/demo" "time_scale = 0
"
used_disc
start_applet
drive wait 60000 waittext '*** Attention' 60000 > "$o/waited"
wait_caption "&OK"
: > "$o/disc.img" # an empty disc file is a blank disc
drive click right waittext 'CD completed successfully!' 120000 > "$o/retried"
check "blank disc at the retry: the CD is made" grep -q '^ok' "$o/retried"
check "blank disc at the retry: the right button reads &OK" wait_caption "&OK"
drive memo > "$o/memo"
check "blank disc at the retry: the console lines in order" console_is "$o/memo" \
  "${T_CHECKED[@]}" "$T_NO_BLANK" "${T_WRITING[@]}" "${T_COMPLETED[@]}"
click right
run_ended_with "blank disc at the retry" 0
check "blank disc at the retry: the disc file holds the image" cmp -s "$o/disc.img" "$work/demo.image"
check "blank disc at the retry: registry: a track-at-once success" registry_is "${BURNT[@]}"

# 3. No recorder: the engine's texts, the message, OK, exit code 8.
new_run norecorder "$work/demo" "drive = 0
time_scale = 0
"
start_applet
drive wait 60000 waittext '*** No CD recorder was detected.' 60000 > "$o/waited"
check "no recorder: the message is shown" test "$(grep -c '^ok' "$o/waited")" = 2
check "no recorder: the right button reads &OK" wait_caption "&OK"
drive memo > "$o/memo"
check "no recorder: the console lines in order" console_is "$o/memo" \
  "$T_TITLE" "$T_PRODUCT" "$T_NOT_PRESENT" "$T_NOT_STARTED" "$T_NOT_STARTED" "$T_NOT_DETECTED"
click right
run_ended_with "no recorder" 8 Applet.exe
check "no recorder: registry values as before" registry_is

# 3b. No configuration at all: the engine has no recorder on Windows, never
# a disc file; the same texts and exit code 8.
new_run noconfig "$work/demo" ""
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/CdRwLib
NO_RECORDER_CONFIG=1 start_applet
drive wait 60000 waittext '*** No CD recorder was detected.' 60000 > "$o/waited"
check "no configuration: the message is shown" test "$(grep -c '^ok' "$o/waited")" = 2
drive memo > "$o/memo"
check "no configuration: the console lines in order" console_is "$o/memo" \
  "$T_TITLE" "$T_PRODUCT" "$T_NOT_PRESENT" "$T_NOT_STARTED" "$T_NOT_STARTED" "$T_NOT_DETECTED"
click right
run_ended_with "no configuration" 8 Applet.exe
check "no configuration: no virtual disc in the user's data folder" \
  bash -c "! ls -d '$WINEPREFIX'/drive_c/users/*/AppData/Local/CdRwLib 2>/dev/null | grep -q ."

# 4. A recorder that does not become ready: its status text, result 76;
# the right button still reads &Cancel and ends the run keeping 76.
new_run notready "$work/demo" "not_ready_calls = 3
time_scale = 0
"
start_applet
drive wait 60000 waittext "$T_TIMEOUT" 60000 > "$o/waited"
check "recorder not ready: the status text is shown" test "$(grep -c '^ok' "$o/waited")" = 2
check "recorder not ready: the right button reads &Cancel" wait_caption "&Cancel"
drive memo > "$o/memo"
check "recorder not ready: the console lines in order" console_is "$o/memo" "${T_CHECKED[@]}" "$T_TIMEOUT"
click right
run_ended_with "recorder not ready" 76 Applet.exe
check "recorder not ready: registry values as before" registry_is

# 5. A rewritable disc with data: "Yes" erases it and the CD is made.
new_run erase "$work/demo" "rewritable = 1
time_scale = 0
"
used_disc
start_applet
drive wait 60000 waittext 'Do you want to erase it?' 60000 > "$o/waited"
check "erase yes: the question is shown with Yes and No" \
  test "$(drive caption left caption right)" = "$(printf '%s\n' 'caption left "Yes"' 'caption right "No"')"
drive click left waittext 'Erasing successful.' 60000 waittext 'CD completed successfully!' 120000 > "$o/erased"
check "erase yes: erased, then the CD was made" test "$(grep -c '^ok' "$o/erased")" = 2
check "erase yes: the buttons read Help and &OK" wait_caption "&OK"
check "erase yes: the left button reads Help" test "$(drive caption left)" = 'caption left "Help"'
drive memo > "$o/memo"
check "erase yes: the console lines in order" console_is "$o/memo" "${T_CHECKED[@]}" \
  "$T_ERASE_QUESTION" "$T_ERASING" "$T_ERASED" "${T_WRITING[@]}" "${T_COMPLETED[@]}"
click right
run_ended_with "erase yes" 0
check "erase yes: the disc file holds the image" cmp -s "$o/disc.img" "$work/demo.image"
check "erase yes: registry: a track-at-once success" registry_is "${BURNT[@]}"

# 6. "No": the no-blank-disc message and &OK; the retry finds the same
# disc and the run ends with 5, the disc untouched.
new_run erasenot "$work/demo" "rewritable = 1
time_scale = 0
"
used_disc
start_applet
drive wait 60000 waittext 'Do you want to erase it?' 60000 click right \
  waittext '*** Attention' 30000 > "$o/waited"
check "erase no: the no-blank-disc message follows" test "$(grep -c "^ok" "$o/waited")" = 3
check "erase no: the right button reads &OK" wait_caption "&OK"
check "erase no: the left button reads Help" test "$(drive caption left)" = 'caption left "Help"'
drive memo > "$o/memo"
check "erase no: the console lines in order" console_is "$o/memo" "${T_CHECKED[@]}" \
  "$T_ERASE_QUESTION" "$T_NO_BLANK"
click right
run_ended_with "erase no" 5 Applet.exe
check "erase no: the disc is untouched" cmp -s "$o/disc.img" "$o/disc.before"
check "erase no: registry values as before" registry_is

# 7. No ASPI layer on the search path (Wine's own is hidden by a PATH without
# the system folder, and read as a native library): the carried one is
# installed as wnaspi32.dll, the run goes on, and the run batch removes it.
saved_path=$(wine reg query "$PATH_KEY" /v PATH 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *PATH *REG_EXPAND_SZ *//p')
wine reg add "$PATH_KEY" /v PATH /t REG_EXPAND_SZ /d '%SystemRoot%' /f >/dev/null 2>&1
new_run aspi "$work/demo" "time_scale = 0
"
APPLET_OVERRIDES="$BASE_OVERRIDES;wnaspi32=n" start_applet
drive wait 60000 waittext "$T_RECORDER" 60000 > "$o/waited"
check "ASPI layer: the run passes the checks" test "$(grep -c '^ok' "$o/waited")" = 2
check "ASPI layer: the carried layer is installed as wnaspi32.dll" \
  eval 'cmp -s "$d/wnaspi32.dll" "$ASPI_STAND_IN" && test ! -e "$d/mqv2k.qv"'
drive waittext 'CD completed successfully!' 120000 > "$o/done"
check "ASPI layer: the CD is made" grep -q '^ok' "$o/done"
wait_caption "&OK"
drive memo > "$o/memo"
check "ASPI layer: the console lines in order, the installed layer's version" console_is "$o/memo" \
  "$T_TITLE" "$T_PRODUCT" '~Version (Not Found|[0-9]+\.[0-9]+) with ASPI 5\.20\(1\)' "$T_RECORDER" \
  "${T_WRITING[@]}" "${T_COMPLETED[@]}"
click right
run_ended_with "ASPI layer" 0
check "ASPI layer: registry: a track-at-once success" registry_is "${BURNT[@]}"
wine reg add "$PATH_KEY" /v PATH /t REG_EXPAND_SZ /d "$saved_path" /f >/dev/null 2>&1 && saved_path=""

# 8. An engine of the other bitness cannot be loaded: the missing-files line,
# the wrong-engine reason, then the run ends as without an engine: 8.
check "packing mode: an applet carrying the engine of the other bitness" \
  make_applet "$work/other" with-content "$OTHER_ENGINE"
new_run otherengine "$work/other" "time_scale = 0
"
start_applet
drive wait 60000 waittext 'Wrong engine:' 60000 > "$o/waited"
check "other bitness: the wrong-engine reason is shown" test "$(grep -c '^ok' "$o/waited")" = 2
check "other bitness: the right button reads &OK" wait_caption "&OK"
drive memo > "$o/memo"
check "other bitness: the console lines in order" console_is "$o/memo" \
  "$T_TITLE" "$T_PRODUCT" "$T_MISSING" "$T_WRONG_ENGINE" "$T_NOT_PRESENT" "$T_NOT_DETECTED"
click right
run_ended_with "other bitness" 8 Applet.exe
check "other bitness: registry values as before" registry_is

# 9. One flipped byte in the image's stored data (the last member): nothing
# is burnt, the console names the damage, &OK ends the run with 7 and the
# applet stays.
mkdir -p "$work/damaged"; cp "$work/demo/Applet.exe" "$work/damaged/"
python3 -c 'import os, sys
p = sys.argv[1]; at = os.path.getsize(p) - 1000
with open(p, "r+b") as f:
    f.seek(at); b = f.read(1); f.seek(at); f.write(bytes([b[0] ^ 0x55]))' "$work/damaged/Applet.exe"
new_run damaged "$work/damaged" "time_scale = 0
"
start_applet
drive wait 60000 waittext '*** The carried file qvi9cd.qv is damaged: ' 60000 > "$o/waited"
check "damaged image: the message is shown" test "$(grep -c '^ok' "$o/waited")" = 2
check "damaged image: the right button reads &OK" wait_caption "&OK"
click right
run_ended_with "damaged image" 7 Applet.exe
check "damaged image: nothing was written" test ! -s "$o/disc.img"
check "damaged image: registry: the burn counts as not good, nothing else changed" \
  registry_is 'PriorBurnWasGood=0'

# 10. The demo applet signed after packing (osslsigncode, a self-made
# certificate): the archive ends where the signature begins, so the run makes
# the CD as the unsigned one does. Its console shows the project's version.
IFS=. read -r v_major v_minor v_patch _ < <(sed -n \
  's/^project(qvapplet VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
mkdir -p "$work/signed-demo"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.pem" \
  -days 2 -subj "/CN=Wine Test Publisher" >/dev/null 2>&1
osslsigncode sign -certs "$work/signer.pem" -key "$work/signer.key" \
  -in "$work/demo/Applet.exe" -out "$work/signed-demo/Applet.exe" >/dev/null 2>&1
check "signed applet: the signature verifies" \
  eval 'osslsigncode verify -CAfile "$work/signer.pem" -in "$work/signed-demo/Applet.exe" >/dev/null 2>&1'
new_run signed "$work/signed-demo" "time_scale = 0
"
start_applet
drive waittext 'CD completed successfully!' 120000 > "$o/done"
check "signed applet: the CD is made" grep -q '^ok' "$o/done"
wait_caption "&OK"
drive memo > "$o/memo"
check "signed applet: the console shows the project's version" \
  grep -q "Version $v_major\\.$v_minor$v_patch with ASPI" "$o/memo"
click right
run_ended_with "signed applet" 0
check "signed applet: the disc file holds the image" cmp -s "$o/disc.img" "$work/demo.image"

# 11-16. The engine's burning-service back end, through the stand-in service
# registered under the service's program identifiers for these runs only
# (the runs above, "no configuration" among them, had no service at all),
# among the machine's classes: Wine does not look up a user's own.
STAND_IN=$(dirname "$DRIVER")/qvimapi2standin.dll
STAND_IN_CLASSES='MsftDiscMaster2:10 MsftDiscRecorder2:11 MsftDiscFormat2Data:12 MsftDiscFormat2Erase:13'
stand_in_registry() { # add or delete
  local entry name id classes='HKCR'
  for entry in $STAND_IN_CLASSES; do
    name="IMAPI2.${entry%%:*}" id="{5C1D6E3A-9B2F-4E07-A1D4-3F0B8C2E7A${entry##*:}}"
    if [ "$1" = add ]; then
      wine reg add "$classes\\$name\\CLSID" /ve /d "$id" /f
      wine reg add "$classes\\CLSID\\$id\\InprocServer32" /ve /d "$(winpath "$STAND_IN")" /f
      wine reg add "$classes\\CLSID\\$id\\InprocServer32" /v ThreadingModel /d Apartment /f
    else
      wine reg delete "$classes\\$name" /f; wine reg delete "$classes\\CLSID\\$id" /f
    fi
  done >/dev/null 2>&1
}
# A run whose recorder configuration is "backend = imapi2" (or none with
# NO_RECORDER_CONFIG=1); the stand-in's drive, disc and faults lie beside it.
service_run() { # name, stand-in lines
  new_run "$1" "$work/demo" "backend = imapi2
"
  printf 'disc = %s\n%s' "$(winpath "$o/disc.img")" "$2" > "$o/standin.ini"
  export QV_IMAPI2_STANDIN; QV_IMAPI2_STANDIN=$(winpath "$o/standin.ini")
}
check "service: the stand-in service is built" test -f "$STAND_IN"
stand_in_registry add
trap 'stand_in_registry delete; cleanup' EXIT

for how in configured unconfigured; do
  service_run "service-$how" ""
  [ $how = unconfigured ] && export NO_RECORDER_CONFIG=1
  start_applet
  unset NO_RECORDER_CONFIG
  drive waittext 'CD completed successfully!' 120000 > "$o/done"
  check "service, $how: the CD is made" grep -q '^ok' "$o/done"
  wait_caption "&OK"
  drive memo > "$o/memo"
  check "service, $how: the console lines in order" console_is "$o/memo" \
    "${T_CHECKED[@]}" "${T_WRITING[@]}" "${T_COMPLETED[@]}"
  click right
  run_ended_with "service, $how" 0
  check "service, $how: the disc file holds the image" cmp -s "$o/disc.img" "$work/demo.image"
  check "service, $how: registry: a track-at-once success" registry_is "${BURNT[@]}"
done

service_run service-cancel "time_scale = 30
"
start_applet
drive wait 60000 waittext 'CD will be ready in' 60000 click right sleep 300 memo > "$o/memo"
check "service, cancel while writing: the console lines in order" console_is prefix "$o/memo" \
  "${T_CHECKED[@]}" "${T_WRITING[@]}" "$T_CANCELING"
run_ended_with "service, cancel while writing" 1 Applet.exe
check "service, cancel while writing: the disc holds less than the image" \
  test "$(stat -c %s "$o/disc.img")" -lt "$(stat -c %s "$work/demo.image")"

service_run service-fails "write_fail_sector = 50
"
start_applet
drive waittext '*** A problem has prevented completion of your CD.' 120000 > "$o/waited"
check "service, failed write: the message is shown" grep -q '^ok' "$o/waited"
wait_caption "&OK"
drive memo > "$o/memo"
check "service, failed write: the console lines in order" console_is prefix "$o/memo" \
  "${T_CHECKED[@]}" "${T_WRITING[@]}"
check "service, failed write: the status text follows the message" \
  grep -q 'read more\. Bad response from a device' "$o/memo"
click right
run_ended_with "service, failed write" 7 Applet.exe
check "service, failed write: the disc stops before sector 50" \
  test "$(stat -c %s "$o/disc.img")" -eq $((50 * 2048))

service_run service-erase "media = cdrw
"
used_disc
start_applet
drive wait 60000 waittext 'Do you want to erase it?' 60000 > "$o/waited"
check "service, erase: the question is shown" test "$(grep -c '^ok' "$o/waited")" = 2
drive click left waittext 'Erasing successful.' 60000 waittext 'CD completed successfully!' 120000 > "$o/erased"
check "service, erase: erased, then the CD was made" test "$(grep -c '^ok' "$o/erased")" = 2
wait_caption "&OK"
drive memo > "$o/memo"
check "service, erase: the console lines in order" console_is "$o/memo" "${T_CHECKED[@]}" \
  "$T_ERASE_QUESTION" "$T_ERASING" "$T_ERASED" "${T_WRITING[@]}" "${T_COMPLETED[@]}"
click right
run_ended_with "service, erase" 0
check "service, erase: the disc file holds the image" cmp -s "$o/disc.img" "$work/demo.image"

service_run service-nomedium "inserted = 0
"
start_applet
drive wait 60000 waittext 'No blank disc in device' 60000 > "$o/waited"
check "service, no medium: the status text is shown" test "$(grep -c '^ok' "$o/waited")" = 2
wait_caption "&OK"
drive memo > "$o/memo"
check "service, no medium: the console lines in order" console_is "$o/memo" \
  "${T_CHECKED[@]}" "No blank disc in device" "$T_NO_BLANK"
click right
run_ended_with "service, no medium" 5 Applet.exe
check "service, no medium: no disc was written" test ! -s "$o/disc.img"
stand_in_registry delete

finish
