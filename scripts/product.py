#!/usr/bin/python3
"""Reads a product folder, checks every value, and writes what the build
and the tests take from it.

    product.py --product <folder> --out <folder> [--language <language>]

The product folder holds product.ini, texts/<language>.ini and the pictures
product.ini names. Into --out go:

  product.json           every fact, for the build scripts and the tests
  product.cmake          the facts CMake needs, as set() lines
  disc.bmp, setup.ico, exit.ico
                         the pictures in the one form the launcher carries
  launcher.manifest      the application manifest
  version.rc             the version record
  ProductFacts.cpp       installer, working folder, admitted releases,
                         version line and design-time captions
  <language>/string_table.rc, <language>/ProductTexts.cpp
                         each language's string table and message texts
  every-language/string_table.rc
                         with choose_language = at_start: every language's
                         texts, captions and message texts alike, one block
                         a language tagged with its language id, and the
                         fallback language's block again as the neutral one

A bad value stops it with one line, "<file>: <key>: <what is wrong>", and
exit status 1; nothing in --out is replaced then.
"""
import argparse
import configparser
import io
import json
import os
import re
import struct
import sys
import tempfile

PRODUCT_KEYS = ["name", "company", "version", "comments", "version_line", "volume_label",
                "autorun_label", "installer", "working_directory", "windows", "artwork",
                "setup_icon", "exit_icon", "languages"]
# Keys a product may leave out, with what stands for them then.
OPTIONAL_KEYS = {
    "copyright": lambda p: f"Copyright (C) {p['company']}",
    "description": lambda p: f"{p['name']} disc launcher",
    "record_language": lambda p: p["languages"][0],
    "choose_language": lambda p: "at_build",
}
TEXT_KEYS = ["title", "setup", "exit", "refusal", "quit_title", "quit", "start_failure"]
CAPTION_KEYS = {"setup": 10, "exit": 11, "title": 12}
# Where a launcher that picks its language at start finds the message texts
# (resources/resource.h has the same numbers), and the most it reads of one.
MESSAGE_KEYS = {"refusal": 1, "quit_title": 2, "quit": 3, "start_failure": 4}
MESSAGE_CHARS = 1023
# When the launcher's language is picked: when it is built (one language in
# the executable) or when it starts (every language in it).
CHOOSE_LANGUAGE = ("at_build", "at_start")

# The releases a product may admit, in the order the launcher numbers them;
# launcher/Product.h has the same order.
RELEASES = ["98", "Me", "NT4", "2000", "XP", "95", "2003", "Vista", "7", "8", "8.1", "10", "11"]

# Languages a product's texts may be in: the language id Windows gives it
# and the ANSI code page of a system set to it.
LANGUAGES = {
    "ar": (0x0401, 1256), "bg": (0x0402, 1251), "ca": (0x0403, 1252), "cs": (0x0405, 1250),
    "da": (0x0406, 1252), "de": (0x0407, 1252), "el": (0x0408, 1253), "en": (0x0409, 1252),
    "es": (0x0C0A, 1252), "fi": (0x040B, 1252), "fr": (0x040C, 1252), "he": (0x040D, 1255),
    "hu": (0x040E, 1250), "it": (0x0410, 1252), "ja": (0x0411, 932), "ko": (0x0412, 949),
    "nl": (0x0413, 1252), "nb": (0x0414, 1252), "pl": (0x0415, 1250), "pt-BR": (0x0416, 1252),
    "ro": (0x0418, 1250), "ru": (0x0419, 1251), "hr": (0x041A, 1250), "sk": (0x041B, 1250),
    "sv": (0x041D, 1252), "th": (0x041E, 874), "tr": (0x041F, 1254), "uk": (0x0422, 1251),
    "sl": (0x0424, 1250), "et": (0x0425, 1257), "lv": (0x0426, 1257), "lt": (0x0427, 1257),
    "vi": (0x042A, 1258), "zh-CN": (0x0804, 936), "zh-TW": (0x0404, 950), "pt": (0x0816, 1252),
    "en-GB": (0x0809, 1252),
}

# Vista and later take a program whose version record says any of these for
# an installer and ask for an administrator before it even starts.
INSTALLER_WORDS = re.compile(r"setup|install|update|patch", re.IGNORECASE)
DEVICE_NAMES = re.compile(r"(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\..*)?", re.IGNORECASE)
FORBIDDEN_IN_NAMES = set('<>:"|?*/')

