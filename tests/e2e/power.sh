#!/usr/bin/env bash
# The power check on the notebook's own power supply: refused with the right box without AC or
# with a battery under 30 %, passed with both, and skipped by the package flag.
#
#   power.sh BUILD CASE     CASE: ok low no-ac nothing skipped
set -uo pipefail
source "$(dirname "$0")/lib.sh"
flags=MARK_LAST_AREA
case "$2" in
  ok) power=1:30 code="" ;;
  low) power=1:29 code=0x80000011
       box='BOX title="Fail : Power" text="There is no installed battery or the remaining charge level of the battery is lower than 30%.\n\nCheck your battery." buttons=OK owned=0' ;;
  no-ac) power=0:100 code=0x80000010
         box='BOX title="Fail : Power" text="AC adapter is not connected.\n\nFor an update, the AC adapter has to be connected." buttons=OK owned=0' ;;
  nothing) power=0:none code=0x80000012
           box='BOX title="Fail : Power" text="The AC adapter is not connected and there is no installed battery or the remaing charge of the battery is lower than 30%. \n\nCheck your adapter and battery." buttons=OK owned=0' ;;
  skipped) power=0:none code="" flags=MARK_LAST_AREA,SKIP_CHECK_POWER ;;
  *) echo "power.sh: unknown case $2" >&2; exit 2 ;;
esac

"$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" --flags "$flags" \
  $("$here/package-entries" "$out/entries" "$win") || exit 1
"$here/../wine/with-wine" --template "$template" --winver winxp -- \
  "$here/run-on-notebook" --win "$win" --package "$out/QuorvinUpdate.exe" \
  --profile "$here/../../sim/profiles/phoenix.json" --out "$out" --power "$power"
cat "$out/drive.txt"

if [ -n "$code" ]; then
  expect_line "$box"
  expect_line "EXIT $code"
  [ "$(grep -c '^BOX' "$out/drive.txt")" = 1 ] || { echo "expected only the power box"; fail=1; }
  # The working place comes first and keeps the log of the refusal.
  grep -q 'DebugLog.txt' "$out/workdir.txt" 2>/dev/null || { echo "no working place holds the run's log"; fail=1; }
else
  grep -q '^BOX title="Warning"' "$out/drive.txt" || { echo "the run did not pass the power check"; fail=1; }
fi
exit $fail
