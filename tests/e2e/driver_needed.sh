#!/usr/bin/env bash
# A package of 37 entries on Windows XP: the access driver file is unpacked into TEMP, and the
# run ends where the driver is needed, with "Fail : Driver Load" and 0x80000005. The early
# clean-up removes only that driver file; what others keep in TEMP stays.
set -uo pipefail
source "$(dirname "$0")/lib.sh"

"$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" --flags MARK_LAST_AREA \
  $("$here/package-entries" "$out/entries") || exit 1

prepare_prefix() {
  local temp="$WINEPREFIX/drive_c/users/$QV_USER/Temp"
  mkdir -p "$temp"
  for decoy in msvcrt.dll bios.wph UiLangEn.dll notes.txt; do echo keep >"$temp/$decoy"; done
}
run_package "$out/QuorvinUpdate.exe"

expect_line 'BOX title="Fail : Driver Load" text="Loading driver failed.\n\nRestart system." buttons=OK owned=0'
expect_line 'EXIT 0x80000005'
for kept in msvcrt.dll bios.wph UiLangEn.dll notes.txt; do
  grep -qxF "$kept" "$out/temp-after.txt" || { echo "TEMP lost $kept"; fail=1; }
done
grep -qxiF AddMem.sys "$out/temp-after.txt" && { echo "AddMem.sys left in TEMP"; fail=1; }
exit $fail
