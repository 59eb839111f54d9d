#!/usr/bin/python3
"""Reads launcher.exe's resources back with pefile, an independent reader,
and compares them with the artwork files and the expected records.

The bitmap must be disc.bmp without its 14-byte file header; each icon image
must be the image stored in its .ico file, and each icon group must point at
it with the .ico file's own directory entry; the string block, the version
record and their languages must be exactly as designed, and nothing else may
be there. The expected captions are read from the language's string table
(resources/strings/<language>.rc), the file the build compiled.
"""
import argparse
import os
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

RT_ICON, RT_BITMAP, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 2, 6, 14, 16, 24
NEUTRAL, NEUTRAL_SYS_DEFAULT, CHINESE_TRADITIONAL = 0x0000, 0x0800, 0x0404

# type -> {id: language}: everything the executable may carry.
EXPECTED_DIRECTORY = {
    RT_BITMAP: {1: NEUTRAL},
    RT_ICON: {30001: NEUTRAL, 30002: NEUTRAL},
    RT_GROUP_ICON: {1: NEUTRAL, 2: NEUTRAL},
    RT_STRING: {1: NEUTRAL_SYS_DEFAULT},
    RT_VERSION: {1: CHINESE_TRADITIONAL},
    RT_MANIFEST: {1: NEUTRAL},
}
CAPTION_IDS = [10, 11, 12]
VERSION_STRINGS = {"Comments": "2001-9-4", "FileVersion": "1.00", "ProductVersion": "1.00"}
OUR_VERSION_STRINGS = ["CompanyName", "LegalCopyright", "ProductName", "InternalName",
                       "OriginalFilename"]
# Vista and later take a program whose version record says any of these for
# an installer and ask for elevation before it starts.
INSTALLER_WORDS = re.compile(r"setup|install|update|patch", re.IGNORECASE)
ASM_V1, ASM_V2 = "urn:schemas-microsoft-com:asm.v1", "urn:schemas-microsoft-com:asm.v2"

problems = []


def read_string_table(path):
    """{id: text} from a language's string table: UTF-8, one entry a line
    (a name from resource.h or a number, then the quoted text), nothing but
    the captions. Raises ValueError when the file is not such a table."""
    with open(os.path.join(os.path.dirname(path), "..", "resource.h"), encoding="ascii") as f:
        names = {m[0]: int(m[1]) for m in re.findall(r"#define\s+(\w+)\s+(\d+)", f.read())}
    with open(path, encoding="utf-8") as f:
        source = re.sub(r"/\*.*?\*/|//[^\n]*", "", f.read(), flags=re.S)
    body = re.search(r"\bSTRINGTABLE\b.*?\bBEGIN\b(.*?)\bEND\b", source, re.S)
    if body is None:
        raise ValueError(f"{path}: no STRINGTABLE ... BEGIN ... END")
    table = {}
    for line in body[1].strip().splitlines():
        entry = re.fullmatch(r'\s*(\w+)\s*,?\s*"((?:[^"]|"")*)"\s*', line)
        if entry is None or not (entry[1].isdigit() or entry[1] in names):
            raise ValueError(f"{path}: not an entry: {line.strip()!r}")
        key = int(entry[1]) if entry[1].isdigit() else names[entry[1]]
        # Inside a resource string a doubled quote stands for one.
        table[key] = entry[2].replace('""', '"')
    if sorted(table) != CAPTION_IDS or "\\" in "".join(table.values()):
        raise ValueError(f"{path}: expected entries {CAPTION_IDS} without escapes, got {table}")
    return table


def expect_eq(what, expected, got):
    if expected != got:
        shown_e, shown_g = expected, got
        if isinstance(expected, bytes) and len(expected) > 24:
            first = next((i for i, (a, b) in enumerate(zip(expected, got)) if a != b),
                         min(len(expected), len(got)))
            shown_e = f"{len(expected)} bytes"
            shown_g = f"{len(got)} bytes, first difference at byte {first}"
        problems.append(f"{what}: expected {shown_e}, got {shown_g}")


def resources(pe):
    """{(type, id): (language, bytes)} from the resource tree."""
    found = {}
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rid in rtype.directory.entries:
            for lang in rid.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                key = (rtype.id, rid.id if rid.id is not None else str(rid.name))
                language = lang.data.lang | (lang.data.sublang << 10)
                found.setdefault(key, []).append((language, data))
    return found


def check_directory(found):
    for rtype, ids in EXPECTED_DIRECTORY.items():
        for rid, language in ids.items():
            entries = found.get((rtype, rid), [])
            expect_eq(f"languages of resource {rtype}/{rid}", [language], [l for l, _ in entries])
    extra = sorted(k for k in found if k[1] not in EXPECTED_DIRECTORY.get(k[0], {}))
    expect_eq("resources nobody asked for", [], extra)


def data(found, rtype, rid):
    entries = found.get((rtype, rid), [])
    return entries[0][1] if entries else b""


