#!/usr/bin/env bash
# Every fault the simulated notebook, the package and the file system can put in a run's way:
# one real run of the package on the notebook under Wine per fault, two at a time, and a
# Markdown table of how each ended: exit code, time against its bound, whether the 8042's
# keyboard and auxiliary interfaces were back on, what was left in TEMP and in the working place. The faults only the
# fake OS can inject come from the win tier's run of the update sequence on its notebook
# (win_hw_tests, FakeOsFaults), one line per fault. Fails when a run hung, succeeded where the
# fault must fail it, left input off, or when docs/faults.md's table differs.
#
#   faults.sh BUILD [--write] [ROW...]
#
# --write puts the table into docs/faults.md instead of comparing it; naming rows runs only
# those and leaves docs/faults.md alone.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
export LC_ALL=C  # listings sort the same for every caller
shift
write=""
[ "${1:-}" = --write ] && { write=--write; shift; }
only=" $* "
doc="$here/../../docs/faults.md"

# name | fault | how it is made | chip | profile faults | flashers | package | TEMP | must | bound (s)
# must: fail, a non-zero exit; warn, the run may end well but must say that power-on was not
# armed; fallback, the model number may come from the "DiaG@" block instead, and must be right;
# goes-on, the run may end well, but the keyboard controller must have been held off and given back.
rows='kbc-input|the keyboard controller'"'"'s input never clears|profile `kbc_input_never_clears`|0x11|"kbc_input_never_clears": true||plain||warn|30
kbc-output|the keyboard controller'"'"'s output never fills|profile `kbc_output_never_fills`|0x11|"kbc_output_never_fills": true||plain||warn|30
mailbox|the EC mailbox never goes idle|profile `mailbox_never_idle`|0x4D|"mailbox_never_idle": true||plain||warn|30
smi|the firmware service is silent|profile `smi_never_answers`|0x11|"smi_never_answers": true||plain||fallback|30
no-devices|the access devices are absent|package: `AddMem.sys` is no driver|0x11|||nodriver||fail|20
refused|the access driver refuses requests|profile `driver_refuses_after: 0`|0x11|"driver_refuses_after": 0||plain||fail|20
crash|the BIOS flasher crashes|profile: SWinFlash ends with 0xC0000005|0x11||"SWinFlash": {"exit": -1073741819}|plain||fail|20
no-flasher|the BIOS flasher is missing|package without `SWinFlash_*.exe`|0x11|||noflasher||fail|20
disk-full|the disk fills during extraction|Temp of the Windows directory on a 5 MiB volume|0x11|||plain|small|fail|20
corrupt|a corrupt member|package: 4 bytes of the last member flipped|0x11|||corrupt||fail|20
temp-ro|the working place cannot be made|Temp of the Windows directory a read-only mount|0x11|||plain|readonly|fail|20
no-workdir|another update is running|another run holds the one-run lock|0x11|||plain|blocker|fail|20
squatter|a user'"'"'s program holds the lock'"'"'s old names|a mutex `Global\QuorvinUpdateRun` and an event `QuorvinUpdateRun`|0x11|||plain|squatter|goes-on|30'
# name | fault | the fake OS's field | must; the bound is the win test's.
fake_rows='fake-scm|the service control manager does not open|serviceManagerOpens|fail
fake-devices|the device list is unavailable (mouse-class devices)|deviceListAvailable|goes-on
fake-power|the power status is unreadable|powerStatusReported|fail
fake-disk|the free disk space is unreadable|diskSpaceReadable|fail
fake-bitlocker|the BitLocker query fails (Windows 10)|bitLocker.queryError|goes-on
fake-wait|the wait for the BIOS flasher fails|waitFails|fail
fake-exit|the exit status of the BIOS flasher is lost|exitCodeLost|fail
fake-env|the system environment for the flashers cannot be had|failingFunctions|fail'

if [ "$only" != "  " ]; then
  pick() { while IFS='|' read -r name rest; do case "$only" in *" $name "*) echo "$name|$rest" ;; esac; done; }
  rows=$(pick <<<"$rows")
  fake_rows=$(pick <<<"$fake_rows")
  [ -n "$rows$fake_rows" ] || { echo "faults.sh: no such row: $only"; exit 2; }
fi

