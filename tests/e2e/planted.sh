#!/usr/bin/env bash
# What a process of the same user may plant under TEMP before the elevated run, on the simulated
# notebook: a link is never followed into a working directory, and a leftover one is taken over
# before it is swept. Wine shows a Linux symbolic link to a directory as a reparse point (one to
# a file it follows as Linux does, so links to files are not tried here), and maps a
# directory's DACL onto its mode bits: the bits for "others" are what it makes of a DACL that
# gives Everyone nothing.
#
#   planted.sh BUILD CASE
#
# CASE: workdir-link  __Quorvin_Update is a link to a folder holding a file: refused with
#                     0x8000000F, nothing unpacked or swept there
#       temp-link     TEMP itself is a link: refused the same way, nothing made behind it
#       leftover      a directory every user may write, with an earlier run's files: swept, and
#                     nobody but its owner may write there any more
set -uo pipefail
source "$(dirname "$0")/lib.sh"
case=$2
case "$case" in
  workdir-link|temp-link|leftover) ;;
  *) echo "planted.sh: unknown case $case" >&2; exit 2 ;;
esac

"$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" --flags MARK_LAST_AREA,SKIP_CHECK_POWER \
  $("$here/package-entries" "$out/entries" "$win") || exit 1

export QV_CASE=$case QV_USER=$user
"$here/../wine/with-wine" --template "$template" --winver winxp -- bash -c '
  temp="$WINEPREFIX/drive_c/users/$QV_USER/Temp"
  elsewhere="$WINEPREFIX/drive_c/elsewhere"
  mkdir -p "$temp" "$elsewhere"
  echo mine >"$elsewhere/keep.txt"
  case "$QV_CASE" in
    workdir-link) ln -s "$elsewhere" "$temp/__Quorvin_Update" ;;
    temp-link) cp -a "$temp/." "$elsewhere/" && rm -rf "$temp" && ln -s "$elsewhere" "$temp" ;;
    leftover) mkdir -m 777 "$temp/__Quorvin_Update" && echo old >"$temp/__Quorvin_Update/SWinFlash.exe" ;;
  esac
  "$0/run-on-notebook" --win "$1" --package "$2/QuorvinUpdate.exe" \
    --profile "$0/../../sim/profiles/phoenix.json" --out "$2" --answer cancel
  ls -A "$elsewhere" >"$2/elsewhere.txt"
  cat "$elsewhere/keep.txt" >"$2/keep.txt"
  stat -c %a "$temp/__Quorvin_Update" >"$2/mode.txt" 2>/dev/null' "$here" "$win" "$out"
cat "$out/drive.txt"

case "$case" in
  workdir-link|temp-link)
    expect_line 'EXIT 0x8000000F'
    grep -q '^BOX title="Fail : Directory"' "$out/drive.txt" || { echo "no directory failure box"; fail=1; }
    if [ "$case" = workdir-link ]; then
      [ "$(cat "$out/keep.txt")" = mine ] || { echo "the linked folder's file was touched"; fail=1; }
      [ "$(cat "$out/elsewhere.txt")" = keep.txt ] || { echo "the run wrote into the linked folder:"; cat "$out/elsewhere.txt"; fail=1; }
    else
      grep -qx __Quorvin_Update "$out/elsewhere.txt" && { echo "a working directory was made behind the link"; fail=1; }
    fi ;;
  leftover)
    expect_line 'EXIT 0x00000000'
    [ "$(cat "$out/workdir.txt")" = DebugLog.txt ] || { echo "the leftover was not swept:"; cat "$out/workdir.txt"; fail=1; }
    grep -qx '[0-7][0-7]0' "$out/mode.txt" || { echo "others may still use the directory: mode $(cat "$out/mode.txt")"; fail=1; } ;;
esac
exit $fail
