#!/usr/bin/env bash
# The real updater in a package on the simulated notebook, through the relay driver, in one
# Windows mode: the access driver comes up the way that mode brings it up, DetectAmiBios
# searches the BIOS segment through that mode's requests, and the run goes on past gate 3.
#
#   notebook.sh BUILD MODE     MODE: xp 8 10 vista 7 7-x86 7-nodriver 7-nodriver-silent 98 7-ami
#                                    10-hidden 7-nodriver-hidden
#
# The -hidden modes start the package in a window station nobody sees, as a deployment engine's
# service does: no box may wait there.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
mode=$2

arch=win64 winver="" appwinver="" preinstall="" profile="$here/../../sim/profiles/phoenix.json" flags=0x8
search="" fatal=0 power="" stub="$win/QuorvinUpdate.exe" station=()
case "$mode" in
  xp) winver=winxp search='ioctl ADDMEM 22204C in=8 out=65536' ;;
  8) winver=win8 search='ioctl ADDMEM 22204C in=8 out=65536' ;;
  10) winver=win10 search='ioctl ADDMEM 22204C in=8 out=65536' ;;
  vista) winver=vista preinstall=--preinstall search='ioctl KMDFMEMIO 9C412800 in=65552 out=65552' ;;
  7) winver=win7 preinstall=--preinstall search='ioctl VEXA 9C41200C in=17 out=65536' ;;
  7-x86) winver=win7 arch=win32 preinstall=--preinstall profile="$here/../../sim/profiles/phoenix_x86.json"
         search='ioctl VEXA 9C41200C in=9 out=65536' ;;
  7-nodriver) winver=win7 fatal=1 ;;
  7-nodriver-silent) winver=win7 fatal=1 flags=0x28 ;;
  7-nodriver-hidden) winver=win7 fatal=1 station=(--station QvService) ;;
  10-hidden) winver=win10 search='ioctl ADDMEM 22204C in=8 out=65536' station=(--station QvService)
             power="--power 1:100" ;;
  7-ami) winver=win7 preinstall=--preinstall profile="$here/../../sim/profiles/ami.json"
         search='ioctl VEXA 9C41200C in=17 out=65536' flags=0x10008 ;;
  # On AC, so that the run goes on to make its working directory, which 98 has no DACL for. The
  # shipped program is NT wherever Wine runs it: the Windows 98 test build plays 98.
  98) winver=winxp appwinver=win98 arch=win32 preinstall=--preinstall power="--power 1:100" stub="$win/QuorvinUpdate98.exe"
      profile="$here/../../sim/profiles/phoenix_x86.json" search='ioctl MEMIO 22204C in=8 out=65536' ;;
  *) echo "notebook.sh: unknown mode $mode" >&2; exit 2 ;;
esac

# A package whose "AddMem.sys" is the relay driver, with the real language DLLs.
"$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$stub" --flags "$flags" \
  $("$here/package-entries" "$out/entries" "$win") || exit 1

"$here/../wine/with-wine" --template "$template" --arch "$arch" --winver "$winver" -- \
  "$here/run-on-notebook" --win "$win" --package "$out/QuorvinUpdate.exe" --profile "$profile" \
  --out "$out" $preinstall ${appwinver:+--app-winver $appwinver} $power "${station[@]}"
cat "$out/drive.txt"

log="$out/log.txt"
tr -d '\r' <"$out/DebugLog-__Quorvin_Update.txt" >"$log" 2>/dev/null
if [ ${#station[@]} -gt 0 ]; then
  grep -q '^BOX\|^TIMEOUT' "$out/drive.txt" && { echo "a box waited where nobody can answer"; fail=1; }
  grep -qxF 'No box is shown : nobody can answer in this window station is not visible; each counts as OK' "$log" ||
    { echo "the log does not say that nobody can answer"; fail=1; }
fi
if [ $fatal = 1 ] && [ ${#station[@]} -gt 0 ]; then
  expect_line 'EXIT 0xFFFFFFFF'
  lines_in_order 'Driver Load Fail : Fail to update. Check if KTV(Panorell) is installed. KTV must be installed to update BIOS.
End : exit 0xFFFFFFFF DRIVER_MISSING : install the maker'"'"'s access driver (KTV), then retry' "$(cat "$log")" || fail=1
elif [ $fatal = 1 ]; then
  expect_line 'BOX title="Driver Load Fail" text="Fail to update.\nCheck if KTV(Panorell) is installed.\nKTV must be installed to update BIOS." buttons=OK owned=0'
  expect_line 'EXIT 0xFFFFFFFF'
  [ "$(grep -c '^BOX' "$out/drive.txt")" = 1 ] || { echo "expected only the fatal box"; fail=1; }
else
  grep -qxF "$search" "$out/trace.txt" || { echo "trace lacks: $search"; fail=1; }
  grep -qxF 'memrd F0000+10000' "$out/trace.txt" || { echo "trace lacks the BIOS segment read"; fail=1; }
  grep -qE '^EXIT 0x(80000003|80000005|FFFFFFFF)$' "$out/drive.txt" && { echo "stopped at the driver"; fail=1; }
  grep -q '^EXIT ' "$out/drive.txt" || { echo "no exit code"; fail=1; }
  [ ${#station[@]} = 0 ] || grep -q '^Box answered OK unseen : Warning : ' "$log" ||
    { echo "the start confirmation was not answered unseen"; fail=1; }
fi
if [ -n "$power" ]; then
  grep -q '^00. Success to Create Directory' "$out/DebugLog-__Quorvin_Update.txt" 2>/dev/null ||
    { echo "no working directory made"; fail=1; }
fi
# The BIOS family decides the language DLL and the path after unpacking.
if [ "$mode" = 7-ami ]; then
  grep -qx 'UiLangEn_ami.dll' "$out/workdir.txt" || { echo "no AMI language DLL in the working place"; fail=1; }
  grep -qx 'UiLangEn.dll' "$out/workdir.txt" && { echo "the Phoenix language DLL in the working place"; fail=1; }
  grep -qF '************* AMI Update *****************' "$out/DebugLog-__Quorvin_Update.txt" \
    || { echo "the AMI path was not taken"; fail=1; }
elif [ $fatal = 0 ]; then
  grep -qx 'UiLangEn.dll' "$out/workdir.txt" || { echo "no Phoenix language DLL in the working place"; fail=1; }
fi
[ $fail = 0 ] || { echo "== files"; ls "$out"; echo "== trace (head)"; head -n 20 "$out/trace.txt"; echo "== simhw"; tail -n 5 "$out/simhw.txt"; }
exit $fail