meaning() {
  case "$1" in
    0x00000000) echo "completed" ;;
    0x00000001) echo "a member would not inflate: the process ends itself" ;;
    0x80000001) echo "too little free disk space" ;;
    0x80000002) echo "window thread not started" ;;
    0x80000003) echo "unpacking failed" ;;
    0x80000004) echo "a hard disk has a password" ;;
    0x80000005) echo "access driver not acquired" ;;
    0x80000007|0x80000008) echo "model or part number differs" ;;
    0x80000009) echo "BIOS update failed" ;;
    0x8000000A) echo "MICOM update failed" ;;
    0x8000000B) echo "no usable BIOS image" ;;
    0x8000000C) echo "no usable MICOM file" ;;
    0x8000000D) echo "firmware (SMI) setting failed" ;;
    0x8000000E) echo "invalid option or package header" ;;
    0x8000000F) echo "working directory not usable" ;;
    0x80000010|0x80000011|0x80000012) echo "power check failed" ;;
    0x80000013) echo "installed BIOS not older" ;;
    0xFFFFFFFF) echo "fatal driver message" ;;
    TIMEOUT) echo "ended at the bound" ;;
    *) echo "unknown" ;;
  esac
}

# The three packages the rows need besides the plain one.
build_packages() {
  mkdir -p "$out/plain" "$out/noflasher" "$out/nodriver" "$out/corrupt"
  "$here/update-package" "$build" "$out/plain/QuorvinUpdate.exe" SKIP_CHECK_POWER || return 1
  local entries="$out/plain/entries.txt"
  "$qpack" build -o "$out/noflasher/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" --flags SKIP_CHECK_POWER \
    $(grep -v '/SWinFlash_' "$entries") >/dev/null || return 1
  printf 'placeholder contents of AddMem.sys\n' >"$out/nodriver/AddMem.sys"
  "$qpack" build -o "$out/nodriver/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" --flags SKIP_CHECK_POWER \
    $(sed "s|^.*/AddMem.sys$|$out/nodriver/AddMem.sys|" "$entries") >/dev/null || return 1
  # Four bytes of the last member's deflate data, well before its CRC and length.
  local package="$out/corrupt/QuorvinUpdate.exe" at i byte
  cp "$out/plain/QuorvinUpdate.exe" "$package"
  at=$(( $(stat -c %s "$package") - 40 ))
  for i in 0 1 2 3; do
    byte=$(od -An -tu1 -j $((at + i)) -N 1 "$package" | tr -d ' ')
    printf "\\x$(printf %02x $((byte ^ 255)))" | dd of="$package" bs=1 seek=$((at + i)) conv=notrunc status=none
  done
  if "$qpack" verify "$package" >/dev/null 2>&1; then echo "the corrupt package verifies"; return 1; fi
}

# One row's run inside its prefix (see with-wine), timed from the notebook's start to the
# updater's end. A Windows\Temp of its own (a small volume, or a read-only mount), where the run
# makes its working place, is mounted in a mount namespace that the whole run shares, the
# wineserver included: it is the one that opens files.
notebook_run() {
  local temp="$WINEPREFIX/drive_c/windows/temp" mount="" start
  mkdir -p "$temp"
  case "$QV_TEMP_KIND" in
    small)
      truncate -s 5M "$QV_DIR/disk.img" && mkfs.ext2 -q -F "$QV_DIR/disk.img"
      mount="mount -o loop $QV_DIR/disk.img $temp" ;;
    readonly) mount="mount -t tmpfs -o ro,size=1m tmpfs $temp" ;;
    blocker|squatter)
      # Another run holds the lock; or any user's program holds named objects of its old names.
      wine "$QV_WIN/attacker.exe" "$([ "$QV_TEMP_KIND" = blocker ] && echo run || echo lock)" 120 \
        >"$QV_DIR/attacker.txt" 2>&1 &
      for _ in $(seq 100); do grep -q held "$QV_DIR/attacker.txt" 2>/dev/null && break; sleep 0.1; done ;;
  esac
  local run=("$QV_HERE/run-on-notebook" --win "$QV_WIN" --package "$QV_PACKAGE" --profile "$QV_DIR/profile.json"
             --out "$QV_DIR" --timeout "$QV_BOUND")
  start=$(date +%s%N)
  if [ -n "$mount" ]; then
    # The server this prefix already runs would keep the old view.
    wineserver -k 2>/dev/null
    wineserver -w
    unshare -m sh -c '$0 && exec "$@"' "$mount" "${run[@]}"
  else
    "${run[@]}"
  fi
  echo $(( ($(date +%s%N) - start) / 1000000 )) >"$QV_DIR/ms"
}

