#!/usr/bin/env bash
# What ships runs on a bare Windows. The updater imports exactly the functions of
# platform/windows_imports.tsv, each there since Windows 98 and 2000 at the latest: a loader
# refuses a whole program for one import its system DLLs lack, and Wine resolves every import
# whatever version it plays, so no run under Wine could show it. It imports only DLLs the loader
# takes from the system directory whatever lies beside the program (known DLLs on every NT). qpack
# imports only system DLLs (no MinGW runtime, no zlib1.dll); the language DLLs import nothing.
#
#   imports.sh BUILD [PROGRAM]    PROGRAM: the updater to check (the built one by default)
set -uo pipefail
win="$1/win"
updater=${2:-$win/QuorvinUpdate.exe}
table="$(dirname "$0")/../../platform/windows_imports.tsv"
fail=0
imports() { i686-w64-mingw32-objdump -p "$1" | awk '/DLL Name/ { dll = $3 } $1 ~ /^[0-9a-f]+$/ && NF == 3 { print dll "\t" $3 }'; }

known='^(KERNEL32|USER32|GDI32|msvcrt)\.dll$'
system='^(KERNEL32|USER32|GDI32|ADVAPI32|SETUPAPI|ole32|OLEAUT32|msvcrt)\.dll$'
for program in "$updater" "$win/qpack.exe"; do
  allowed=$system
  [ "$program" = "$updater" ] && allowed=$known
  dlls=$(i686-w64-mingw32-objdump -p "$program" | sed -n 's/^\tDLL Name: //p')
  [ -n "$dlls" ] || { echo "$(basename "$program"): no imports read"; fail=1; }
  for dll in $dlls; do
    [[ "$dll" =~ $allowed ]] || { echo "$(basename "$program") imports $dll"; fail=1; }
  done
done

# Both ways: an import the table lacks, a row nothing imports, a row newer than 98 or 2000.
report=$(awk -F'\t' '
  NR == FNR { if ($0 !~ /^#/ && NF) { key = tolower($1) "\t" $2; row[key] = $3 " " $4 } next }
  { key = tolower($1) "\t" $2; seen[key] = 1
    if (!(key in row)) { print "imported but not in the table: " $1 " " $2; next }
    split(row[key], first, " ")
    if (first[1] !~ /^(95|98)$/) print $1 " " $2 ": not before Windows " first[1]
    if (first[2] !~ /^(3\.1|3\.5|3\.51|4\.0|2000)$/) print $1 " " $2 ": not before Windows NT " first[2] }
  END { for (key in row) if (!(key in seen)) print "in the table but not imported: " key }' \
  "$table" <(imports "$updater"))
[ -z "$report" ] || { echo "$report" | sort; fail=1; }

for dll in "$win"/UiLang*.dll; do
  if i686-w64-mingw32-objdump -p "$dll" | grep -q 'DLL Name:'; then echo "$(basename "$dll") imports code"; fail=1; fi
done
[ $fail = 0 ] && echo "imports: only system DLLs, every function there since Windows 98 and 2000"
exit $fail
