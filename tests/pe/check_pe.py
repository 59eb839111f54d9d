#!/usr/bin/python3
"""Checks that launcher.exe will load on Windows 98, Me, NT 4.0, 2000 and XP.

Those systems cannot be run here, so the executable is checked statically:
every imported function must appear, for its DLL, in the reference list of
functions that both Windows 98 SE and NT 4.0 SP6a export and implement, and
the PE header fields must be ones those loaders accept. The functions bound
at run time (platform/win32/BoundFunctions.h) must not be imported, and each
is looked up in the reference list where the releases the table expects it
on are ones the list speaks for.
"""
import argparse
import pathlib
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


# The releases the table's "since" columns name, oldest first in each family.
# A row expects its function on its release and every later one of that
# family ("None": on none).
FAMILIES = {
    "since 9x": ["Win95", "Win98", "WinMe"],
    "since NT": ["NT40", "Win2000", "WinXP", "WinXPSP1", "WinXPSP2", "Vista", "Win7", "Win8", "Win10", "Win11"],
}
RELEASE_NAMES = {"Win95": "95", "Win98": "98", "WinMe": "Me", "NT40": "NT 4.0", "Win2000": "2000",
                 "WinXP": "XP", "WinXPSP1": "XP SP1", "WinXPSP2": "XP SP2", "Vista": "Vista", "Win7": "7",
                 "Win8": "8", "Win10": "10", "Win11": "11"}
# How a release is named in what the check says of it.
UNCHECKED_NAMES = dict(RELEASE_NAMES, Win11="11 and later")
REPORT_NAMES = dict(UNCHECKED_NAMES, Win98="98 SE", NT40="NT 4.0 SP6a")
# What the reference list can vouch for: it holds the names both 98 SE and
# NT 4.0 SP6a export and implement, which Me, 2000 and XP export too. So a
# name in it is on all five, but only a row that expects its function on
# both 98 and NT 4.0 can be held to it; a name missing from it says nothing
# about one family alone. No list covers 95, 98 before SE, NT 4.0 before
# SP6a, anything after XP, or the releases of one family alone.
LIST_RELEASES = ["Win98", "WinMe", "NT40", "Win2000", "WinXP"]
LIST_NEEDS = {"Win98", "NT40"}
LIST_COVERAGE = ("the list holds what 98 SE and NT 4.0 SP6a both implement (Me, 2000 and XP "
                 "export it too); no list covers 95, 98 before SE, NT 4.0 before SP6a, anything after XP, "
                 "or one family alone")

ROW_FIELDS = ("library", "name", "since 9x", "since NT", "declared")
ROW_PATTERN = re.compile(r"ROW\(\s*" + r"\s*,\s*".join([r"(\w+)"] * len(ROW_FIELDS)) + r"\s*,\s*[^\s)]")


def read_bound(path):
    """The rows of the LAUNCHER_BOUND_FUNCTIONS table: (rows, problems); each
    row a dict of ROW_FIELDS plus "line"."""
    try:
        lines = pathlib.Path(path).read_text(encoding="utf-8").splitlines()
    except (OSError, UnicodeDecodeError) as error:
        return [], [f"{path}: cannot read the table of bound functions: {error}"]
    start = next((i for i, line in enumerate(lines)
                  if line.startswith("#define LAUNCHER_BOUND_FUNCTIONS(ROW)")), None)
    if start is None:
        return [], [f"{path}: no #define LAUNCHER_BOUND_FUNCTIONS(ROW) table"]
    # The macro's text up to the first line without a continuation, comments
    # blanked (newlines kept, for line numbers).
    end = start
    while end + 1 < len(lines) and lines[end].rstrip().endswith("\\"):
        end += 1
    body = re.sub(r"/\*.*?\*/", lambda m: re.sub(r"[^\n]", " ", m.group()), "\n".join(lines[start:end + 1]),
                  flags=re.S)
    rows, problems = [], []
    for found in re.finditer(r"\bROW\(", body):
        line = start + 1 + body.count("\n", 0, found.start())
        match = ROW_PATTERN.match(body, found.start())
        if match is None:
            problems.append(f"{path}:{line}: expected ROW(library, name, since 9x, since NT, declared, type)")
            continue
        fields = match.groups()
        row = dict(zip(ROW_FIELDS, fields), line=line)
        faults = len(problems)
        for column, releases in FAMILIES.items():
            if row[column] not in ["None"] + releases:
                problems.append(f"{path}:{line}: {row['name']}: {column} is {row[column]}, expected one of "
                                f"{', '.join(['None'] + releases)}")
        if row["declared"] not in ("Declared", "Undeclared"):
            problems.append(f"{path}:{line}: {row['name']}: declared is {row['declared']}, "
                            "expected Declared or Undeclared")
        if any(r["name"] == row["name"] for r in rows):
            problems.append(f"{path}:{line}: {row['name']}: a second row")
        if len(problems) == faults:
            rows.append(row)
    return rows, problems


