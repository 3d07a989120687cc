#!/usr/bin/env bash
# The program's port and memory requests through the relay in one mode, checked by what the
# simulated notebook answers: every request family reaches the machine and comes back right.
#
#   relay_requests.sh BUILD MODE     MODE: xp vista 7 7-x86 98
set -uo pipefail
source "$(dirname "$0")/lib.sh"
mode=$2
arch=win64 winver="" appwinver="" profile="$here/../../sim/profiles/phoenix.json" device=""
case "$mode" in
  xp) winver=winxp device=ADDMEM ;;
  vista) winver=vista device=KMDFMEMIO ;;
  7) winver=win7 device=VEXA ;;
  7-x86) winver=win7 arch=win32 device=VEXA profile="$here/../../sim/profiles/phoenix_x86.json" ;;
  98) winver=winxp appwinver=win98 arch=win32 device=MEMIO profile="$here/../../sim/profiles/phoenix_x86.json" ;;
  *) echo "relay_requests.sh: unknown mode $mode" >&2; exit 2 ;;
esac
"$here/../wine/with-wine" --template "$template" --arch "$arch" --winver "$winver" -- \
  "$here/run-on-notebook" --win "$win" --package "$win/hw_exercise.exe" --profile "$profile" \
  --out "$out" --preinstall ${appwinver:+--app-winver $appwinver}
tr -d '\r' <"$out/drive.txt" | tee "$out/answers.txt"
for answer in 'cmos 5A' 'cmos-high A5' 'pm-base 00000401' 'smi-enable BEEF' 'devel F4E10' \
    'flash QV' 'kbc-command-byte 47' 'EXIT 0x00000000'; do
  grep -qxF "$answer" "$out/answers.txt" || { echo "missing: $answer"; fail=1; }
done
grep -q "^ioctl $device " "$out/trace.txt" || { echo "no $device request in the trace"; fail=1; }
exit $fail