# One row's run in a fresh prefix; leaves in DIR what run-on-notebook leaves, and the time.
run_row() {
  local name=$1 chip=$2 faults=$3 flashers=$4 package=$5 temp=$6 bound=$7 dir="$out/rows/$1"
  mkdir -p "$dir"
  sed -e "s/\"chip_id\": \"0x4D\"/\"chip_id\": \"$chip\"/" -e '$ d' "$here/../../sim/profiles/phoenix.json" \
    >"$dir/profile.json"
  echo ", \"faults\": {$faults}, \"flashers\": {$flashers}}" >>"$dir/profile.json"
  export QV_DIR=$dir QV_TEMP_KIND=$temp QV_PACKAGE="$out/$package/QuorvinUpdate.exe" QV_BOUND=$bound
  export QV_HERE=$here QV_WIN=$win QV_USER=$user
  export -f notebook_run
  "$here/../wine/with-wine" --template "$template" --winver winxp -- bash -c notebook_run >"$dir/run.log" 2>&1
}

# The win test's run of the fake OS's faults, in a prefix of its own as the win tier runs it,
# laid out per row as a notebook run leaves its files, so that one report serves both.
fake_os_runs() {
  local log="$out/fake-os.txt" name fault field must dir
  "$here/../wine/with-wine" --template "$template" -- wine "$win/win_hw_tests.exe" \
    --gtest_filter=FakeOsFaults.* >"$log" 2>&1 ||
    echo "fake-os: the win test FakeOsFaults failed (see below)" >>"$out/problems"
  while IFS='|' read -r name fault field must; do
    [ -n "$name" ] || continue
    dir="$out/rows/$name"
    mkdir -p "$dir"
    awk -F'|' -v field="$field" -v dir="$dir" '
      $1 == "fake-os-trace" && $2 == field { print $3 >(dir "/trace.txt") }
      $1 == "fake-os-row" && $2 == field {
        print "EXIT " $3 >(dir "/drive.txt"); print $4 >(dir "/ms"); print $5 >(dir "/bound")
        n = split($6, boxes, ","); for (i = 1; i <= n; i++) print "BOX title=\"" boxes[i] "\"" >(dir "/drive.txt")
        n = split($7, names, ","); for (i = 1; i <= n; i++) print names[i] >(dir "/temp.txt")
        if ($8 != "-") { print "place" >(dir "/place.txt")
                         n = split($8, names, ","); for (i = 1; i <= n; i++) print names[i] >(dir "/workdir.txt") }
      }' <(tr -d '\r' <"$log")
    touch "$dir/trace.txt" "$dir/temp.txt" "$dir/workdir.txt"
  done <<<"$fake_rows"
}

# The 8042 as the trace shows it: a byte counts once a status read shows the input buffer empty
# again; a byte written over it, or never taken, changed nothing. Prints whether the keyboard and
# auxiliary interfaces were held off and whether both were on again at the end.
input_state() {
  awk 'function bit(hex, mask,   v) { v = index("0123456789ABCDEF", substr(hex, 1, 1)) - 1
                                        v = v * 16 + index("0123456789ABCDEF", substr(hex, 2, 1)) - 1
                                        return int(v / mask) % 2 }
       function take(   port, value) {
         split(pending, p, " "); port = p[1]; value = p[2]; pending = ""
         if (port == "0064") {
           expect = value == "60"
           if (value == "AD") kbd = 0; if (value == "AE") kbd = 1
           if (value == "A7") aux = 0; if (value == "A8") aux = 1
         } else if (expect) {
           expect = 0; kbd = !bit(value, 16); aux = !bit(value, 32)
         }
         if (!kbd || !aux) off = 1
       }
       BEGIN { kbd = 1; aux = 1; off = 0; pending = "" }
       $1 == "out8" && ($2 == "0064" || $2 == "0060") { pending = $2 " " $3 }
       $1 == "in8" && $2 == "0064" && pending != "" && !bit($4, 2) { take() }
       END {
         left = kbd ? "" : "keyboard"
         if (!aux) left = left (left == "" ? "" : ", ") "auxiliary"
         if (!off) print "never held off"
         else if (left == "") print "held off, restored"
         else print "LEFT OFF (" left ")"
       }' "$1"
}

# Names in a listing: up to three, or two and how many more.
names() {
  local n
  n=$(grep -c . "$1" 2>/dev/null)
  if [ "${n:-0}" = 0 ]; then echo "nothing"
  elif [ "$n" -le 3 ]; then paste -sd, "$1" | sed 's/,/, /g'
  else echo "$(head -n 2 "$1" | paste -sd, | sed 's/,/, /g') and $((n - 2)) more"
  fi
}