# The window's text, as Windows lays it out in Times New Roman (Liberation
# Serif has its metrics): the version line in 15.75 pt bold (21 pixels) on
# a line 244 pixels wide, the captions in 9.75 pt (13 pixels) on a face 81
# pixels wide less its edges.
FONTS = "/usr/share/fonts/truetype/liberation"
VERSION_LINE_FONT, VERSION_LINE_WIDTH = ("LiberationSerif-Bold.ttf", 21), 244
CAPTION_FONT, CAPTION_WIDTH = ("LiberationSerif-Regular.ttf", 13), 77

ARTWORK_SIZE = 350
ICON_SIZE = 32
PIXELS_PER_METRE = 3780  # 96 dots per inch
# The standard Windows 16-colour palette, in the order of its indices.
STANDARD_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def q(text):
    """A value as the maker wrote it, in quotes."""
    return f"'{text}'"


class ProductError(Exception):
    """One bad value: the file, the key and what is wrong."""

    def __init__(self, path, key, what):
        super().__init__(f"{path}: {key}: {what}" if key else f"{path}: {what}")


# --- reading -----------------------------------------------------------------

def read_ini(path, section, keys, optional=()):
    """The one section of a UTF-8 ini file with exactly these keys (the
    optional ones may be left out), every value non-empty."""
    parser = configparser.ConfigParser(interpolation=None, comment_prefixes=(";",),
                                       inline_comment_prefixes=None, delimiters=("=",),
                                       empty_lines_in_values=False)
    parser.optionxform = str  # keys are case-sensitive names
    try:
        with open(path, encoding="utf-8") as f:
            parser.read_file(f)
    except FileNotFoundError:
        raise ProductError(path, None, "no such file")
    except UnicodeDecodeError as e:
        raise ProductError(path, None, f"not UTF-8 (byte {e.start})")
    except configparser.DuplicateOptionError as e:
        raise ProductError(path, e.option, f"given twice (line {e.lineno})")
    except configparser.DuplicateSectionError as e:
        raise ProductError(path, None, f"section [{e.section}] given twice")
    except configparser.MissingSectionHeaderError as e:
        raise ProductError(path, None, f"line {e.lineno}: a value before the [{section}] line")
    except configparser.Error as e:
        raise ProductError(path, None, str(e).splitlines()[0])
    others = [s for s in parser.sections() if s != section]
    if others or not parser.has_section(section):
        raise ProductError(path, None, f"expected one section, [{section}], found "
                           + ", ".join(f"[{s}]" for s in parser.sections()) if parser.sections()
                           else f"no [{section}] section")
    values = dict(parser.items(section))
    for key in values:
        if key not in keys and key not in optional:
            raise ProductError(path, key, "unknown key (known: " + ", ".join(list(keys) + list(optional)) + ")")
    for key in keys:
        if key not in values:
            raise ProductError(path, key, "missing")
    for key, value in values.items():
        value = value.strip()
        if value.startswith('"') and value.endswith('"') and len(value) >= 2:
            value = value[1:-1]  # quotes keep leading or trailing spaces
        if not value:
            raise ProductError(path, key, "empty")
        if any(ord(c) < 32 for c in value):
            raise ProductError(path, key, "holds a control character")
        values[key] = value
    return values


def check_record_text(path, key, value):
    if INSTALLER_WORDS.search(value):
        raise ProductError(path, key, f"{q(value)} says {q(INSTALLER_WORDS.search(value)[0])}: Windows Vista "
                           "and later take a program whose version record names setup, install, "
                           "update or patch for an installer and ask for an administrator")


def parse_version(path, value):
    if not re.fullmatch(r"\d+(\.\d+){0,3}", value):
        raise ProductError(path, "version", f"{q(value)} is not one to four numbers joined by dots "
                           "(such as 1.00 or 2.1.3)")
    numbers = [int(part) for part in value.split(".")]
    if any(n > 65535 for n in numbers):
        raise ProductError(path, "version", f"{q(value)}: each number must be 65535 or less")
    return numbers + [0] * (4 - len(numbers))


