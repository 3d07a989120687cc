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
#                 verify, nothing written) and without a timestamp under --require-timestamp (at
#                 sign); then signed, proven and tried on the shipped notebooks and a QN15 one it
#                 is not for (its BIOS flasher refuses the QN14 image: not served, nothing
#                 written): exit 0, the package, its manifest with every entry's digest as the
#                 extracted file's, its report rendered by wkhtmltoimage; then a TY-line QN14 that
#                 it serves but cannot update (no EC file): exit 1 at try, no package, and the
#                 report folder holds only this failed release
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
      want vendor0 "$mode" "0x00000000 done|QN14XB06.wph|QNTX0106.bin|$bios|TarpexV01_10 kbc.bin /FORCE|$written|off, power-on armed|unsigned|passed"
      want vendor1 "$mode" "0x00000000 done|QN14XB06.wph|-|$bios|-|$written|off, power-on armed|unsigned|passed"
    done
    # The report: every run's boxes on screen, and its log and trace behind links that lead somewhere.
    html="$out/report/report.html"
    for link in $(grep -o '\(href\|src\)="runs/[^"]*"' "$html" | cut -d'"' -f2 | sort -u); do
      [ -s "$out/report/$link" ] || { echo "the report links to a missing $link"; fail=1; }
    done
    # Each box shown cut to the program's windows, leading to the whole screen.
    [ "$(grep -o '<a href="runs/[^"]*/shots/box-[0-9]*.png"><img src="runs/[^"]*/shots/box-[0-9]*-cut.png"' "$html" | wc -l)" -ge 8 ] ||
      { echo "fewer than two box screenshots per run, cut and leading to the whole screen"; fail=1; }
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
    want line-tx xp "0x00000000 done|QNTX06.wph|QNTX0106.bin|SWinFlash bios.wph /P /MODE=3 /DO0:BF0A /DO1:20261207 /DSS:QV14X0001234|TarpexV01_10 kbc.bin /FORCE|FFF20000+60000 FFFA0000+50000|off, power-on armed|unsigned|passed"
    want line-ty xp '0x8000000B no image for this machine (BIOS 05TY)|-|-|-|-|-|stays on|unsigned|FAILED: exit 0x8000000B, expected 0x00000000' ;;
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
    # A Phoenix notebook of model QN15 (its firmware service and its DiaG@ block say so).
    sed -e 's/514E3134/514E3135/' -e 's/"model": "QN14"/"model": "QN15"/' "$shipped" >"$profiles/qn15.json"
    { open_profile 0x11 30355459; echo '}'; } >"$profiles/line-ty.json"
    release() {
      local package=$1 profile=$2
      shift 2
      "$qpack" release -o "$out/$package" --stub "$win/QuorvinUpdate.exe" --flags SKIP_CHECK_POWER \
        $(cat "$out/entries.txt") --sign "$out/id/signer.p12" --pass-file "$out/id/pass.txt" \
        --profile "$profiles/$profile" --report "$out/release" "$@" >"$out/table.txt" 2>"$out/progress.txt"
    }
    left_nothing() {
      [ -e "$out/$1" ] && { echo "$2: a failed release left $1"; fail=1; }
      ls -A "$out" | grep -q '\.qpack-' && { echo "$2: a failed release left its staging"; fail=1; }
    }
    release Update.exe qn15.json --ca "$out/other/ca.pem"
    rc=$?
    [ $rc = 1 ] && grep -q '^qpack: release failed at verify: .*leads to another root' "$out/progress.txt" ||
      { echo "another root: exit $rc"; cat "$out/progress.txt"; fail=1; }
    left_nothing Update.exe "another root"
    release Update.exe qn15.json --ca "$out/id/ca.pem" --require-timestamp
    rc=$?
    [ $rc = 1 ] && grep -q '^qpack: release failed at sign: --require-timestamp: no timestamp: the signature stops validating when the certificate expires' "$out/progress.txt" ||
      { echo "--require-timestamp: exit $rc"; cat "$out/progress.txt"; fail=1; }
    left_nothing Update.exe "--require-timestamp"
    release Update.exe qn15.json --ca "$out/id/ca.pem"
    rc=$?
    cat "$out/table.txt"
    [ $rc = 0 ] || { echo "exit $rc, not 0"; tail -n 3 "$out/progress.txt"; fail=1; }
    "$qpack" verify "$out/Update.exe" --ca "$out/id/ca.pem" --require-signature >/dev/null || fail=1
    grep -q 'proven: leads to' "$out/table.txt" || { echo "the table does not say the signer was proven"; fail=1; }
    # The BIOS flasher, not the updater, refused the QN15 machine.
    grep -qF 'flasher SWinFlash -120: bios.wph is for model "QN14" part "P07", the machine is model "QN15" part "P07"' \
      "$out"/release/runs/*-qn15-xp-en/out/trace.txt || { echo "the QN15 machine's flasher did not refuse the image"; fail=1; }
    mkdir -p "$out/extracted" && "$qpack" extract "$out/Update.exe" -C "$out/extracted" >/dev/null || fail=1
    QT_QPA_PLATFORM=offscreen wkhtmltoimage --quiet --enable-local-file-access --width 1400 "$out/release/report.html" \
      "$out/report.png" ||
      { echo "wkhtmltoimage could not render the report"; fail=1; }
    python3 - "$out/release" "$out/Update.exe" "$(wc -l <"$out/entries.txt")" "$out/extracted" "$out/report.png" <<'PY' || fail=1
import hashlib, html, json, os, re, subprocess, sys
report, package, count, extracted, picture = sys.argv[1:]
m = json.load(open(os.path.join(report, "manifest.json")))
sha = lambda path: hashlib.sha256(open(path, "rb").read()).hexdigest()
machines = {r["profile"]: r for r in m["machines"]}
page = open(os.path.join(report, "report.html")).read()
text = html.unescape(re.sub(r"<[^>]*>", " ", page))
rows = re.findall(r'<tr class="(yes|ns|no)"><td>([^<(]*) \(', page)
colours = subprocess.run(["identify", "-format", "%k %w %h", picture], capture_output=True, text=True).stdout.split()
checks = {
    "result": m["result"] == "ready to ship",
    "package digest": m["package"]["sha256"] == sha(package) and m["package"]["size"] == os.path.getsize(package),
    "signer": m["signature"]["signer"] == "/O=Quorvin Test/CN=Quorvin Release",
    "no timestamp said": m["signature"]["timestamp"].startswith("no timestamp: the signature stops validating"),
    "entries": len(m["entries"]) == int(count),
    "every entry's digest is the extracted file's": all(
        e["sha256"] == sha(os.path.join(extracted, e["name"])) and e["size"] == os.path.getsize(os.path.join(extracted, e["name"]))
        for e in m["entries"]),
    "image": [(i["name"], i["model"], i["part_number"], i["version"]) for i in m["images"]] == [("QN14XB06.wph", "QN14", "P07", "06TX")],
    "served": all(machines[p]["served"] and machines[p]["verdict"] == "passed" for p in ("phoenix", "phoenix_x86", "notebook-2017")),
    "not served": (machines["qn15"]["verdict"], machines["qn15"]["exit_code"]) == ("not served", "0x80000008")
                  and (machines["ami"]["verdict"], machines["ami"]["exit_code"]) == ("not served", "0x8000000B"),
    "steps": [(s["step"], s["result"]) for s in m["steps"]] == [(n, "held") for n in ("build", "sign", "describe", "verify", "try", "place")]
             and m["steps"][2]["detail"] == "%s entries, BIOS images: 1" % count,
    "the page's title and verdict": "<title>qpack release: Update.exe: ready to ship</title>" in page and "ready to ship" in text,
    "the page's SHA-256": m["package"]["sha256"] in text,
    "every machine's row in the page": sorted(r[1] for r in rows) == sorted(machines)
                                       and all(c == ("ns" if machines[p]["verdict"] == "not served" else "yes") for c, p in rows),
    "the picture is not blank": len(colours) == 3 and int(colours[0]) > 16 and int(colours[2]) > 400,
}
for name, held in checks.items():
    if not held: print("release:", name, "does not hold")
sys.exit(not all(checks.values()))
PY
    # A machine it serves and cannot update: the release fails at try, no package, and the report
    # folder is this release's alone.
    release Failed.exe line-ty.json --ca "$out/id/ca.pem"
    rc=$?
    [ $rc = 1 ] && grep -q '^qpack: release failed at try: not as expected: .*line-ty-xp-en (exit 0x8000000C, expected 0x00000000)' "$out/progress.txt" ||
      { echo "a served machine that fails: exit $rc"; cat "$out/progress.txt"; fail=1; }
    left_nothing Failed.exe "a served machine that fails"
    python3 - "$out/release" <<'PY' || fail=1
import json, os, sys
m = json.load(open(os.path.join(sys.argv[1], "manifest.json")))
runs = sorted(os.listdir(os.path.join(sys.argv[1], "runs")))
checks = {
    "failed at try": m["result"] == "failed at try" and m["package"]["name"] == "Failed.exe",
    "the QN15 runs of the earlier release are gone": not any("qn15" in run for run in runs),
    "the failing machine is served": [(r["verdict"], r["served"]) for r in m["machines"] if r["profile"] == "line-ty"] == [("failed", True)],
    "the page says it failed": "qpack release: Failed.exe: FAILED" in open(os.path.join(sys.argv[1], "report.html")).read(),
}
for name, held in checks.items():
    if not held: print("failed release:", name, "does not hold")
sys.exit(not all(checks.values()))
PY
    ;;
  *) echo "qpack_try.sh: unknown case $2" >&2; exit 2 ;;
esac
exit $fail
