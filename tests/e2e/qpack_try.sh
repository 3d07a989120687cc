#!/usr/bin/env bash
# "qpack try" as a release engineer runs it: its table against what the update cases already know
# of the same package on the same notebooks, a misnamed image, and no Wine.
#
#   qpack_try.sh BUILD CASE
#
# CASE: matrix    EC vendor 0 and 1 in XP and 10, each profile stating what it expects: exit 0
#       misnamed  images for BIOS lines TX and TY, the TY one named "QNYT": no image on that
#                 machine, exit 1
#       setup     no Wine on PATH, and a build without its Windows half: exit 2, naming ./run setup
#       release   qpack release of the matrix's entries: refused against another root (exit 1 at
#                 verify, nothing written), then signed, proven and tried on the shipped notebooks
#                 and a TY-line one it is not for: exit 0, the package and its manifest
set -uo pipefail
source "$(dirname "$0")/lib.sh"
profiles="$out/profiles"
mkdir -p "$profiles"
shipped="$here/../../sim/profiles/phoenix.json"
# The shipped notebook without its closing brace, to add keys to.
open_profile() { sed -e "s/\"chip_id\": \"0x4D\"/\"chip_id\": \"$1\"/" -e "s/30355458/$2/" -e '$ d' "$shipped"; }
# A run's cells, outcome to power, who signed it and whether as expected, "|"-joined; cells are padded with two
# spaces or more, and hold single ones only.
cells() { awk -F '  +' -v m="$1" -v w="$2" '$1 == m && $2 == w { print $4 "|" $5 "|" $6 "|" $7 "|" $8 "|" $9 "|" $10 "|" $11 "|" $13 }' "$out/table.txt"; }
want() {
  local got
  got=$(cells "$1" "$2")
  [ "$got" = "$3" ] || { printf 'the run %s %s:\n  shows  %s\n  wanted %s\n' "$1" "$2" "$got" "$3"; fail=1; }
}

