#!/usr/bin/env bash
# The stand-in flashers run as the updater runs them, on the simulated notebook, from a folder
# whose path holds a blank: each records how it was called and the arguments its C runtime split
# the quoted line into, refuses what it cannot use (then writes nothing and ends with 2), and acts
# on the profile's scenario (SWinFlash writes the blocks its image's
# flash-area table marks, turning global SMIs off for it, or nothing after a verdict, and leaves
# its files; TarpexV01_10 stores the EC firmware on success), SWinFlash's window is closed by its
# title, and a power-off ends the session while simhw records whether the controller was armed to
# switch the machine back on, after a fault line when nothing turned SMIs on again.
#
#   stand_ins.sh BUILD CASE     CASE: flash verdict
set -uo pipefail
source "$(dirname "$0")/lib.sh"
which=$2
case "$which" in
  flash) bios_exit=1 micom_exit=0 armed=1 expected_faults='fault global SMIs left off' ;;
  verdict) bios_exit=-120 micom_exit=3 armed=0 ;;
  *) echo "stand_ins.sh: unknown case $which" >&2; exit 2 ;;
esac

cat >"$out/profile.json" <<JSON
{"name": "stand-in flashers", "ec_ram": {"0xE887": "0x0$armed"},
 "flashers": {"SWinFlash": {"exit": $bios_exit}, "TarpexV01_10": {"exit": $micom_exit}}}
JSON

# A 640 KiB image whose flash-area table (above 0x80000, where an image under 1 MiB keeps it)
# marks one block to write, leaves one, holds the packaged top block (0x122) and marks one below
# the notebook's 1 MiB part.
image="$out/bios.wph"
yes 'stand-in BIOS image ' | head -c $((0xA0000)) >"$image"
le32() {
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255))
}
put() { printf "$2" | dd of="$image" bs=1 seek=$(($1)) conv=notrunc status=none; }
put 0x90000 ZQDS
put 0x90040 ZFLPF
put $((0x90040 + 53)) "$(le32 0x100)"
at=$((0x90100))
for area in '0x10000 0x10000 0xFFF90000 0x22' '0x10000 0x20000 0xFFFA0000 0' \
    '0x10000 0x30000 0xFFFF0000 0x122' '0x2000 0x40000 0xFFE00000 0x22' '0 0 0 0'; do
  read -r length offset address attribute <<<"$area"
  put $at "$(le32 $length)$(le32 $offset)$(le32 $address)$(le32 $((attribute << 16)))"
  at=$((at + 16))
done
yes 'EC firmware ' | head -c 4096 >"$out/kbc.bin"
printf '[Main]\r\n' >"$out/PHLASH.INI"

export QV_WIN=$win QV_OUT=$out QV_CASE=$which
"$here/../wine/with-wine" --template "$template" --winver winxp -- bash -c '
  sim="$WINEPREFIX/drive_c/sim" work="$WINEPREFIX/drive_c/work dir"
  mkdir -p "$sim" "$work"
  for tool in simhw qvdrive close_window power_off; do cp "$QV_WIN/$tool.exe" "$sim/"; done
  cp "$QV_OUT/profile.json" "$sim/"
  cp "$QV_WIN/SWinFlash_32.exe" "$work/SWinFlash.exe"
  cp "$QV_WIN/TarpexV01_10.exe" "$QV_OUT/bios.wph" "$QV_OUT/kbc.bin" "$QV_OUT/PHLASH.INI" "$work/"
  (cd "$sim" && exec wine simhw.exe --profile profile.json --trace trace.txt --ready ready.txt \
     >"$QV_OUT/simhw.txt" 2>&1) &
  for _ in $(seq 200); do [ -f "$sim/ready.txt" ] && break; sleep 0.05; done
  cd "$work"
  wine "C:\\sim\\close_window.exe" "Phoenix Secure WinFlash" 20 >"$QV_OUT/close.txt" &
  closer=$!
  wine "C:\\sim\\qvdrive.exe" -- "C:\\work dir\\SWinFlash" bios.wph /P /BBL >"$QV_OUT/swinflash.txt"
  wait $closer
  wine "C:\\sim\\qvdrive.exe" -- "C:\\work dir\\TarpexV01_10" kbc.bin /FORCE >"$QV_OUT/tarpex.txt"
  # What an unquoted path with a blank and a cut DMI value would give the flasher.
  [ "$QV_CASE" = verdict ] && wine "C:\\sim\\qvdrive.exe" -- "C:\\work dir\\SWinFlash" and bios.wph /P \
    "/DO0:BFA /DO1:20261207" >"$QV_OUT/refused.txt"
  ls "$work" >"$QV_OUT/work.txt"
  cp "$work/newSys.bin" "$QV_OUT/" 2>/dev/null
  wine "C:\\sim\\power_off.exe"
  for _ in $(seq 200); do grep -q "^poweroff " "$sim/trace.txt" && break; sleep 0.05; done
  cp "$sim/trace.txt" "$QV_OUT/trace.txt"'

