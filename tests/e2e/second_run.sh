#!/usr/bin/env bash
# The same package run twice on Windows XP in one Windows session: the second run, beside the
# first one's working place and its files, makes its own and ends as the first did, with the
# same exit code and the same boxes. Both are cancelled at the start
# confirmation, after the driver has served the BIOS family check and before anything could
# change the notebook.
set -uo pipefail
source "$(dirname "$0")/lib.sh"

"$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" \
  --flags MARK_LAST_AREA,SKIP_CHECK_POWER $("$here/package-entries" "$out/entries" "$win") || exit 1

# run-on-notebook leaves simhw.exe serving in the prefix, so the second run sees the same session.
"$here/../wine/with-wine" --template "$template" --winver winxp -- bash -c '
  "$0/run-on-notebook" --win "$1" --package "$2/QuorvinUpdate.exe" \
    --profile "$0/../../sim/profiles/phoenix.json" --out "$2/first" --answer cancel
  "$0/drive-updater" --win "$1" --exe "$2/QuorvinUpdate.exe" --out "$2/second" --answer cancel
  ls -R "$WINEPREFIX/drive_c/windows/temp" "$WINEPREFIX/drive_c/users/$(id -un)/Temp" >"$2/second/temp.txt"
  cp "$WINEPREFIX/drive_c/sim/trace.txt" "$2/trace.txt"' "$here" "$win" "$out"

for run in first second; do echo "== $run"; cat "$out/$run/drive.txt"; done
grep -q '^BOX title="Warning"' "$out/first/drive.txt" || { echo "the first run did not get to the confirmation"; fail=1; }
grep -qx 'EXIT 0x00000000' "$out/first/drive.txt" || { echo "the first run was not cancelled"; fail=1; }
diff <(grep -E '^(BOX|EXIT)' "$out/first/drive.txt") <(grep -E '^(BOX|EXIT)' "$out/second/drive.txt") ||
  { echo "the second run ended differently"; cat "$out/second/drive.err"; fail=1; }
grep -q '\.gz$' "$out/second/temp.txt" && { echo "a .gz file was left behind"; fail=1; }
[ "$(grep -c '^[^ ]*/__Quorvin_Update[0-9A-F]*:$' "$out/second/temp.txt")" = 2 ] ||
  { echo "the runs did not each make a place of their own:"; cat "$out/second/temp.txt"; fail=1; }
exit $fail
