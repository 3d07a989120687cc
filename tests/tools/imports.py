#!/usr/bin/python3
# What ships runs on a bare Windows. The updater imports exactly the functions of
# platform/windows_imports.tsv, each there since Windows 98 and 2000 at the latest or exported by
# 98 and Me as a stub whose failure the caller expects: a loader refuses a whole program for one
# import its system DLLs lack, and Wine resolves every import whatever version it plays, so no run
# under Wine could show it. The programs the Windows 98 tests run as they would run there (the
# updater's 98 test build, the stand-in flashers) import only functions of the table too. The
# updater imports only DLLs the loader takes from the system directory whatever lies beside the
# program (known DLLs on every NT); qpack imports only system DLLs (no MinGW runtime, no
# zlib1.dll); the language DLLs import nothing. Imports are read by an independent parser
# (Debian's python3-pefile).
#
#   imports.py BUILD [PROGRAM]    PROGRAM: the updater to check (the built one by default)
import glob
import os
import re
import sys

import pefile

build = sys.argv[1]
win = os.path.join(build, "win")
updater = sys.argv[2] if len(sys.argv) > 2 else os.path.join(win, "QuorvinUpdate.exe")
table_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../platform/windows_imports.tsv")
flashers = ["SWinFlash_32", "SWinFlash_64", "TarpexV01_10", "AFUWIN", "afuwinx64"]
claimed = [updater, os.path.join(win, "QuorvinUpdate98.exe")] + [os.path.join(win, f + ".exe") for f in flashers]

KNOWN = re.compile(r"^(KERNEL32|USER32|GDI32|msvcrt)\.dll$", re.I)
SYSTEM = re.compile(r"^(KERNEL32|USER32|GDI32|ADVAPI32|SETUPAPI|ole32|OLEAUT32|msvcrt)\.dll$", re.I)
FIRST_9X = {"95", "95 OSR2", "98", "stub"}
FIRST_NT = {"3.1", "3.5", "3.51", "4.0", "2000"}

failures = []


def imports(path):
    """(dll, function) of every import, as the loader reads the import directory."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    found = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode()
        for symbol in entry.imports:
            if symbol.name is None:
                failures.append(f"{os.path.basename(path)} imports {dll} ordinal {symbol.ordinal}")
            else:
                found.append((dll, symbol.name.decode()))
    return found


table = {}
sources = set()
with open(table_path) as rows:
    for line in rows:
        line = line.rstrip("\n")
        if line.startswith("#"):
            source = re.match(r"#   (\w+) ", line)
            if source:
                sources.add(source.group(1))
            continue
        if not line:
            continue
        dll, function, first_9x, first_nt, source = line.split("\t")
        key = (dll.lower(), function)
        if key in table:
            failures.append(f"twice in the table: {dll} {function}")
        table[key] = (first_9x, first_nt, source)
        if first_9x not in FIRST_9X:
            failures.append(f"{dll} {function}: not before Windows {first_9x}")
        if first_nt not in FIRST_NT:
            failures.append(f"{dll} {function}: not before Windows NT {first_nt}")
        if source not in sources:
            failures.append(f"{dll} {function}: source {source} is not described")
        if first_9x == "stub" and source != "wide":
            failures.append(f"{dll} {function}: a 9x stub without a source that says what follows")

for program, allowed in [(updater, KNOWN), (os.path.join(win, "qpack.exe"), SYSTEM)]:
    found = imports(program)
    if not found:
        failures.append(f"{os.path.basename(program)}: no imports read")
    for dll in sorted({dll for dll, _ in found}):
        if not allowed.match(dll):
            failures.append(f"{os.path.basename(program)} imports {dll}")

# Both ways: an import the table lacks; a row that nothing of these imports.
used = set()
for program in claimed:
    found = imports(program)
    if not found:
        failures.append(f"{os.path.basename(program)}: no imports read")
    for dll, function in found:
        used.add((dll.lower(), function))
        if (dll.lower(), function) not in table:
            failures.append(f"{os.path.basename(program)} imports {dll} {function}, which the table lacks")
for dll, function in sorted(set(table) - used):
    failures.append(f"in the table but not imported: {dll} {function}")

for dll in sorted(glob.glob(os.path.join(win, "UiLang*.dll"))):
    if imports(dll):
        failures.append(f"{os.path.basename(dll)} imports code")

for failure in sorted(set(failures)):
    print(failure)
if failures:
    sys.exit(1)
print(f"imports: only system DLLs; {len(used)} functions of {len(claimed)} programs, each in the table")
