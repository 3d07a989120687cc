#!/usr/bin/env bash
# The bare updater, with no archive and so no archive digest behind it, on Windows XP: it proves
# nothing, installs and unpacks nothing, and ends with "Fail : Invalid Option", exit code
# 0x8000000E and a log line that says why.
set -uo pipefail
source "$(dirname "$0")/lib.sh"

run_package "$win/QuorvinUpdate.exe"
grep -q '^BOX title="Fail : Invalid Option"' "$out/drive.txt" || { echo "no package refusal box"; fail=1; }
expect_line 'EXIT 0x8000000E'
[ "$(grep -c '^BOX' "$out/drive.txt")" = 1 ] || { echo "expected exactly one box"; fail=1; }
grep -q 'Package refused : it carries no archive digest' "$out"/DebugLog-*.txt ||
  { echo "the refusal is not logged"; cat "$out"/DebugLog-*.txt; fail=1; }
[ -s "$out/temp-after.txt" ] && { echo "written into TEMP:"; cat "$out/temp-after.txt"; fail=1; }
exit $fail
