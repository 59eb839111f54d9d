"""The tables the launcher's C++ and the Python steps share, read from
their one home: the releases (launcher/Releases.def), the languages
(launcher/Languages.def), the resource identifiers (resources/resource.h)
and the window's layout (ui/Layout.def)."""
import collections
import os
import re

SOURCES = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

Rect = collections.namedtuple("Rect", "left top width height")
Font = collections.namedtuple("Font", "face pixels weight charset")
Release = collections.namedtuple("Release", "enumerator name wine code")
Language = collections.namedtuple("Language", "tag id codepage locale")


def _read(path):
    with open(os.path.join(SOURCES, path), encoding="utf-8") as f:
        return f.read()


def _releases():
    rows = re.findall(r'^RELEASE\((\w+),\s*(\d+),\s*"([^"]*)",\s*"([^"]*)"\)',
                      _read("launcher/Releases.def"), re.M)
    return [Release(enumerator, name, wine, int(code)) for enumerator, code, name, wine in rows]


def _languages():
    rows = re.findall(r'^LANGUAGE\("([^"]+)",\s*0x([0-9A-Fa-f]+),\s*(\d+),\s*"([^"]*)"\)',
                      _read("launcher/Languages.def"), re.M)
    return {tag: Language(tag, int(lang_id, 16), int(codepage), locale)
            for tag, lang_id, codepage, locale in rows}


def _resource_ids():
    return {name: int(value) for name, value in
            re.findall(r"^#define\s+(ID[A-Z]?_\w+)\s+(\d+)\b", _read("resources/resource.h"), re.M)}


def twips_to_pixels(twips):
    """As ui/Layout.h rounds: to the nearest pixel, 15 twips to one."""
    return (twips + 7) // 15 if twips >= 0 else -((-twips + 7) // 15)


def points_to_pixels(hundredths):
    """A font's height in pixels at 96 dots per inch, as ui/Layout.h rounds."""
    return (hundredths * 96 + 3600) // 7200


def _layout():
    text = re.sub(r"/\*.*?\*/", "", _read("ui/Layout.def"), flags=re.S)
    width, height = re.search(r"^FORM1\((\d+),\s*(\d+)\)", text, re.M).groups()
    controls = {name: Rect(*(twips_to_pixels(int(v)) for v in values))
                for name, *values in re.findall(r"^CONTROL\((\w+),\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\)",
                                                text, re.M)}
    fonts = {name: Font(face, points_to_pixels(int(size)), int(weight), int(charset))
             for name, face, size, weight, charset in
             re.findall(r'^FONT\((\w+),\s*"([^"]+)",\s*(\d+),\s*(\d+),\s*(\d+)\)', text, re.M)}
    colours = {name: (int(value, 16) & 0xFF, int(value, 16) >> 8 & 0xFF, int(value, 16) >> 16 & 0xFF)
               for name, value in re.findall(r"^COLOR\((\w+),\s*0x([0-9A-Fa-f]+)\)", text, re.M)}
    metrics = {name: int(value) for name, value in re.findall(r"^METRIC\((\w+),\s*(\d+)\)", text, re.M)}
    return {"client": (twips_to_pixels(int(width)), twips_to_pixels(int(height))), "controls": controls,
            "fonts": fonts, "colours": colours, "metrics": metrics}


# Oldest first, each with its version code.
RELEASES = _releases()
# By tag: language id, ANSI code page, the locale of such a system here.
LANGUAGES = _languages()
# IDS_, IDI_, IDB_, IDC_ ... from the header the .rc and the code share.
RESOURCE_IDS = _resource_ids()
# The window in pixels: "client" (width, height); "controls" by name, each a
# Rect; "fonts" by name (face, height in pixels, weight, character set);
# "colours" by name, (red, green, blue); "metrics" by name, in pixels.
LAYOUT = _layout()
