#!/usr/bin/env bash
# docs/deployment.md holds the exit-code table that exit_codes prints from the program's own
# result table and string table: a code the program gains, or a row's words changed, without the
# document fails here.
#
#   exit_codes.sh BUILD [--write]
#
# --write puts the table into docs/deployment.md instead of comparing it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
doc="$root/docs/deployment.md"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$1/exit_codes" "$root/ui/strings.rc" >"$out/table.md" || exit 1
marked="$root/tests/tools/marked-table"
if [ "${2:-}" = --write ]; then
  "$marked" write "$doc" exit-codes "$out/table.md"
  exit 0
fi
"$marked" read "$doc" exit-codes >"$out/doc.md"
diff -u "$out/doc.md" "$out/table.md" ||
  { echo "docs/deployment.md's exit-code table differs; exit_codes.sh BUILD --write rewrites it"; exit 1; }
