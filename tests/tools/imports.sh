#!/usr/bin/env bash
# What ships runs on a bare Windows: the programs import only system DLLs (no MinGW runtime, no
# zlib1.dll); the updater, which runs elevated from a user's folder, only DLLs the loader takes
# from the system directory whatever lies beside the program (known DLLs on every NT version);
# the language DLLs import nothing at all, and the updater imports none of the
# functions that came after Windows XP which the compiler's runtime likes to pull in (Wine has
# them all, so no run under Wine would show that the program cannot start on XP).
#
#   imports.sh BUILD
set -uo pipefail
win="$1/win"
fail=0
known='^(KERNEL32|USER32|GDI32|ADVAPI32|ole32|OLEAUT32|msvcrt)\.dll$'
system='^(KERNEL32|USER32|GDI32|ADVAPI32|SETUPAPI|ole32|OLEAUT32|msvcrt)\.dll$'
for program in QuorvinUpdate.exe qpack.exe; do
  allowed=$system
  [ $program = QuorvinUpdate.exe ] && allowed=$known
  imports=$(i686-w64-mingw32-objdump -p "$win/$program" | sed -n 's/^\tDLL Name: //p')
  [ -n "$imports" ] || { echo "$program: no imports read"; fail=1; }
  for dll in $imports; do
    [[ "$dll" =~ $allowed ]] || { echo "$program imports $dll"; fail=1; }
  done
done
after_xp='GetTickCount64|GetCurrentProcessorNumber|GetSystemTimePreciseAsFileTime|InitializeConditionVariable
SleepConditionVariableCS|SleepConditionVariableSRW|WakeConditionVariable|WakeAllConditionVariable|InitializeSRWLock
AcquireSRWLockExclusive|AcquireSRWLockShared|ReleaseSRWLockExclusive|ReleaseSRWLockShared|TryAcquireSRWLockExclusive
InitOnceExecuteOnce|InitOnceBeginInitialize|InitOnceComplete|GetFileInformationByHandleEx|SetFileInformationByHandle
GetFinalPathNameByHandleA|GetFinalPathNameByHandleW|CreateSymbolicLinkA|CreateSymbolicLinkW|CancelIoEx
CreateEventExA|CreateEventExW|CreateMutexExA|CreateMutexExW|CreateSemaphoreExA|CreateSemaphoreExW|GetLocaleInfoEx
LCIDToLocaleName|LocaleNameToLCID|CompareStringEx|GetUserDefaultLocaleName|RegGetValueA|RegGetValueW'
newer=$(i686-w64-mingw32-objdump -p "$win/QuorvinUpdate.exe" | awk '$1 ~ /^[0-9a-f]+$/ && NF == 3 { print $3 }' |
  grep -xE "$(tr '\n' '|' <<<"$after_xp" | sed 's/|$//')")
[ -z "$newer" ] || { echo "QuorvinUpdate.exe imports what Windows XP lacks:" $newer; fail=1; }
for dll in "$win"/UiLang*.dll; do
  if i686-w64-mingw32-objdump -p "$dll" | grep -q 'DLL Name:'; then echo "$(basename "$dll") imports code"; fail=1; fi
done
[ $fail = 0 ] && echo "imports: only system DLLs"
exit $fail
