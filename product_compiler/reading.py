"""Reading and checking product.ini and texts/<language>.ini."""
import os
import re

from product_compiler import buttons as window_buttons, names, tables
from product_compiler.tables import RESOURCE_IDS
from product_compiler.errors import ProductError, q
from product_compiler.files import picture_path
from product_compiler.ini import check_values, read_ini, read_sections
from product_compiler.names import installer_problems
from product_compiler.pictures import convert_artwork, convert_icon

PRODUCT_KEYS = ["name", "company", "version", "comments", "version_line", "volume_label",
                "autorun_label", "installer", "working_directory", "windows", "artwork",
                "setup_icon", "exit_icon", "languages"]
# Keys a product may leave out, with what stands for them then.
OPTIONAL_KEYS = {
    "copyright": lambda p: f"Copyright (C) {p['company']}",
    "description": lambda p: f"{p['name']} disc launcher",
    "record_language": lambda p: p["languages"][0],
    "choose_language": lambda p: "at_build",
    "launcher_name": lambda p: "launcher.exe",
    "buttons": lambda p: "setup exit",
}
# What Setup starts on 64-bit x64 and on ARM64 Windows, where given.
MACHINE_INSTALLERS = ("installer_x64", "installer_arm64")
TEXT_KEYS = ["title", "setup", "exit", "refusal", "quit_title", "quit", "start_failure"]
CAPTION_KEYS = {"setup": RESOURCE_IDS["IDS_SETUP_CAPTION"], "exit": RESOURCE_IDS["IDS_EXIT_CAPTION"],
                "title": RESOURCE_IDS["IDS_TITLE"]}
# Where a launcher that picks its language at start finds the message texts
# (resources/resource.h has the same numbers), and the most it reads of one.
MESSAGE_KEYS = {"refusal": RESOURCE_IDS["IDS_REFUSAL"], "quit_title": RESOURCE_IDS["IDS_QUIT_TITLE"],
                "quit": RESOURCE_IDS["IDS_QUIT"], "start_failure": RESOURCE_IDS["IDS_START_FAILURE"]}
MESSAGE_CHARS = 1023
# When the launcher's language is picked: when it is built (one language in
# the executable) or when it starts (every language in it).
CHOOSE_LANGUAGE = ("at_build", "at_start")

# The releases a product may admit, oldest first, with their version codes,
# and the languages its texts may be in: (language id, ANSI code page).
RELEASES = [release.name for release in tables.RELEASES]
RELEASE_CODES = {release.name: release.code for release in tables.RELEASES}
LANGUAGES = {tag: (language.id, language.codepage) for tag, language in tables.LANGUAGES.items()}

# Vista and later take a program whose version record says any of these for
# an installer and ask for an administrator before it even starts.
INSTALLER_WORDS = re.compile(r"setup|install|update|patch", re.IGNORECASE)

# The window's text, as Windows lays it out in the layout's fonts (Times New
# Roman, which Liberation Serif matches metric for metric): the version line
# across its label, each caption across its button's face less the edges.
FONTS = "/usr/share/fonts/truetype/liberation"
METRIC_TWINS = {("Times New Roman", 400): "LiberationSerif-Regular.ttf",
                ("Times New Roman", 700): "LiberationSerif-Bold.ttf"}


def layout_font(name):
    font = tables.LAYOUT["fonts"][name]
    return METRIC_TWINS.get((font.face, font.weight)), font.pixels


VERSION_LINE_FONT = layout_font("Label")
VERSION_LINE_WIDTH = tables.LAYOUT["controls"]["Label1"].width
CAPTION_FONT = layout_font("Button")
CAPTION_WIDTH = tables.LAYOUT["controls"]["Command1"].width - 2 * tables.LAYOUT["metrics"]["ButtonEdge"]



def check_record_text(path, key, value):
    if INSTALLER_WORDS.search(value):
        raise ProductError(path, key, f"{q(value)} says {q(INSTALLER_WORDS.search(value)[0])}: Windows Vista "
                           "and later take a program whose version record names setup, install, "
                           "update or patch for an installer and ask for an administrator")