def check_file_name(path, key, name, what):
    """A name Windows can open."""
    if name in (".", ".."):
        raise ProductError(path, key, f"{what} {q(name)} climbs out of the launcher's folder"
                           if name == ".." else f"{what} {q(name)} names no file")
    if any(c in FORBIDDEN_IN_NAMES for c in name):
        bad = next(c for c in name if c in FORBIDDEN_IN_NAMES)
        kind = "a wildcard" if bad in "*?" else f"the character {q(bad)}"
        raise ProductError(path, key, f"{what} {q(name)} holds {kind}, which Windows file names cannot")
    if name[-1] in ". ":
        raise ProductError(path, key, f"{what} {q(name)} ends in a {'dot' if name[-1] == '.' else 'space'}, "
                           "which Windows drops, so the file could not be found")
    if DEVICE_NAMES.fullmatch(name):
        raise ProductError(path, key, f"{what} {q(name)} is a device name on Windows")
    if len(name) > 64:
        raise ProductError(path, key, f"{what} {q(name)} is {len(name)} characters; a disc's "
                           "Joliet names carry at most 64")


def parse_installer(path, value):
    text = value.replace("/", "\\")
    if re.match(r"^[A-Za-z]:", text):
        raise ProductError(path, "installer", f"{q(value)} names a drive; give the path relative to "
                           "the launcher's folder, such as Acme\\Setup.exe")
    if text.startswith("\\\\"):
        raise ProductError(path, "installer", f"{q(value)} is a network (UNC) path; give the path "
                           "relative to the launcher's folder")
    if text.startswith("\\"):
        raise ProductError(path, "installer", f"{q(value)} is absolute; give the path relative to "
                           "the launcher's folder, such as Acme\\Setup.exe")
    parts = text.split("\\")
    if len(parts) < 2:
        raise ProductError(path, "installer", f"{q(value)} has no folder: the installer sits in a "
                           "folder beside the launcher, such as Acme\\Setup.exe")
    for i, part in enumerate(parts):
        if not part:
            raise ProductError(path, "installer", f"{q(value)} has an empty folder name")
        check_file_name(path, "installer", part, "the folder" if i < len(parts) - 1 else "the file")
    if len(text) > 240:
        raise ProductError(path, "installer", f"{q(value)} is {len(text)} characters; a disc's "
                           "Joliet paths carry at most 240")
    return parts


def parse_windows(path, value):
    admitted = []
    known = {r.lower(): r for r in RELEASES}
    for token in value.split():
        release = known.get(token.lower())
        if release is None:
            raise ProductError(path, "windows", f"unknown release {q(token)}; known: "
                               "95 98 Me NT4 2000 XP 2003 Vista 7 8 8.1 10 11")
        if release in admitted:
            raise ProductError(path, "windows", f"release {q(token)} given twice")
        admitted.append(release)
    return admitted


def parse_languages(path, value):
    languages = value.split()
    for language in languages:
        if language not in LANGUAGES:
            raise ProductError(path, "languages", f"unknown language {q(language)}; known: "
                               + " ".join(sorted(LANGUAGES)))
    if len(set(languages)) != len(languages):
        raise ProductError(path, "languages", "a language is given twice")
    return languages


def unescape(path, key, value):
    """\\n is a line break (CR LF on Windows), \\\\ a backslash."""
    out, i = [], 0
    while i < len(value):
        c = value[i]
        if c == "\\":
            following = value[i + 1:i + 2]
            if following == "n":
                out.append("\r\n")
            elif following == "\\":
                out.append("\\")
            else:
                raise ProductError(path, key, f"unknown escape \\{following} (only \\n and \\\\)")
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def access_key(caption):
    """The letter after a single &, lower-cased; None if there is none."""
    i = 0
    while i < len(caption):
        if caption[i] == "&":
            if caption[i + 1:i + 2] == "&":
                i += 2
                continue
            return caption[i + 1:i + 2].lower() or None
        i += 1
    return None


def text_width(text, font):
    """Pixels a line takes, or None where it cannot be measured here (no
    font, or letters outside the Latin, Greek and Cyrillic it covers)."""
    if any(ord(c) > 0x52F for c in text):
        return None
    try:
        from PIL import ImageFont
        return ImageFont.truetype(os.path.join(FONTS, font[0]), font[1]).getlength(text)
    except (ImportError, OSError):
        return None


def check_width(path, key, text, font, width, where):
    shown = re.sub(r"&(.)", r"\1", text)
    measured = text_width(shown, font)
    if measured is not None and measured > width:
        raise ProductError(path, key, f"{q(shown)} is {measured:.0f} pixels wide; {where} "
                           f"has {width}, so it would be cut off")


