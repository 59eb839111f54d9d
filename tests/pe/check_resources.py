#!/usr/bin/python3
"""Reads launcher.exe's resources back with pefile, an independent reader,
and compares them with the product it was built for.

The bitmap must be the product's disc.bmp without its 14-byte file header;
each icon group must list its .ico file's images with the file's own
directory entries, each pointing at an icon image that is the image as
stored in the file, under the ids resource.h gives them; the string
block, the version record and their languages must be exactly as the
product says, and nothing else may be there. A launcher that picks its
language at start carries a string block for each language, tagged with
its language id, message texts included, and its fallback's as the neutral
one. The expectations come from
product.json and the pictures beside it, which the build wrote from the
product folder.
"""
import json
import argparse
import os
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from product_compiler.tables import RESOURCE_IDS as ID  # noqa: E402  (resources/resource.h)

RT_ICON, RT_BITMAP, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 2, 6, 14, 16, 24
NEUTRAL, NEUTRAL_SYS_DEFAULT = 0x0000, 0x0800


# The icon files the build wrote, each with its group's id and its first
# image's; a further image's id is IDI_IMAGE_STEP above the one before.
ICONS = [("setup.ico", ID["IDI_SETUP"], ID["IDI_SETUP_IMAGE"]), ("exit.ico", ID["IDI_EXIT"], ID["IDI_EXIT_IMAGE"])]
# What an icon's images may be, by (width, height, colours, planes, bits):
# 16 colours or 24 bits alone, or the two with the 24-bit one first.
SIXTEEN, TRUE_COLOUR = (32, 32, 16, 1, 4), (32, 32, 0, 1, 24)
ICON_FORMS = [[SIXTEEN], [TRUE_COLOUR], [TRUE_COLOUR, SIXTEEN]]


def icon_entries(ico):
    """The directory entries of an icon file, as (16-byte entry, image bytes)."""
    count = struct.unpack_from("<H", ico, 4)[0]
    entries = []
    for index in range(count):
        entry = ico[6 + 16 * index:22 + 16 * index]
        size, offset = struct.unpack_from("<II", entry, 8)
        entries.append((entry, ico[offset:offset + size]))
    return entries


def image_ids(first, count):
    return [first + index * ID["IDI_IMAGE_STEP"] for index in range(count)]


def expected_directory(product, icons):
    """type -> {id: [languages]}: everything the executable may carry.
    icons: [(group id, first image id, number of images)]."""
    strings = [NEUTRAL_SYS_DEFAULT]
    if product["choose_language"] == "at_start":
        strings = sorted(strings + list(product["language_ids"].values()))
    own = own_buttons(product)
    return {
        RT_BITMAP: {ID["IDB_DISC"]: [NEUTRAL]},
        RT_ICON: {image: [NEUTRAL] for _, first, count in icons for image in image_ids(first, count)},
        RT_GROUP_ICON: {group: [NEUTRAL] for group, _, _ in icons},
        # block 1: the ids 0 to 15; block 2, 16 to 31: the maker's buttons' captions
        RT_STRING: {1: strings, **({2: strings} if own else {})},
        RT_VERSION: {ID["IDV_VERSION"]: [product["record_language"]]},
        RT_MANIFEST: {ID["IDR_MANIFEST"]: [NEUTRAL]},
    }


CAPTION_IDS = {"setup": ID["IDS_SETUP_CAPTION"], "exit": ID["IDS_EXIT_CAPTION"], "title": ID["IDS_TITLE"]}
# Carried as resources, too, by a launcher that picks its language at start.
MESSAGE_IDS = {"refusal": ID["IDS_REFUSAL"], "quit_title": ID["IDS_QUIT_TITLE"], "quit": ID["IDS_QUIT"],
               "start_failure": ID["IDS_START_FAILURE"]}
RELEASE_GUIDS = ["e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                 "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                 "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"]  # Vista, 7, 8, 8.1, 10
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
# Vista and later take a program whose version record says any of these for
# an installer and ask for elevation before it starts.
INSTALLER_WORDS = re.compile(r"setup|install|update|patch", re.IGNORECASE)
ASM_V1, ASM_V2 = "urn:schemas-microsoft-com:asm.v1", "urn:schemas-microsoft-com:asm.v2"

problems = []