def check_launcher_name(path, value):
    """The launcher's file at the disc's root: AutoPlay offers to run it
    by this name, and a user finds it by it on a USB stick."""
    key = "launcher_name"
    if "\\" in value or "/" in value:
        raise ProductError(path, key, f"{q(value)} names a folder; the launcher stands at the disc's root")
    if not value.lower().endswith(".exe"):
        raise ProductError(path, key, f"{q(value)} does not end in .exe, so Windows would not run it")
    if INSTALLER_WORDS.search(value):
        raise ProductError(path, key, f"{q(value)} says {q(INSTALLER_WORDS.search(value)[0])}: Windows "
                           "Vista and later ask for an administrator before they start a program so "
                           "named, before the launcher could even say where it runs")
    problems = names.name_problems(value)
    if problems:
        raise ProductError(path, key, f"{q(value)}: {problems[0]}")
    return value


def parse_version(path, value):
    if not re.fullmatch(r"\d+(\.\d+){0,3}", value):
        raise ProductError(path, "version", f"{q(value)} is not one to four numbers joined by dots "
                           "(such as 1.00 or 2.1.3)")
    numbers = [int(part) for part in value.split(".")]
    if any(n > 65535 for n in numbers):
        raise ProductError(path, "version", f"{q(value)}: each number must be 65535 or less")
    return numbers + [0] * (4 - len(numbers))


def parse_installer(path, value, key="installer"):
    """The installer's path, checked as every name on the disc is: its
    names, composed (NFC) as the disc carries them."""
    parts, wrong = installer_problems(value)
    if wrong:
        raise ProductError(path, key, wrong)
    return parts


def parse_windows(path, value, key="windows"):
    admitted = []
    known = {r.lower(): r for r in RELEASES}
    for token in value.split():
        release = known.get(token.lower())
        if release is None:
            raise ProductError(path, key, f"unknown release {q(token)}; known: "
                               + " ".join(RELEASES))
        if release in admitted:
            raise ProductError(path, key, f"release {q(token)} given twice")
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


# What the metric twin draws as the Windows font does: Latin, Greek and
# Cyrillic, Vietnamese's Latin, and the punctuation, currency and letterlike
# signs (– „ ” … € ™) makers use beside them.
MEASURED = [(0x0000, 0x052F), (0x1E00, 0x1EFF), (0x2000, 0x206F), (0x20A0, 0x20CF), (0x2100, 0x2122)]


def text_width(text, font):
    """Pixels a line takes, or None where it cannot be measured here (no
    font, or characters outside what MEASURED covers)."""
    if not all(any(low <= ord(c) <= high for low, high in MEASURED) for c in text):
        return None
    try:
        from PIL import ImageFont
        return ImageFont.truetype(os.path.join(FONTS, font[0]), font[1]).getlength(text)
    except (ImportError, OSError, TypeError):
        return None


def check_width(path, key, text, font, width, where):
    shown = re.sub(r"&(.)", r"\1", text)
    measured = text_width(shown, font)
    if measured is not None and measured > width:
        raise ProductError(path, key, f"{q(shown)} is {measured:.0f} pixels wide; {where} "
                           f"has {width}, so it would be cut off")


def read_texts(folder, language, own):
    """A language's texts: the captions of the maker's own buttons (own,
    their names) under their names, with open_failure beside them; its
    own version_line if it has one."""
    path = os.path.join(folder, "texts", f"{language}.ini")
    keys = TEXT_KEYS + own + (["open_failure"] if own else [])
    values = read_ini(path, "texts", keys, ["version_line"])
    texts = {key: unescape(path, key, value) for key, value in values.items()}
    codepage = LANGUAGES[language][1]
    for key in texts:
        try:
            texts[key].encode(f"cp{codepage}")
        except UnicodeEncodeError as e:
            raise ProductError(path, key, f"{q(texts[key][e.start])} cannot be written in code page "
                               f"{codepage}, the ANSI code page of {language} systems")
        if (key in CAPTION_KEYS or key in own) and len(texts[key]) > 255:
            raise ProductError(path, key, "longer than 255 characters")
    captions = ["setup", "exit"] + own
    for key in captions:
        if access_key(texts[key]) is None and "&" in texts[key]:
            raise ProductError(path, key, f"{q(texts[key])}: & ends the caption without a key")
    for key in captions:
        check_width(path, key, texts[key], CAPTION_FONT, CAPTION_WIDTH, "a button's face")
    if "version_line" in texts:
        check_width(path, "version_line", texts["version_line"], VERSION_LINE_FONT, VERSION_LINE_WIDTH,
                    "the version line")
    keys = {}
    for key in captions:  # unique across every button, whatever their order
        taken = next((k for k in keys if keys[k] is not None and keys[k] == access_key(texts[key])), None)
        if taken:
            raise ProductError(path, key, f"{q(texts[key])} has the access key "
                               f"{q(keys[taken].upper())}, which {taken} ({q(texts[taken])}) has already")
        keys[key] = access_key(texts[key])
    texts["access_keys"] = keys
    return texts


