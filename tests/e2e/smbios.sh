#!/usr/bin/env bash
# A Phoenix update on the simulated notebook carrying a real 2017 notebook's SMBIOS table at
# 0x6A162000, above the first MiB (sim/profiles/notebook-2017.json): what the identity read at
# "Step 03" takes from it. Its BIOS flag "Dell System" holds a blank: handed on unquoted it would
# reach the BIOS flasher as two arguments, so the run is refused before anything is flashed.
#
#   smbios.sh BUILD CASE
#
# CASE: sm3     the table as that notebook offers it, through a 3.0 "_SM3_" entry point only
#       legacy  the same table through a 2.x "_SM_" entry point with its "_DMI_"
# Both read the same serial (the string the type-1 structure's serial field names), flag and
# date (the first two OEM strings), as the refusal logs them.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
profiles="$here/../../sim/profiles"
hex() { od -An -v -tx1 "$profiles/data/$1" | tr -d ' \n' | tr a-f A-F; }
shipped=$(hex notebook-2017.smbios_entry_point)
entry=$shipped
[ "$2" = legacy ] && entry=$(hex notebook-2017-legacy.smbios_entry_point)
sed "s/\"$shipped\"/\"$entry\"/" "$profiles/notebook-2017.json" >"$out/profile.json"
grep -q "\"$entry\"" "$out/profile.json" || { echo "no entry point in the profile"; exit 1; }

"$here/update-package" "$build" "$out/QuorvinUpdate.exe" SKIP_CHECK_POWER || exit 1
"$here/../wine/with-wine" --template "$template" --winver winxp -- \
  "$here/run-on-notebook" --win "$win" --package "$out/QuorvinUpdate.exe" --profile "$out/profile.json" \
  --out "$out"
cat "$out/drive.txt"
log=$(tr -d '\r' <"$out/DebugLog-__Quorvin_Update.txt" 2>/dev/null)
# The walk's reads of the table's two pages.
table_reads=$(grep -c '^memrd 6A16[23]' "$out/trace.txt")

search=000F0810 sm3=""
case "$2" in
  # Reached through the 3.0 entry point alone: no "_DMI_" in the BIOS segment.
  sm3) search=00000000 sm3=$'\nSearch Result SM3 : 000F0800' ;;
  legacy) ;;
  *) echo "smbios.sh: unknown case $2" >&2; exit 2 ;;
esac
[ "$table_reads" -gt 0 ] || { echo "the table above 1 MiB was never read"; fail=1; }
grep -q '^flasher ' "$out/trace.txt" && { echo "a flasher ran"; fail=1; }
expect_line 'EXIT 0x8000000B'
steps="Step 03
Search DMI String...
Search Result : $search$sm3
return from SearchDMIBlock...
Search DMI String...
Search Result : $search$sm3
return from SearchDMIBlock...
Step 04
*** Old Bios Info ***
Bios Part Number : P07
Bios Model Number : QN14
Bios Part Version : 05TX
Step 05
DMI options refused : this machine's Bios Flag would reach the flasher as several arguments (Bios Flag \"Dell System\", Purchase Date \"1[077A]\", System Serial \"2R0Q2G2\"); set this machine's DMI values first, then run the update again"
lines_in_order "$steps" "$log" || { echo "log lacks, in this order:"; echo "$steps"; fail=1; }
[ $fail = 0 ] || { echo "== log"; echo "$log"; }
exit $fail
