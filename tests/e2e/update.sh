#!/usr/bin/env bash
# A whole Phoenix update on the simulated notebook, with the stand-in flashers: what the flashers
# were told, which flash blocks were written, the EC firmware, automatic power-on and power-off.
#
#   update.sh BUILD CASE
#
# CASE: whole     default options, EC vendor 0: both flashers, legacy power-on, power-off; the
#                 package signed with a throw-away certificate; while the BIOS flasher runs
#                 another program asks for the session's end and a suspend and posts message
#                 1025: both refused, nothing closed, the update completes
#       options   /bbl /mode=3 /mauto, package flags MARK_LAST_AREA and BREAK_ESCD
#       verdict   an image for model QN15, part P08: the BIOS flasher compares it with the machine
#                 (QN14, P07) and refuses it (-120): string 21 with newSys.bin's numbers
#       micom     the MICOM flasher fails: 0x8000000A
#       vendor    EC vendor 1 with /BLOCK_POWER_OFF on Windows 10: no MICOM flasher, power-on by the
#                 mailbox; BitLocker is asked through COM right before the flasher
#       vista     /VISTA_UPGRADE on EC vendor 0: no box at all, the confirmation included; no power-off
#       quote     a BIOS flag with a double quote (BF"1): refused before any flasher runs, with the
#                 refusal's box and code and a log line that names the value
#       98        the whole update as Windows 98 (a 32-bit Windows, MEMIO.VXD, no protection for
#                 the working directory) by the updater's 98 test build, whose lookup hands out
#                 9x's failing stubs (MoveFileExA among them), with TEMP set to a path with a
#                 blank: both flashers by their quoted paths, power-on armed, powered off; the
#                 drives' ATA security asked through SMARTVSD
set -uo pipefail
source "$(dirname "$0")/lib.sh"
case=$2
chip=0x11 flags=SKIP_CHECK_POWER options=() bios_exit=0 micom_exit=0 model=QN14 part=P07
winver=winxp arch=win64 machine=phoenix.json mode=() drives=
case "$case" in
  whole) mode=(--end-session-flashing) ;;
  98) winver=winxp arch=win32 machine=phoenix_x86.json mode=(--app-winver win98 --preinstall)
      drives=', "drives": [{"index": 0}, {"index": 2, "atapi": true}]'
      export QV_UPDATER="$win/QuorvinUpdate98.exe" ;;
  options) flags=$flags,MARK_LAST_AREA,BREAK_ESCD options=(/bbl /mode=3 /mauto) ;;
  verdict) model=QN15 part=P08 ;;
  micom) micom_exit=3 ;;
  vendor) chip=0x4D options=(/BLOCK_POWER_OFF) winver=win10 ;;
  vista) options=(/VISTA_UPGRADE) ;;
  quote) ;;
  *) echo "update.sh: unknown case $case" >&2; exit 2 ;;
esac

# The shipped notebook (BIOS 05TX, flag BF01) with the chip and the flashers' scenario.
flag=BF01
[ "$case" = quote ] && flag='BF\\"1'
sed -e "s/\"chip_id\": \"0x4D\"/\"chip_id\": \"$chip\"/" -e "s/\"BF01\"/\"$flag\"/" -e '$ d' \
  "$here/../../sim/profiles/$machine" >"$out/profile.json"
echo "$drives, \"flashers\": {\"SWinFlash\": {\"exit\": $bios_exit}, \"TarpexV01_10\": {\"exit\": $micom_exit}}}" \
  >>"$out/profile.json"

"$here/update-package" "$build" "$out/QuorvinUpdate.exe" "$flags" "$model" "$part" || exit 1
if [ "$case" = whole ]; then
  "$here/../tools/make-signer" "$out/signer" >/dev/null &&
    "$build/qpack" sign "$out/QuorvinUpdate.exe" --sign "$out/signer/signer.p12" --pass-file "$out/signer/pass.txt" &&
    "$build/qpack" verify "$out/QuorvinUpdate.exe" --ca "$out/signer/ca.pem" --require-signature | grep -x 'signed by: .*CN=Quorvin Release' ||
    { echo "the package was not signed"; exit 1; }
fi
# TEMP as the user set it, for Windows 98's working directory under it.
temp_of_user() {
  if [ "$case" = 98 ]; then
    mkdir -p "$WINEPREFIX/drive_c/Temp Dir"
    for name in TEMP TMP; do wine reg add 'HKCU\Environment' /v $name /t REG_SZ /d 'C:\Temp Dir' /f >/dev/null 2>&1; done
  fi
  exec "$@"
}
export -f temp_of_user
export case
"$here/../wine/with-wine" --template "$template" --arch "$arch" --winver "$winver" -- bash -c 'temp_of_user "$@"' _ \
  "$here/run-on-notebook" --win "$win" --package "$out/QuorvinUpdate.exe" --profile "$out/profile.json" \
  --out "$out" "${mode[@]}" -- "${options[@]}"