def check_icon(found, ico_path, group_id, image_id, colours, bits):
    with open(ico_path, "rb") as f:
        ico = f.read()
    size = struct.unpack_from("<I", ico, 14)[0]
    offset = struct.unpack_from("<I", ico, 18)[0]
    expect_eq(f"icon image {image_id}", ico[offset:offset + size], data(found, RT_ICON, image_id))
    # GRPICONDIR: the .ico header, then its entry with the image's id in
    # place of the file offset.
    group = ico[0:6] + ico[6:18] + struct.pack("<H", image_id)
    expect_eq(f"icon group {group_id}", group, data(found, RT_GROUP_ICON, group_id))
    width, height, colour_count, _, planes, bit_count = struct.unpack_from("<BBBBHH", group, 6)
    expect_eq(f"icon group {group_id} entry", (32, 32, colours, 1, bits),
              (width, height, colour_count, planes, bit_count))


def check_strings(found, expected):
    block = data(found, RT_STRING, 1)
    strings, pos = {}, 0
    for index in range(16):
        if pos + 2 > len(block):
            problems.append(f"string block ends before entry {index}")
            return
        length = struct.unpack_from("<H", block, pos)[0]
        strings[index] = block[pos + 2:pos + 2 + 2 * length].decode("utf-16-le")
        pos += 2 + 2 * length
    expect_eq("string table", {i: expected.get(i, "") for i in range(16)}, strings)


def check_version(pe):
    fixed = pe.VS_FIXEDFILEINFO[0]
    expect_eq("file version", (0x00010000, 0), (fixed.FileVersionMS, fixed.FileVersionLS))
    expect_eq("product version", (0x00010000, 0), (fixed.ProductVersionMS, fixed.ProductVersionLS))
    expect_eq("file flags", 0, fixed.FileFlags & fixed.FileFlagsMask)
    expect_eq("file OS", 4, fixed.FileOS)
    expect_eq("file type", 1, fixed.FileType)
    tables, translations = {}, []
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            tables[table.LangID.decode()] = {k.decode(): v.decode() for k, v in table.entries.items()}
        for var in getattr(info, "Var", []):
            for key, value in var.entry.items():
                text = lambda v: v.decode() if isinstance(v, bytes) else v  # noqa: E731
                translations.append((text(key), text(value)))
    expect_eq("string blocks", ["040404B0"], list(tables))
    strings = tables.get("040404B0", {})
    for key, value in VERSION_STRINGS.items():
        expect_eq(f"version string {key}", value, strings.get(key))
    for key in OUR_VERSION_STRINGS:
        if not strings.get(key):
            problems.append(f"version string {key}: expected a value, got none")
    expect_eq("translation", [("Translation", "0x0404 0x04b0")], translations)
    for key, value in strings.items():
        if INSTALLER_WORDS.search(value):
            problems.append(f"version string {key} {value!r}: names what marks an installer")


def check_manifest(found):
    text = data(found, RT_MANIFEST, 1)
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as e:
        problems.append(f"manifest: not well-formed XML: {e}")
        return
    expect_eq("manifest root", f"{{{ASM_V1}}}assembly", root.tag)
    path = f"{{{ASM_V2}}}trustInfo/{{{ASM_V2}}}security/{{{ASM_V2}}}requestedPrivileges/" \
           f"{{{ASM_V2}}}requestedExecutionLevel"
    levels = root.findall(path)
    expect_eq("requested execution levels", [{"level": "asInvoker", "uiAccess": "false"}],
              [level.attrib for level in levels])
    # Windows XP SP2's parser can take the whole system down on an element
    # that declares two namespaces; trustInfo must declare exactly one.
    tags = re.findall(rb"<[^>]*trustInfo[^>]*>", text)
    expect_eq("namespaces declared on trustInfo", [1], [len(re.findall(rb"xmlns", t)) for t in tags[:1]])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--resources", required=True, help="folder with disc.bmp and the icons")
    parser.add_argument("--strings", required=True, help="the language's string table (.rc)")
    parser.add_argument("exe")
    args = parser.parse_args()

    pe = pefile.PE(args.exe)
    found = resources(pe)
    check_directory(found)
    with open(f"{args.resources}/disc.bmp", "rb") as f:
        expect_eq("bitmap 1", f.read()[14:], data(found, RT_BITMAP, 1))
    check_icon(found, f"{args.resources}/setup.ico", 1, 30001, colours=16, bits=4)
    check_icon(found, f"{args.resources}/exit.ico", 2, 30002, colours=0, bits=24)
    try:
        check_strings(found, read_string_table(args.strings))
    except (OSError, ValueError) as e:
        problems.append(str(e))
    check_version(pe)
    check_manifest(found)

    for problem in problems:
        print("FAIL:", problem)
    if problems:
        return 1
    rsrc = next(s for s in pe.sections if s.Name.startswith(b".rsrc"))
    print(f"ok: {len(found)} resources as designed; .rsrc is {rsrc.SizeOfRawData} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
