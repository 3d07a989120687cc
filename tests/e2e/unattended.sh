#!/usr/bin/env bash
# Runs with nobody to answer, on Windows XP in one prefix, one after the other:
#   1. a package whose archive no longer matches its digest (built with NO_MESSAGEBOX), started
#      with /NO_MESSAGEBOX: refused with 0x8000000E, no box; started without it, its box shows,
#      since the flags of a refused package cannot be trusted;
#   2. while another run holds the one-run lock, a run of a NO_MESSAGEBOX package and one of a
#      plain package with /NO_MESSAGEBOX: both end with 0x8000000F without a box;
#   3. the first run made %SystemRoot%\QuorvinLogs and appended its opening, the package's
#      SHA-256 as sha256sum gives it and its last line to QuorvinUpdate.log, each line behind its
#      process id; each run's own log ends with its last line. Wine keeps no DACLs, so the later
#      runs find the folder not provably administrators' own and leave it alone, as they must
#      (the win tier shows a later run appending).
set -uo pipefail
source "$(dirname "$0")/lib.sh"

"$here/package-entries" "$out/entries" "$win" >"$out/entries.txt"
pack() { "$qpack" build -o "$out/$1" --stub "$win/QuorvinUpdate.exe" --flags "$2" $(cat "$out/entries.txt") >/dev/null; }
pack Plain.exe MARK_LAST_AREA,SKIP_CHECK_POWER && pack Silent.exe NO_MESSAGEBOX,SKIP_CHECK_POWER &&
  pack Changed.exe NO_MESSAGEBOX,SKIP_CHECK_POWER || exit 1
python3 -c 'import sys; p = sys.argv[1]; b = bytearray(open(p, "rb").read()); b[-20] ^= 1; open(p, "wb").write(b)' \
  "$out/Changed.exe" || exit 1

"$here/../wine/with-wine" --template "$template" --winver winxp -- bash -c '
  drive() { "$0/drive-updater" --win "$1" --exe "$2/$3" --out "$2/$4" "${@:5}"; }
  drive "$1" "$2" Changed.exe changed-silent -- /NO_MESSAGEBOX
  cp "$WINEPREFIX/drive_c/windows/QuorvinLogs/QuorvinUpdate.log" "$2/fleet.txt"
  drive "$1" "$2" Changed.exe changed
  wine "$1/attacker.exe" run 60 >"$2/attacker.txt" 2>&1 &
  for _ in $(seq 100); do grep -q held "$2/attacker.txt" 2>/dev/null && break; sleep 0.1; done
  drive "$1" "$2" Silent.exe second-silent
  drive "$1" "$2" Plain.exe second-option -- /NO_MESSAGEBOX
  cp "$WINEPREFIX/drive_c/windows/QuorvinLogs/QuorvinUpdate.log" "$2/fleet-after.txt"' "$here" "$win" "$out"

for run in changed-silent changed second-silent second-option; do echo "== $run"; cat "$out/$run/drive.txt"; done
ends() {
  grep -qxF "EXIT $2" "$out/$1/drive.txt" || { echo "$1: not EXIT $2"; fail=1; }
  [ "$(grep -c '^BOX' "$out/$1/drive.txt")" = "$3" ] || { echo "$1: not $3 box(es)"; fail=1; }
  tail -n 1 "$out/$1/DebugLog-__Quorvin_Update.txt" 2>/dev/null | tr -d '\r' | grep -q "^End : exit $4 " ||
    { echo "$1: its log does not end with its exit code"; fail=1; }
}
ends changed-silent 0x8000000E 0 0x8000000E
ends changed 0x8000000E 1 0x8000000E
grep -q '^BOX title="Fail : Invalid Option"' "$out/changed/drive.txt" || { echo "changed: not the refusal's box"; fail=1; }
ends second-silent 0x8000000F 0 0x8000000F
ends second-option 0x8000000F 0 0x8000000F
# Wine keeps no DACLs: the held lock reads as not ours rather than as another run's; either way it
# refuses the run.
grep -q '^Working directory refused : .*\(another update is running\|QuorvinUpdate.lock\)' \
  "$out/second-silent/DebugLog-__Quorvin_Update.txt" || { echo "the second run was not refused for the lock"; fail=1; }
# Its first line, or its second behind the fleet log's refusal (Wine keeps no DACLs).
for run in changed-silent second-option; do
  head -n 2 "$out/$run/DebugLog-__Quorvin_Update.txt" | grep -q '^Run : ' || { echo "$run: its log does not open with the run"; fail=1; }
done
[ -f "$out/second-option/DebugLog-pkg.txt" ] && { echo "a log was written into the package's folder"; fail=1; }

echo "== fleet log"
fleet=$(tr -d '\r' <"$out/fleet.txt" 2>/dev/null)
echo "$fleet"
sha=$(sha256sum "$out/Changed.exe" | cut -d' ' -f1)
lines_in_order "Run : 
Command line : /NO_MESSAGEBOX
Package : SHA-256 $sha, refused
End : exit 0x8000000E INVALID_OPTION : give up: correct the command line, or copy the package afresh" \
  "$(sed 's/^\[[0-9]*\] //; s/^Run : .*/Run : /' <<<"$fleet")" || fail=1
[ "$(grep -c -v '^\[[0-9]*\] ' <<<"$fleet")" = 0 ] || { echo "a fleet log line without its process id"; fail=1; }
cmp -s "$out/fleet.txt" "$out/fleet-after.txt" || { echo "a later run wrote into a folder it cannot prove its own"; fail=1; }
grep -q 'QuorvinLogs not used : someone else may change it, or it is a link' "$out/second-silent/DebugLog-__Quorvin_Update.txt" ||
  { echo "the later run does not say why it left the fleet log alone"; fail=1; }
exit $fail
