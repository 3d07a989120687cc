#!/usr/bin/env bash
# What a standard user's program may do against the elevated run on the simulated notebook:
# plant links, leftovers, DLLs and a swapped package, hold files open. Nothing of it may decide
# what the run writes or starts. Wine shows a Linux symbolic link to a directory as a reparse
# point (one to a file it follows as Linux does, so links to files are not tried here), and maps
# a directory's DACL onto its mode bits: the bits for "others" are what it makes of a DACL that
# gives Everyone nothing.
#
#   planted.sh BUILD CASE
#
# CASE: workdir-link  __Quorvin_Update is a link to a folder holding a file: never followed,
#                     nothing in the folder touched. Windows removes the link itself and goes on;
#                     Wine cannot remove a link to a directory, so here the run is refused with
#                     0x8000000F
#       temp-link     TEMP itself is a link: refused with 0x8000000F, nothing made behind it
#       leftover      a directory every user may write, with an earlier run's files, a read-only
#                     one and a subdirectory: removed whole and made anew, nobody but its owner
#                     may write there, and the ADDMEM service the cancelled run installed is gone
#       held          such a directory with a crafted "kbc.bin" another program holds open:
#                     refused with 0x8000000F, no flasher runs, the service gone
#       swapped       once the working directory exists, the running package is renamed and a
#                     crafted one (another EC file) put at its path: the EC gets the first one's
#       dlls          setupapi, uxtheme and version DLLs planted beside the package, Wine told to
#                     prefer the first two as Windows prefers a DLL beside the program: none is
#                     loaded into the updater
#       format        the language DLL's confirmation text holds "%n": our own text is shown
set -uo pipefail
source "$(dirname "$0")/lib.sh"
case=$2
answer=cancel profile="$here/../../sim/profiles/phoenix.json"
case "$case" in
  workdir-link|temp-link|leftover|held|format) ;;
  swapped|dlls) answer=ok ;;
  *) echo "planted.sh: unknown case $case" >&2; exit 2 ;;
esac

if [ "$answer" = ok ]; then
  # EC vendor 0: the MICOM flasher runs.
  profile="$out/profile.json"
  sed 's/"chip_id": "0x4D"/"chip_id": "0x11"/' "$here/../../sim/profiles/phoenix.json" >"$profile"
  "$here/update-package" "$build" "$out/QuorvinUpdate.exe" SKIP_CHECK_POWER || exit 1
  if [ "$case" = swapped ]; then
    yes 'crafted EC firmware ' | head -c 8192 >"$out/entries/QNTX0106.bin"
    "$qpack" build -o "$out/crafted.exe" --stub "$win/QuorvinUpdate.exe" --flags SKIP_CHECK_POWER \
      $(cat "$out/entries.txt") >/dev/null || exit 1
    yes 'EC firmware 0106 ' | head -c 8192 >"$out/entries/QNTX0106.bin"
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
fi

export QV_CASE=$case QV_USER=$user QV_ANSWER=$answer QV_PROFILE=$profile
"$here/../wine/with-wine" --template "$template" --winver winxp -- bash -c '
  temp="$WINEPREFIX/drive_c/users/$QV_USER/Temp"
  elsewhere="$WINEPREFIX/drive_c/elsewhere"
  pkg="$WINEPREFIX/drive_c/pkg"
  mkdir -p "$temp" "$elsewhere" "$pkg"
  echo mine >"$elsewhere/keep.txt"
  extra=()
  case "$QV_CASE" in
    workdir-link) ln -s "$elsewhere" "$temp/__Quorvin_Update" ;;
    temp-link) cp -a "$temp/." "$elsewhere/" && rm -rf "$temp" && ln -s "$elsewhere" "$temp" ;;
    leftover|held)
      mkdir -m 777 "$temp/__Quorvin_Update" "$temp/__Quorvin_Update/sub"
      echo old >"$temp/__Quorvin_Update/SWinFlash.exe"
      echo old >"$temp/__Quorvin_Update/sub/PhlashNT.sys"
      echo crafted >"$temp/__Quorvin_Update/kbc.bin"
      chmod 444 "$temp/__Quorvin_Update/kbc.bin"
      if [ "$QV_CASE" = held ]; then
        cp "$1/attacker.exe" "$elsewhere/"
        wine "$elsewhere/attacker.exe" hold "C:\\users\\$QV_USER\\Temp\\__Quorvin_Update\\kbc.bin" 60 \
          >"$2/attacker.txt" 2>&1 &
        for _ in $(seq 100); do grep -q held "$2/attacker.txt" 2>/dev/null && break; sleep 0.1; done
      fi ;;
    swapped)
      # While the confirmation is held up, the package is swapped at its path.
      extra=(--hold 2000)
      (for _ in $(seq 300); do [ -d "$temp/__Quorvin_Update" ] && break; sleep 0.02; done
       mv "$pkg/QuorvinUpdate.exe" "$pkg/renamed.exe" && cp "$2/crafted.exe" "$pkg/QuorvinUpdate.exe" &&
         echo swapped >"$2/swap.txt") & ;;
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
  stat -c %a "$temp/__Quorvin_Update" >"$2/mode.txt" 2>/dev/null
  ls -A "$temp/__Quorvin_Update" >"$2/workdir-after.txt" 2>/dev/null
  cat "$WINEPREFIX/drive_c/planted.txt" >"$2/planted.txt" 2>/dev/null
  cp "$temp/DebugLog.txt" "$2/temp-log.txt" 2>/dev/null
  wine reg query "HKLM\\System\\CurrentControlSet\\Services\\ADDMEM" >/dev/null 2>&1 && echo there >"$2/service.txt"
  true' "$here" "$win" "$out"
