#!/usr/bin/env bash
# qpack as release engineers meet it: help, exit codes, messages on stderr, signing and what
# verify makes of a signature, and the Windows build writing the very same package as the
# native one.
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
# Each command's --help: its usage alone.
for command in build sign list verify extract try profile; do
  check 0 "" "$qpack" $command --help
  [ "$(grep '^  qpack ' "$work/stdout" | cut -d' ' -f4)" = "$command" ] || { echo "FAIL: $command --help"; cat "$work/stdout"; fail=1; }
done
grep -q 'DOS part cannot be signed' <("$qpack" sign --help) || { echo "FAIL: sign --help says nothing of DOS parts"; fail=1; }
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
# Extraction inflates each member once, into a temporary file renamed when whole: neither the
# broken member nor its temporary file is left.
mkdir "$work/broken"
check 1 "QN14XB05.wph.gz" "$qpack" extract "$work/bad.exe" -C "$work/broken"
[ -z "$(ls -A "$work/broken")" ] || { echo "FAIL: a broken extraction left:" $(ls -A "$work/broken"); fail=1; }
# RUN.BAT claims more bytes than there are before the trailer and the end.
cp "$work/p.exe" "$work/bad.exe"
printf '\x40' | dd of="$work/bad.exe" bs=1 seek=$(( size - 40 - 11 - 4 )) conv=notrunc status=none
check 1 "DOS package: file 1 runs past the end" "$qpack" verify "$work/bad.exe"

# Signing, with a throw-away root and signer; the password comes from the environment.
"$here/make-signer" "$work/id" && "$here/make-signer" "$work/other" || { echo "FAIL: no test certificates"; exit 1; }
export QV_TEST_PASS=$(cat "$work/id/pass.txt")
check 2 "cannot be signed" "$qpack" build -o "$work/s.exe" --stub "$stub" "$work/AddMem.sys" --dos "$work/RUN.BAT" --sign "$work/id/signer.p12"
check 1 "a package with a DOS part cannot be signed" "$qpack" sign "$work/p.exe" -o "$work/s.exe" --sign "$work/id/signer.p12" --pass-env QV_TEST_PASS
check 0 "" "$qpack" build -o "$work/u.exe" --stub "$stub" "$work/QN14XB05.wph" "$work/AddMem.sys"
check 1 "not set" "$qpack" sign "$work/u.exe" -o "$work/s.exe" --sign "$work/id/signer.p12" --pass-env QV_NO_SUCH_VARIABLE
check 0 "" "$qpack" verify "$work/u.exe"
grep -qx 'signature: unsigned' "$work/stdout" || { echo "FAIL: verify does not say unsigned"; fail=1; }
check 1 "unsigned, and a signature is required" "$qpack" verify "$work/u.exe" --require-signature
check 0 "" "$qpack" build -o "$work/s.exe" --stub "$stub" "$work/QN14XB05.wph" "$work/AddMem.sys" --sign "$work/id/signer.p12" --pass-env QV_TEST_PASS
check 0 "" "$qpack" verify "$work/s.exe" --ca "$work/id/ca.pem" --require-signature
for line in 'signed by: /O=Quorvin Test/CN=Quorvin Release' 'digest algorithm: SHA256' 'signature: matches the file' \
    "certificate chain: leads to $work/id/ca.pem"; do
  grep -qxF "$line" "$work/stdout" || { echo "FAIL: verify of a signed package lacks: $line"; cat "$work/stdout"; fail=1; }
done
# Signing leaves the archive and its digest as they were: the same bytes up to the checksum.
checksum_at=$(( $(od -An -tu4 -j60 -N4 "$work/s.exe") + 88 ))
cmp -s -n $checksum_at "$work/s.exe" "$work/u.exe" || { echo "FAIL: signing changed the headers"; fail=1; }
cmp -s <("$qpack" list "$work/s.exe") <("$qpack" list "$work/u.exe") || { echo "FAIL: list differs once signed"; fail=1; }
check 1 "does not lead to" "$qpack" verify "$work/s.exe" --ca "$work/other/ca.pem"
check 0 "" "$qpack" sign "$work/u.exe" -o "$work/pem.exe" --sign "$work/id/signer.pem" --sign-key "$work/id/signer.key" --pass-file "$work/id/pass.txt"
check 0 "" "$qpack" verify "$work/pem.exe" --ca "$work/id/ca.pem"

