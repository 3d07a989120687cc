# Shared by the e2e scripts: sourced, not run.
# Each script gets the native build directory as its one argument.
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
win="$build/win"
template="$build/wine-template"
qpack="$build/qpack"
out=$(mktemp -d "${TMPDIR:-/tmp}/qv-e2e.XXXXXX")
trap 'rm -rf "$out"' EXIT
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