def read_texts(folder, language):
    path = os.path.join(folder, "texts", f"{language}.ini")
    values = read_ini(path, "texts", TEXT_KEYS)
    texts = {key: unescape(path, key, value) for key, value in values.items()}
    codepage = LANGUAGES[language][1]
    for key in TEXT_KEYS:
        try:
            texts[key].encode(f"cp{codepage}")
        except UnicodeEncodeError as e:
            raise ProductError(path, key, f"{q(texts[key][e.start])} cannot be written in code page "
                               f"{codepage}, the ANSI code page of {language} systems")
        if key in CAPTION_KEYS and len(texts[key]) > 255:
            raise ProductError(path, key, "longer than 255 characters")
    for key in ("setup", "exit"):
        if access_key(texts[key]) is None and "&" in texts[key]:
            raise ProductError(path, key, f"{q(texts[key])}: & ends the caption without a key")
    for key in ("setup", "exit"):
        check_width(path, key, texts[key], CAPTION_FONT, CAPTION_WIDTH, "a button's face")
    keys = {key: access_key(texts[key]) for key in ("setup", "exit")}
    if keys["setup"] is not None and keys["setup"] == keys["exit"]:
        raise ProductError(path, "exit", f"{q(texts['exit'])} has the access key "
                           f"{q(keys['exit'].upper())}, which setup ({q(texts['setup'])}) has already")
    texts["access_keys"] = keys
    return texts


# --- pictures -------------------------------------------------------------------

def open_image(path, key):
    try:
        from PIL import Image
    except ImportError:
        raise ProductError(path, key, "cannot read pictures: Pillow (python3-pil) is not installed")
    if not os.path.isfile(path):
        raise ProductError(path, key, "no such file")
    try:
        image = Image.open(path)
        image.load()
    except Exception as e:
        raise ProductError(path, key, f"not a picture Pillow can read ({e})")
    if image.format not in ("BMP", "DIB", "PNG", "ICO"):
        raise ProductError(path, key, f"a {image.format} picture; give a BMP or a PNG"
                           + (" or an ICO" if key != "artwork" else ""))
    return image


def rgba_pixels(image):
    return image.convert("RGBA")


def check_opaque(path, key, image):
    rgba = rgba_pixels(image)
    alpha = rgba.getchannel("A")
    low, _ = alpha.getextrema()
    if low < 255:
        raise ProductError(path, key, "has transparent pixels, which a bitmap of 24 bits cannot "
                           "keep; flatten it onto its background first")
    return rgba.convert("RGB")


def canonical_bmp(rgb):
    """A 24-bit bottom-up BI_RGB bitmap file at 96 dots per inch."""
    width, height = rgb.size
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    raw = rgb.tobytes()
    for y in range(height - 1, -1, -1):
        row = raw[y * width * 3:(y + 1) * width * 3]
        bgr = bytearray(len(row))
        bgr[0::3], bgr[1::3], bgr[2::3] = row[2::3], row[1::3], row[0::3]
        pixels += bgr + b"\0" * (stride - width * 3)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels),
                       PIXELS_PER_METRE, PIXELS_PER_METRE, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


def convert_artwork(path):
    key = "artwork"
    with open(path, "rb") as f:
        data = f.read() if os.path.isfile(path) else b""
    image = open_image(path, key)
    if image.size != (ARTWORK_SIZE, ARTWORK_SIZE):
        raise ProductError(path, key, f"{image.size[0]} x {image.size[1]} pixels; the window's "
                           f"picture must be {ARTWORK_SIZE} x {ARTWORK_SIZE}")
    rgb = check_opaque(path, key, image)
    bmp = canonical_bmp(rgb)
    # A file already in the launcher's form goes in as it is, byte for byte.
    return data if data == bmp else bmp


def icon_images(path, key, image):
    """The 32 x 32 image of a picture, from an .ico the largest-depth one."""
    if image.format == "ICO":
        sizes = image.info.get("sizes") or image.ico.sizes()
        if (ICON_SIZE, ICON_SIZE) not in sizes:
            found = ", ".join(f"{w} x {h}" for w, h in sorted(sizes))
            raise ProductError(path, key, f"an icon with images of {found}; it needs a "
                               f"{ICON_SIZE} x {ICON_SIZE} one")
        image = image.ico.getimage((ICON_SIZE, ICON_SIZE))
    if image.size != (ICON_SIZE, ICON_SIZE):
        raise ProductError(path, key, f"{image.size[0]} x {image.size[1]} pixels; a button's "
                           f"picture must be {ICON_SIZE} x {ICON_SIZE}")
    rgba = rgba_pixels(image)
    alphas = set(rgba.getchannel("A").getdata())
    if alphas - {0, 255}:
        raise ProductError(path, key, "has partly transparent pixels, which an icon of this kind "
                           "cannot keep (each pixel is opaque or fully transparent)")
    return rgba