case "$2" in
  matrix)
    "$here/update-package" "$build" "$out/QuorvinUpdate.exe" SKIP_CHECK_POWER || exit 1
    { open_profile 0x11 30355458
      echo ', "expect": {"exit": "0x0", "image": "QN14XB06.wph", "ec": "QNTX0106.bin", "power": "armed"}}'; } \
      >"$profiles/vendor0.json"
    { open_profile 0x4D 30355458; echo ', "expect": {"ec": "none", "power": "armed"}}'; } >"$profiles/vendor1.json"
    "$qpack" try "$out/QuorvinUpdate.exe" --profile "$profiles" --windows xp,10 --report "$out/report" \
      >"$out/table.txt" 2>"$out/progress.txt"
    rc=$?
    cat "$out/table.txt"
    [ $rc = 0 ] || { echo "exit $rc, not 0"; tail -n 3 "$out/progress.txt"; fail=1; }
    # What update.sh's "whole" and "vendor" cases find in the trace and the log of these runs.
    bios='SWinFlash bios.wph /P /MODE=3 /DO0:BF0A /DO1:20261207 /DSS:QV14X0001234'
    written='FFF20000+60000 FFFA0000+50000'
    for mode in xp 10; do
      want vendor0 "$mode" "0x00000000 done|QN14XB06.wph|QNTX0106.bin|$bios|TarpexV01_10 kbc.bin /FORCE|$written|off, power-on armed|unsigned|yes"
      want vendor1 "$mode" "0x00000000 done|QN14XB06.wph|-|$bios|-|$written|off, power-on armed|unsigned|yes"
    done
    # The report: every run's boxes on screen, and its log and trace behind links that lead somewhere.
    html="$out/report/report.html"
    for link in $(grep -o '\(href\|src\)="runs/[^"]*"' "$html" | cut -d'"' -f2 | sort -u); do
      [ -s "$out/report/$link" ] || { echo "the report links to a missing $link"; fail=1; }
    done
    [ "$(grep -o 'src="runs/[^"]*/shots/box-[0-9]*.png"' "$html" | wc -l)" -ge 8 ] ||
      { echo "fewer than two box screenshots per run"; fail=1; }
    [ "$(grep -o 'href="runs/[^"]*/trace.txt"' "$html" | wc -l)" = 4 ] || { echo "not four traces linked"; fail=1; }
    python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["runs"]; sys.exit(not (len(r) == 4 and all(x["as_expected"] for x in r)))' \
      "$out/report/report.json" || { echo "report.json does not hold four runs as expected"; fail=1; } ;;
  misnamed)
    "$here/update-package" "$build" "$out/QuorvinUpdate.exe" SKIP_CHECK_POWER || exit 1
    mv "$out/entries/QN14XB06.wph" "$out/entries/QNTX06.wph"
    cp "$out/entries/QNTX06.wph" "$out/entries/QNYT06.wph"
    sed -i -e 's/QN14XB06\.wph$/QNTX06.wph/' "$out/entries.txt"
    echo "$out/entries/QNYT06.wph" >>"$out/entries.txt"
    "$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" --flags SKIP_CHECK_POWER \
      $(cat "$out/entries.txt") >/dev/null || exit 1
    { open_profile 0x11 30355458; echo '}'; } >"$profiles/line-tx.json"
    { open_profile 0x11 30355459; echo '}'; } >"$profiles/line-ty.json"
    "$qpack" try "$out/QuorvinUpdate.exe" --profile "$profiles/line-tx.json" --profile "$profiles/line-ty.json" \
      --report "$out/report" >"$out/table.txt" 2>"$out/progress.txt"
    rc=$?
    cat "$out/table.txt"
    [ $rc = 1 ] || { echo "exit $rc, not 1"; tail -n 3 "$out/progress.txt"; fail=1; }
    want line-tx xp "0x00000000 done|QNTX06.wph|QNTX0106.bin|SWinFlash bios.wph /P /MODE=3 /DO0:BF0A /DO1:20261207 /DSS:QV14X0001234|TarpexV01_10 kbc.bin /FORCE|FFF20000+60000 FFFA0000+50000|off, power-on armed|unsigned|yes"
    want line-ty xp '0x8000000B no image for this machine (BIOS 05TY)|-|-|-|-|-|stays on|unsigned|NO: exit 0x8000000B, expected 0x00000000' ;;
  setup)
    "$here/update-package" "$build" "$out/QuorvinUpdate.exe" SKIP_CHECK_POWER || exit 1
    mkdir -p "$out/nowine" "$out/halfbuild"
    PATH="$out/nowine" "$qpack" try "$out/QuorvinUpdate.exe" --report "$out/report" 2>"$out/stderr.txt"
    rc=$?
    cat "$out/stderr.txt"
    [ $rc = 2 ] || { echo "no Wine: exit $rc, not 2"; fail=1; }
    grep -q 'no wine on PATH; ./run setup installs Wine' "$out/stderr.txt" || { echo "no Wine: not told how to get it"; fail=1; }
    cp "$build/CMakeCache.txt" "$out/halfbuild/"
    "$qpack" try "$out/QuorvinUpdate.exe" --build "$out/halfbuild" --report "$out/report" 2>"$out/stderr.txt"
    rc=$?
    cat "$out/stderr.txt"
    [ $rc = 2 ] || { echo "no Windows build: exit $rc, not 2"; fail=1; }
    grep -q "no Windows build: $out/halfbuild/win/QuorvinUpdate.exe is missing; ./run setup, then ./run build" \
      "$out/stderr.txt" || { echo "no Windows build: not told how to get it"; fail=1; }
    [ ! -e "$out/report" ] || { echo "a report without a run"; fail=1; } ;;
  release)
    "$here/update-package" "$build" "$out/QuorvinUpdate.exe" SKIP_CHECK_POWER || exit 1
    rm "$out/QuorvinUpdate.exe"
    "$here/../tools/make-signer" "$out/id" && "$here/../tools/make-signer" "$out/other" || exit 1
    { open_profile 0x11 30355459; echo '}'; } >"$profiles/line-ty.json"
    release() {
      "$qpack" release -o "$out/Update.exe" --stub "$win/QuorvinUpdate.exe" --flags SKIP_CHECK_POWER \
        $(cat "$out/entries.txt") --sign "$out/id/signer.p12" --pass-file "$out/id/pass.txt" \
        --profile "$profiles/line-ty.json" --report "$out/release" "$@" >"$out/table.txt" 2>"$out/progress.txt"
    }
    release --ca "$out/other/ca.pem"
    rc=$?
    [ $rc = 1 ] && grep -q '^qpack: release failed at verify: .*leads to another root' "$out/progress.txt" ||
      { echo "another root: exit $rc"; cat "$out/progress.txt"; fail=1; }
    [ -e "$out/Update.exe" ] || ls -A "$out" | grep -q qpack && { echo "a failed release left a package"; fail=1; }
    release --ca "$out/id/ca.pem"
    rc=$?
    cat "$out/table.txt"
    [ $rc = 0 ] || { echo "exit $rc, not 0"; tail -n 3 "$out/progress.txt"; fail=1; }
    "$qpack" verify "$out/Update.exe" --ca "$out/id/ca.pem" --require-signature >/dev/null || fail=1
    grep -q 'proven: leads to' "$out/table.txt" || { echo "the table does not say the signer was proven"; fail=1; }
    python3 - "$out/release/manifest.json" "$out/Update.exe" "$(wc -l <"$out/entries.txt")" <<'PY' || fail=1
import hashlib, json, sys
m = json.load(open(sys.argv[1]))
verdicts = {(r["profile"], r["verdict"], r["exit_code"]) for r in m["machines"]}
checks = {
    "result": m["result"] == "ready to ship",
    "package digest": m["package"]["sha256"] == hashlib.sha256(open(sys.argv[2], "rb").read()).hexdigest(),
    "signer": m["signature"]["signer"] == "/O=Quorvin Test/CN=Quorvin Release",
    "entries": len(m["entries"]) == int(sys.argv[3]),
    "image": [(i["name"], i["version_characters"]) for i in m["images"]] == [("QN14XB06.wph", "14")],
    "served": ("phoenix", "passed", "0x00000000") in verdicts,
    "not served": ("line-ty", "not served", "0x8000000C") in verdicts and ("ami", "not served", "0x8000000B") in verdicts,
}
for name, held in checks.items():
    if not held: print("manifest:", name, "does not hold")
sys.exit(not all(checks.values()))
PY
    ;;
  *) echo "qpack_try.sh: unknown case $2" >&2; exit 2 ;;
esac
exit $fail