cat "$out/drive.txt"
log=$(cat "$out"/DebugLog*.txt "$out/temp-log.txt" 2>/dev/null | tr -d '\r')
trace=$(cat "$out/trace.txt" 2>/dev/null)
service_gone() {
  grep -q 'ADDMEM service stopped and removed' <<<"$log" || { echo "no log of the service's removal"; fail=1; }
  [ -f "$out/service.txt" ] && { echo "the ADDMEM service is still registered"; fail=1; }
}
ecfw_crc() { gzip -c "$1" | tail -c 8 | head -c 4 | od -An -tx4 | tr -d ' ' | tr a-f A-F; }

case "$case" in
  workdir-link)
    [ "$(cat "$out/keep.txt")" = mine ] || { echo "the linked folder's file was touched"; fail=1; }
    [ "$(cat "$out/elsewhere.txt")" = keep.txt ] || { echo "the run wrote into the linked folder:"; cat "$out/elsewhere.txt"; fail=1; }
    expect_line 'EXIT 0x8000000F'
    grep -q 'Working directory refused' <<<"$log" || { echo "the refusal is not logged"; fail=1; } ;;
  temp-link)
    expect_line 'EXIT 0x8000000F'
    grep -q '^BOX title="Fail : Directory"' "$out/drive.txt" || { echo "no directory failure box"; fail=1; }
    grep -qx __Quorvin_Update "$out/elsewhere.txt" && { echo "a working directory was made behind the link"; fail=1; } ;;
  leftover)
    expect_line 'EXIT 0x00000000'
    [ "$(cat "$out/workdir-after.txt")" = DebugLog.txt ] || { echo "the leftover was not removed whole:"; cat "$out/workdir-after.txt"; fail=1; }
    grep -qx '[0-7][0-7]0' "$out/mode.txt" || { echo "others may still use the directory: mode $(cat "$out/mode.txt")"; fail=1; }
    service_gone ;;
  held)
    grep -q held "$out/attacker.txt" || { echo "the attacker did not hold kbc.bin"; fail=1; }
    expect_line 'EXIT 0x8000000F'
    grep -q '^BOX title="Fail : Directory"' "$out/drive.txt" || { echo "no directory failure box"; fail=1; }
    grep -q 'Working directory refused' <<<"$log" || { echo "the refusal is not logged"; fail=1; }
    grep -q '^flasher ' <<<"$trace" && { echo "a flasher ran"; fail=1; }
    service_gone ;;
  swapped)
    [ -f "$out/swap.txt" ] || { echo "the package was not swapped"; fail=1; }
    expect_line 'EXIT 0x00000000'
    grep -qx "ecfw 8192 crc32=$(ecfw_crc "$out/entries/QNTX0106.bin")" <<<"$trace" ||
      { echo "the EC did not get the started package's firmware:"; grep '^ecfw' <<<"$trace"; fail=1; } ;;
  dlls)
    expect_line 'EXIT 0x00000000'
    grep -q '^flasher TarpexV01_10' <<<"$trace" || { echo "the run did not get to the flashers"; fail=1; }
    # qvdrive, the test's own helper beside the package, may load them: it is no part of the run.
    grep -a 'QuorvinUpdate' "$out/planted.txt" && { echo "a planted DLL ran in the updater"; fail=1; } ;;
  format)
    expect_line 'EXIT 0x00000000'
    grep -q '^BOX title="Warning" text=" - This program updates the Flash ROM' "$out/drive.txt" ||
      { echo "the confirmation is not our own text"; fail=1; } ;;
esac
exit $fail
