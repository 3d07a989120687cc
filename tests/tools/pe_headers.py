#!/usr/bin/python3
# The file a loader reads is one loaders accept, as an independent parser reads it: the updater as
# built (its DOS part placed in front of the PE headers) and a package qpack made of it, DOS part
# and all. No parser warnings; headers and sections where their alignment puts them; the header
# area holding the DOS part and the PE headers; the PE checksum right after the archive was
# appended (Windows checks it for drivers only, but a signing step rewrites it from what it reads);
# the marker text by which tools know the DOS unpacker's program, once, in its read-only data.
#
#   pe_headers.py BUILD
import os
import subprocess
import sys
import tempfile

import pefile

failures = []


def check(path, checksum):
    pe = pefile.PE(path)
    name = path.rsplit("/", 1)[-1]
    for warning in pe.get_warnings():
        failures.append(f"{name}: {warning}")
    opt = pe.OPTIONAL_HEADER
    if pe.FILE_HEADER.Machine != 0x14C or opt.Magic != 0x10B:
        failures.append(f"{name}: not a 32-bit x86 PE32 program")
    if opt.SizeOfHeaders % opt.FileAlignment:
        failures.append(f"{name}: SizeOfHeaders {opt.SizeOfHeaders:#x} not a multiple of {opt.FileAlignment:#x}")
    table_end = pe.DOS_HEADER.e_lfanew + 4 + 20 + pe.FILE_HEADER.SizeOfOptionalHeader + 40 * pe.FILE_HEADER.NumberOfSections
    if table_end > opt.SizeOfHeaders:
        failures.append(f"{name}: the section table ends at {table_end:#x}, past SizeOfHeaders")
    if pe.DOS_HEADER.e_lfanew < 0x40:
        failures.append(f"{name}: the PE headers overlap the DOS header")
    for section in pe.sections:
        title = section.Name.rstrip(b"\0").decode()
        if section.PointerToRawData % opt.FileAlignment or section.VirtualAddress % opt.SectionAlignment:
            failures.append(f"{name}: section {title} not aligned")
        if section.SizeOfRawData and section.PointerToRawData < opt.SizeOfHeaders:
            failures.append(f"{name}: section {title} inside the header area")
    if checksum and opt.CheckSum != pe.generate_checksum():
        failures.append(f"{name}: PE checksum {opt.CheckSum:#x}, the file's is {pe.generate_checksum():#x}")
    marker = b"UnPaCkErSiG@Version 2.03\0"
    data = pe.__data__
    at = data.find(marker)
    holder = pe.get_section_by_offset(at) if at >= 0 else None
    if at < 0 or data.find(marker, at + 1) >= 0 or holder is None or holder.Name.rstrip(b"\0") != b".rdata":
        failures.append(f"{name}: the marker text is not once in the read-only data")


build = sys.argv[1]
updater = os.path.join(build, "win", "QuorvinUpdate.exe")
here = os.path.dirname(os.path.abspath(__file__))
with tempfile.TemporaryDirectory() as work:
    entries = subprocess.run([os.path.join(here, "..", "e2e", "package-entries"), os.path.join(work, "entries"),
                              os.path.join(build, "win")], check=True, capture_output=True, text=True).stdout.split()
    batch = os.path.join(work, "RUN.BAT")
    with open(batch, "w") as out:
        out.write("@echo off\r\n")
    package = os.path.join(work, "QuorvinUpdate.exe")
    subprocess.run([os.path.join(build, "qpack"), "build", "-o", package, "--stub", updater, *entries, "--dos", batch],
                   check=True, capture_output=True)
    check(updater, checksum=True)
    check(package, checksum=True)
for failure in failures:
    print(failure)
print("PE headers: as loaders read them" if not failures else f"{len(failures)} faults")
sys.exit(1 if failures else 0)
