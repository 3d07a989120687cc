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
for command in build sign list verify extract try profile release; do
  check 0 "" "$qpack" $command --help
  [ "$(grep '^  qpack ' "$work/stdout" | cut -d' ' -f4)" = "$command" ] || { echo "FAIL: $command --help"; cat "$work/stdout"; fail=1; }
done
grep -q 'DOS part cannot be signed' <("$qpack" sign --help) || { echo "FAIL: sign --help says nothing of DOS parts"; fail=1; }
check 2 "no command" "$qpack"
check 2 "unknown command" "$qpack" pack x
check 2 "needs -o" "$qpack" build --stub "$stub" "$work/AddMem.sys"
check 2 "unknown package flag" "$qpack" build -o "$work/p.exe" --stub "$stub" --flags CLEAR_ALL "$work/AddMem.sys"
[ "$(grep -o 'help' "$work/stderr" | wc -l)" = 1 ] || { echo "FAIL: the usage error points at help more than once"; cat "$work/stderr"; fail=1; }
check 2 "^qpack: sign: -o needs a value (qpack sign --help shows the usage)$" "$qpack" sign "$work/p.exe" -o
check 2 "verify: --ca needs a value" "$qpack" verify "$work/p.exe" --ca
check 2 "extract: unknown option --forse" "$qpack" extract "$work/p.exe" --forse
check 2 "try: --ca needs a value" "$qpack" try "$work/p.exe" --ca
check 2 "release: needs --ca ROOT.pem" "$qpack" release -o "$work/r.exe" --stub "$stub" "$work/AddMem.sys" --sign x.p12
# An output that is an input or the stub, by any name, is refused before anything is written;
# a failed build leaves the package that was there.
cp "$stub" "$work/stub.exe"
ln -s AddMem.sys "$work/link.sys"
check 1 "is the input $work/AddMem.sys" "$qpack" build -o "$work/link.sys" --stub "$stub" "$work/AddMem.sys"
check 1 "is the stub" "$qpack" build -o "$work/stub.exe" --stub "$work/stub.exe" "$work/AddMem.sys"
cmp -s "$work/stub.exe" "$stub" && [ "$(cat "$work/AddMem.sys")" = driver ] || { echo "FAIL: a refused build changed its inputs"; fail=1; }
check 0 "" "$qpack" build -o "$work/keep.exe" --stub "$stub" "$work/AddMem.sys"
cp "$work/keep.exe" "$work/kept.exe"
check 1 "absent.bin" "$qpack" build -o "$work/keep.exe" --stub "$stub" "$work/AddMem.sys" "$work/absent.bin"
cmp -s "$work/keep.exe" "$work/kept.exe" || { echo "FAIL: a failed build lost the package it would replace"; fail=1; }
[ -z "$(ls -A "$work" | grep qpack)" ] || { echo "FAIL: a build left a temporary file"; ls -A "$work"; fail=1; }
# Failing after its temporary file exists: a write refused by the system (a file size limit as a
# full disk would) names the file written and the system's reason, an input that cannot be read
# names that input; neither leaves its temporary file. A signal leaves none either.
head -c 300000 /dev/urandom >"$work/big.bin"
(trap '' XFSZ; ulimit -f 100; exec "$qpack" build -o "$work/keep.exe" --stub "$stub" "$work/big.bin") 2>"$work/stderr"
grep -q "^qpack: $work/keep.exe\.qpack-[0-9]*-[0-9]*\.tmp: File too large$" "$work/stderr" ||
  { echo "FAIL: a refused write does not name the file and the reason"; cat "$work/stderr"; fail=1; }
mkdir "$work/folder.bin"
check 1 "^qpack: $work/folder.bin: Is a directory$" "$qpack" build -o "$work/keep.exe" --stub "$stub" "$work/AddMem.sys" "$work/folder.bin"
mkfifo "$work/slow.bin"
for signal in INT TERM HUP; do
  exec 3<>"$work/slow.bin"  # a writer that never writes: the build waits inside the fifo's member
  "$qpack" build -o "$work/keep.exe" --stub "$stub" "$work/AddMem.sys" "$work/slow.bin" 2>/dev/null &
  pid=$!
  for _ in $(seq 100); do ls "$work" | grep -q '\.qpack-.*\.tmp$' && break; sleep 0.05; done
  ls "$work" | grep -q '\.qpack-.*\.tmp$' || echo "FAIL: SIG$signal: the build made no temporary file to remove"
  kill -$signal $pid
  wait $pid
  [ $? = $((128 + $(kill -l $signal))) ] || { echo "FAIL: SIG$signal did not end the build"; fail=1; }
  exec 3>&-
