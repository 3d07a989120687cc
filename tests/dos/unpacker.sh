#!/usr/bin/env bash
# The DOS unpacker in a real package built by qpack, run by DOS itself under DOSBox (no window, no
# sound, bounded in time):
#   unpack      several files (one over 64 KiB) come out byte for byte, the last one, a batch file,
#               runs with the given arguments (a command line of 123 characters, the most DOS
#               runs) after the others are there, and is deleted
#   no_package  a package with only the Windows archive says so and ends with errorlevel 255
#   refused     errorlevel 2 and nothing written for a command line of 124 characters, a file
#               that runs past the end of the package, and a file named like the package
#
#   unpacker.sh BUILD CASE
set -uo pipefail
build=$(cd "$1" && pwd)
case=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-dos.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail=0

# run_dos DIR ARGUMENTS: runs DIR/QUPDATE.EXE ARGUMENTS with DIR as drive C:. What it prints lands
# in $work/out.txt (DOS line ends taken off), its errorlevel (0, 2, 255 or "other") in $work/level.
run_dos() {
  local dir=$1 arguments=$2
  printf '%s\r\n' '@echo off' "QUPDATE.EXE $arguments > OUT.TXT" 'if errorlevel 255 goto e255' \
    'if errorlevel 3 goto other' 'if errorlevel 2 goto e2' 'if errorlevel 1 goto other' \
    'echo 0 > LEVEL.TXT' 'goto end' ':e255' 'echo 255 > LEVEL.TXT' 'goto end' ':e2' \
    'echo 2 > LEVEL.TXT' 'goto end' ':other' 'echo other > LEVEL.TXT' ':end' >"$dir/T.BAT"
  printf '%s\n' '[mixer]' 'nosound=true' '[speaker]' 'pcspeaker=false' 'tandy=off' '[midi]' \
    'mpu401=none' '[cpu]' 'cycles=max' >"$work/dosbox.conf"
  HOME=$work SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 60 dosbox -conf "$work/dosbox.conf" \
    -c "mount c $dir" -c "c:" -c "call T.BAT" -c exit >"$work/dosbox.log" 2>&1 \
    || { echo "DOSBox failed or hung"; tail -5 "$work/dosbox.log"; fail=1; }
  tr -d '\r' <"$dir/OUT.TXT" >"$work/out.txt" 2>/dev/null
  tr -d '\r ' <"$dir/LEVEL.TXT" >"$work/level" 2>/dev/null
  rm -f "$dir/T.BAT" "$dir/OUT.TXT" "$dir/LEVEL.TXT"
}

expect_level() {
  [ "$(cat "$work/level" 2>/dev/null)" = "$1" ] || { echo "errorlevel $(cat "$work/level" 2>/dev/null), wanted $1"; fail=1; }
}

# What is in DIR besides the package.
unpacked() { ls "$1" | grep -vx QUPDATE.EXE | tr '\n' ' '; }

# expect_refusal LINE: errorlevel 2, LINE printed last, nothing written in C:.
expect_refusal() {
  expect_level 2
  [ "$(tail -n 1 "$work/out.txt")" = "$1" ] || { echo "output:"; cat "$work/out.txt"; fail=1; }
  [ -z "$(unpacked "$work/c")" ] || { echo "written before the refusal: $(unpacked "$work/c")"; fail=1; }
}

# "RUN.BAT one two $long" is 123 characters: the longest command line DOS runs after "/C ".
long=$(printf 'x%.0s' {1..107})

mkdir -p "$work/in" "$work/c"
printf 'driver' >"$work/in/AddMem.sys"
head -c 100000 /dev/urandom >"$work/in/BIG.DAT"
head -c 16384 /dev/urandom >"$work/in/EXACT.DAT"
: >"$work/in/EMPTY.DAT"
printf 'small\r\n' >"$work/in/SMALL.TXT"
printf '%s\r\n' '@echo off' 'echo %1 %2 %3>ARGS.TXT' 'if exist BIG.DAT echo BIG.DAT was there>>ARGS.TXT' \
  >"$work/in/RUN.BAT"
run_size=$(stat -c %s "$work/in/RUN.BAT")
dos_files=(BIG.DAT EXACT.DAT EMPTY.DAT SMALL.TXT RUN.BAT)

