"""The tables the launcher's C++ and the Python steps share, read from
their one home: the releases (launcher/Releases.def), the languages
(launcher/Languages.def) and the resource identifiers
(resources/resource.h)."""
import collections
import os
import re

SOURCES = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

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


# Oldest first, each with its version code.
RELEASES = _releases()
# By tag: language id, ANSI code page, the locale of such a system here.
LANGUAGES = _languages()
# IDS_, IDI_, IDB_, IDC_ ... from the header the .rc and the code share.
RESOURCE_IDS = _resource_ids()
