#!/usr/bin/env bash
# The bare updater, with no archive behind it, on Windows XP: it cannot unpack its access
# driver and ends with "Fail : Unpack" and exit code 0x80000003.
set -uo pipefail
win=$1 template=$2
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d "${TMPDIR:-/tmp}/qv-e2e.XXXXXX")
trap 'rm -rf "$out"' EXIT

"$here/../wine/with-wine" --template "$template" --winver winxp -- \
  "$here/drive-updater" --win "$win" --exe "$win/QuorvinUpdate.exe" --out "$out"

cat "$out/drive.txt"
fail=0
expect() { grep -qxF -- "$1" "$out/drive.txt" || { echo "missing: $1"; fail=1; }; }
expect 'BOX title="Fail : Unpack" text="File Extraction failed.\n\nProgram will be terminated." buttons=OK'
expect 'EXIT 0x80000003'
[ "$(grep -c '^BOX' "$out/drive.txt")" = 1 ] || { echo "expected exactly one box"; fail=1; }
exit $fail