package="$work/c/QUPDATE.EXE"
if [ "$case" = no_package ]; then
  "$build/qpack" build -o "$package" --stub "$build/win/QuorvinUpdate.exe" "$work/in/AddMem.sys" || exit 1
else
  "$build/qpack" build -o "$package" --stub "$build/win/QuorvinUpdate.exe" "$work/in/AddMem.sys" \
    --dos "${dos_files[@]/#/$work/in/}" || exit 1
fi
size=$(stat -c %s "$package")
offset=$("$build/qpack" list "$package" | sed -n 's/^DOS package at 0x\([0-9A-F]*\),.*/\1/p')

case $case in
unpack)
  run_dos "$work/c" "one two $long"
  expect_level 0
  block=$(printf 'Signature : uNpACK fOR dOS..^_^\nOffset : %s\nNumberofFile : 5' "$offset")
  expected=$(printf '%s\n' "File name : C:\\QUPDATE.EXE" "File size : $size bytes" "$block" \
    'Succes to find info' "$block" \
    '' 'Packed file name : BIG.DAT' 'Packed file size : 100000' '******' 'Unpack is complete' \
    '' 'Packed file name : EXACT.DAT' 'Packed file size : 16384' '' 'Unpack is complete' \
    '' 'Packed file name : EMPTY.DAT' 'Packed file size : 0' '' 'Unpack is complete' \
    '' 'Packed file name : SMALL.TXT' 'Packed file size : 7' '' 'Unpack is complete' \
    '' 'Packed file name : RUN.BAT' "Packed file size : $run_size" '' 'Unpack is complete' 'Success')
  [ "$(cat "$work/out.txt")" = "$expected" ] || { echo "output:"; cat "$work/out.txt"; echo "wanted:"; echo "$expected"; fail=1; }
  for f in BIG.DAT EXACT.DAT EMPTY.DAT SMALL.TXT; do
    cmp -s "$work/in/$f" "$work/c/$f" || { echo "$f not unpacked byte for byte"; fail=1; }
  done
  [ "$(tr -d '\r' <"$work/c/ARGS.TXT")" = "$(printf 'one two %s\nBIG.DAT was there' "$long")" ] \
    || { echo "RUN.BAT did not run as expected:"; cat "$work/c/ARGS.TXT"; fail=1; }
  [ -e "$work/c/RUN.BAT" ] && { echo "RUN.BAT was not deleted"; fail=1; }
  ;;
no_package)
  run_dos "$work/c" "one"
  expect_level 255
  [ "$(head -n 2 "$work/out.txt")" = "$(printf 'File name : C:\\QUPDATE.EXE\nFile size : %s bytes' "$size")" ] &&
    grep -q '^Signature : ' "$work/out.txt" &&
    [ "$(tail -n 1 "$work/out.txt")" = "There is no packed file for Dos." ] ||
    { echo "output:"; cat "$work/out.txt"; fail=1; }
  [ -z "$(unpacked "$work/c")" ] || { echo "written: $(unpacked "$work/c")"; fail=1; }
  ;;
refused)
  run_dos "$work/c" "one two ${long}x"
  expect_refusal "Refused: the command line is longer than 123 characters."
  # The size field of RUN.BAT, the last file, claims one byte more than the package holds.
  claimed=$(( run_size + 40 + 1 ))
  printf "\\x$(printf %02x $(( claimed & 255 )))\\x$(printf %02x $(( claimed >> 8 )))" |
    dd of="$package" bs=1 seek=$(( size - 40 - run_size - 4 )) conv=notrunc status=none
  run_dos "$work/c" ""
  expect_refusal "Refused: packed file 5 runs past the end of the file."
  # qpack refuses the package's own name, so this package is built under another and renamed.
  printf 'x' >"$work/in/qupdate.exe"
  "$build/qpack" build -o "$work/own.exe" --stub "$build/win/QuorvinUpdate.exe" "$work/in/AddMem.sys" \
    --dos "$work/in/qupdate.exe" "$work/in/RUN.BAT" || exit 1
  cp "$work/own.exe" "$package"
  run_dos "$work/c" ""
  expect_refusal "Refused: packed file 1 would overwrite the package itself."
  cmp -s "$work/own.exe" "$package" || { echo "the package was overwritten"; fail=1; }
  ;;
*) echo "unknown case $case"; exit 2 ;;
esac
[ $fail = 0 ] && echo "dos.$case: every check passed"
exit $fail
