#!/usr/bin/env bash
# qpack as release engineers meet it: help, exit codes, messages on stderr, and the Windows
# build writing the very same package as the native one.
#
#   qpack_cli.sh BUILD
set -uo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
qpack="$build/qpack"
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-qpack.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail=0

# check EXPECTED_EXIT STDERR_PATTERN COMMAND...: exit code and what stderr says.
check() {
  local want=$1 pattern=$2; shift 2
  "$@" >"$work/stdout" 2>"$work/stderr"
  local got=$?
  [ "$got" = "$want" ] || { echo "FAIL ($got, wanted $want): $*"; cat "$work/stderr"; fail=1; return; }
  [ -z "$pattern" ] || grep -q -- "$pattern" "$work/stderr" || { echo "FAIL (stderr): $*"; cat "$work/stderr"; fail=1; }
}

stub="$build/win/QuorvinUpdate.exe"
printf 'driver' >"$work/AddMem.sys"
printf '@echo off\r\n' >"$work/RUN.BAT"
cp "$work/RUN.BAT" "$work/Update_Run.bat"
head -c 100000 /dev/urandom >"$work/QN14XB05.wph"

check 0 "" "$qpack" --help
grep -q 'MARK_LAST_AREA' "$work/stdout" && grep -q 'FIVE_CHAR_IDS' "$work/stdout" || { echo "FAIL: --help lists no flag names"; fail=1; }
grep -q -- '--dos DOSFILE' "$work/stdout" || { echo "FAIL: --help does not show --dos"; fail=1; }
check 2 "no command" "$qpack"
check 2 "unknown command" "$qpack" pack x
check 2 "needs -o" "$qpack" build --stub "$stub" "$work/AddMem.sys"
check 2 "unknown package flag" "$qpack" build -o "$work/p.exe" --stub "$stub" --flags CLEAR_ALL "$work/AddMem.sys"
check 1 "absent.bin" "$qpack" build -o "$work/p.exe" --stub "$stub" "$work/AddMem.sys" "$work/absent.bin"
[ -e "$work/p.exe" ] && { echo "FAIL: a refused build left its output"; fail=1; }
check 2 "needs at least one DOSFILE" "$qpack" build -o "$work/p.exe" --stub "$stub" "$work/AddMem.sys" --dos
check 1 "not a DOS 8.3 file name" "$qpack" build -o "$work/p.exe" --stub "$stub" "$work/AddMem.sys" --dos "$work/Update_Run.bat"
check 0 "" "$qpack" build -o "$work/p.exe" --stub "$stub" --flags MARK_LAST_AREA,CLEAR_CMOS "$work/QN14XB05.wph" "$work/AddMem.sys" --dos "$work/RUN.BAT"
check 1 "already carries an archive" "$qpack" build -o "$work/q.exe" --stub "$work/p.exe" "$work/AddMem.sys"
check 0 "" "$qpack" list "$work/p.exe"
grep -q '^archive at 0x[0-9A-F]*, flags 0x48 (MARK_LAST_AREA|CLEAR_CMOS), 2 entries$' "$work/stdout" || { echo "FAIL: list header"; cat "$work/stdout"; fail=1; }
grep -qE '^AddMem.sys.gz +[0-9]+ +6 +[0-9a-f]{8}$' "$work/stdout" || { echo "FAIL: list entry"; cat "$work/stdout"; fail=1; }
[ "$(tail -n 2 "$work/stdout" | sed 's/ 0x[0-9A-F]*,/ 0x?,/; s/  */ /g')" = "$(printf 'DOS package at 0x?, 1 entries\nRUN.BAT 11')" ] ||
  { echo "FAIL: list of the DOS package"; cat "$work/stdout"; fail=1; }
check 0 "" "$qpack" verify "$work/p.exe"
check 1 "no archive" "$qpack" verify "$stub"
mkdir "$work/out"
check 0 "" "$qpack" extract "$work/p.exe" -C "$work/out" addmem.sys
[ "$(ls "$work/out")" = "AddMem.sys" ] && cmp -s "$work/out/AddMem.sys" "$work/AddMem.sys" || { echo "FAIL: extract"; fail=1; }

# Flip one byte in the middle of the image's member: verify names the entry.
size=$(stat -c %s "$work/p.exe")
cp "$work/p.exe" "$work/bad.exe"
printf '\x00' | dd of="$work/bad.exe" bs=1 seek=$(( size - 60000 )) conv=notrunc status=none
check 1 "QN14XB05.wph.gz" "$qpack" verify "$work/bad.exe"
# RUN.BAT claims more bytes than there are before the trailer and the end.
cp "$work/p.exe" "$work/bad.exe"
printf '\x40' | dd of="$work/bad.exe" bs=1 seek=$(( size - 40 - 11 - 4 )) conv=notrunc status=none
check 1 "DOS package: file 1 runs past the end" "$qpack" verify "$work/bad.exe"

# qpack.exe under Wine writes the same bytes as the native qpack.
cp "$build/win/qpack.exe" "$stub" "$work/QN14XB05.wph" "$work/AddMem.sys" "$work/RUN.BAT" "$work/out/"
(cd "$work/out" && "$here/../wine/with-wine" --template "$build/wine-template" -- \
  wine qpack.exe build -o w.exe --stub QuorvinUpdate.exe --flags 0x48 QN14XB05.wph AddMem.sys --dos RUN.BAT)
cmp -s "$work/out/w.exe" "$work/p.exe" || { echo "FAIL: qpack.exe built another package"; fail=1; }

[ $fail = 0 ] && echo "qpack: every check passed"
exit $fail
