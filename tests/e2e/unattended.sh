#!/usr/bin/env bash
# Runs with nobody to answer, on Windows XP in one prefix, one after the other:
#   1. a package whose archive no longer matches its digest (built with NO_MESSAGEBOX), started
#      with /NO_MESSAGEBOX: refused with 0x8000000E, no box; started without it, its box shows,
#      since the flags of a refused package cannot be trusted;
#   2. while a first run holds the one-run lock at its start confirmation, a second run of a
#      NO_MESSAGEBOX package and one of the first's package with /NO_MESSAGEBOX: both end with
#      0x8000000F without a box;
#   3. the fleet log, %SystemRoot%\QuorvinLogs\QuorvinUpdate.log, holds every run's opening and
#      last line behind its process id.
set -uo pipefail
source "$(dirname "$0")/lib.sh"

"$here/package-entries" "$out/entries" "$win" >"$out/entries.txt"
pack() { "$qpack" build -o "$out/$1" --stub "$win/QuorvinUpdate.exe" --flags "$2" $(cat "$out/entries.txt") >/dev/null; }
pack Plain.exe MARK_LAST_AREA,SKIP_CHECK_POWER && pack Silent.exe NO_MESSAGEBOX,SKIP_CHECK_POWER &&
  pack Changed.exe NO_MESSAGEBOX,SKIP_CHECK_POWER || exit 1
cp "$out/Plain.exe" "$out/Again.exe"
python3 -c 'import sys; p = sys.argv[1]; b = bytearray(open(p, "rb").read()); b[-20] ^= 1; open(p, "wb").write(b)' \
  "$out/Changed.exe" || exit 1

"$here/../wine/with-wine" --template "$template" --winver winxp -- bash -c '
  drive() { "$0/drive-updater" --win "$1" --exe "$2/$3" --out "$2/$4" "${@:5}"; }
  drive "$1" "$2" Changed.exe changed-silent -- /NO_MESSAGEBOX
  drive "$1" "$2" Changed.exe changed
  "$0/run-on-notebook" --win "$1" --package "$2/Plain.exe" --profile "$0/../../sim/profiles/phoenix.json" \
    --out "$2/first" --hold 12000 --answer cancel &
  first=$!
  for _ in $(seq 300); do grep -q "^BOX" "$2/first/drive.txt" 2>/dev/null && break; sleep 0.1; done
  drive "$1" "$2" Silent.exe second-silent
  drive "$1" "$2" Again.exe second-option -- /NO_MESSAGEBOX
  wait $first
  cp "$WINEPREFIX/drive_c/windows/QuorvinLogs/QuorvinUpdate.log" "$2/fleet.txt"' "$here" "$win" "$out"

for run in changed-silent changed first second-silent second-option; do echo "== $run"; cat "$out/$run/drive.txt"; done
ends() { grep -qxF "EXIT $2" "$out/$1/drive.txt" || { echo "$1: not EXIT $2"; fail=1; }; }
boxes() { [ "$(grep -c '^BOX' "$out/$1/drive.txt")" = "$2" ] || { echo "$1: not $2 box(es)"; fail=1; }; }
ends changed-silent 0x8000000E; boxes changed-silent 0
ends changed 0x8000000E; boxes changed 1
grep -q '^BOX title="Fail : Invalid Option"' "$out/changed/drive.txt" || { echo "changed: not the refusal's box"; fail=1; }
ends first 0x00000000
grep -q '^BOX title="Warning"' "$out/first/drive.txt" || { echo "the first run did not hold at its confirmation"; fail=1; }
for run in second-silent second-option; do ends $run 0x8000000F; boxes $run 0; done

echo "== fleet log"
fleet=$(tr -d '\r' <"$out/fleet.txt" 2>/dev/null)
echo "$fleet"
[ "$(grep -c '^\[[0-9]*\] Run : ' <<<"$fleet")" = 5 ] || { echo "not five runs opened in the fleet log"; fail=1; }
for end in 'End : exit 0x8000000E INVALID_OPTION : ' 'End : exit 0x8000000F DIRECTORY : ' \
           'End : exit 0x00000000 OK (cancelled at the start confirmation) : '; do
  want=2; [ "${end:11:10}" = 0x00000000 ] && want=1
  [ "$(grep -c "^\[[0-9]*\] $end" <<<"$fleet")" = $want ] || { echo "not $want of: $end"; fail=1; }
done
# Each run's last line follows an opening under the same process id.
awk -F'[][]' '/\] Run : /{open[$2] = 1} /\] End : /{if (!open[$2]) bad = 1; delete open[$2]} END {exit bad}' <<<"$fleet" ||
  { echo "a last line without its run's opening before it"; fail=1; }
exit $fail
