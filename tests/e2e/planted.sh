#!/usr/bin/env bash
# What a standard user's program may do against the elevated run on the simulated notebook:
# plant links, leftovers, DLLs, a driver and a swapped package, hard-link the log. Nothing of it
# may decide what the run writes, deletes or starts. The run works in a place of its own under
# the Windows directory's Temp, named "__Quorvin_Update" and random characters. Wine shows a
# Linux symbolic link to a directory as a reparse point, counts a file's hard links, and maps a
# directory's DACL onto its mode bits: the bits for "others" are what it makes of a DACL that
# gives users nothing.
#
#   planted.sh BUILD CASE
#
# CASE: workdir-link  TEMP\__Quorvin_Update and a Windows\Temp\__Quorvin_Update* are links to a
#                     folder holding a file, as an earlier sweep would have met them: neither is
#                     entered, followed or removed, nothing in the folder touched
#       temp-link     TEMP itself a link to a folder with a planted ADDMEM.SYS: the run goes on,
#                     the driver service names the working place's file, the planted one never
#       leftover      an old TEMP\__Quorvin_Update and a Windows\Temp\__Quorvin_Update* any user
#                     may write, with files, a read-only one and a subdirectory: both left as they
#                     were, the run's own place made beside them for nobody but administrators, and
#                     the ADDMEM service the cancelled run installed is gone
#       refused       a package whose archive no longer matches its digest, an ADDMEM.SYS beside
#                     it and DebugLog.txt there and in TEMP hard links to a script elsewhere:
#                     refused with 0x8000000E, no service, no driver request, the script untouched,
#                     its own place left with nothing but the log that says why
#       layer98       Windows XP with the program's own version set to Windows 98 (as a launcher's
#                     __COMPAT_LAYER=Win98 does on Windows), DebugLog.txt beside the package a
#                     hard link to a script: the place under the Windows directory's Temp all the
#                     same, the script untouched, both answers logged
#       swapped       the moment the process exists, the package is renamed and the same bytes
#                     with a crafted archive behind them and 0x28 pointed at it put at its path:
#                     the EC gets the started package's firmware
#       dlls          setupapi, uxtheme and version DLLs planted beside the package, Wine told to
#                     prefer the first two as Windows prefers a DLL beside the program: none is
#                     loaded into the updater
#       format        the language DLL's confirmation text holds "%n": our own text is shown
set -uo pipefail
source "$(dirname "$0")/lib.sh"
case=$2
answer=cancel profile="$here/../../sim/profiles/phoenix.json"
case "$case" in
  workdir-link|leftover|refused|format|layer98) ;;
  swapped|dlls|temp-link) answer=ok ;;
  *) echo "planted.sh: unknown case $case" >&2; exit 2 ;;
esac

if [ "$answer" = ok ]; then
  # EC vendor 0: the MICOM flasher runs.
  profile="$out/profile.json"
  sed 's/"chip_id": "0x4D"/"chip_id": "0x11"/' "$here/../../sim/profiles/phoenix.json" >"$profile"
  "$here/update-package" "$build" "$out/QuorvinUpdate.exe" SKIP_CHECK_POWER || exit 1
  if [ "$case" = swapped ]; then
    # The genuine bytes, then a crafted archive (another EC file), with 0x28 pointed at it.
    yes 'crafted EC firmware ' | head -c 8192 >"$out/entries/QNTX0106.bin"
    "$qpack" build -o "$out/other.exe" --stub "$win/QuorvinUpdate.exe" --flags SKIP_CHECK_POWER \
      $(cat "$out/entries.txt") >/dev/null || exit 1
    yes 'EC firmware 0106 ' | head -c 8192 >"$out/entries/QNTX0106.bin"
    python3 -c 'import struct, sys
genuine, other = (open(p, "rb").read() for p in sys.argv[1:3])
tail = other[struct.unpack_from("<I", other, 0x28)[0]:]
crafted = bytearray(genuine + tail)
struct.pack_into("<I", crafted, 0x28, len(genuine))
open(sys.argv[3], "wb").write(crafted)' "$out/QuorvinUpdate.exe" "$out/other.exe" "$out/crafted.exe" || exit 1
  fi
else
  "$here/package-entries" "$out/entries" "$win" >"$out/entries.txt"
  if [ "$case" = format ]; then
    # "This program" becomes "%n%n%n%n%n%n" in the UTF-16 string table, the same length.
    python3 -c 'import sys; p = sys.argv[1]; b = open(p, "rb").read()
old = "This program".encode("utf-16-le"); assert old in b
open(p, "wb").write(b.replace(old, "%n%n%n%n%n%n".encode("utf-16-le")))' "$out/entries/UiLangEn.dll" || exit 1
  fi
  "$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" --flags MARK_LAST_AREA,SKIP_CHECK_POWER \
    $(cat "$out/entries.txt") >/dev/null || exit 1
  if [ "$case" = refused ]; then
    # One byte of the last member changed: the archive is no longer the one the digest names.
    python3 -c 'import sys; p = sys.argv[1]; b = bytearray(open(p, "rb").read()); b[-20] ^= 1; open(p, "wb").write(b)' \
      "$out/QuorvinUpdate.exe" || exit 1
  fi