def icon_file(width, height, colours, bits, image):
    entry = struct.pack("<BBBBHHII", width, height, colours, 0, 1, bits, len(image), 22)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def and_mask(rgba):
    """The 1-bit mask, bottom-up, rows padded to 4 bytes: 1 is transparent."""
    alpha = rgba.getchannel("A").tobytes()
    rows = []
    for y in range(ICON_SIZE - 1, -1, -1):
        bits = 0
        for x in range(ICON_SIZE):
            bits = (bits << 1) | (1 if alpha[y * ICON_SIZE + x] == 0 else 0)
        rows.append(struct.pack(">I", bits))
    return b"".join(rows)


def convert_setup_icon(path):
    """32 x 32, the 16 standard colours, 4 bits a pixel, with its mask."""
    from PIL import Image
    key = "setup_icon"
    rgba = icon_images(path, key, open_image(path, key))
    palette = Image.new("P", (1, 1))
    flat = [c for colour in STANDARD_16 for c in colour]
    palette.putpalette(flat * 16)
    opaque = Image.new("RGB", rgba.size)
    opaque.paste(rgba.convert("RGB"), mask=rgba.getchannel("A"))
    indices = opaque.quantize(palette=palette, dither=Image.Dither.FLOYDSTEINBERG).tobytes()
    alpha = rgba.getchannel("A").tobytes()
    pixels = bytearray()
    for y in range(ICON_SIZE - 1, -1, -1):
        for x in range(0, ICON_SIZE, 2):
            a = indices[y * ICON_SIZE + x] % 16 if alpha[y * ICON_SIZE + x] else 0
            b = indices[y * ICON_SIZE + x + 1] % 16 if alpha[y * ICON_SIZE + x + 1] else 0
            pixels.append(a << 4 | b)
    header = struct.pack("<IiiHHIIiiII", 40, ICON_SIZE, 2 * ICON_SIZE, 1, 4, 0,
                         len(pixels) + 128, 0, 0, 16, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in STANDARD_16)
    return icon_file(ICON_SIZE, ICON_SIZE, 16, 4, header + table + bytes(pixels) + and_mask(rgba))


def convert_exit_icon(path):
    """32 x 32, 24 bits a pixel, with its mask."""
    key = "exit_icon"
    rgba = icon_images(path, key, open_image(path, key))
    raw = rgba.tobytes()
    pixels = bytearray()
    for y in range(ICON_SIZE - 1, -1, -1):
        for x in range(ICON_SIZE):
            r, g, b, a = raw[(y * ICON_SIZE + x) * 4:(y * ICON_SIZE + x) * 4 + 4]
            pixels += bytes((b, g, r)) if a else b"\0\0\0"
    header = struct.pack("<IiiHHIIiiII", 40, ICON_SIZE, 2 * ICON_SIZE, 1, 24, 0,
                         len(pixels) + 128, 0, 0, 0, 0)
    return icon_file(ICON_SIZE, ICON_SIZE, 0, 24, header + bytes(pixels) + and_mask(rgba))


def convert_icon(path, key, converter, colours, bits):
    data = open(path, "rb").read() if os.path.isfile(path) else b""
    # A one-image icon already of the kind the launcher carries goes in as it is.
    if len(data) >= 22 and data[:6] == struct.pack("<HHH", 0, 1, 1):
        width, height, count, _, planes, bit_count, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
        if (width, height, count, bit_count, offset, offset + size) == \
                (ICON_SIZE, ICON_SIZE, colours, bits, 22, len(data)):
            image_header = struct.unpack_from("<IiiHH", data, 22)
            if image_header == (40, ICON_SIZE, 2 * ICON_SIZE, 1, bits):
                icon_images(path, key, open_image(path, key))  # readable, no lost transparency
                return data
    return converter(path)


# --- writing ------------------------------------------------------------------

def c_string(text):
    """A C++ UTF-16 string literal."""
    out = []
    for c in text:
        if c == "\\":
            out.append("\\\\")
        elif c == '"':
            out.append('\\"')
        elif c == "\r":
            out.append("\\r")
        elif c == "\n":
            out.append('\\n"\n        u"')
        elif 32 <= ord(c) < 127:
            out.append(c)
        elif ord(c) > 0xFFFF:
            out.append(f"\\U{ord(c):08X}")
        else:
            out.append(f"\\u{ord(c):04X}")
    return 'u"' + "".join(out) + '"'


