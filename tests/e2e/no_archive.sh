#!/usr/bin/env bash
# The bare updater, with no archive behind it, on Windows XP: it cannot unpack its access
# driver and ends with "Fail : Unpack" and exit code 0x80000003.
set -uo pipefail
source "$(dirname "$0")/lib.sh"

run_package "$win/QuorvinUpdate.exe"
expect_line 'BOX title="Fail : Unpack" text="File Extraction failed.\n\nProgram will be terminated." buttons=OK owned=0'
expect_line 'EXIT 0x80000003'
[ "$(grep -c '^BOX' "$out/drive.txt")" = 1 ] || { echo "expected exactly one box"; fail=1; }
exit $fail