# flip FILE OFFSET: one bit of the byte there turned (a digit stays a digit). fix_checksum FILE:
# the PE checksum made right again, as an attacker would, so that only the signature can tell.
flip() {
  printf "$(printf '\\x%02x' $(( $(od -An -tu1 -j"$2" -N1 "$1") ^ 1 )))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
fix_checksum() {
  local right
  right=$("$qpack" verify "$1" 2>&1 | sed -n "s/.* is not the file's 0x\([0-9A-F]*\).*/\1/p")
  [ -n "$right" ] && printf "$(sed 's/\(..\)\(..\)\(..\)\(..\)/\\x\4\\x\3\\x\2\\x\1/' <<<"$right")" |
    dd of="$1" bs=1 seek=$checksum_at conv=notrunc status=none
}
pe=$(od -An -tu4 -j60 -N4 "$work/s.exe")
section=$(od -An -tu4 -j$(( pe + 24 + $(od -An -tu2 -j$(( pe + 20 )) -N2 "$work/s.exe") + 20 )) -N4 "$work/s.exe")
signing_time=$(LC_ALL=C grep -obUaP '\x06\x09\x2a\x86\x48\x86\xf7\x0d\x01\x09\x05' "$work/s.exe" | cut -d: -f1)
archive=$(od -An -tu4 -j40 -N4 "$work/s.exe")
cp "$work/s.exe" "$work/t.exe"
flip "$work/t.exe" $(( section + 100 ))
fix_checksum "$work/t.exe"
check 1 "does not match the file" "$qpack" verify "$work/t.exe"
cp "$work/s.exe" "$work/t.exe"
flip "$work/t.exe" $(( signing_time + 11 + 4 + 11 ))
fix_checksum "$work/t.exe"
check 1 "does not match its signed attributes" "$qpack" verify "$work/t.exe"
cp "$work/s.exe" "$work/t.exe"
printf '\x01' | dd of="$work/t.exe" bs=1 seek=$checksum_at conv=notrunc status=none
check 1 "PE checksum" "$qpack" verify "$work/t.exe"
# A byte of the first entry's name field behind its NUL, with the archive digest rewritten too:
# a sound archive with a digest of its own, which only the signature refuses.
cp "$work/s.exe" "$work/t.exe"
end=$(( archive + 12 + $("$qpack" list "$work/s.exe" | awk 'NR > 1 { n += 264 + $2 } END { print n }') ))
flip "$work/t.exe" $(( archive + 12 + 200 ))
digest=$(tail -c +$(( archive + 1 )) "$work/t.exe" | head -c $(( end - archive )) | sha256sum | cut -c1-32)
printf "$(sed 's/../\\x&/g' <<<"$digest")" | dd of="$work/t.exe" bs=1 seek=44 conv=notrunc status=none
fix_checksum "$work/t.exe"
check 1 "does not match the file" "$qpack" verify "$work/t.exe"

# qpack.exe under Wine writes the same bytes as the native qpack, and says it cannot sign.
cp "$build/win/qpack.exe" "$stub" "$work/QN14XB05.wph" "$work/AddMem.sys" "$work/RUN.BAT" "$work/id/signer.p12" "$work/out/"
(cd "$work/out" && "$here/../wine/with-wine" --template "$build/wine-template" -- sh -c \
  'wine qpack.exe build -o w.exe --stub QuorvinUpdate.exe --flags 0x48 QN14XB05.wph AddMem.sys --dos RUN.BAT
   wine qpack.exe sign w.exe --sign signer.p12 >sign.txt 2>&1; echo $? >>sign.txt')
cmp -s "$work/out/w.exe" "$work/p.exe" || { echo "FAIL: qpack.exe built another package"; fail=1; }
grep -q '^qpack: signing is not available in qpack.exe' "$work/out/sign.txt" && [ "$(tail -n 1 "$work/out/sign.txt")" = 2 ] ||
  { echo "FAIL: qpack.exe on signing:"; cat "$work/out/sign.txt"; fail=1; }

[ $fail = 0 ] && echo "qpack: every check passed"
exit $fail