cat "$out/drive.txt"
log=$(tr -d '\r' <"$out/DebugLog-__Quorvin_Update.txt" 2>/dev/null)
check() { lines_in_order "$1" "$2" || { echo "== $3 lacks, in this order:"; echo "$1"; fail=1; }; }

work=$(cat "$out/place.txt" 2>/dev/null)
[ "$case" = 98 ] && work='C:\Temp Dir\__Quorvin_Update'
bios_options=' /MODE=3 /DO0:BF0A /DO1:20261207 /DSS:QV14X0001234' micom_options=
[ "$case" = options ] && bios_options=" /BBL$bios_options" micom_options=' /A'
# Each flasher by its quoted path, and the arguments its C runtime gave it, none refused.
bracketed() { local word all=; for word in $1; do all+="[$word]"; done; echo "$all"; }
bios_line="\"$work\\SWinFlash\" bios.wph /P$bios_options"
micom_line="\"$work\\TarpexV01_10\" kbc.bin /FORCE$micom_options"
swinflash="flasher SWinFlash cmd=\"$bios_line\" cwd=\"$work\" files=bios.wph,PhlashNT.sys,PhlashLc.dll,PHLASH.INI
flasher SWinFlash args=$(bracketed "bios.wph /P$bios_options")"
tarpex="flasher TarpexV01_10 cmd=\"$micom_line\" cwd=\"$work\" files=kbc.bin
flasher TarpexV01_10 args=$(bracketed "kbc.bin /FORCE$micom_options")"
# Blocks 2-7 and the five below the top are marked 0x22; the top block (0x122), the two lowest and
# the ESCD area are the flasher's to leave.
written="flashwr FFF20000+10000
flashwr FFF30000+10000
flashwr FFF40000+10000
flashwr FFF50000+10000
flashwr FFF60000+10000
flashwr FFF70000+10000
flashwr FFFA0000+10000
flashwr FFFB0000+10000
flashwr FFFC0000+10000
flashwr FFFD0000+10000
flashwr FFFE0000+10000"
flashes=$(grep '^flashwr ' "$out/trace.txt")
ecfw=$(grep '^ecfw ' "$out/trace.txt")
crc=$(gzip -c "$out/entries/QNTX0106.bin" | tail -c 8 | head -c 4 | od -An -tx4 | tr -d ' ' | tr a-f A-F)

case "$case" in
  whole|options|micom|vista|98)
    steps="00. Success to Create Directory
02. Success to Unpack
Step 00
Step 01
Step 02
Step 03
Step 04
*** Old Bios Info ***
Micom File : QNTX0106.bin
Step 05
Step 06
Step 06-1
Bios command : $bios_line
Step 07
Bios command : $micom_line"
    [ "$case" = micom ] || steps="$steps
Step 08"
    check "$steps" "$log" "the log" ;;
esac

case "$case" in
  whole)
    check "$swinflash
$written
$tarpex
ecfw 8192 crc32=$crc
poweroff armed=1" "$(cat "$out/trace.txt")" "the trace"
    # Before Windows 8 BitLocker is not asked: said right before the flasher.
    check "Bios command : $bios_line
BitLocker : C: not asked, left as it is on Windows 5.1
Step 07" "$log" "the log around the BIOS flasher"
    grep -q '^BOX title="Update Complete"' "$out/drive.txt" || { echo "no completion notice"; fail=1; }
    # Asked while the flasher wrote: the progress window refused both; 1025 started nothing.
    check "Step 06
Flash guard : held until the last flasher has ended
Step 06-1
Flash guard : the shutdown or restart refused while firmware is written
Flash guard : the suspend refused while firmware is written
Step 07
Step 08
Flash guard : released" "$log" "the log of the flash guard"
    check "endsession refused 1
suspend refused 1
posted 1025 to 1" "$(tr -d '\r' <"$out/endsession.txt" 2>/dev/null)" "what the other program saw"
    grep -q 'Find Window\|window closed' <<<"$log$(cat "$out/trace.txt")" && { echo "a window was closed"; fail=1; }
    left=$(place_files "$out/workdir.txt")
    [ -z "$left" ] || { echo "left in the working directory:"; echo "$left"; fail=1; } ;;
  options)
    check "$swinflash
