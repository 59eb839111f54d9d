#!/usr/bin/python3
"""A maker's mistakes in a product folder, each stopping the build with one
line that names the file, the key and what is wrong; and pictures in the
forms a maker has them (8-bit BMP, PNG, an icon file with several images)
turned into the ones the launcher carries.

    check_product.py --product <a valid product folder> --scratch <folder>
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys

from PIL import Image

PRODUCT_PY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "product_compiler", "compile.py")


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


def both(*changes):
    def change(folder):
        for c in changes:
            c(folder)
    return change


INI, EN = "product.ini", os.path.join("texts", "en.ini")

# What a maker writes, and the one line it must get ({ini}, {en}: the files).
CASES = [
    (set_key(INI, "company", None), "{ini}: company: missing"),
    (set_key(INI, "colour", "blue"), "{ini}: colour: unknown key"),
    (set_key(INI, "comments", ""), "{ini}: comments: empty"),
    (set_key(INI, "version", "2.5 beta"), "{ini}: version: '2.5 beta' is not one to four numbers"),
    (set_key(INI, "name", "SetupWorks"), "{ini}: name: 'SetupWorks' says 'Setup'"),
    (set_key(INI, "windows", "98 ME XP 12"), "{ini}: windows: unknown release '12'"),
    (set_key(INI, "installer", "C:\\Tavrinex\\Setup.exe"), "{ini}: installer: 'C:\\Tavrinex\\Setup.exe' names a drive"),
    (set_key(INI, "installer", "\\\\server\\share\\Setup.exe"), "{ini}: installer: '\\\\server\\share\\Setup.exe' is a network (UNC) path"),
    (set_key(INI, "installer", "\\Tavrinex\\Setup.exe"), "{ini}: installer: '\\Tavrinex\\Setup.exe' is absolute"),
    (set_key(INI, "installer", "Tavrinex\\..\\Setup.exe"), "{ini}: installer: the folder '..' climbs out"),
    (set_key(INI, "installer", "Tavrinex\\Set*.exe"), "{ini}: installer: the file 'Set*.exe' holds a wildcard"),
    (set_key(INI, "installer", "Setup.exe"), "{ini}: installer: 'Setup.exe' has no folder"),
    (set_key(INI, "installer", "Tavrinex\\aux.exe"), "{ini}: installer: the file 'aux.exe' is a device name"),
    (set_key(INI, "installer", "Tavrinex.\\Setup.exe"), "{ini}: installer: the folder 'Tavrinex.' ends in a dot"),
    (set_key(INI, "working_directory", "here"), "{ini}: working_directory: 'here': expected launcher or installer"),
    (set_key(INI, "volume_label", "Tavrinex Collection"), "{ini}: volume_label: 'Tavrinex Collection' is 19 characters"),
    (set_key(INI, "autorun_label", "Tavrinex Übersicht"), "{ini}: autorun_label: 'Tavrinex Übersicht' must be 1 to 32 printable ASCII"),
    (set_key(INI, "version_line", "Tavrinex Version Kv3702 Deluxe"), "{ini}: version_line: 'Tavrinex Version Kv3702 Deluxe' is 294 pixels wide; the version line has 244"),
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
    (both(picture("s.png", (32, 32), "RGBA", alpha=100), set_key(INI, "setup_icon", "s.png")),
     "{folder}/s.png: setup_icon: has partly transparent pixels"),
    (both(picture("e.ico", (48, 48), sizes=[(16, 16), (48, 48)]), set_key(INI, "exit_icon", "e.ico")),
     "{folder}/e.ico: exit_icon: an icon with images of 16 x 16, 48 x 48; it needs a 32 x 32 one"),
]


def run(folder, out):
    return subprocess.run(["/usr/bin/python3", PRODUCT_PY, "--product", folder, "--out", out],
                          capture_output=True, text=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--product", required=True)
    parser.add_argument("--scratch", required=True)
    args = parser.parse_args()
    shutil.rmtree(args.scratch, ignore_errors=True)
    failures = []
    for number, (change, expected) in enumerate(CASES):
        folder = os.path.join(args.scratch, f"case{number}")
        shutil.copytree(args.product, folder)
        change(folder)
        files = {"ini": os.path.join(folder, INI), "en": os.path.join(folder, EN), "folder": folder,
                 "ru": os.path.join(folder, "texts", "ru.ini"), "disc": os.path.join(folder, "disc.bmp")}
        expected = expected.format(**files)
        result = run(folder, os.path.join(folder, "out"))
        lines = result.stderr.splitlines()
        if result.returncode != 1 or len(lines) != 1 or not lines[0].startswith(expected) \
                or os.path.exists(os.path.join(folder, "out")):
            failures.append(f"expected one line starting {expected!r} and no output, got exit "
                            f"{result.returncode}: {result.stderr.strip()!r}")
    # The forms a maker has: an 8-bit BMP artwork, a PNG setup icon with
    # transparent corners, an icon file of several images.
    folder = os.path.join(args.scratch, "converted")
    shutil.copytree(args.product, folder)
    art = Image.new("RGB", (350, 350), (200, 30, 30))
    art.convert("P", palette=Image.Palette.ADAPTIVE).save(os.path.join(folder, "art8.bmp"))
    icon = Image.new("RGBA", (32, 32), (0, 0, 255, 255))
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
        # 32 x 32, 16 colours, 4 bits; pixel (0, 0) transparent in the mask
        # (the top row is the mask's last, its first bit the pixel's).
        if len(setup) != 766 or setup[6:9] != bytes((32, 32, 16)) or not setup[-4] & 0x80:
            failures.append("the PNG setup icon did not become a 16-colour icon with its transparency")
        exit_icon = open(os.path.join(out, "exit.ico"), "rb").read()
        if len(exit_icon) != 3262 or exit_icon[6:8] != bytes((32, 32)):
            failures.append("the 32 x 32 image of the icon file was not taken as a 24-bit icon")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(CASES) - len(failures) + (1 if not failures else 0)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