done
cmp -s "$work/keep.exe" "$work/kept.exe" || { echo "FAIL: a failed build lost the package it would replace"; fail=1; }
[ -z "$(ls -A "$work" | grep qpack)" ] || { echo "FAIL: a failed or stopped build left a temporary file"; ls -A "$work"; fail=1; }
check 1 "^qpack: $work/absent: cannot write AddMem.sys there: No such file or directory$" "$qpack" extract "$work/keep.exe" -C "$work/absent"
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
[ -s "$work/stderr" ] && { echo "FAIL: extract into a new directory said:"; cat "$work/stderr"; fail=1; }
check 0 "^qpack: replaced $work/out/AddMem.sys$" "$qpack" extract "$work/p.exe" -C "$work/out" -- addmem.sys
# Built without a digest (zeros): listed, said so; the updater refuses it, so extract does too.
cp "$work/p.exe" "$work/nodigest.exe"
head -c 16 /dev/zero | dd of="$work/nodigest.exe" bs=1 seek=44 conv=notrunc status=none
check 0 "carries no archive digest" "$qpack" list "$work/nodigest.exe"
grep -q '^AddMem.sys.gz' "$work/stdout" || { echo "FAIL: list of a package without a digest"; fail=1; }
check 1 "(--force extracts it all the same)" "$qpack" extract "$work/nodigest.exe" -C "$work/out"