$tarpex" "$(cat "$out/trace.txt")" "the trace"
    # BREAK_ESCD widens the ESCD area to its 64 KiB block; MARK_LAST_AREA marks the top block.
    for block in 'flashwr FFF90000+10000' 'flashwr FFFF0000+10000' 'flashwr FFF20000+10000'; do
      grep -qxF "$block" <<<"$flashes" || { echo "not written: $block"; fail=1; }
    done
    grep -q '^poweroff armed=1' "$out/trace.txt" || { echo "no power-off"; fail=1; } ;;
  verdict)
    expect_line 'BOX title="Fail : Model(Bios Part Number)" text="The BIOS/MICOM model to be updated is different.\n\nCheck the program.\n\n Current Model (BIOS Part Number) : QN14(P07)\n\n     New Model (BIOS Part Number) : QN15(P08)" buttons=OK owned=1'
    expect_line 'EXIT 0x80000008'
    grep -qxF 'flasher SWinFlash -120: bios.wph is for model "QN15" part "P08", the machine is model "QN14" part "P07"' \
      "$out/trace.txt" || { echo "the BIOS flasher did not say why it refused"; fail=1; }
    grep -qE '^Bios update failed : the ROM as it was is saved in C:\\windows\\QuorvinRomBackup\\QN14_05TX_[0-9]{8}-[0-9]{6}\.rom$' <<<"$log" ||
      { echo "the failure names no backup"; fail=1; }
    [ -z "$flashes$ecfw" ] || { echo "the flash or the EC was written:"; echo "$flashes$ecfw"; fail=1; }
    grep -q "^flasher TarpexV01_10" "$out/trace.txt" && { echo "the MICOM flasher ran"; fail=1; }
    # Input restored: the keyboard comes back on after the refusal.
    tail -n 40 "$out/trace.txt" | grep -qx 'out8 0064 AE' || { echo "keyboard not restored"; fail=1; } ;;
  micom)
    expect_line 'EXIT 0x8000000A'
    grep -q '^BOX title="Fail : Micom"' "$out/drive.txt" || { echo "no MICOM failure box"; fail=1; }
    [ "$flashes" = "$written" ] || { echo "flash blocks:"; echo "$flashes"; fail=1; }
    grep -q '^poweroff' "$out/trace.txt" && { echo "powered off after a failure"; fail=1; } ;;
  98)
    check "$swinflash
$written
$tarpex
ecfw 8192 crc32=$crc
poweroff armed=1" "$(cat "$out/trace.txt")" "the trace"
    grep -q '^ioctl MEMIO ' "$out/trace.txt" || { echo "not through MEMIO.VXD"; fail=1; }
    grep -q '^ioctl ADDMEM ' "$out/trace.txt" && { echo "through ADDMEM"; fail=1; }
    check "BitLocker : C: not asked, left as it is on Windows 4.10" "$log" "the log"
    grep -qx '9x lookup : MoveFileExA is a stub that fails' <<<"$log" || { echo "MoveFileExA was no 9x stub"; fail=1; }
    grep 'HDD password' <<<"$log" && { echo "the drives were not asked"; fail=1; }
    check "ioctl SMARTVSD 74080 in=0 out=24
ioctl SMARTVSD 7C088 in=32 out=528
Identify drive 0 command EC head A0
ioctl SMARTVSD 7C088 in=32 out=528
Identify drive 2 command A1 head A0" "$(cat "$out/trace.txt")" "SMARTVSD's trace" ;;
  vendor)
    # Wine's WMI has no BitLocker namespace: COM was loaded and asked, and the run goes on.
    check "BitLocker : not available (0x8004100E)" "$log" "the log"
    grep -q "^flasher TarpexV01_10" "$out/trace.txt" && { echo "the MICOM flasher ran"; fail=1; }
    grep -q '^BOX title="Update Complete"' "$out/drive.txt" || { echo "no completion notice"; fail=1; }
    check 'out8 0680 82
out8 0681 DC
poweroff armed=1' "$(cat "$out/trace.txt")" "the trace (power-on through the mailbox)" ;;
  vista)
    # Looked at first thing, the option silences the start confirmation too.
    grep -q '^BOX' "$out/drive.txt" && { echo "a box was shown"; fail=1; }
    grep -q '^Box answered OK unseen : Warning : ' <<<"$log" || { echo "the confirmation was not answered unseen"; fail=1; }
    expect_line 'EXIT 0x00000000'
    grep -q '^poweroff' "$out/trace.txt" && { echo "powered off"; fail=1; }
    grep -q '^out8 0060 DC\|^out8 0681 DC' "$out/trace.txt" && { echo "power-on armed"; fail=1; }
    [ "$flashes" = "$written" ] || { echo "flash blocks:"; echo "$flashes"; fail=1; } ;;
  quote)
    expect_line 'BOX title="Fail : Bios File" text="Invalid BIOS file." buttons=OK owned=1'
    expect_line 'EXIT 0x8000000B'
    check 'DMI options refused : this machine'"'"'s Bios Flag would reach the flasher as several arguments (Bios Flag "BF"1", Purchase Date "20261207", System Serial "QV14X0001234"); set this machine'"'"'s DMI values first, then run the update again' "$log" "the log"
    grep -q '^flasher ' "$out/trace.txt" && { echo "a flasher ran"; fail=1; } ;;
esac
# Every flasher that ran took every argument it was given.
grep -E '^flasher [A-Za-z0-9_]+ refused ' "$out/trace.txt" && { echo "a flasher refused the arguments above"; fail=1; }
[ $fail = 0 ] || { echo "== log"; echo "$log"; echo "== trace (not polls)"; grep -v '^in8 0064' "$out/trace.txt" | tail -n 30; }
exit $fail
