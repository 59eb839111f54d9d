#!/usr/bin/python3
"""A maker's mistakes in a product folder, each stopping the build with one
line that names the file, the key and what is wrong; and pictures in the
forms a maker has them (8-bit BMP, PNG, an icon file with several images)
turned into the ones the launcher carries; files as makers save them
accepted; hostile texts read back exactly from the generated C++ and
resource strings.

    check_product.py --product <a valid product folder> --scratch <folder>
"""
import argparse
import json
import os
import shutil
import struct
import subprocess
import sys
import zlib

import pefile
from PIL import Image

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
PRODUCT_PY = os.path.join(ROOT, "product_compiler", "compile.py")
sys.path.insert(0, ROOT)
from product_compiler.pictures import STANDARD_16  # noqa: E402
from product_compiler.tables import LAYOUT  # noqa: E402

FACE = LAYOUT["colours"]["ButtonFace"]  # the buttons' face, where icons are seen


def set_key(file, key, value):
    """Replaces key's line in an ini file (value None: removes it; a key not
    there is added at the end)."""
    def change(folder):
        path = os.path.join(folder, file)
        lines = open(path, encoding="utf-8").read().splitlines()
        kept = [l for l in lines if l.split("=")[0].strip() != key]
        if value is not None:
            kept.append(f"{key} = {value}")
        open(path, "w", encoding="utf-8").write("\n".join(kept) + "\n")
    return change


def picture(name, size, mode="RGB", colour=(10, 120, 200), alpha=255, **save):
    def make(folder):
        image = Image.new(mode, size, colour if mode == "RGB" else colour + (alpha,))
        image.save(os.path.join(folder, name), **save)
    return make


def edit(file, how):
    """Rewrites a file's text (how: text -> text)."""
    def change(folder):
        path = os.path.join(folder, file)
        text = open(path, encoding="utf-8", newline="").read()
        open(path, "w", encoding="utf-8", newline="").write(how(text))
    return change


def insert(file, line):
    return edit(file, lambda text: line + "\n" + text)


def append(file, line):
    return edit(file, lambda text: text + line + "\n")


def replace(file, make):
    """Puts something else where a file was (make: the path -> None)."""
    def change(folder):
        path = os.path.join(folder, file)
        os.remove(path) if os.path.isfile(path) else None
        make(path)
    return change


