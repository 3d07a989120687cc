#!/usr/bin/env bash
# A Phoenix run on the simulated notebook through the firmware steps: mouse and keyboard held
# off, the HDD check, the EC vendor path chosen at "Step 02" from the Super I/O chip, the
# identity read at "Step 03"; the run ends at the first step not built yet, with input restored
# and the extracted files removed.
#
#   firmware.sh BUILD CHIP     CHIP: vendor (0x4D, the EC arms power-on itself) or legacy (0x11)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
chip=0x4D
[ "$2" = legacy ] && chip=0x11
sed "s/\"chip_id\": \"0x4D\"/\"chip_id\": \"$chip\"/" "$here/../../sim/profiles/phoenix.json" >"$out/profile.json"

"$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" \
  --flags MARK_LAST_AREA,SKIP_CHECK_POWER $("$here/package-entries" "$out/entries" "$win") || exit 1
"$here/../wine/with-wine" --template "$template" --winver winxp -- \
  "$here/run-on-notebook" --win "$win" --package "$out/QuorvinUpdate.exe" --profile "$out/profile.json" \
  --out "$out"
cat "$out/drive.txt"
log=$(tr -d '\r' <"$out/DebugLog-__Quorvin_Update.txt")

# The log lines of steps 02 and 03, in order.
steps="Step 02
Check Chip Vendor
Check Chip Vendor end"
steps="$steps
Step 03
Search DMI String...
Search Result : 000F0800
return from SearchDMIBlock...
Search DMI String...
Search Result : 000F0800
return from SearchDMIBlock...
Read memory 00
Read memory 01
Read memory 02
Read memory 03
Read memory 04
Get Quillet Interface
Success Quillet Interface
Execute Quillet
Success Execution Quillet
Step 04
*** Old Bios Info ***
Bios Part Number : P07
Bios Model Number : QN14
Bios Part Version : 05TX"
lines_in_order "$steps" "$log" || { echo "log lacks, in this order:"; echo "$steps"; echo "== log"; echo "$log"; fail=1; }

# The identity came through the relay: the chip at 0x2E, the SMBIOS walk, the SMI service.
for line in 'out8 002E 55' 'out8 002E 20' "in8 002F -> $(printf %02X "$chip")" 'memrd F0000+10000' \
    'out8 00B2 DE'; do
  grep -qxF "$line" "$out/trace.txt" || { echo "trace lacks: $line"; fail=1; }
done
# Keyboard off before the steps, on again after the failure, each as one sequence of writes.
writes=$(grep -E '^out8 006[04] ' "$out/trace.txt" | tr '\n' ' ')
grep -qF 'out8 0064 AD out8 0064 A7 out8 0064 60 out8 0060 74 ' <<<"$writes" || { echo "no keyboard-off"; fail=1; }
grep -qF 'out8 0064 60 out8 0060 47 out8 0064 AE out8 0064 A8 ' <<<"$writes" || { echo "no keyboard-on"; fail=1; }

# The one image is taken. The package carries no MICOM file: the legacy chip's run stops there,
# the vendor chip's (no MICOM update) goes on to the later steps.
grep -q 'Bios File : ' <<<"$log" && { echo "a single image was compared"; fail=1; }
if [ "$2" = legacy ]; then
  expect_line 'BOX title="Fail : Micom File" text="Invalid MICOM file." buttons=OK owned=1'
  expect_line 'EXIT 0x8000000C'
else
  grep -qx 'Step 05' <<<"$log" || { echo "the vendor run stopped at the image selection"; fail=1; }
fi
# Extracted files removed; the image stays until its step lists it.
left=$(place_files "$out/workdir.txt" | grep -v -x -e QN14XB05.wph)
[ -z "$left" ] || { echo "left in the working directory:"; echo "$left"; fail=1; }
exit $fail