def expected_releases(row):
    """The releases the row expects its function on, family by family."""
    expected = []
    for column, releases in FAMILIES.items():
        if row[column] in releases:
            expected += releases[releases.index(row[column]):]
    return expected


def describe(releases, names):
    return ", ".join(names[r] for r in releases)


def check_bound(pe, rows, reference):
    """(problems, one line a row saying what was checked)."""
    problems, report = [], []
    imported = {}
    for dll in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        for symbol in dll.imports:
            if symbol.name is not None:
                imported[symbol.name.decode()] = dll.dll.decode().upper()
    for row in rows:
        dll_name = row["library"].upper() + ".DLL"
        function = f"{dll_name}!{row['name']}"
        if row["name"] in imported:
            problems.append(f"{imported[row['name']]}!{row['name']}: imported, yet BoundFunctions.h binds it at "
                            "run time: the import would stop the launcher loading where it is missing")
        expected = expected_releases(row)
        since = " and ".join(RELEASE_NAMES[row[c]] for c in FAMILIES if row[c] != "None") or "no release"
        if LIST_NEEDS <= set(expected):
            checked = [r for r in expected if r in LIST_RELEASES]
            if row["name"] not in reference.get(dll_name, set()):
                problems.append(f"{function}: BoundFunctions.h expects it from {since} on, but the "
                                "Windows 98 SE / NT 4.0 list does not hold it")
        else:
            checked = []
        unchecked = [r for r in expected if r not in checked]
        line = f"  {function} (from {since}):"
        if checked:
            line += f" in the list, for {describe(checked, REPORT_NAMES)};"
        if unchecked:
            line += f" not checked for {describe(unchecked, UNCHECKED_NAMES)} (no list)"
        report.append(line.rstrip(";"))
    return problems, report


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
    parser.add_argument("--bound", default=pathlib.Path(__file__).resolve().parents[2] / "platform" / "win32"
                        / "BoundFunctions.h", help="the table of functions bound at run time")
    parser.add_argument("exe")
    args = parser.parse_args()

    pe = pefile.PE(args.exe)
    reference = read_reference(args.exports)
    if args.list:
        for dll in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
            for symbol in dll.imports:
                print(f"{dll.dll.decode()}!{symbol.name.decode() if symbol.name else symbol.ordinal}")
    rows, problems = read_bound(args.bound)
    bound_problems, bound_report = check_bound(pe, rows, reference)
    problems += check_headers(pe) + check_imports(pe, reference) + bound_problems
    if args.objdump:
        problems += check_instructions(args.objdump, args.exe)
    for problem in problems:
        print("FAIL:", problem)
    count = sum(len(d.imports) for d in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))
    if problems:
        return 1
    print(f"bound at run time, none imported: {len(rows)} functions ({LIST_COVERAGE}):")
    print("\n".join(bound_report))
    checked = "; no instruction beyond the i486" if args.objdump else ""
    print(f"ok: {args.exe}: {count} imports, all in the reference list; headers as expected{checked}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