def read_product(folder):
    ini = os.path.join(folder, "product.ini")
    sections = read_sections(ini, "product", (window_buttons.is_button_section,
                                              "and a [button <name>] section for each button in buttons"))
    _, main, numbers = sections["product"]
    values = check_values(ini, main, numbers, PRODUCT_KEYS, list(OPTIONAL_KEYS) + list(MACHINE_INSTALLERS))
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
    for problem in names.label_problems(values["volume_label"]):
        raise ProductError(ini, "volume_label", problem)
    # The image's preparer and application fields carry the product's name.
    for problem in names.field_problems(p["name"], "preparer and application"):
        raise ProductError(ini, "name", problem)
    label = values["autorun_label"]
    if len(label) > 32 or not re.fullmatch(r"[ -~]+", label):
        raise ProductError(ini, "autorun_label", f"{q(label)} must be 1 to 32 printable ASCII characters "
                           "(Windows reads autorun.inf in the ANSI code page and shows 32)")
    p["installer_parts"] = parse_installer(ini, values["installer"])
    p["installer"] = "\\".join(p["installer_parts"])
    for key in MACHINE_INSTALLERS:
        p[f"{key}_parts"] = parse_installer(ini, values[key], key) if key in values else None
        p[key] = "\\".join(p[f"{key}_parts"]) if key in values else None
    p["launcher_name"] = check_launcher_name(ini, p["launcher_name"])
    if values["working_directory"] not in ("launcher", "installer"):
        raise ProductError(ini, "working_directory", f"{q(values['working_directory'])}: "
                           "expected launcher or installer")
    p["windows"] = parse_windows(ini, values["windows"])
    if p["choose_language"] not in CHOOSE_LANGUAGE:
        raise ProductError(ini, "choose_language", f"{q(p['choose_language'])}: expected at_build "
                           "(one language, picked when the launcher is built) or at_start (every "
                           "language, one picked when the launcher starts)")
    p["buttons"] = window_buttons.read_buttons(ini, sections, window_buttons.parse_buttons(ini, p["buttons"]),
                                               p["windows"], parse_windows, release_mask)
    own = [b["name"] for b in p["buttons"] if b["action"] == "Open"]
    p["texts"] = {language: read_texts(folder, language, own) for language in p["languages"]}
    if p["choose_language"] == "at_start":
        for language in p["languages"]:
            for key in list(MESSAGE_KEYS) + ["open_failure"] * bool(own):
                units = len(p["texts"][language][key].encode("utf-16-le")) // 2
                if units > MESSAGE_CHARS:
                    raise ProductError(os.path.join(folder, "texts", f"{language}.ini"), key,
                                       f"{units} characters; a launcher that picks its language at "
                                       f"start reads at most {MESSAGE_CHARS} of a message")
    line = values["version_line"]
    # The product's line, shown where a language has none of its own.
    for language in [l for l in p["languages"] if "version_line" not in p["texts"][l]]:
        codepage = LANGUAGES[language][1]
        try:
            line.encode(f"cp{codepage}")
        except UnicodeEncodeError as e:
            raise ProductError(ini, "version_line", f"{q(line[e.start])} cannot be written in code page "
                               f"{codepage}, the ANSI code page of {language} systems")
    check_width(ini, "version_line", line, VERSION_LINE_FONT, VERSION_LINE_WIDTH, "the version line")
    pictures = {}
    pictures["disc.bmp"] = convert_artwork(picture_path(folder, values["artwork"], "artwork"))
    pictures["setup.ico"] = convert_icon(picture_path(folder, values["setup_icon"], "setup_icon"), "setup_icon")
    pictures["exit.ico"] = convert_icon(picture_path(folder, values["exit_icon"], "exit_icon"), "exit_icon")
    for button in p["buttons"]:
        if button["action"] == "Open":
            pictures[button["icon_file"]] = button_icon(folder, button)
    return p, pictures



def button_icon(folder, button):
    """A maker's button's picture, converted as the Setup and Exit buttons' are."""
    key = window_buttons.where(button["name"]) + "icon"
    return convert_icon(picture_path(folder, button["icon"], key), key)


def release_mask(admitted):
    mask = 0
    for release in admitted:
        mask |= 1 << RELEASE_CODES[release]
    return mask