# Flip one byte in the middle of the image's member: verify names the entry.
size=$(stat -c %s "$work/p.exe")
# flip FILE OFFSET: one bit of the byte there turned (a digit stays a digit).
flip() {
  printf "$(printf '\\x%02x' $(( $(od -An -tu1 -j"$2" -N1 "$1") ^ 1 )))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
cp "$work/p.exe" "$work/bad.exe"
flip "$work/bad.exe" $(( size - 60000 ))
check 1 "QN14XB05.wph.gz" "$qpack" verify "$work/bad.exe"
check 1 "not the one it was built with" "$qpack" list "$work/bad.exe"
grep -q '^AddMem.sys.gz' "$work/stdout" || { echo "FAIL: list shows nothing of a damaged package"; fail=1; }
# Extraction refuses it; forced, it inflates each member once, into a temporary file renamed when
# whole: neither the broken member nor its temporary file is left.
mkdir "$work/broken"
check 1 "not the one it was built with" "$qpack" extract "$work/bad.exe" -C "$work/broken"
check 1 "QN14XB05.wph.gz" "$qpack" extract "$work/bad.exe" -C "$work/broken" --force
[ -z "$(ls -A "$work/broken")" ] || { echo "FAIL: a broken extraction left:" $(ls -A "$work/broken"); fail=1; }
check 0 "extracted all the same (--force)" "$qpack" extract "$work/bad.exe" -C "$work/broken" --force addmem.sys
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
# Signing where the system refuses the signed file's bytes: that is the reason given, not the certificate.
(trap '' XFSZ; ulimit -f 200; exec "$qpack" sign "$work/u.exe" -o "$work/s2.exe" --sign "$work/id/signer.p12" \
  --pass-env QV_TEST_PASS) 2>"$work/stderr"
grep -qx "qpack: $work/s2.exe: File too large" "$work/stderr" && [ ! -e "$work/s2.exe" ] ||
  { echo "FAIL: a refused write while signing is not named as one"; cat "$work/stderr"; fail=1; }
for line in 'signed by: /O=Quorvin Test/CN=Quorvin Release' 'digest algorithm: SHA256' 'signature: matches the file' \
    "certificate chain: leads to $work/id/ca.pem"; do
  grep -qxF "$line" "$work/stdout" || { echo "FAIL: verify of a signed package lacks: $line"; cat "$work/stdout"; fail=1; }
done
# Signing leaves the archive and its digest as they were: the same bytes up to the checksum.
checksum_at=$(( $(od -An -tu4 -j60 -N4 "$work/s.exe") + 88 ))
cmp -s -n $checksum_at "$work/s.exe" "$work/u.exe" || { echo "FAIL: signing changed the headers"; fail=1; }
cmp -s <("$qpack" list "$work/s.exe") <("$qpack" list "$work/u.exe") || { echo "FAIL: list differs once signed"; fail=1; }
check 1 "does not lead to $work/other/ca.pem: it leads to another root" "$qpack" verify "$work/s.exe" --ca "$work/other/ca.pem"
check 1 "holds no certificate" "$qpack" verify "$work/s.exe" --ca "$work/AddMem.sys"
# Nested signatures: the primary one decides, as on Windows; a nested one that fails is a warning.
osslsigncode sign -nest -pkcs12 "$work/other/signer.p12" -readpass "$work/other/pass.txt" -in "$work/s.exe" -out "$work/n.exe" >/dev/null
check 0 "nested signature 1: .*does NOT lead to" "$qpack" verify "$work/n.exe" --ca "$work/id/ca.pem"
osslsigncode sign -pkcs12 "$work/other/signer.p12" -readpass "$work/other/pass.txt" -in "$work/u.exe" -out "$work/o.exe" >/dev/null
rm "$work/n.exe"
osslsigncode sign -nest -pkcs12 "$work/id/signer.p12" -readpass "$work/id/pass.txt" -in "$work/o.exe" -out "$work/n.exe" >/dev/null
check 1 "another root" "$qpack" verify "$work/n.exe" --ca "$work/id/ca.pem"
# --dual: SHA-1 primary, SHA-256 nested, both leading to the root.
check 0 "" "$qpack" sign "$work/u.exe" -o "$work/d.exe" --sign "$work/id/signer.p12" --pass-env QV_TEST_PASS --dual
check 0 "" "$qpack" verify "$work/d.exe" --ca "$work/id/ca.pem"
grep -qx 'digest algorithm: SHA1' "$work/stdout" && grep -qx "nested signature 1: SHA256, signed by /O=Quorvin Test/CN=Quorvin Release, leads to $work/id/ca.pem" "$work/stdout" ||
  { echo "FAIL: verify of a --dual package"; cat "$work/stdout"; fail=1; }
# A signer certificate whose subject was changed no longer carries its issuer's signature: refused
# without --ca too.
openssl x509 -in "$work/id/signer.pem" -outform DER | LC_ALL=C sed 's/Quorvin Release/Quorvin Relexse/' |
  openssl x509 -inform DER | cat - "$work/id/ca.pem" >"$work/altered.pem"
osslsigncode sign -certs "$work/altered.pem" -key "$work/id/signer.key" -readpass "$work/id/pass.txt" -in "$work/u.exe" -out "$work/a.exe" >/dev/null
check 1 "does not carry its issuer's signature (certificate signature failure)" "$qpack" verify "$work/a.exe"
# Certificates that cannot sign code, and what signing names when it fails.
"$here/make-signer" "$work/expired" 200101000000Z 200201000000Z && "$here/make-signer" "$work/future" 400101000000Z 400201000000Z &&
  "$here/make-signer" "$work/server" "" "" serverAuth || { echo "FAIL: no test certificates"; exit 1; }
check 1 "cannot sign code: certificate has expired" "$qpack" sign "$work/u.exe" -o "$work/x.exe" --sign "$work/expired/signer.p12" --pass-file "$work/expired/pass.txt"
check 1 "cannot sign code: certificate is not yet valid" "$qpack" sign "$work/u.exe" -o "$work/x.exe" --sign "$work/future/signer.p12" --pass-file "$work/future/pass.txt"
check 1 "cannot sign code: its extended key usage has no code signing" "$qpack" sign "$work/u.exe" -o "$work/x.exe" --sign "$work/server/signer.p12" --pass-file "$work/server/pass.txt"
check 1 "password is wrong" "$qpack" sign "$work/u.exe" -o "$work/x.exe" --sign "$work/id/signer.p12" --pass-file "$work/other/pass.txt"
check 1 "absent.p12: No such file" "$qpack" sign "$work/u.exe" -o "$work/x.exe" --sign "$work/absent.p12"
check 1 "timestamping failed.*Connection refused" "$qpack" sign "$work/u.exe" -o "$work/x.exe" --sign "$work/id/signer.p12" --pass-env QV_TEST_PASS --timestamp http://127.0.0.1:9
[ -e "$work/x.exe" ] && { echo "FAIL: a refused signing left its output"; fail=1; }
check 1 "signing would overwrite what it signs with" "$qpack" sign "$work/u.exe" -o "$work/id/pass.txt" --sign "$work/id/signer.p12" --pass-file "$work/id/pass.txt"
check 0 "" "$qpack" sign "$work/u.exe" -o "$work/pem.exe" --sign "$work/id/signer.pem" --sign-key "$work/id/signer.key" --pass-file "$work/id/pass.txt"
check 0 "" "$qpack" verify "$work/pem.exe" --ca "$work/id/ca.pem"

# fix_checksum FILE: the PE checksum made right again, as an attacker would, so that only the
# signature can tell.
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
