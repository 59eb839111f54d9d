#!/usr/bin/python3
"""Checks that launcher.exe will load on Windows 98, Me, NT 4.0, 2000 and XP.

Those systems cannot be run here, so the executable is checked statically:
every imported function must appear, for its DLL, in the reference list of
functions that both Windows 98 SE and NT 4.0 SP6a export and implement, and
the PE header fields must be ones those loaders accept.
"""
import argparse
import re
import subprocess
import sys

import pefile

# Every Windows maps these from the system folder before the program runs;
# anything else (the shell) is loaded by full path when it is needed, so a
# DLL planted beside the launcher is never picked up through an import.
ALLOWED_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL"}

# Nothing would run what these sections hold: there is no C runtime to call
# constructors (.ctors, .CRT) or to set up thread-local storage (.tls).
FORBIDDEN_SECTIONS = {".ctors", ".CRT", ".tls"}

# Instructions the i486 lacks, with the processor that brought them: the
# launcher must run (or refuse to) on a 486, Pentium, Pentium MMX or K6.
FORBIDDEN_INSTRUCTIONS = [
    (re.compile(r"^cmov"), "CMOV (Pentium Pro)"),
    (re.compile(r"^fcmov"), "FCMOV (Pentium Pro)"),
    (re.compile(r"^fu?comip?\b"), "FCOMI/FUCOMI (Pentium Pro)"),
    (re.compile(r"^(rdtsc|rdmsr|wrmsr|rdpmc|cmpxchg8b)\b"), "Pentium and later"),
    (re.compile(r"^f?emms\b|%mm[0-7]"), "MMX"),
    (re.compile(r"%[xy]mm\d|^(sfence|lfence|mfence|ldmxcsr|stmxcsr|movnti|clflush|prefetch)"), "SSE"),
]

# (description, how to read it, expected value)
HEADER_EXPECTATIONS = [
    ("machine is i386", lambda pe: pe.FILE_HEADER.Machine, 0x14C),
    ("32-bit optional header", lambda pe: pe.OPTIONAL_HEADER.Magic, 0x10B),
    ("GUI subsystem", lambda pe: pe.OPTIONAL_HEADER.Subsystem, 2),
    ("subsystem version 4.0",
     lambda pe: (pe.OPTIONAL_HEADER.MajorSubsystemVersion, pe.OPTIONAL_HEADER.MinorSubsystemVersion),
     (4, 0)),
    ("operating system version 4.0",
     lambda pe: (pe.OPTIONAL_HEADER.MajorOperatingSystemVersion,
                 pe.OPTIONAL_HEADER.MinorOperatingSystemVersion), (4, 0)),
    # Windows 9x maps executables at their preferred base; below 4 MB is
    # reserved there.
    ("image base 0x400000", lambda pe: pe.OPTIONAL_HEADER.ImageBase, 0x400000),
    ("section alignment 4096", lambda pe: pe.OPTIONAL_HEADER.SectionAlignment, 0x1000),
    ("file alignment 512", lambda pe: pe.OPTIONAL_HEADER.FileAlignment, 0x200),
    ("no link timestamp (reproducible)", lambda pe: pe.FILE_HEADER.TimeDateStamp, 0),
    ("no symbol table (stripped)", lambda pe: pe.FILE_HEADER.PointerToSymbolTable, 0),
    # A launcher on a CD or a network share is copied to the swap file at
    # load (NT 4.0 and later), so an ejected disc cannot fault a repaint.
    ("run from swap on removable media and networks (0x0400 | 0x0800)",
     lambda pe: pe.FILE_HEADER.Characteristics & 0x0C00, 0x0C00),
    ("image version 1.0",
     lambda pe: (pe.OPTIONAL_HEADER.MajorImageVersion, pe.OPTIONAL_HEADER.MinorImageVersion), (1, 0)),
]