def cmake_escape(text):
    return re.sub(r'([\\"$;])', r"\\\1", text)


def rc_string(text):
    """A resource-compiler string: "" for a quote; a backslash starts an
    escape there, so backslashes and line breaks are written as escapes."""
    escaped = text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")
    return '"' + escaped.replace('"', '""') + '"'


def release_mask(admitted):
    mask = 0
    for release in admitted:
        mask |= 1 << (RELEASES.index(release) + 1)
    return mask


def write_outputs(out, files):
    """Writes each file, touching only those whose bytes change."""
    for name, content in files.items():
        path = os.path.join(out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if isinstance(content, str):
            content = content.encode("utf-8")
        try:
            with open(path, "rb") as f:
                if f.read() == content:
                    continue
        except FileNotFoundError:
            pass
        with tempfile.NamedTemporaryFile(dir=os.path.dirname(path), delete=False) as f:
            f.write(content)
        os.replace(f.name, path)


def read_product(folder):
    ini = os.path.join(folder, "product.ini")
    values = read_ini(ini, "product", PRODUCT_KEYS, OPTIONAL_KEYS)
    p = dict(values)
    p["languages"] = parse_languages(ini, values["languages"])
    for key, default in OPTIONAL_KEYS.items():
        if key not in values:
            p[key] = default(p)
    if p["record_language"] not in LANGUAGES:
        raise ProductError(ini, "record_language", f"unknown language {q(p['record_language'])}")
    p["version_numbers"] = parse_version(ini, values["version"])
    for key in ("name", "company", "version", "comments", "copyright", "description"):
        check_record_text(ini, key, p[key])
    if len(values["volume_label"]) > 16:
        raise ProductError(ini, "volume_label", f"{q(values['volume_label'])} is "
                           f"{len(values['volume_label'])} characters; a disc's Joliet label carries at most 16")
    if any(c in '*/:;?\\"<>|' for c in values["volume_label"]):
        raise ProductError(ini, "volume_label", f"{q(values['volume_label'])} holds a character a "
                           "disc's label cannot carry (* / : ; ? \\ \" < > |)")
    label = values["autorun_label"]
    if len(label) > 32 or not re.fullmatch(r"[ -~]+", label):
        raise ProductError(ini, "autorun_label", f"{q(label)} must be 1 to 32 printable ASCII characters "
                           "(Windows reads autorun.inf in the ANSI code page and shows 32)")
    p["installer_parts"] = parse_installer(ini, values["installer"])
    p["installer"] = "\\".join(p["installer_parts"])
    if values["working_directory"] not in ("launcher", "installer"):
        raise ProductError(ini, "working_directory", f"{q(values['working_directory'])}: "
                           "expected launcher or installer")
    p["windows"] = parse_windows(ini, values["windows"])
    if p["choose_language"] not in CHOOSE_LANGUAGE:
        raise ProductError(ini, "choose_language", f"{q(p['choose_language'])}: expected at_build "
                           "(one language, picked when the launcher is built) or at_start (every "
                           "language, one picked when the launcher starts)")
    p["texts"] = {language: read_texts(folder, language) for language in p["languages"]}
    if p["choose_language"] == "at_start":
        for language in p["languages"]:
            for key in MESSAGE_KEYS:
                units = len(p["texts"][language][key].encode("utf-16-le")) // 2
                if units > MESSAGE_CHARS:
                    raise ProductError(os.path.join(folder, "texts", f"{language}.ini"), key,
                                       f"{units} characters; a launcher that picks its language at "
                                       f"start reads at most {MESSAGE_CHARS} of a message")
    line = values["version_line"]
    for language in p["languages"]:
        codepage = LANGUAGES[language][1]
        try:
            line.encode(f"cp{codepage}")
        except UnicodeEncodeError as e:
            raise ProductError(ini, "version_line", f"{q(line[e.start])} cannot be written in code page "
                               f"{codepage}, the ANSI code page of {language} systems")
    check_width(ini, "version_line", line, VERSION_LINE_FONT, VERSION_LINE_WIDTH, "the version line")
    pictures = {}
    pictures["disc.bmp"] = convert_artwork(os.path.join(folder, values["artwork"]))
    pictures["setup.ico"] = convert_icon(os.path.join(folder, values["setup_icon"]), "setup_icon",
                                         convert_setup_icon, 16, 4)
    pictures["exit.ico"] = convert_icon(os.path.join(folder, values["exit_icon"]), "exit_icon",
                                        convert_exit_icon, 0, 24)
    return p, pictures


def generate(p, pictures, folder, fallback):
    """fallback: the language shown where no other can be; the window is
    created with its captions. Picked when the launcher is built, that is
    the first language, whichever is built."""
    files = dict(pictures)
    if p["choose_language"] == "at_build":
        fallback = p["languages"][0]
    design = p["texts"][fallback]
    facts = {
        "folder": os.path.abspath(folder),
        "name": p["name"], "company": p["company"], "version": p["version"],
        "version_numbers": p["version_numbers"], "comments": p["comments"],
        "copyright": p["copyright"], "description": p["description"],
        "version_line": p["version_line"], "volume_label": p["volume_label"],
        "autorun_label": p["autorun_label"], "installer": p["installer"],
        "installer_folder": "\\".join(p["installer_parts"][:-1]),
        "working_directory": p["working_directory"], "windows": p["windows"],
        "languages": p["languages"],
        "choose_language": p["choose_language"], "fallback_language": fallback,
        "record_language": LANGUAGES[p["record_language"]][0],
        "language_ids": {l: LANGUAGES[l][0] for l in p["languages"]},
        "code_pages": {l: LANGUAGES[l][1] for l in p["languages"]},
        "texts": p["texts"],
    }
    files["product.json"] = json.dumps(facts, ensure_ascii=False, indent=1) + "\n"
    cmake_values = {"PRODUCT_NAME": p["name"], "PRODUCT_VOLUME_LABEL": p["volume_label"],
                    "PRODUCT_AUTORUN_LABEL": p["autorun_label"], "PRODUCT_INSTALLER": p["installer"],
                    "PRODUCT_INSTALLER_FILE": p["installer_parts"][-1],
                    "PRODUCT_LANGUAGES": ";".join(p["languages"]),
                    "PRODUCT_CHOOSE_LANGUAGE": p["choose_language"]}
    files["product.cmake"] = "# Generated from the product folder; do not edit.\n" + "".join(
        f'set({k} "{v if k == "PRODUCT_LANGUAGES" else cmake_escape(v)}")\n'
        for k, v in cmake_values.items())

    language = p["record_language"]
    lang_id = LANGUAGES[language][0]
    numbers = ",".join(str(n) for n in p["version_numbers"])
    strings = [("Comments", p["comments"]), ("CompanyName", p["company"]),
               ("FileDescription", p["description"]), ("FileVersion", p["version"]),
               ("InternalName", "launcher"), ("LegalCopyright", p["copyright"]),
               ("OriginalFilename", "launcher.exe"), ("ProductName", p["name"]),
               ("ProductVersion", p["version"])]
    files["version.rc"] = (
        "/* The version record, generated from the product folder; do not edit. */\n"
        "#pragma code_page(65001)\n"
        f"LANGUAGE {lang_id & 0x3FF}, {lang_id >> 10}\n"
        f"IDV_VERSION VERSIONINFO\nFILEVERSION {numbers}\nPRODUCTVERSION {numbers}\n"
        "FILEFLAGSMASK 0x3F\nFILEFLAGS 0\nFILEOS 4 /* VOS__WINDOWS32 */\n"
        "FILETYPE 1 /* VFT_APP */\nFILESUBTYPE 0\nBEGIN\n"
        "    BLOCK \"StringFileInfo\"\n    BEGIN\n"
        f"        BLOCK \"{lang_id:04X}04B0\"\n        BEGIN\n"
        + "".join(f"            VALUE \"{k}\", {rc_string(v)}\n" for k, v in strings)
        + "        END\n    END\n    BLOCK \"VarFileInfo\"\n    BEGIN\n"
        f"        VALUE \"Translation\", 0x{lang_id:04X}, 1200\n    END\nEND\n")

    identity = re.sub(r"[^A-Za-z0-9]", "", p["name"]) or "Product"
    files["launcher.manifest"] = MANIFEST.replace("@IDENTITY@", identity)

    mask = release_mask(p["windows"])
    files["ProductFacts.cpp"] = (
        "// The product's facts, generated from its product folder; do not edit.\n"
        "#include \"launcher/Product.h\"\n#include \"ui/Layout.h\"\n\n"
        "namespace launcher {\n\n"
        f"const char16_t kProductInstaller[] = {c_string(p['installer'])};\n"
        "const WorkingFolder kProductWorkingFolder = WorkingFolder::"
        f"{'Installer' if p['working_directory'] == 'installer' else 'Launcher'};\n"
        f"const uint32_t kProductReleases = 0x{mask:04X}u;  // {' '.join(p['windows'])}\n\n"
        "}  // namespace launcher\n\nnamespace ui {\n\n"
        f"const char16_t kVersionLine[] = {c_string(p['version_line'])};\n"
        f"const char16_t kForm1DesignTitle[] = {c_string(design['title'])};\n"
        f"const char16_t kCommand1DesignCaption[] = {c_string(design['setup'])};\n"
        f"const char16_t kCommand2DesignCaption[] = {c_string(design['exit'])};\n\n"
        "}  // namespace ui\n")
    if p["choose_language"] == "at_start":
        ids = ", ".join(f"0x{LANGUAGES[l][0]:04X}" for l in p["languages"])
        files["ProductFacts.cpp"] += (
            "\nnamespace launcher {\n\n"
            f"const LanguageId kProductLanguageIds[] = {{{ids}}};  // {' '.join(p['languages'])}\n"
            "const CarriedLanguages kProductLanguages = {kProductLanguageIds, "
            f"{len(p['languages'])}, 0x{LANGUAGES[fallback][0]:04X}}};  // falls back on {fallback}\n\n"
            "}  // namespace launcher\n")
        files["every-language/string_table.rc"] = every_language_table(p, fallback)
    for language in p["languages"]:
        t = p["texts"][language]
        files[f"{language}/string_table.rc"] = (
            f"/* The {language} captions, generated from the product folder; do not edit. */\n"
            "#pragma code_page(65001)\nSTRINGTABLE\nBEGIN\n"
            + "".join(f"    {i} {rc_string(t[k])}\n" for k, i in sorted(CAPTION_KEYS.items(), key=lambda x: x[1]))
            + "END\n")
        files[f"{language}/ProductTexts.cpp"] = (
            f"// The {language} message texts, generated from the product folder; do not edit.\n"
            "#include \"launcher/Product.h\"\n\nnamespace launcher {\n\n"
            "const ProductTexts kProductTexts = {\n"
            f"    {c_string(t['refusal'])},\n    {c_string(t['quit_title'])},\n"
            f"    {c_string(t['quit'])},\n    {c_string(t['start_failure'])},\n}};\n\n"
            "}  // namespace launcher\n")
    return files


def every_language_table(p, fallback):
    """Each language's block, captions and message texts, tagged with its
    language id; the fallback's block again as the neutral one."""
    def block(language, tag, comment):
        texts = p["texts"][language]
        entries = sorted(list(MESSAGE_KEYS.items()) + list(CAPTION_KEYS.items()), key=lambda x: x[1])
        return (f"LANGUAGE {tag & 0x3FF}, {tag >> 10} /* {comment} */\nSTRINGTABLE\nBEGIN\n"
                + "".join(f"    {i} {rc_string(texts[k])}\n" for k, i in entries) + "END\n\n")
    return ("/* Every language's texts, generated from the product folder; do not edit.\n"
            "   The launcher picks one block when it starts, by its language id. */\n"
            "#pragma code_page(65001)\n"
            + block(fallback, 0x0800, f"neutral: {fallback}, the fallback")
            + "".join(block(l, LANGUAGES[l][0], l) for l in p["languages"]))


MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="@IDENTITY@.Launcher" version="1.0.0.0" processorArchitecture="X86"/>
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v2">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">
    <application>
      <supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>
      <supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>
      <supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>
      <supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>
      <supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>
    </application>
  </compatibility>
</assembly>
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--product", required=True, help="the product folder")
    parser.add_argument("--out", required=True, help="where the generated files go")
    parser.add_argument("--language", help="the language built in, or with choose_language = "
                        "at_start the fallback; one of the product's languages")
    args = parser.parse_args()
    try:
        product, pictures = read_product(args.product)
        if args.language and args.language not in product["languages"]:
            raise ProductError(os.path.join(args.product, "product.ini"), "languages",
                               f"LAUNCHER_LANGUAGE={args.language} is not one of them ("
                               + " ".join(product["languages"]) + ")")
        fallback = args.language or product["languages"][0]
        write_outputs(args.out, generate(product, pictures, args.product, fallback))
    except ProductError as e:
        print(e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