crc=$(gzip -c "$out/kbc.bin" | tail -c 8 | head -c 4 | od -An -tx4 | tr -d ' ' | tr a-f A-F)
swinflash='flasher SWinFlash cmd=""C:\work dir\SWinFlash" bios.wph /P /BBL" cwd="C:\work dir" files=bios.wph,PHLASH.INI
flasher SWinFlash args=[bios.wph][/P][/BBL]'
tarpex='flasher TarpexV01_10 cmd=""C:\work dir\TarpexV01_10" kbc.bin /FORCE" cwd="C:\work dir" files=kbc.bin
flasher TarpexV01_10 args=[kbc.bin][/FORCE]'
if [ "$which" = flash ]; then
  expected="$swinflash
smi off by flasher
flashwr FFF90000+10000
flashwr FFE00000+2000 refused
$tarpex
ecfw 4096 crc32=$crc
$expected_faults
poweroff armed=1"
  exits='EXIT 0x00000001 EXIT 0x00000000'
else
  expected="$swinflash
$tarpex
flasher SWinFlash cmd=\"\"C:\\work dir\\SWinFlash\" and bios.wph /P \"/DO0:BFA /DO1:20261207\"\" cwd=\"C:\\work dir\" files=bios.wph,PHLASH.INI
flasher SWinFlash args=[and][bios.wph][/P][/DO0:BFA /DO1:20261207]
flasher SWinFlash refused [and]: not its input file
flasher SWinFlash refused [bios.wph]: a switch it does not know
flasher SWinFlash refused [/DO0:BFA /DO1:20261207]: longer than its DMI field
poweroff armed=0"
  exits='EXIT 0xFFFFFF88 EXIT 0x00000003 EXIT 0x00000002'
fi

# The window's close comes whenever the closer found it; every other line in this order, alone.
tr -d '\r' <"$out/trace.txt" >"$out/trace.lf"
grep -qxF 'flasher SWinFlash window closed' "$out/trace.lf" || { echo "the window was not closed"; fail=1; }
actual=$(grep -vxF 'flasher SWinFlash window closed' "$out/trace.lf")
[ "$actual" = "$expected" ] || { printf 'trace:\n%s\nexpected:\n%s\n' "$actual" "$expected"; fail=1; }
[ "$(tr -d '\r' <"$out/close.txt")" = 'closed Phoenix Secure WinFlash' ] ||
  { echo "closer: $(cat "$out/close.txt")"; fail=1; }
[ "$(cat "$out/swinflash.txt" "$out/tarpex.txt" "$out/refused.txt" 2>/dev/null | tr -d '\r' | grep '^EXIT' | xargs)" = "$exits" ] ||
  { echo "exit codes:"; cat "$out/swinflash.txt" "$out/tarpex.txt"; fail=1; }
for left in bios.bak PHLASH.LOG newSys.bin; do
  grep -qx "$left" "$out/work.txt" || { echo "SWinFlash left no $left"; fail=1; }
done
cmp -s "$out/bios.wph" "$out/newSys.bin" || { echo "newSys.bin is not a copy of bios.wph"; fail=1; }
[ $fail = 0 ] || { echo "== simhw"; cat "$out/simhw.txt"; }
exit $fail