def png_header(name, width, height):
    """A PNG that only says its size: no pixel of it need ever be decoded."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"")) + chunk(b"IEND", b""))
    if name.endswith(".ico"):  # an icon file whose 32 x 32 image is that PNG
        data = struct.pack("<HHHBBBBHHII", 0, 1, 1, 32, 32, 0, 0, 1, 32, len(data), 22) + data
    return lambda folder: open(os.path.join(folder, name), "wb").write(data)


def two_images(ico):
    """The 24-bit and the 16-colour image of a converted icon, or None if it
    is not those two 32 x 32 images in that order, one after the other."""
    entries = list(struct.iter_unpack("<BBBBHHII", ico[6:38])) if len(ico) == 4022 else []
    if ico[:6] != struct.pack("<HHH", 0, 1, 2) or \
            entries != [(32, 32, 0, 0, 1, 24, 3240, 38), (32, 32, 16, 0, 1, 4, 744, 3278)]:
        return None
    return ico[38:3278], ico[3278:]


def pixel(image, x, y):
    """(red, green, blue) at (x, y) of a 24-bit 32 x 32 icon image."""
    at = 40 + (31 - y) * 96 + 3 * x  # rows bottom-up, blue first
    return tuple(image[at + 2:at - 1:-1])


def both(*changes):
    def change(folder):
        for c in changes:
            c(folder)
    return change


INI, EN = "product.ini", os.path.join("texts", "en.ini")
RU, ZH = os.path.join("texts", "ru.ini"), os.path.join("texts", "zh-TW.ini")


def buttons(listed, *sections):
    """product.ini lists these buttons and gains these sections; each texts
    file a caption for each of the maker's own (&1 ..., &2 ...) and
    open_failure."""
    own = [name for name in listed.split() if name not in ("setup", "exit")]
    captions = "".join(f"{name} = &{i + 1} {name}\n" for i, name in enumerate(own)) + "open_failure = No.\n"
    return both(edit(INI, lambda text: text.replace("[product]\n", f"[product]\nbuttons = {listed}\n", 1)),
                *(append(INI, section) for section in sections), *(append(texts, captions) for texts in (EN, RU, ZH)))


def section(name, **keys):
    return f"[button {name}]\n" + "".join(f"{key} = {value}\n" for key, value in keys.items())


WEB = section("web", opens="https://example.com/atlas", icon="exit.ico")


def at(name, x, y, **keys):
    return section(name, position=f"{x}, {y}", **keys)

# What a maker writes, and the one line it must get ({ini}, {en}: the files).
CASES = [
    (set_key(INI, "company", None), "{ini}: company: missing"),
    (set_key(INI, "colour", "blue"), "{ini}: colour: unknown key"),
    (set_key(INI, "comments", ""), "{ini}: comments: empty"),
    (set_key(INI, "version", "2.5 beta"), "{ini}: version: '2.5 beta' is not one to four numbers"),
    (set_key(INI, "name", "SetupWorks"), "{ini}: name: 'SetupWorks' says 'Setup'"),
    (set_key(INI, "windows", "98 ME XP 12"), "{ini}: windows: unknown release '12'"),
    (set_key(INI, "installer", "C:\\Acme\\Setup.exe"), "{ini}: installer: 'C:\\Acme\\Setup.exe' names a drive"),
    (set_key(INI, "installer", "\\\\server\\share\\Setup.exe"), "{ini}: installer: '\\\\server\\share\\Setup.exe' is a network (UNC) path"),
    (set_key(INI, "installer", "\\Acme\\Setup.exe"), "{ini}: installer: '\\Acme\\Setup.exe' is absolute"),
    (set_key(INI, "installer", "Acme\\..\\Setup.exe"), "{ini}: installer: the folder '..' climbs out"),
    (set_key(INI, "installer", "Acme\\Set*.exe"), "{ini}: installer: the file 'Set*.exe' holds a wildcard"),
    (set_key(INI, "installer", "Setup.exe"), "{ini}: installer: 'Setup.exe' has no folder"),
    (set_key(INI, "installer", "Acme\\aux.exe"), "{ini}: installer: the file 'aux.exe' is a device name"),
    (set_key(INI, "installer", "Acme.\\Setup.exe"), "{ini}: installer: the folder 'Acme.' ends in a dot"),
    (set_key(INI, "working_directory", "here"), "{ini}: working_directory: 'here': expected launcher or installer"),
    (set_key(INI, "volume_label", "Acme Software Suite"), "{ini}: volume_label: 'Acme Software Suite' is 19 characters"),
    (set_key(INI, "autorun_label", "Acme Übersicht"), "{ini}: autorun_label: 'Acme Übersicht' must be 1 to 32 printable ASCII"),
    (set_key(INI, "version_line", "Acme Atlas Version 3702 Deluxe"), "{ini}: version_line: 'Acme Atlas Version 3702 Deluxe' is 289 pixels wide; the version line has 244"),
    (set_key(INI, "languages", "en xx"), "{ini}: languages: unknown language 'xx'"),
    (set_key(INI, "choose_language", "at_boot"), "{ini}: choose_language: 'at_boot': expected at_build"),
    (both(set_key(INI, "choose_language", "at_start"), set_key(EN, "quit", "x" * 1024)),
     "{en}: quit: 1024 characters; a launcher that picks its language at start reads at most 1023"),
    (set_key(EN, "exit", "&Stop"), "{en}: exit: '&Stop' has the access key 'S', which setup ('&Setup') has already"),
    (set_key(EN, "refusal", "Windows ✗"), "{en}: refusal: '✗' cannot be written in code page 1252"),
    (set_key(EN, "quit", "a\\tb"), "{en}: quit: unknown escape \\t"),
    (lambda f: os.remove(os.path.join(f, "texts", "ru.ini")), "{ru}: no such file"),
    (picture("disc.bmp", (320, 240)), "{disc}: artwork: 320 x 240 pixels; the window's picture must be 350 x 350"),
    (lambda f: open(os.path.join(f, "disc.bmp"), "wb").write(b"BM not really"), "{disc}: artwork: not a picture"),
    (both(picture("art.png", (350, 350), "RGBA", alpha=128), set_key(INI, "artwork", "art.png")),
     "{folder}/art.png: artwork: has transparent pixels"),
    (both(picture("e.ico", (48, 48), sizes=[(16, 16), (48, 48)]), set_key(INI, "exit_icon", "e.ico")),
     "{folder}/e.ico: exit_icon: an icon with images of 16 x 16, 48 x 48; it needs a 32 x 32 one"),
    (insert(INI, "name: X"), "{ini}: line 1: 'name: X' is not key = value, a [section] or a comment"),
    (insert(INI, "[DEFAULT]\nlanguages = en"), "{ini}: line 1: a section [DEFAULT]; the file has one section, [product]"),
    (insert(INI, "languages = en"), "{ini}: line 1: a value before the [product] line"),
    (append(INI, "name = Orbisk"), "{ini}: name: given twice (lines "),
    (set_key(INI, "name", "Orbisk ; our product"), "{ini}: name: 'Orbisk ; our product' looks like a value "
     "with a comment after it"),
    (set_key(INI, "artwork", "missing.png"), "{folder}/missing.png: artwork: no such file"),
    (both(lambda f: os.mkdir(os.path.join(f, "art")), set_key(INI, "artwork", "art")),
     "{folder}/art: artwork: a folder, not a file"),
    (replace(EN, os.mkdir), "{en}: a folder, not a file"),
    (replace(INI, os.mkdir), "{ini}: a folder, not a file"),
    (both(lambda f: os.mkfifo(os.path.join(f, "art.png")), set_key(INI, "artwork", "art.png")),
     "{folder}/art.png: artwork: a pipe (FIFO), not a file"),
    (set_key(INI, "setup_icon", "/dev/zero"), "{ini}: setup_icon: '/dev/zero' is absolute"),
    (set_key(INI, "artwork", "../../secret/art.png"), "{ini}: artwork: '../../secret/art.png' climbs out of "
     "the product folder"),
    (lambda f: os.truncate(os.path.join(f, "disc.bmp"), 17 * 1024 * 1024),
     "{disc}: artwork: 17,825,792 bytes; such a file may have at most 16 MB"),
    (both(png_header("huge.png", 13000, 13000), set_key(INI, "artwork", "huge.png")),
     "{folder}/huge.png: artwork: 13000 x 13000 pixels; the window's picture must be 350 x 350"),
    (both(png_header("huge.ico", 13000, 13000), set_key(INI, "exit_icon", "huge.ico")),
     "{folder}/huge.ico: exit_icon: the icon's 32 x 32 image is 13000 x 13000 pixels"),
    (set_key(INI, "launcher_name", "Setup.exe"), "{ini}: launcher_name: 'Setup.exe' says 'Setup'"),
    (set_key(INI, "launcher_name", "launcher.com"), "{ini}: launcher_name: 'launcher.com' does not end in .exe"),
    (set_key(INI, "launcher_name", "bin\\start.exe"), "{ini}: launcher_name: 'bin\\start.exe' names a folder"),
    (set_key(INI, "launcher_name", "con.exe"), "{ini}: launcher_name: 'con.exe': CON is a device name"),
    (set_key(INI, "volume_label", "€" * 16), "{ini}: volume_label: '" + "€" * 16 + "' takes 48 bytes in UTF-8; "
     "a disc's volume id holds at most 32"),
    (set_key(INI, "name", "Ä" * 70), "{ini}: name: '" + "Ä" * 70 + "' takes 140 bytes in UTF-8; the image's "
     "preparer and application field holds at most 128"),
    # What the environment gives, checked before anything is built.
    (set_key(INI, "installer", "Acme\\setup.msi"), "{ini}: installer: 'Acme\\setup.msi' is not a "
     "program, so the sample installer cannot stand in for it: give your installer folder in LAUNCHER_INSTALLER_DIR"),
    (None, "LAUNCHER_INSTALLER_DIR: {folder}/gone: no such folder", {"LAUNCHER_INSTALLER_DIR": "{folder}/gone"}),
    (None, "SOURCE_DATE_EPOCH: 253402300800 is after 2155-12-31", {"SOURCE_DATE_EPOCH": "253402300800"}),
    (lambda f: os.makedirs(os.path.join(f, "extra", "AUTORUN.INF")), "{folder}/extra/AUTORUN.INF: would take the "
     "place of autorun.inf at the disc's root", {"LAUNCHER_EXTRA_DIR": "{folder}/extra"}),
    (lambda f: os.makedirs(os.path.join(f, "extra", "acme", "x")), "{folder}/extra/acme: would take the "
     "place of the installer's folder (Acme)", {"LAUNCHER_EXTRA_DIR": "{folder}/extra"}),
    (lambda f: os.makedirs(os.path.join(f, "extra", "aux.txt")), "{folder}/extra/aux.txt: AUX is a device name",
     {"LAUNCHER_EXTRA_DIR": "{folder}/extra"}),
    (None, "signing needs both LAUNCHER_SIGN_CERT", {"LAUNCHER_SIGN_CERT": "{ini}"}),
    # The buttons, the machines' installers and each language's version line.
    (set_key(INI, "buttons", "setup a b c d e exit"), "{ini}: buttons: 7 buttons; the window has room for at most 6"),
    (set_key(INI, "buttons", "setup web"), "{ini}: buttons: 'setup web' leaves out exit"),
    (set_key(INI, "buttons", "setup quit exit"), "{ini}: buttons: 'quit' names a text of texts/<language>.ini"),
    (append(INI, WEB), "{ini}: buttons: [button web] (line "),
    (set_key(INI, "buttons", "setup web exit"), "{ini}: buttons: web has no [button web] section"),
    (buttons("setup web exit", section("web", icon="exit.ico")), "{ini}: [button web] opens: missing"),
    (buttons("setup web exit", section("web", opens="Acme")), "{ini}: [button web] icon: missing"),
    (buttons("setup web exit", WEB, section("setup", opens="x")), "{ini}: [button setup] opens: unknown key (known: position)"),
    (buttons("setup web exit", section("web", opens="Acme\\readme.txt", icon="exit.ico")),
     "{ini}: [button web] opens: 'Acme\\readme.txt' is not on the disc: 'Acme' holds no 'readme.txt'"),
    (buttons("setup web exit", section("web", opens="ftp://example.com/", icon="exit.ico")),
     "{ini}: [button web] opens: 'ftp://example.com/' is an address of ftp:; a button opens http:// and https://"),
    (buttons("setup web exit", section("web", opens="https://example.com/a b", icon="exit.ico")),
     "{ini}: [button web] opens: 'https://example.com/a b' holds a space"),
    (buttons("setup web exit", section("web", opens="Acme", icon="exit.ico", windows="Vista")),
     "{ini}: [button web] windows: Vista is not one of the product's releases"),
    (buttons("setup web exit", at("setup", 72, 232), at("exit", 192, 232), at("web", 100, 232, opens="Acme", icon="exit.ico")),
     "{ini}: [button web] position: web at (100, 232)-(181, 297) overlaps setup at (72, 232)-(153, 297)"),
    (buttons("setup web exit", at("setup", 72, 232), at("exit", 192, 232), at("web", 100, 70, opens="Acme", icon="exit.ico")),
     "{ini}: [button web] position: web at (100, 70)-(181, 135) overlaps the version line at (56, 64)-(300, 88)"),
    (buttons("setup web exit", at("setup", 72, 232), at("exit", 192, 232), at("web", 300, 100, opens="Acme", icon="exit.ico")),
     "{ini}: [button web] position: web at (300, 100)-(381, 165) reaches outside the window's client area, (0, 0)-(349, 348)"),
    (buttons("setup web exit", at("web", 5, 100, opens="Acme", icon="exit.ico")),
     "{ini}: buttons: a position for web but none for setup, exit: give every button a position, or none"),
    (buttons("setup a b c exit", *(section(n, opens="Acme", icon="exit.ico") for n in "abc")),
     "{ini}: buttons: 5 buttons: more than 4 need a position each"),
    (both(buttons("setup web exit", WEB), set_key(EN, "web", "&Site")),
     "{en}: web: '&Site' has the access key 'S', which setup ('&Setup') has already"),
    (both(buttons("setup web exit", WEB), set_key(RU, "web", None)), "{ru}: web: missing"),
    (both(buttons("setup web exit", WEB), set_key(EN, "open_failure", None)), "{en}: open_failure: missing"),
    (set_key(EN, "version_line", "Acme ✗"), "{en}: version_line: '✗' cannot be written in code page 1252"),
    (set_key(RU, "version_line", "Акме, полная версия 3702"), "{ru}: version_line: 'Акме, полная версия 3702' is "
     "247 pixels wide; the version line has 244"),
    (set_key(INI, "installer_x64", "C:\\x64\\Setup.exe"), "{ini}: installer_x64: 'C:\\x64\\Setup.exe' names a drive"),
    (set_key(INI, "installer_arm64", "Acme\\aux.exe"), "{ini}: installer_arm64: the file 'aux.exe' is a device name"),
    (set_key(INI, "installer_x64", "Acme\\setup64.msi"), "{ini}: installer_x64: 'Acme\\setup64.msi' is not a program"),
    (both(lambda f: os.makedirs(os.path.join(f, "inst")), lambda f: open(os.path.join(f, "inst", "Setup.exe"), "wb").write(b"MZ"),
          set_key(INI, "installer_x64", "Acme\\Setup64.exe")),
     "{ini}: installer_x64: 'Acme\\Setup64.exe' is not on the disc: 'Acme' holds no 'Setup64.exe'",
     {"LAUNCHER_INSTALLER_DIR": "{folder}/inst"}),
]

# Files as makers save them, which must build, and a value they must give.
BOM = "\ufeff"
ACCEPTED = [
    (both(set_key(INI, "name", "Acme"), edit(INI, lambda text: BOM + text.replace("\n", "\r\n"))),
     ("name",), "Acme"),  # Notepad
    (edit(EN, lambda text: BOM + "# English\n" + text), ("texts", "en", "title"), "Installation"),
    (set_key(INI, "name", "Orbisk; Atlas"), ("name",), "Orbisk; Atlas"),
    (set_key(INI, "name", '" Orbisk ; Atlas "'), ("name",), " Orbisk ; Atlas "),
    (both(lambda f: os.symlink("disc.bmp", os.path.join(f, "art.bmp")), set_key(INI, "artwork", "art.bmp")),
     ("installer",), "Acme\\Setup.exe"),
    # Partly transparent everywhere: blended onto the buttons' face.
    (both(picture("s.png", (32, 32), "RGBA", alpha=100), set_key(INI, "setup_icon", "s.png")),
     ("installer",), "Acme\\Setup.exe"),
    # Where the buttons stand without positions: two, three and four in a row.
    (None, lambda m, out: [(b["name"], b["left"], b["top"]) for b in m["buttons"]],
     [("setup", 72, 232), ("exit", 192, 232)]),
    (buttons("setup web exit", WEB), lambda m, out: [(b["left"], b["top"], b["caption_id"], b["icon_id"],
                                                      b["captions"]["ru"]) for b in m["buttons"]],
     [(12, 232, 10, 1, "&Установка"), (132, 232, 16, 3, "&1 web"), (252, 232, 11, 2, "В&ыход")]),
    (buttons("setup a web exit", WEB, section("a", opens="ACME\\setup.exe", icon="exit.ico", closes="yes")),
     lambda m, out: ([b["left"] for b in m["buttons"]], m["buttons"][1]["closes"], os.path.exists(f"{out}/button1.ico")),
     ([5, 91, 177, 263], True, True)),
    # A folder of the extra files, named as Windows finds it; the sample
    # installer stands in for the x64 one too.
    (both(lambda f: os.makedirs(os.path.join(f, "extra", "Manuals")), set_key(INI, "installer_x64", "x64\\Setup.exe"),
          buttons("setup manuals exit", section("manuals", opens="MANUALS", icon="exit.ico"))),
     lambda m, out: (m["buttons"][1]["target"], m["installer_x64"], m["medium"]["sample_paths"]),
     ("MANUALS", "x64\\Setup.exe", [["Acme", "Setup.exe"], ["x64", "Setup.exe"]]), {"LAUNCHER_EXTRA_DIR": "{folder}/extra"}),
    # A language's own version line: built in, or its string.
    (both(set_key(RU, "version_line", "Акме 1.0"), set_key(INI, "version_line", "Acme 1.0"),
          set_key(INI, "choose_language", "at_start")),
     lambda m, out: (m["version_lines"], '    5 "Акме 1.0"' in open(f"{out}/every-language/string_table.rc").read()),
     ({"en": "Acme 1.0", "zh-TW": "Acme 1.0", "ru": "Акме 1.0"}, True)),
]

# Texts that mean something else to a C++ compiler or to windres (and the
# C preprocessor it runs first), each to be read back exactly as written.
HOSTILE = ["Quit now??!", "??/\r\n??=", "a\\b\\", 'say "hi"', '""', "%s $(X) ; x", "/* no */ // no",
           "#define X 1", "two\r\n#define lines", "Größe 日本 😀", "?1\\0771", "  spaced  "]


# Only what a case sets reaches the product compiler from the environment.
CLEAN = {name: value for name, value in os.environ.items()
         if not name.startswith("LAUNCHER_") and name != "SOURCE_DATE_EPOCH"}


def run(folder, out, env=None):
    try:
        return subprocess.run(["/usr/bin/python3", PRODUCT_PY, "--product", folder, "--out", out],
                              capture_output=True, text=True, timeout=300, env={**CLEAN, **(env or {})})
    except subprocess.TimeoutExpired:  # a hang, not a slow run: it reads a few small files
        return subprocess.CompletedProcess([], -1, "", "still running after 300 seconds")


def check_literals(scratch):
    """The hostile texts through c_string (built with g++, trigraph warnings
    as errors, and run) and rc_string (a string table and a version record
    built with windres, read back with pefile)."""
    sys.path.insert(0, ROOT)
    from product_compiler.writing import c_string, rc_string
    os.makedirs(scratch)
    failures = []
    cpp, program = os.path.join(scratch, "texts.cpp"), os.path.join(scratch, "texts")
    open(cpp, "w").write("#include <cstdio>\nconst char16_t* const texts[] = {\n" + ",\n".join(map(c_string, HOSTILE))
                         + "};\nint main() { for (auto t : texts) { for (; *t; ++t) std::printf(\"%X \", "
                         "unsigned(*t)); std::printf(\"\\n\"); } }\n")
    built = subprocess.run(["g++", "-std=c++17", "-Werror", "-Wtrigraphs", "-o", program, cpp],
                           capture_output=True, text=True)
    if built.returncode or built.stderr:
        return [f"c_string: g++ says {built.stderr.strip()!r}"]
    lines = subprocess.run([program], capture_output=True, text=True).stdout.splitlines()
    for text, line in zip(HOSTILE, lines + [""] * (len(HOSTILE) - len(lines))):
        got = bytes(b for unit in line.split() for b in struct.pack("<H", int(unit, 16))).decode("utf-16-le")
        if got != text:
            failures.append(f"c_string: {text!r} came back as {got!r}")
    rc, obj, dll = (os.path.join(scratch, name) for name in ("texts.rc", "texts.o", "texts.dll"))
    open(rc, "w", encoding="utf-8").write(
        "#pragma code_page(65001)\nSTRINGTABLE\nBEGIN\n"
        + "".join(f"    {i} {rc_string(t)}\n" for i, t in enumerate(HOSTILE, 1))
        + 'END\n1 VERSIONINFO\nBEGIN\n BLOCK "StringFileInfo"\n BEGIN\n  BLOCK "040904B0"\n  BEGIN\n'
        + "".join(f'   VALUE "K{i}", {rc_string(t)}\n' for i, t in enumerate(HOSTILE, 1))
        + "  END\n END\nEND\n")
    for command in (["i686-w64-mingw32-windres", "-O", "coff", "-o", obj, rc],
                    ["i686-w64-mingw32-gcc", "-nostdlib", "-shared", "-Wl,--entry=0", "-o", dll, obj]):
        built = subprocess.run(command, capture_output=True, text=True)
        if built.returncode or built.stderr:
            return failures + [f"rc_string: {command[0]} says {built.stderr.strip()!r}"]
    pe = pefile.PE(dll)
    table = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for block in kind.directory.entries if kind.id == 6 else []:  # RT_STRING: 16 strings a block
            entry = block.directory.entries[0].data.struct
            data, at = pe.get_data(entry.OffsetToData, entry.Size), 0
            for i in range(16):
                length = struct.unpack_from("<H", data, at)[0]
                table[(block.id - 1) * 16 + i] = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                at += 2 + 2 * length
    record = {k.decode(): v for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
              for strings in info.StringTable for k, v in strings.entries.items()}
    for i, text in enumerate(HOSTILE, 1):
        # pefile writes each UTF-16 unit of a version string as one character.
        units = struct.unpack(f"<{len(text.encode('utf-16-le')) // 2}H", text.encode("utf-16-le"))
        if table.get(i) != text or record.get(f"K{i}") != "".join(map(chr, units)).encode("utf-8", "backslashreplace"):
            failures.append(f"rc_string: {text!r} came back as {table.get(i)!r} and {record.get(f'K{i}')!r}")
    return failures


def check_staging_kept(scratch, product):
    """A good build with an installer folder, then one refused for its extra
    folder: the installer's staging stays as the good build left it."""
    folder = os.path.join(scratch, "kept")
    shutil.copytree(product, folder)
    set_key(INI, "installer", "Acme\\Setup.exe")(folder)
    setup, out = os.path.join(folder, "inst", "Setup.exe"), os.path.join(folder, "out")
    os.makedirs(os.path.dirname(setup))
    open(setup, "wb").write(b"MZ first")
    first = run(folder, out, {"LAUNCHER_INSTALLER_DIR": os.path.dirname(setup)})
    open(setup, "wb").write(b"MZ second")
    os.makedirs(os.path.join(folder, "extra", "autorun.inf"))
    second = run(folder, out, {"LAUNCHER_EXTRA_DIR": os.path.join(folder, "extra")})
    staged = open(os.path.join(out, "installer", "Setup.exe"), "rb").read()
    if first.returncode or second.returncode != 1 or staged != b"MZ first":
        return [f"a refused extra folder: exits {first.returncode} then {second.returncode}, and the installer's "
                f"staging holds {staged!r}, not the good build's b'MZ first'"]
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--product", required=True)
    parser.add_argument("--scratch", required=True)
    args = parser.parse_args()
    shutil.rmtree(args.scratch, ignore_errors=True)
    failures = []
    for number, (change, expected, *env) in enumerate(CASES):
        folder = os.path.join(args.scratch, f"case{number}")
        shutil.copytree(args.product, folder)
        set_key(INI, "installer", "Acme\\Setup.exe")(folder)  # a neutral installer, whatever the product's
        if change:
            change(folder)
        files = {"ini": os.path.join(folder, INI), "en": os.path.join(folder, EN), "folder": folder,
                 "ru": os.path.join(folder, "texts", "ru.ini"), "disc": os.path.join(folder, "disc.bmp")}
        expected = expected.format(**files)
        env = {name: value.format(**files) for name, value in (env[0] if env else {}).items()}
        result = run(folder, os.path.join(folder, "out"), env)
        lines = result.stderr.splitlines()
        if result.returncode != 1 or len(lines) != 1 or not lines[0].startswith(expected) \
                or os.path.exists(os.path.join(folder, "out")):
            failures.append(f"expected one line starting {expected!r} and no output, got exit "
                            f"{result.returncode}: {result.stderr.strip()!r}")
    for number, (change, where, expected, *env) in enumerate(ACCEPTED):
        folder = os.path.join(args.scratch, f"accepted{number}")
        shutil.copytree(args.product, folder)
        set_key(INI, "installer", "Acme\\Setup.exe")(folder)
        if change:
            change(folder)
        env = {name: value.format(folder=folder) for name, value in (env[0] if env else {}).items()}
        result = run(folder, os.path.join(folder, "out"), env)
        if result.returncode != 0 or result.stderr:
            failures.append(f"accepted case {number}: exit {result.returncode}: {result.stderr.strip()!r}")
            continue
        value = json.load(open(os.path.join(folder, "out", "product.json"), encoding="utf-8"))
        if callable(where):  # what it reads back from the model and the files beside it
            value, where = where(value, os.path.join(folder, "out")), ("read back",)
        else:
            for step in where:
                value = value[step]
        if value != expected:
            failures.append(f"accepted case {number}: {'.'.join(where)} is {value!r}, not {expected!r}")
    failures += check_literals(os.path.join(args.scratch, "literals"))
    failures += check_staging_kept(args.scratch, args.product)
    # The forms a maker has: an 8-bit BMP artwork, a PNG setup icon with a
    # transparent corner and soft edges, an icon file of several images.
    folder = os.path.join(args.scratch, "converted")
    shutil.copytree(args.product, folder)
    art = Image.new("RGB", (350, 350), (200, 30, 30))
    art.convert("P", palette=Image.Palette.ADAPTIVE).save(os.path.join(folder, "art8.bmp"))
    icon = Image.new("RGBA", (32, 32), (0, 0, 255, 128))
    icon.paste((0, 0, 255, 255), (1, 1, 31, 31))
    icon.putpixel((0, 0), (0, 0, 0, 0))
    icon.save(os.path.join(folder, "s.png"))
    Image.new("RGB", (48, 48), (0, 200, 0)).save(os.path.join(folder, "e.ico"), sizes=[(16, 16), (32, 32), (48, 48)])
    for key, value in (("artwork", "art8.bmp"), ("setup_icon", "s.png"), ("exit_icon", "e.ico")):
        set_key(INI, key, value)(folder)
    out = os.path.join(folder, "out")
    result = run(folder, out)
    if result.returncode != 0:
        failures.append(f"converted pictures: {result.stderr.strip()}")
    else:
        bmp = open(os.path.join(out, "disc.bmp"), "rb").read()
        if len(bmp) != 368254 or struct.unpack_from("<HI", bmp, 26) != (1, 24) or bmp[54:57] != bytes((30, 30, 200)):
            failures.append("the 8-bit BMP did not become a 24-bit 350 x 350 bitmap of its colour")
        setup = open(os.path.join(out, "setup.ico"), "rb").read()
        images = two_images(setup)
        if not images:
            failures.append("the PNG setup icon did not become a 24-bit and a 16-colour 32 x 32 image")
        else:
            true_colour, sixteen = images
            # Pixel (0, 0)'s mask bit: the first of the mask's last row.
            half = tuple(round((128 * c + 127 * f) / 255) for c, f in zip((0, 0, 255), FACE))
            if not true_colour[-4] & 0x80 or not sixteen[-4] & 0x80 or pixel(true_colour, 16, 16) != (0, 0, 255) \
                    or pixel(true_colour, 1, 0) != half or pixel(true_colour, 31, 17) != half:
                failures.append("the PNG setup icon's 24-bit image lost its transparent corner, its colour or "
                                f"its soft edge blended onto the face colour {FACE}")
            if sixteen[40:104] != b"".join(bytes((b, g, r, 0)) for r, g, b in STANDARD_16):
                failures.append("the PNG setup icon's 16-colour image has not the standard palette")
        if not two_images(open(os.path.join(out, "exit.ico"), "rb").read()):
            failures.append("the 32 x 32 image of the icon file did not become a 24-bit and a 16-colour image")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(CASES) + len(ACCEPTED) + 3} cases, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
