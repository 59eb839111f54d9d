"""Reading and checking product.ini and texts/<language>.ini."""
import os
import re

from product_compiler.errors import ProductError, q
from product_compiler.ini import read_ini
from product_compiler.names import disc_name, installer_problems, name_faults
from product_compiler.pictures import convert_artwork, convert_exit_icon, convert_icon, convert_setup_icon

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

# The window's text, as Windows lays it out in Times New Roman (Liberation
# Serif has its metrics): the version line in 15.75 pt bold (21 pixels) on
# a line 244 pixels wide, the captions in 9.75 pt (13 pixels) on a face 81
# pixels wide less its edges.
FONTS = "/usr/share/fonts/truetype/liberation"
VERSION_LINE_FONT, VERSION_LINE_WIDTH = ("LiberationSerif-Bold.ttf", 21), 244
CAPTION_FONT, CAPTION_WIDTH = ("LiberationSerif-Regular.ttf", 13), 77



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
    """A name Windows can open from the disc (the rules of product_compiler/names.py)."""
    if name in (".", ".."):
        raise ProductError(path, key, f"{what} {q(name)} climbs out of the launcher's folder"
                           if name == ".." else f"{what} {q(name)} names no file")
    faults = name_faults(disc_name(name))
    if faults:
        raise ProductError(path, key, f"{what} {q(name)}: {faults[0][1]}")


def parse_installer(path, value):
    """The installer's path, checked as every name on the disc is: its
    names, composed (NFC) as the disc carries them."""
    parts, wrong = installer_problems(value)
    if wrong:
        raise ProductError(path, "installer", wrong)
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

