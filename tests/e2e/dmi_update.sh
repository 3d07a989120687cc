#!/usr/bin/env bash
# A DMI-only package on the simulated notebook, its dialog filled in through the window, and the
# ROM read-out: what the BIOS flasher was told, which flash block it wrote, the end without
# power-off, and "ReadRomFile.bin" against the notebook's flash.
#
#   dmi_update.sh BUILD CASE
#
# CASE: dmi      the dialog filled and confirmed: " /MODE=1" and the typed values, only the image's
#                DMI block written, "Complete", no power-off; the flash as it was saved before
#                under the Windows directory, still there after "/READ_BIOS" on the same
#                notebook reads the flash with that block in it
#       vendor   the same on an EC that arms power-on itself, where the run adds 0x10 to the flags:
#                still only the DMI block
#       silent   the same from a package built with NO_MESSAGEBOX (0x20): no box, only the DMI block
#       cancel   Cancel in the dialog: "Stop Update", exit 0, nothing flashed, the working
#                directory emptied
#       read     "/READ_BIOS" on a fresh notebook
set -uo pipefail
source "$(dirname "$0")/lib.sh"
case=$2
drive=()
typed=(--type 1017=QV14X0009999 --type 1018=BF0B --type 1019=20270101)
chip=0x11 flags=DMI_ONLY
case "$case" in
  dmi) drive=("${typed[@]}" --again /READ_BIOS) ;;
  vendor) drive=("${typed[@]}") chip=0x4D ;;
  silent) drive=("${typed[@]}") flags=DMI_ONLY,NO_MESSAGEBOX ;;
  cancel) drive=(--answer ok --answer cancel) ;;
  read) drive=(-- /READ_BIOS) ;;
  *) echo "dmi_update.sh: unknown case $case" >&2; exit 2 ;;
esac

# The shipped notebook, with a legacy EC unless the case says otherwise, a BIOS flag of kind C and a serial with a blank, which cannot be handed to the flasher: a DMI-only
# package is how such a machine gets its values set, so only the typed values go to the flasher.
# And a flash of its own.
sed -e "s/\"chip_id\": \"0x4D\"/\"chip_id\": \"$chip\"/" -e 's/"BF01"/"BF0C"/' -e 's/"QV14X0001234"/"QV14 X001234"/' -e '$ d' \
  "$here/../../sim/profiles/phoenix.json" >"$out/profile.json"
echo ', "flash": [{"at": "0xFFF00000", "text": "installed BIOS"}, {"at": "0xFFFFFFF0", "hex": "EA5BE000F0"}]}' \
  >>"$out/profile.json"

# The image names its DMI block in "BCPSYS": word 0x2000 at +0x69, entry 2 of a 2 MiB image's
# flash-area table (flash 0xFFF20000).
"$here/package-entries" "$out/entries" "$win" >"$out/entries.txt"
image="$out/entries/QN14XB05.wph"
"$build/make_bios_image" "$image" QN14 P07 05TX || exit 1
printf 'BCPSYS' | dd of="$image" bs=1 seek=$((0x9000)) conv=notrunc status=none
printf '\x00\x20' | dd of="$image" bs=1 seek=$((0x9000 + 0x69)) conv=notrunc status=none
yes 'EC firmware ' | head -c 4096 >"$out/entries/QNTX0105.bin"
"$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" --flags $flags \
  $(cat "$out/entries.txt") "$out/entries/QNTX0105.bin" >/dev/null || exit 1
"$here/../wine/with-wine" --template "$template" --winver winxp -- \
  "$here/run-on-notebook" --win "$win" --package "$out/QuorvinUpdate.exe" --profile "$out/profile.json" \
  --out "$out" --power 1:80 "${drive[@]}"
cat "$out/drive.txt"
trace=$(tr -d '\r' <"$out/trace.txt")
work=$(cat "$out/place.txt" 2>/dev/null)

