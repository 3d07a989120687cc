#!/usr/bin/env bash
# What the bench measures of a whole update, checked where it does not hang on the machine's
# load: in the ADDMEM (XP) and VEXA (7) modes the update completes, sends the same driver
# requests, within the bench's budget for them, and the bench's clocks see the process start,
# the confirmation, the 100 ms pause in the unpacking, both flashers and the notice.
#
#   cost.sh BUILD
set -uo pipefail
source "$(dirname "$0")/lib.sh"
round="$here/../../tools/bench/notebook-round"
budget=$(sed -n 's/.*BUDGET_REQUESTS:-\([0-9]*\).*/\1/p' "$here/../../tools/bench/bench.sh")
"$here/update-package" "$build" "$out/QuorvinUpdate.exe" MARK_LAST_AREA || exit 1
sed 's/"chip_id": "0x4D"/"chip_id": "0x11"/' "$here/../../sim/profiles/phoenix.json" >"$out/profile.json"

# Fails the test with what went wrong when the condition does not hold for this mode's figures.
check() { awk "BEGIN { exit !($2) }" || { echo "$mode: $1 ($figures)"; fail=1; }; }

counts=()
for mode in xp 7; do
  figures=$("$round" "$build" "$out/QuorvinUpdate.exe" "$out/profile.json" "$mode" "$out/$mode") || { fail=1; continue; }
  echo "$figures"
  read -r _ bare box unpack steps flashers requests peak <<<"$figures"
  counts+=("$requests")
  check "a bare start took no time" "$bare > 0"
  check "the updater reached its box sooner than a bare start ends" "$box > $bare"
  check "the unpacking took less than its 100 ms pause" "$unpack >= 100000"
  check "the steps took no time of their own" "$steps > 0"
  # The stand-in BIOS flasher keeps its window up for a second.
  check "the flashers' lives were not seen" "$flashers >= 1000000"
  check "$requests driver requests, the budget is $budget" "$requests <= $budget"
  check "no peak working set was read" "${peak:-0} > 0"
  run="$out/$mode/run"
  # qvdrive's moments in the order they happen: the updater, its box, the BIOS flasher's life,
  # the MICOM flasher's, the notice (what follows it races with the power going off).
  order=$(awk '$1 == "TIME" { print $2 }' "$run/drive.txt" | head -n 10 | tr '\n' ' ')
  [ "$order" = "start process-start box answer process-start process-end process-start process-end box answer " ] ||
    { echo "$mode: qvdrive's moments out of order: $order"; fail=1; }
  # simhw's stamps: every trace line, in its place, at moments that never go back.
  cut -d' ' -f2- "$run/times.txt" | cmp -s - "$run/trace.txt" || { echo "$mode: times.txt is not the trace"; fail=1; }
  sort -s -n -c -k1,1 "$run/times.txt" 2>/dev/null || { echo "$mode: simhw's stamps go back"; fail=1; }
done
[ "${counts[0]:-}" = "${counts[1]:-x}" ] || { echo "the modes sent different numbers of requests: ${counts[*]}"; fail=1; }
exit $fail
