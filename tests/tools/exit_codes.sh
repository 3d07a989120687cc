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
begin='<!-- exit-codes:begin -->' end='<!-- exit-codes:end -->'
if [ "${2:-}" = --write ]; then
  awk -v table="$out/table.md" -v begin="$begin" -v end="$end" '
    $0 == begin { print; while ((getline line < table) > 0) print line; skip = 1; next }
    $0 == end { skip = 0 }
    !skip' "$doc" >"$out/deployment.md" && cat "$out/deployment.md" >"$doc"
  exit 0
fi
awk -v begin="$begin" -v end="$end" '$0 == end { inside = 0 } inside; $0 == begin { inside = 1 }' "$doc" >"$out/doc.md"
diff -u "$out/doc.md" "$out/table.md" ||
  { echo "docs/deployment.md's exit-code table differs; exit_codes.sh BUILD --write rewrites it"; exit 1; }