# The top MiB of the notebook's flash as the profile gives it, with what the trace (by default
# the run's) says was written there taken from the image.
expected_rom() {
  python3 - "$image" "${1:-$out/trace.txt}" "$out/expected.bin" <<'PY'
import re, sys
image = open(sys.argv[1], 'rb').read()
rom = bytearray(b'\xff' * 0x100000)
rom[0:14] = b'installed BIOS'
rom[0xFFFF0:0xFFFF5] = bytes.fromhex('EA5BE000F0')
for line in open(sys.argv[2]):
    m = re.fullmatch(r'flashwr ([0-9A-F]{8})\+([0-9A-F]+)', line.strip())
    if m:
        address, length = int(m[1], 16), int(m[2], 16)
        rom[address - 0xFFF00000:address - 0xFFF00000 + length] = image[address - 0xFFE00000:][:length]
open(sys.argv[3], 'wb').write(rom)
PY
}
dialog='BOX title="BCPDMI Setting" text="System Serial  :Bios Flag         :Purchase Date :" buttons=OK,Cancel owned=0'
case "$case" in
  dmi|vendor|silent)
    expect_line "$dialog"
    complete='BOX title="Complete" text="DMI Update is complete.\n\nRestart system." buttons=OK owned=1'
    if [ "$case" = silent ]; then
      [ "$(grep -c '^BOX' "$out/drive.txt")" = 1 ] || { echo "a box besides the dialog"; fail=1; }
    else
      expect_line "$complete"
    fi
    expect_line 'EXIT 0x00000000'
    expected="flasher SWinFlash cmd=\"\"$work\\SWinFlash\" bios.wph /P /MODE=1 /DO0:BF0B /DO1:20270101 /DSS:QV14X0009999\" cwd=\"$work\" files=bios.wph,PhlashNT.sys,PhlashLc.dll,PHLASH.INI
flasher SWinFlash args=[bios.wph][/P][/MODE=1][/DO0:BF0B][/DO1:20270101][/DSS:QV14X0009999]
flashwr FFF20000+10000"
    lines_in_order 'DMI options not handed on : this machine'"'"'s System Serial would reach the flasher as several arguments (Bios Flag "BF0C", Purchase Date "20261207", System Serial "QV14 X001234"); the values typed in the dialog take their place' \
      "$(tr -d '\r' <"$out/DebugLog-__Quorvin_Update.txt")" || fail=1
    actual=$(grep -E '^(flasher [A-Za-z]|flashwr|ecfw|poweroff)' <<<"$trace")
    [ "$actual" = "$expected" ] || { printf 'trace:\n%s\nexpected:\n%s\n' "$actual" "$expected"; fail=1; }
    if [ "$case" = dmi ]; then
      grep -qx 'EXIT 0x00000000' "$out/again/drive.txt" || { echo "the read-out:"; cat "$out/again/drive.txt"; fail=1; }
      expected_rom
      cmp "$out/ReadRomFile.bin" "$out/expected.bin" || { echo "ReadRomFile.bin is not the flash"; fail=1; }
      # Saved before the flasher wrote, named by model, version and date; the read-out found the
      # folder not provably administrators' own (Wine keeps no DACLs) and left it as it was.
      backups=$(ls "$out/backup")
      [[ "$backups" =~ ^QN14_05TX_[0-9]{8}-[0-9]{6}\.rom$ ]] || { echo "backups: $backups"; fail=1; }
      expected_rom /dev/null
      cmp "$out/backup/$backups" "$out/expected.bin" || { echo "the backup is not the flash as it was"; fail=1; }
      lines_in_order "Step 06
ROM backup : C:\\windows\\QuorvinRomBackup\\$backups
Flash guard : held until the last flasher has ended
Step 06-1" "$(tr -d '\r' <"$out/DebugLog-__Quorvin_Update.txt")" || fail=1
      lines_in_order 'C:\windows\QuorvinRomBackup not used : someone else may change it, or it is a link' \
        "$(tr -d '\r' <"$out/again/DebugLog-__Quorvin_Update.txt")" || fail=1
    fi ;;
  cancel)
    expect_line "$dialog"
    expect_line 'BOX title="Stop Update" text="Cancel DMI Update." buttons=OK owned=1'
    expect_line 'EXIT 0x00000000'
    grep -E '^(flasher|flashwr)' <<<"$trace" && { echo "flashed after Cancel"; fail=1; }
    left=$(place_files "$out/workdir.txt")
    [ -z "$left" ] || { echo "left in the working directory:"; echo "$left"; fail=1; } ;;
  read)
    expect_line 'EXIT 0x00000000'
    [ "$(grep -c '^BOX' "$out/drive.txt")" = 1 ] || { echo "a box after the confirmation"; fail=1; }
    expected_rom
    cmp "$out/ReadRomFile.bin" "$out/expected.bin" || { echo "ReadRomFile.bin is not the flash"; fail=1; }
    left=$(place_files "$out/workdir.txt" | grep -v -x -e ReadRomFile.bin -e QN14XB05.wph -e QNTX0105.bin)
    [ -z "$left" ] || { echo "left in the working directory:"; echo "$left"; fail=1; } ;;
esac
[ $fail = 0 ] || { echo "== log"; tr -d '\r' <"$out/DebugLog-__Quorvin_Update.txt"; echo "== trace (not polls)"; grep -v '^in8 0064' <<<"$trace" | tail -n 30; }
exit $fail