# Directories the old loaders do not know or that would mean a runtime we do
# not want: TLS callbacks, delay loading, bound imports, .NET, debug data.
FORBIDDEN_DIRECTORIES = [
    "IMAGE_DIRECTORY_ENTRY_TLS",
    "IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT",
    "IMAGE_DIRECTORY_ENTRY_BOUND_IMPORT",
    "IMAGE_DIRECTORY_ENTRY_COM_DESCRIPTOR",
    "IMAGE_DIRECTORY_ENTRY_DEBUG",
    "IMAGE_DIRECTORY_ENTRY_EXPORT",
]


def read_reference(path):
    """The reference list: {DLL name in capitals: set of function names}."""
    sections = {}
    current = None
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1].upper(), set())
            elif current is not None:
                current.add(line)
    return sections


def check_headers(pe):
    problems = []
    for what, read, expected in HEADER_EXPECTATIONS:
        got = read(pe)
        if got != expected:
            problems.append(f"{what}: expected {expected!r}, got {got!r}")
    for name in FORBIDDEN_DIRECTORIES:
        index = pefile.DIRECTORY_ENTRY[name]
        entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[index]
        if entry.VirtualAddress or entry.Size:
            problems.append(f"{name}: expected empty, got {entry.Size} bytes")
    alignment = pe.OPTIONAL_HEADER.SectionAlignment
    if pe.OPTIONAL_HEADER.SizeOfImage % alignment:
        problems.append(f"SizeOfImage {pe.OPTIONAL_HEADER.SizeOfImage:#x} not a multiple of {alignment:#x}")
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode(errors="replace")
        if name.split("$")[0] in FORBIDDEN_SECTIONS:
            problems.append(f"section {name}: expected none, since no runtime would run it")
        if section.VirtualAddress % alignment:
            problems.append(f"section {name}: address {section.VirtualAddress:#x} not aligned")
        if section.PointerToRawData % pe.OPTIONAL_HEADER.FileAlignment:
            problems.append(f"section {name}: file offset {section.PointerToRawData:#x} not aligned")
    return problems


def check_imports(pe, reference):
    problems = []
    imports = getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
    if not imports:
        problems.append("no import table")
    for dll in imports:
        dll_name = dll.dll.decode().upper()
        if dll_name not in ALLOWED_DLLS:
            problems.append(f"{dll_name}: expected only {sorted(ALLOWED_DLLS)}")
            continue
        known = reference.get(dll_name, set())
        for symbol in dll.imports:
            if symbol.name is None:
                problems.append(f"{dll_name}: import by ordinal {symbol.ordinal}, expected by name")
            elif symbol.name.decode() not in known:
                problems.append(f"{dll_name}!{symbol.name.decode()}: not in the Windows 98 SE / NT 4.0 list")
    return problems


def check_instructions(objdump, exe):
    """Disassembles the code and lists what an i486 could not run."""
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", exe], check=True,
                             capture_output=True, text=True).stdout
    problems = []
    for line in listing.splitlines():
        address, _, instruction = line.partition(":\t")
        instruction = instruction.strip()
        for pattern, what in FORBIDDEN_INSTRUCTIONS:
            if pattern.search(instruction):
                problems.append(f"{address.strip()}: {instruction}: {what}")
                break
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exports", required=True, help="reference list of safe exports")
    parser.add_argument("--list", action="store_true", help="print the imports")
    parser.add_argument("--objdump", help="objdump for the i686 code, to check its instructions")
    parser.add_argument("exe")
    args = parser.parse_args()

    pe = pefile.PE(args.exe)
    reference = read_reference(args.exports)
    if args.list:
        for dll in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
            for symbol in dll.imports:
                print(f"{dll.dll.decode()}!{symbol.name.decode() if symbol.name else symbol.ordinal}")
    problems = check_headers(pe) + check_imports(pe, reference)
    if args.objdump:
        problems += check_instructions(args.objdump, args.exe)
    for problem in problems:
        print("FAIL:", problem)
    count = sum(len(d.imports) for d in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))
    if problems:
        return 1
    checked = "; no instruction beyond the i486" if args.objdump else ""
    print(f"ok: {args.exe}: {count} imports, all in the reference list; headers as expected{checked}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