fi

export QV_CASE=$case QV_USER=$user QV_ANSWER=$answer QV_PROFILE=$profile
"$here/../wine/with-wine" --template "$template" --winver winxp -- bash -c '
  temp="$WINEPREFIX/drive_c/users/$QV_USER/Temp"
  wintemp="$WINEPREFIX/drive_c/windows/temp"
  elsewhere="$WINEPREFIX/drive_c/elsewhere"
  pkg="$WINEPREFIX/drive_c/pkg"
  mkdir -p "$temp" "$elsewhere" "$pkg" "$wintemp"
  echo mine >"$elsewhere/keep.txt"
  extra=()
  case "$QV_CASE" in
    workdir-link)
      ln -s "$elsewhere" "$temp/__Quorvin_Update"
      ln -s "$elsewhere" "$wintemp/__Quorvin_UpdateLINK" ;;
    temp-link)
      cp "$1/planted.dll" "$elsewhere/ADDMEM.SYS"
      cp -a "$temp/." "$elsewhere/" && rm -rf "$temp" && ln -s "$elsewhere" "$temp" ;;
    leftover)
      for old in "$temp/__Quorvin_Update" "$wintemp/__Quorvin_UpdateOLD"; do
        mkdir -m 777 "$old" "$old/sub"
        echo old >"$old/SWinFlash.exe"
        echo old >"$old/sub/PhlashNT.sys"
        echo crafted >"$old/kbc.bin"
        chmod 444 "$old/kbc.bin"
      done ;;
    layer98)
      echo "echo scheduled task" >"$elsewhere/task.cmd"
      ln "$elsewhere/task.cmd" "$pkg/DebugLog.txt"
      extra=(--app-winver win98) ;;
    refused)
      echo "echo scheduled task" >"$elsewhere/task.cmd"
      ln "$elsewhere/task.cmd" "$pkg/DebugLog.txt"
      ln "$elsewhere/task.cmd" "$temp/DebugLog.txt"
      cp "$1/planted.dll" "$pkg/ADDMEM.SYS" ;;
    swapped)
      cp "$2/crafted.exe" "$pkg/crafted.exe"
      extra=(--swap-at-start "C:\\pkg\\crafted.exe") ;;
    dlls)
      for dll in setupapi uxtheme version; do cp "$1/planted.dll" "$pkg/$dll.dll"; done
      # The user32 of Wine imports version.dll, found beside the program before any code of it
      # runs; Windows takes the imports of user32 as known DLLs. So "version" lies there unpreferred.
      export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;setupapi,uxtheme=n,b" ;;
  esac
  "$0/run-on-notebook" --win "$1" --package "$2/QuorvinUpdate.exe" --profile "$QV_PROFILE" --out "$2" \
    --answer "$QV_ANSWER" "${extra[@]}"
  ls -A "$elsewhere" >"$2/elsewhere.txt"
  cat "$elsewhere/keep.txt" >"$2/keep.txt"
  cat "$elsewhere/task.cmd" >"$2/task.txt" 2>/dev/null
  place=$(ls -d "$wintemp"/__Quorvin_Update* 2>/dev/null | grep -v -e LINK -e OLD | head -n1)
  [ -n "$place" ] && stat -c %a "$place" >"$2/mode.txt"
  for old in "$temp/__Quorvin_Update" "$wintemp/__Quorvin_UpdateOLD"; do
    [ -d "$old" ] && (cd "$old" && find . | sort | tr "\n" " "; echo)
  done >"$2/leftovers.txt"
  ls -A "$pkg" >"$2/pkg.txt"
  cat "$WINEPREFIX/drive_c/planted.txt" >"$2/planted.txt" 2>/dev/null
  wine reg query "HKLM\\System\\CurrentControlSet\\Services\\ADDMEM" /v ImagePath >"$2/service.txt" 2>/dev/null ||
    rm -f "$2/service.txt"
  true' "$here" "$win" "$out"
cat "$out/drive.txt"
log=$(cat "$out"/DebugLog*.txt 2>/dev/null | tr -d '\r')
trace=$(cat "$out/trace.txt" 2>/dev/null)
service_gone() {
  grep -q 'ADDMEM service stopped and removed' <<<"$log" || { echo "no log of the service's removal"; fail=1; }
  [ -f "$out/service.txt" ] && { echo "the ADDMEM service is still registered"; fail=1; }
}
place_protected() {
  grep -qx '[0-7][0-7]0' "$out/mode.txt" 2>/dev/null || { echo "others may use the working place: mode $(cat "$out/mode.txt" 2>/dev/null)"; fail=1; }
}
ecfw_crc() { gzip -c "$1" | tail -c 8 | head -c 4 | od -An -tx4 | tr -d ' ' | tr a-f A-F; }