# One table row from a finished run; problems go to $out/problems.
report_row() {
  local name=$1 fault=$2 how=$3 must=$4 bound=$5 dir="$out/rows/$1"
  local code ms input boxes left temp_left problem=""
  code=$(sed -n 's/^EXIT //p; s/^TIMEOUT$/TIMEOUT/p' "$dir/drive.txt" 2>/dev/null | tail -n 1)
  [ -n "$code" ] || code=none
  ms=$(cat "$dir/ms" 2>/dev/null || echo 0)
  input=$(input_state "$dir/trace.txt")
  boxes=$(sed -n 's/^BOX title="\([^"]*\)".*/\1/p' "$dir/drive.txt" | grep -vx Warning | paste -sd, | sed 's/,/, /g')
  temp_left=$(names "$dir/temp.txt")
  if [ -f "$dir/place.txt" ]; then
    left="TEMP: $temp_left; working place: $(names "$dir/workdir.txt")"
  else
    left="TEMP: $temp_left; no working place"
  fi
  if [ "$code" = TIMEOUT ] || [ "$ms" -gt $((bound * 1000)) ]; then problem="hang"; fi
  if [ "$must" = fail ] && { [ "$code" = 0x00000000 ] || grep -q '^BOX title="Update Complete"' "$dir/drive.txt" ||
                             grep -q '^poweroff' "$dir/trace.txt"; }; then
    problem="$problem success"
  fi
  if [ "$must" = warn ] && [ "$code" = 0x00000000 ] && ! grep -q '^BOX title="Fail : Set Auto On"' "$dir/drive.txt"; then
    problem="$problem success"
  fi
  if [ "$must" = goes-on ] && [ "$input" != "held off, restored" ]; then
    problem="$problem input"
  fi
  if [ "$must" = fallback ] && [ "$code" = 0x00000000 ] &&
     ! tr -d '\r' <"$dir/DebugLog-__Quorvin_Update.txt" | grep -qx 'Bios Model Number : QN14'; then
    problem="$problem success"
  fi
  case "$input" in LEFT*) problem="$problem input" ;; esac
  [ "$code" = none ] && problem="$problem no-run"
  [ -n "$problem" ] && echo "$name:$problem" >>"$out/problems"
  printf '| %s | %s | %s | %s | %s | %s s | %s s | %s | %s |\n' "$fault" "$how" "$code" "$(meaning "$code")" \
    "${boxes:-none}" "$(awk -v ms="$ms" 'BEGIN { printf "%.1f", ms / 1000 }')" "$bound" "$input" "$left"
}

started=$(date +%s)
[ -z "$fake_rows" ] || fake_os_runs
if [ -n "$rows" ]; then
  build_packages || { echo "faults.sh: could not build the packages"; exit 1; }
  running=0
  while IFS='|' read -r name fault how chip faults flashers package temp must bound; do
    run_row "$name" "$chip" "$faults" "$flashers" "$package" "$temp" "$bound" &
    running=$((running + 1))
    if [ $running -ge 2 ]; then wait -n; running=$((running - 1)); fi
  done <<<"$rows"
  wait
fi
took=$(( $(date +%s) - started ))

table="$out/table.md"
{
  echo '| fault | made by | exit code | meaning | boxes after the confirmation | time | bound | 8042 input | left on disk |'
  echo '|---|---|---|---|---|---|---|---|---|'
  while IFS='|' read -r name fault how chip faults flashers package temp must bound; do
    [ -z "$name" ] || report_row "$name" "$fault" "$how" "$must" "$bound"
  done <<<"$rows"
  while IFS='|' read -r name fault field must; do
    [ -z "$name" ] || report_row "$name" "$fault" "fake OS \`$field\`" "$must" "$(cat "$out/rows/$name/bound" 2>/dev/null || echo 0)"
  done <<<"$fake_rows"
} >"$table"
cat "$table"
echo "== $(grep -c . <<<"$rows") runs, two at a time, and the win test's $(grep -c . <<<"$fake_rows"): ${took} s"
[ -s "$out/problems" ] && { echo "== defects:"; cat "$out/problems"; fail=1; }
grep -q '^fake-os: ' "$out/problems" 2>/dev/null && grep -v '^fake-os-' "$out/fake-os.txt"

[ "$only" != "  " ] && exit $fail
# docs/faults.md's table between its markers; the time column is measured anew by every run.
marked="$here/../tools/marked-table"
if [ "$write" = --write ]; then
  "$marked" write "$doc" faults "$table"
  echo "== docs/faults.md's table written"
else
  untimed() { awk -F'|' 'BEGIN { OFS = "|" } { $7 = ""; print }'; }
  "$marked" read "$doc" faults | untimed >"$out/doc-table.txt"
  untimed <"$table" >"$out/run-table.txt"
  if ! diff -u "$out/doc-table.txt" "$out/run-table.txt"; then
    echo "== docs/faults.md's fault table differs from this run (times aside); ./run faults rewrites it"
    fail=1
  fi
fi
exit $fail
