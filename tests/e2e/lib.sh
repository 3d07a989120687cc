# Shared by the e2e scripts: sourced, not run.
# Each script gets the native build directory as its one argument.
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
win="$build/win"
template="$build/wine-template"
qpack="$build/qpack"
out=$(mktemp -d "${TMPDIR:-/tmp}/qv-e2e.XXXXXX")
# Whatever a script checks, a run on the notebook must never have written a byte over one the
# keyboard controller had not taken yet, nor done what the notebook calls a fault (an EC command
# outside its bracket, a mailbox or SMI service not waited for, global SMIs left off), except the
# lines a script names in expected_faults.
expected_faults=""
finish() {
  local status=$?
  if [ -f "$out/trace.txt" ] && grep '^lost ' "$out/trace.txt"; then
    echo "the keyboard controller lost the bytes above"
    status=1
  fi
  if [ -f "$out/trace.txt" ] &&
      tr -d '\r' <"$out/trace.txt" | grep '^fault ' | grep -v -x -F -e "${expected_faults:-none}"; then
    echo "the notebook saw the faults above"
    status=1
  fi
  if [ -n "${QV_KEEP_OUT:-}" ]; then echo "kept: $out"; else rm -rf "$out"; fi
  exit $status
}
trap finish EXIT
fail=0
user=$(id -un)

# What a script puts into the fresh prefix before the run; WINEPREFIX is set when it runs.
prepare_prefix() { :; }

# Runs the package in a fresh prefix as Windows XP; prints qvdrive's report. Leaves the
# listing of TEMP after the run in $out/temp-after.txt.
run_package() {
  export -f prepare_prefix
  export QV_PACKAGE=$1 QV_HERE=$here QV_WIN=$win QV_OUT=$out QV_USER=$user
  "$here/../wine/with-wine" --template "$template" --winver winxp -- bash -c '
    prepare_prefix
    "$QV_HERE/drive-updater" --win "$QV_WIN" --exe "$QV_PACKAGE" --out "$QV_OUT"
    ls "$WINEPREFIX/drive_c/users/$QV_USER/Temp" >"$QV_OUT/temp-after.txt"'
  cat "$out/drive.txt"
}

expect_line() {
  grep -qxF -- "$1" "$out/drive.txt" || { echo "missing: $1"; fail=1; }
}

# Succeeds when the lines of $1 stand in $2 in the same order, other lines between them allowed;
# otherwise prints the first expected line not found after its predecessors.
lines_in_order() {
  awk 'BEGIN { n = 0; i = 0 }
       NR == FNR { want[n++] = $0; next }
       i < n && $0 == want[i] { i++ }
       END { if (i < n) { print "first missing: " want[i]; exit 1 } }' \
    <(printf '%s\n' "$1") <(printf '%s\n' "$2")
}

# A working place's listing without what stays there by design: the log, the access driver's
# file while the driver is loaded, and the language DLL the run keeps mapped to its end.
place_files() { grep -v -x -e DebugLog.txt -e AddMem.sys -e 'UiLang[A-Za-z]*\(_ami\)\{0,1\}\.dll' "$1"; }
