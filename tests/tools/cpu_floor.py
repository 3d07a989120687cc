#!/usr/bin/python3
# The CPU the shipped updater needs, read from its code: every instruction of its code sections
# (objdump's disassembly) sorted into the instruction set that brought it, and the newest set
# named. The README and docs/windows.md say "a CPU with CMOV" (Pentium Pro, Pentium II and later,
# Athlon and later); a build that needs more (MMX, SSE, SSE2 ...) or less fails here, so that
# the stated floor changes with the code. A function that uses the SHA extensions runs only where
# cpuid and xgetbv said that the processor and the system have them (the digest picks its block
# function once, core/sha256.cpp): such a function, from the return before it to its own, is
# counted apart and named, and everything else is held to the floor.
#
#   cpu_floor.py BUILD [PROGRAM]    PROGRAM: the updater to read (the built one by default)
import collections
import os
import re
import subprocess
import sys

STATED = "i686 (CMOV)"

# Oldest first. MMX and SSE stand after CMOV: the Pentium MMX has MMX without CMOV, the Pentium
# Pro CMOV without MMX, and a program that needs both needs a Pentium II.
ORDER = ["i486", "Pentium", "i686 (CMOV)", "MMX", "SSE", "SSE2", "SSE3 or later"]
PLAIN = [
    ("i486", re.compile(r"^(bswap|cmpxchg[bwl]?|xadd[bwl]?|invd|wbinvd|invlpg)$")),
    ("Pentium", re.compile(r"^(cmpxchg8b|rdtsc|rdmsr|wrmsr|cpuid|rsm)$")),
    ("i686 (CMOV)", re.compile(r"^(cmov\w+|fcmov\w+|fu?comip?|rdpmc|ud2|sysenter|sysexit)$")),
    ("MMX", re.compile(r"^emms$")),
    ("SSE", re.compile(r"^(ldmxcsr|stmxcsr|sfence|prefetch\w*)$")),
    ("SSE2", re.compile(r"^(lfence|mfence|clflush|movnti)$")),
    ("SSE3 or later", re.compile(r"^(fisttp\w*|monitor|mwait|popcnt\w*|crc32\w*|v\w+)$")),
]
SSE_ON_MMX = re.compile(r"^(pshufw|pavg[bw]|pminub|pmaxub|pminsw|pmaxsw|psadbw|pextrw|pinsrw|pmovmskb|pmulhuw|movntq|maskmovq)$")
LATER_ON_XMM = re.compile(r"^(lddqu|movddup|movs[hl]dup|hadd\w+|hsub\w+|addsub\w+|pshufb|palignr|pmaddubsw|psign\w|pabs\w|ptest|pblend\w*|round\w+|dpp[sd]|pmin[su][dw]|pmax[su][dw]|pextr[bdq]|pinsr[bdq])$")
DISPATCHED = re.compile(r"^sha256(rnds2|msg1|msg2)$")
MMX_OPERAND = re.compile(r"%mm\d")
XMM_OPERAND = re.compile(r"%[xy]mm\d")


def classify(mnemonic, operands):
    """The instruction set an instruction needs, or None for the i386's own."""
    if XMM_OPERAND.search(operands):
        if LATER_ON_XMM.match(mnemonic):
            return "SSE3 or later"
        # Double precision and the integer instructions on XMM registers came with SSE2.
        if re.search(r"(pd|sd)$", mnemonic) or re.match(r"^(p|movdq|movq|cvt\w*(dq|pd|sd|2sd|2pd))", mnemonic):
            return "SSE2"
        return "SSE"
    if MMX_OPERAND.search(operands):
        return "SSE" if SSE_ON_MMX.match(mnemonic) else "MMX"
    for name, pattern in PLAIN:
        if pattern.match(mnemonic):
            return name
    return None


def main():
    build = sys.argv[1]
    program = sys.argv[2] if len(sys.argv) > 2 else os.path.join(build, "win", "QuorvinUpdate.exe")
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", program],
                             check=True, capture_output=True, text=True).stdout
    order = ORDER
    counts = collections.Counter()
    examples = {}
    instructions = []
    for line in listing.splitlines():
        fields = line.split("\t")
        if len(fields) < 2 or not re.match(r"^\s*[0-9a-f]+:$", fields[0]):
            continue
        parts = fields[1].split(None, 1)
        if not parts or parts[0] == "(bad)":
            continue
        if parts[0] in ("lock", "rep", "repz", "repnz", "data16") and len(parts) > 1:
            parts = parts[1].split(None, 1)
        instructions.append((parts[0], parts[1] if len(parts) > 1 else ""))
    total = len(instructions)
    # The functions behind the processor's answer: from the return before a SHA instruction to
    # the function's own return.
    apart = set()
    for at, (mnemonic, _) in enumerate(instructions):
        if not DISPATCHED.match(mnemonic) or at in apart:
            continue
        start = at
        while start > 0 and not instructions[start - 1][0].startswith("ret"):
            start -= 1
        end = at
        while end < total - 1 and not instructions[end][0].startswith("ret"):
            end += 1
        apart.update(range(start, end + 1))
    for at, (mnemonic, operands) in enumerate(instructions):
        if at in apart:
            continue
        needed = classify(mnemonic, operands)
        if needed:
            counts[needed] += 1
            examples.setdefault(needed, set()).add(mnemonic)
    if total < 1000:
        print(f"{os.path.basename(program)}: only {total} instructions read")
        return 1
    newest = max(counts, key=order.index) if counts else "i386"
    for name in order:
        if counts[name]:
            print(f"{name}: {counts[name]} ({', '.join(sorted(examples[name])[:8])})")
    if apart:
        print(f"behind cpuid: {len(apart)} instructions of functions that use the SHA extensions")
    print(f"{os.path.basename(program)}: {total} instructions; the newest instruction set it uses: {newest}")
    if newest != STATED:
        print(f"the stated floor is {STATED}: say what the program needs now in the README and docs/windows.md")
        return 1
    return 0


sys.exit(main())
