#!/usr/bin/env bash
# What ships runs on a bare Windows: the programs import only system DLLs (no MinGW runtime, no
# zlib1.dll), and the language DLLs import nothing at all.
#
#   imports.sh BUILD
set -uo pipefail
win="$1/win"
fail=0
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|SETUPAPI|ole32|OLEAUT32|msvcrt)\.dll$'
for program in QuorvinUpdate.exe qpack.exe; do
  imports=$(i686-w64-mingw32-objdump -p "$win/$program" | sed -n 's/^\tDLL Name: //p')
  [ -n "$imports" ] || { echo "$program: no imports read"; fail=1; }
  for dll in $imports; do
    [[ "$dll" =~ $allowed ]] || { echo "$program imports $dll"; fail=1; }
  done
done
for dll in "$win"/UiLang*.dll; do
  if i686-w64-mingw32-objdump -p "$dll" | grep -q 'DLL Name:'; then echo "$(basename "$dll") imports code"; fail=1; fi
done
[ $fail = 0 ] && echo "imports: only system DLLs"
exit $fail
