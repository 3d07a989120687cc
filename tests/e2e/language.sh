#!/usr/bin/env bash
# A package with the 18 real language DLLs under a system language: its boxes speak that
# language (read back through qvdrive) and its progress window is kept as a screenshot.
#
#   language.sh BUILD LANGUAGE     LANGUAGE: en ko zh-cn zh-tw de fr pt ru es
set -uo pipefail
source "$(dirname "$0")/lib.sh"
case "$2" in
  en) locale=en_US.UTF-8 code=En ;;
  ko) locale=ko_KR.UTF-8 code=Kr ;;
  zh-cn) locale=zh_CN.UTF-8 code=Chs ;;
  zh-tw) locale=zh_TW.UTF-8 code=Cht ;;
  de) locale=de_DE.UTF-8 code=Gr ;;
  fr) locale=fr_FR.UTF-8 code=Fr ;;
  pt) locale=pt_BR.UTF-8 code=Po ;;
  ru) locale=ru_RU.UTF-8 code=Ru ;;
  es) locale=es_ES.UTF-8 code=Sp ;;
  *) echo "language.sh: unknown language $2" >&2; exit 2 ;;
esac
artifacts="$build/e2e-artifacts"
mkdir -p "$artifacts"

# A text of the language DLL as qvdrive reports it: "%%" printed as "%", quotes escaped.
text() {
  sed -n "s/^    $1, \"\\(.*\\)\"\$/\\1/p" "$here/../../ui/lang/$code/strings.rc" | sed 's/%%/%/g; s/""/\\"/g'
}

# The image for the notebook's model and part: its BIOS flasher refuses any other.
entries=$("$here/package-entries" "$out/entries" "$win") &&
  "$build/make_bios_image" "$out/entries/QN14XB05.wph" QN14 P07 05TX &&
  "$qpack" build -o "$out/QuorvinUpdate.exe" --stub "$win/QuorvinUpdate.exe" \
    --flags MARK_LAST_AREA,SKIP_CHECK_POWER $entries || exit 1

env LANG=$locale LC_ALL=$locale "$here/../wine/with-wine" --template "$template" --winver winxp -- \
  "$here/run-on-notebook" --win "$win" --package "$out/QuorvinUpdate.exe" \
  --profile "$here/../../sim/profiles/phoenix.json" --out "$out" \
  --shot "$artifacts/progress-$2.png" --shot-at 2
cat "$out/drive.txt"

# Wine names the buttons in the system language: whatever they read, the confirmation has two.
buttons=$(grep -o 'buttons=[^ ]*' "$out/drive.txt" | head -n1 | cut -d= -f2)
[[ "$buttons" =~ ^[^,]+,[^,]+$ ]] || { echo "the confirmation's buttons: $buttons"; fail=1; }
expect_line "BOX title=\"$(text 38)\" text=\"$(text 16)\" buttons=$buttons owned=0"
# The whole update runs (the notebook's EC arms power-on itself): its completion notice comes from
# the same language DLL, owned by the progress window.
grep -qF "BOX title=\"$(text 39)\" text=\"$(text 20)\" buttons=" "$out/drive.txt" ||
  { echo "no completion notice in $code: $(text 39)"; fail=1; }
grep -q 'owned=1$' <(grep '^BOX' "$out/drive.txt" | tail -n1) || { echo "the last box has no owner"; fail=1; }
expect_line 'EXIT 0x00000000'
[ -s "$artifacts/progress-$2.png" ] || { echo "no screenshot"; fail=1; }
exit $fail