def read_product(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def own_buttons(product):
    return [b for b in product.get("buttons", []) if b["action"] == "Open"]


def string_table(product, language):
    """{id: text}: the captions of one of the product's languages (the
    maker's buttons' too), and for a launcher that picks its language at
    start the message texts, the open failure where there are buttons of
    the maker's, and the language's own version line where it has one."""
    texts = product["texts"][language]
    ids = dict(CAPTION_IDS, **{b["name"]: b["caption_id"] for b in own_buttons(product)})
    if product["choose_language"] == "at_start":
        ids.update(MESSAGE_IDS)
        if own_buttons(product):
            ids["open_failure"] = ID["IDS_OPEN_FAILURE"]
        if "version_line" in texts:
            ids["version_line"] = ID["IDS_VERSION_LINE"]
    return {number: texts[key] for key, number in ids.items()}


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


def check_directory(found, expected):
    for rtype, ids in expected.items():
        for rid, languages in ids.items():
            entries = found.get((rtype, rid), [])
            expect_eq(f"languages of resource {rtype}/{rid}", languages, [l for l, _ in entries])
    extra = sorted(k for k in found if k[1] not in expected.get(k[0], {}))
    expect_eq("resources nobody asked for", [], extra)


def data(found, rtype, rid, language=None):
    """The resource's bytes: its only (or first) language's, or the given one's."""
    entries = [d for l, d in found.get((rtype, rid), []) if language in (None, l)]
    return entries[0] if entries else b""


def check_icon(found, ico, group_id, first_image_id):
    entries = icon_entries(ico)
    ids = image_ids(first_image_id, len(entries))
    for image_id, (_, image) in zip(ids, entries):
        expect_eq(f"icon image {image_id}", image, data(found, RT_ICON, image_id))
    # GRPICONDIR: the .ico header, then its entries, each with its image's
    # id in place of the file offset.
    group = ico[0:6] + b"".join(entry[:12] + struct.pack("<H", image_id)
                                for image_id, (entry, _) in zip(ids, entries))
    got = data(found, RT_GROUP_ICON, group_id)
    expect_eq(f"icon group {group_id}", group, got)
    forms = [struct.unpack_from("<BBBxHH", got, 6 + 14 * i) for i in range(len(got[6:]) // 14)]
    if forms not in ICON_FORMS:
        problems.append(f"icon group {group_id}: images {forms}, not one of {ICON_FORMS}")


def check_strings(found, expected, language=NEUTRAL_SYS_DEFAULT, name="string table"):
    for number in sorted({i // 16 + 1 for i in expected}):
        block = data(found, RT_STRING, number, language)
        strings, pos = {}, 0
        for index in range(16):
            if pos + 2 > len(block):
                problems.append(f"{name}: block {number} ends before entry {index}")
                return
            length = struct.unpack_from("<H", block, pos)[0]
            strings[(number - 1) * 16 + index] = block[pos + 2:pos + 2 + 2 * length].decode("utf-16-le")
            pos += 2 + 2 * length
        first = (number - 1) * 16
        expect_eq(f"{name}, block {number}", {i: expected.get(i, "") for i in range(first, first + 16)}, strings)


def check_version(pe, product):
    fixed = pe.VS_FIXEDFILEINFO[0]
    n = product["version_numbers"]
    numbers = (n[0] << 16 | n[1], n[2] << 16 | n[3])
    expect_eq("file version", numbers, (fixed.FileVersionMS, fixed.FileVersionLS))
    expect_eq("product version", numbers, (fixed.ProductVersionMS, fixed.ProductVersionLS))
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
    block = f"{product['record_language']:04X}04B0"
    expect_eq("string blocks", [block], list(tables))
    expected = {"Comments": product["comments"], "CompanyName": product["company"],
                "FileDescription": product["description"], "FileVersion": product["version"],
                "InternalName": "launcher", "LegalCopyright": product["copyright"],
                "OriginalFilename": product["launcher_name"], "ProductName": product["name"],
                "ProductVersion": product["version"]}
    expect_eq("version strings", expected, tables.get(block, {}))
    expect_eq("translation", [("Translation", f"0x{product['record_language']:04x} 0x04b0")], translations)
    for key, value in tables.get(block, {}).items():
        if INSTALLER_WORDS.search(value):
            problems.append(f"version string {key} {value!r}: names what marks an installer")


def check_manifest(found):
    text = data(found, RT_MANIFEST, ID["IDR_MANIFEST"])
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
    # Every release from Vista to 10 declared, so 8.1 and later tell the
    # version check their true version.
    path = f"{{{COMPATIBILITY}}}compatibility/{{{COMPATIBILITY}}}application/{{{COMPATIBILITY}}}supportedOS"
    expect_eq("supported releases declared", ["{" + g + "}" for g in RELEASE_GUIDS],
              [e.get("Id") for e in root.findall(path)])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--product", required=True,
                        help="product.json, with the product's pictures beside it")
    parser.add_argument("--language", required=True, help="the language the executable is in (the "
                        "fallback, its neutral block, for one that picks its language at start)")
    parser.add_argument("exe")
    args = parser.parse_args()

    product = read_product(args.product)
    pictures = os.path.dirname(os.path.abspath(args.product))
    pe = pefile.PE(args.exe)
    found = resources(pe)
    icons = {}
    own = [(button["icon_file"], button["icon_id"], ID["IDI_BUTTON_IMAGE_FIRST"] + i)
           for i, button in enumerate(own_buttons(product))]
    for name, group, first_image in ICONS + own:
        with open(f"{pictures}/{name}", "rb") as f:
            icons[group, first_image] = f.read()
    check_directory(found, expected_directory(product, [(group, first_image, len(icon_entries(ico)))
                                                        for (group, first_image), ico in icons.items()]))
    with open(f"{pictures}/disc.bmp", "rb") as f:
        expect_eq("the bitmap", f.read()[14:], data(found, RT_BITMAP, ID["IDB_DISC"]))
    for (group, first_image), ico in icons.items():
        check_icon(found, ico, group, first_image)
    check_strings(found, string_table(product, args.language))
    if product["choose_language"] == "at_start":
        for language, language_id in product["language_ids"].items():
            check_strings(found, string_table(product, language), language_id, f"{language} string table")
    check_version(pe, product)
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