case "$case" in
  workdir-link)
    expect_line 'EXIT 0x00000000'
    [ "$(cat "$out/keep.txt")" = mine ] || { echo "the linked folder's file was touched"; fail=1; }
    [ "$(cat "$out/elsewhere.txt")" = keep.txt ] || { echo "the run wrote into the linked folder:"; cat "$out/elsewhere.txt"; fail=1; }
    grep -q 'Earlier working place left alone : __Quorvin_UpdateLINK' <<<"$log" ||
      { echo "the link among the earlier places is not logged as left alone"; fail=1; }
    place_protected ;;
  temp-link)
    expect_line 'EXIT 0x00000000'
    grep -q '^flasher TarpexV01_10' <<<"$trace" || { echo "the run did not get to the flashers"; fail=1; }
    grep -qi 'ImagePath.*C:\\windows\\Temp\\__Quorvin_Update[0-9A-F]\{16\}\\ADDMEM.SYS' "$out/service.txt" ||
      { echo "the driver service does not name the working place:"; cat "$out/service.txt"; fail=1; }
    [ "$(sort "$out/elsewhere.txt" | tr "\n" " ")" = "ADDMEM.SYS keep.txt " ] ||
      { echo "the run wrote behind the TEMP link:"; cat "$out/elsewhere.txt"; fail=1; }
    grep -a 'QuorvinUpdate\|winedevice' "$out/planted.txt" && { echo "the planted driver was loaded"; fail=1; } ;;
  leftover)
    expect_line 'EXIT 0x00000000'
    want=". ./SWinFlash.exe ./kbc.bin ./sub ./sub/PhlashNT.sys "
    [ "$(grep -cxF "$want" "$out/leftovers.txt")" = 2 ] || { echo "a leftover was changed:"; cat "$out/leftovers.txt"; fail=1; }
    grep -q 'Earlier working place left alone : __Quorvin_UpdateOLD' <<<"$log" || { echo "the open leftover is not logged as left alone"; fail=1; }
    grep -q 'DeleteDirectoryFile' <<<"$log" && { echo "something was swept"; fail=1; }
    place_protected
    service_gone ;;
  refused)
    expect_line 'EXIT 0x8000000E'
    grep -q '^BOX title="Fail : Invalid Option"' "$out/drive.txt" || { echo "no refusal box"; fail=1; }
    [ "$(cat "$out/task.txt")" = "echo scheduled task" ] || { echo "the hard-linked script was written:"; cat "$out/task.txt"; fail=1; }
    [ -f "$out/service.txt" ] && { echo "an ADDMEM service was registered"; fail=1; }
    grep -a 'ADDMEM' "$out/planted.txt" && { echo "the driver beside the package was loaded"; fail=1; }
    grep -q '^ioctl' <<<"$trace" && { echo "a driver request was made"; fail=1; }
    # Its own place was made first, to copy the package into: only the log stays there.
    [ "$(cat "$out/workdir.txt" 2>/dev/null)" = DebugLog.txt ] ||
      { echo "the refused run left more than its log in its place:"; cat "$out/workdir.txt"; fail=1; }
    grep -q "Package refused : its archive is not the one it was built with" <<<"$log" ||
      { echo "the place's log does not say why the package was refused"; fail=1; }
    place_protected
    [ "$(sort "$out/pkg.txt" | tr "\n" " ")" = "ADDMEM.SYS DebugLog.txt QuorvinUpdate.exe qvdrive.exe " ] ||
      { echo "something was left beside the package:"; cat "$out/pkg.txt"; fail=1; } ;;
  swapped)
    expect_line 'SWAPPED'
    expect_line 'EXIT 0x00000000'
    grep -qx "ecfw 8192 crc32=$(ecfw_crc "$out/entries/QNTX0106.bin")" <<<"$trace" ||
      { echo "the EC did not get the started package's firmware:"; grep '^ecfw' <<<"$trace"; fail=1; } ;;
  dlls)
    expect_line 'EXIT 0x00000000'
    grep -q '^flasher TarpexV01_10' <<<"$trace" || { echo "the run did not get to the flashers"; fail=1; }
    # qvdrive, the test's own helper beside the package, may load them: it is no part of the run.
    grep -a 'QuorvinUpdate' "$out/planted.txt" && { echo "a planted DLL ran in the updater"; fail=1; } ;;
  layer98)
    expect_line 'EXIT 0x00000000'
    [ "$(cat "$out/task.txt")" = "echo scheduled task" ] || { echo "the hard-linked script was written:"; cat "$out/task.txt"; fail=1; }
    grep -q '^Windows : NT [0-9.]*, though GetVersion says 9x 4\.10$' <<<"$log" ||
      { echo "the two answers are not logged"; fail=1; }
    grep -q 'under TEMP' <<<"$log" && { echo "the place went under TEMP"; fail=1; }
    place_protected ;;
  format)
    expect_line 'EXIT 0x00000000'
    grep -q '^BOX title="Warning" text=" - This program updates the Flash ROM' "$out/drive.txt" ||
      { echo "the confirmation is not our own text"; fail=1; } ;;
esac
exit $fail
