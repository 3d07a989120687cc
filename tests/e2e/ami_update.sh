#!/usr/bin/env bash
# A whole update of an AMI notebook on the simulated notebook, with the stand-in AMI flashers: the
# image chosen by the BIOS version (which starts with a letter), the build and part numbers of
# the BIOS segment against the image's "$FID" block, what the flasher was told, the flash written,
# power-on and power-off; and the refusals.
#
#   ami_update.sh BUILD CASE
#
# CASE: x64      Windows 7 64-bit, legacy EC: afuwinx64, build numbers 250/250 go ahead
#       x86      Windows 7 32-bit, an EC that arms itself: afuwin
#       newer    the installed build number (251) is above the image's: "Fail : Bios Date"
#       part     the installed part number differs from the image's: both in the box
#       option   /SKIP_CHECK_POWER, an option this path does not take: 0x8000000E
set -uo pipefail
source "$(dirname "$0")/lib.sh"
case=$2
# The flasher by its command and by the name of its file in the package, as the stand-in records it.
arch=win64 wow64=true chip=0x11 installed=00000250 part=P09 options=() flasher=afuwinx64 file=afuwinx64
case "$case" in
  x64) ;;
  x86) arch=win32 wow64=false chip=0x4D flasher=afuwin file=AFUWIN ;;
  newer) installed=00000251 ;;
  part) part=P08 ;;
  option) options=(/SKIP_CHECK_POWER) ;;
  *) echo "ami_update.sh: unknown case $case" >&2; exit 2 ;;
esac

"$here/ami-profile" "$out/profile.json" "$wow64" "$chip" "$installed" "$part"
"$here/ami-package" "$build" "$out/QuorvinUpdate.exe" || exit 1
"$here/../wine/with-wine" --template "$template" --arch "$arch" --winver win7 -- \
  "$here/run-on-notebook" --win "$win" --package "$out/QuorvinUpdate.exe" --profile "$out/profile.json" \
  --out "$out" --preinstall -- "${options[@]}"
cat "$out/drive.txt"
log=$(tr -d '\r' <"$out/DebugLog-__Quorvin_Update.txt" 2>/dev/null)
trace=$(tr -d '\r' <"$out/trace.txt")
work=$(cat "$out/place.txt" 2>/dev/null)

case "$case" in
  x64|x86)
    steps="************* AMI Update *****************
*** Old Bios Info(AMI) ***
Bios Part Version : QN15
Bios File : P0QN15A.rom"
    [ "$case" = x64 ] && steps="$steps
Micom File : KBQN0101.bin"
    # The ROM saved and the guard held before the AMI flasher writes, released at the end.
    steps="$steps
Flash guard : held until the last flasher has ended
Bios command : \"$work\\$flasher\" bios.rom /p /b /n /e /r
Before Checking SMI Enable
After Checking SMI Enable
Before HID Enable
After HID Enable
Flash guard : released"
    grep -qE '^ROM backup : C:\\windows\\QuorvinRomBackup\\[^\\]+\.rom$' <<<"$log" || { echo "no ROM backup"; fail=1; }
    lines_in_order "$steps" "$log" || { echo "== the log lacks, in this order:"; echo "$steps"; fail=1; }
    expected="flasher $file cmd=\"\"$work\\$flasher\" bios.rom /p /b /n /e /r\" cwd=\"$work\" files=bios.rom
flasher $file args=[bios.rom][/p][/b][/n][/e][/r]
flashwr FFF00000+100000
poweroff armed=1"
    actual=$(grep -E '^(flasher|flashwr|poweroff) ' <<<"$trace")
    [ "$actual" = "$expected" ] || { printf 'trace:\n%s\nexpected:\n%s\n' "$actual" "$expected"; fail=1; }
    expect_line 'BOX title="Update Complete" text="The program will turn the system off, and then turn it on again in a few seconds." buttons=OK owned=1'
    expect_line 'EXIT 0x00000000'
    # Only listed files are deleted: the image of the other family is never listed on this path,
    # nor are the MICOM files when the EC arms power-on itself.
    left=$(place_files "$out/workdir.txt" | grep -v -x -e QN14XB05.wph)
    [ "$case" = x86 ] && left=$(grep -v -x -e KB150101.bin -e KBQN0101.bin <<<"$left")
    [ -z "$left" ] || { echo "left in the working directory:"; echo "$left"; fail=1; } ;;
  newer)
    expect_line 'BOX title="Fail : Bios Date" text="The system BIOS is a newer version than the update.\n\n The update will be terminated." buttons=OK owned=1'
    expect_line 'EXIT 0x80000013' ;;
  part)
    expect_line 'BOX title="Fail : Model(Bios Part Number)" text="The BIOS/MICOM model to be updated is different.\n\nCheck the program.\n\n Current Model (BIOS Part Number) : (P08)\n\n     New Model (BIOS Part Number) : (P09)" buttons=OK owned=1'
    expect_line 'EXIT 0x80000007' ;;
  option)
    expect_line 'BOX title="Fail : Invalid Option" text="Invalid Option.\nCheck the option." buttons=OK owned=1'
    expect_line 'EXIT 0x8000000E' ;;
esac
case "$case" in
  newer|part|option)
    grep -E '^(flasher|flashwr|poweroff) ' <<<"$trace" && { echo "flashed or powered off after a refusal"; fail=1; } ;;
esac
[ "$case" = option ] && grep -qx 'KEY OFF Start' <<<"$log" && { echo "input held off before the options were read"; fail=1; }
case "$case" in
  newer|part)
    left=$(place_files "$out/workdir.txt" | grep -v -x -e QN14XB05.wph)
    [ -z "$left" ] || { echo "left in the working directory:"; echo "$left"; fail=1; } ;;
esac
[ $fail = 0 ] || { echo "== log"; echo "$log"; echo "== trace (not polls)"; grep -v '^in8 0064' <<<"$trace" | tail -n 30; }
exit $fail
