#!/usr/bin/env bash
# The package that carries a DOS package is still the Windows updater: a package of 37 entries
# with a DOS package behind its archive, on Windows XP, unpacks its access driver and ends where
# the driver is needed, as one without does.
set -uo pipefail
source "$(dirname "$0")/../e2e/lib.sh"

mkdir -p "$out/dos"
printf '@echo off\r\necho DOS\r\n' >"$out/dos/RUN.BAT"
"$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" --flags MARK_LAST_AREA \
  $("$here/package-entries" "$out/entries") --dos "$out/dos/RUN.BAT" || exit 1
"$qpack" list "$out/QuorvinUpdate.exe" | grep -qx 'RUN.BAT  *21' || { echo "no DOS package in the package"; exit 1; }
run_package "$out/QuorvinUpdate.exe"

expect_line 'BOX title="Fail : Driver Load" text="Loading driver failed.\n\nRestart system." buttons=OK owned=0'
expect_line 'EXIT 0x80000005'
exit $fail
