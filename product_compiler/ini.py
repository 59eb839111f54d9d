"""Reading a product folder's INI files.

How the files are read:
- UTF-8, with or without a byte order mark (as Notepad saves).
- Each line is one of: blank; a comment, its first non-blank character
  `;` or `#`; a section line, `[name]`; or `key = value`, split at the
  first `=`. Any other line is refused, with its number.
- The file has one section, named by the reader ([product] or [texts]);
  every key comes after that line. Any other section is refused, [DEFAULT]
  too: it supplies nothing. product.ini may add a [button <name>] section
  for each button it lists (blanks inside the brackets count as one).
- Keys are case-sensitive; a key given twice is refused, naming both lines.
- Blanks around keys and values are dropped. A value in double quotes is
  kept as written between them, leading and trailing spaces included.
- Comments take a line of their own. An unquoted value with a `;` after a
  blank (`name = Orbisk ; our product`) is refused, as it looks like a
  comment written after the value; quoted, it is kept as written.
  `Orbisk; Atlas` (no blank before the `;`) is a value like any other.
- Every value is non-empty and holds no control character (a tab neither).
"""
import codecs
import re
import unicodedata

from product_compiler.errors import ProductError, q
from product_compiler.files import INI_LIMIT, read_input

BLANKS = " \t"
INLINE_COMMENT = re.compile(r"[ \t];")


def ini_lines(path, data):
    """(line number, text) of each line of the file's bytes."""
    bom = len(codecs.BOM_UTF8) if data.startswith(codecs.BOM_UTF8) else 0
    try:
        text = data[bom:].decode("utf-8")
    except UnicodeDecodeError as e:
        line = data[:bom + e.start].count(b"\n") + 1
        raise ProductError(path, None, f"line {line}: not UTF-8 (byte {bom + e.start})")
    lines = text.split("\n")
    return [(n, line[:-1] if line.endswith("\r") else line) for n, line in enumerate(lines, 1)]


def read_sections(path, section, others=None):
    """The sections of a UTF-8 ini file: {name: (line, {key: value},
    {key: line})}, the main section first. others: for a file that may
    hold more sections, (a test of a section's name, what they are)."""
    sections, current = {}, None
    for n, line in ini_lines(path, read_input(path, None, INI_LIMIT)):
        text = line.strip(BLANKS)
        if not text or text[0] in ";#":
            continue
        if text.startswith("[") and text.endswith("]"):
            name = " ".join(text[1:-1].split())
            if name != section and not (others and others[0](name)):
                raise ProductError(path, None, f"line {n}: a section [{name}]; the file has one "
                                   f"section, [{section}]" + (f", {others[1]}" if others else ""))
            if name in sections:
                raise ProductError(path, None, f"section [{name}] given twice (lines "
                                   f"{sections[name][0]} and {n})")
            current = sections[name] = (n, {}, {})
            continue
        key, equals, value = text.partition("=")
        key = key.strip(BLANKS)
        if not equals or not key:
            raise ProductError(path, None, f"line {n}: {q(text)} is not key = value, a [section] "
                               "or a comment")
        if current is None:
            raise ProductError(path, None, f"line {n}: a value before the [{section}] line")
        _, values, numbers = current
        if key in values:
            raise ProductError(path, key, f"given twice (lines {numbers[key]} and {n})")
        values[key], numbers[key] = value.strip(BLANKS), n
    if section not in sections:
        raise ProductError(path, None, f"no [{section}] section")
    return {name: sections[name] for name in [section] + [s for s in sections if s != section]}


def check_values(path, values, numbers, keys, optional=(), where=""):
    """One section's values with exactly these keys (the optional ones may
    be left out), every value non-empty; where names the section in front
    of a key ("[button web] ")."""
    for key in values:
        if key not in keys and key not in optional:
            raise ProductError(path, where + key, "unknown key (known: "
                               + ", ".join(list(keys) + list(optional)) + ")")
    for key in keys:
        if key not in values:
            raise ProductError(path, where + key, "missing")
    checked = {}
    for key, value in values.items():
        if value.startswith('"') and value.endswith('"') and len(value) >= 2:
            value = value[1:-1]  # quotes keep leading or trailing spaces, and a ' ;'
        elif INLINE_COMMENT.search(value):
            raise ProductError(path, where + key, f"{q(value)} looks like a value with a comment after it "
                               f"(line {numbers[key]}); a comment takes a line of its own, and a "
                               f"value in quotes is kept as written: \"{value}\"")
        if not value:
            raise ProductError(path, where + key, "empty")
        if any(unicodedata.category(c) == "Cc" for c in value):
            raise ProductError(path, where + key, "holds a control character")
        checked[key] = value
    return checked


def read_ini(path, section, keys, optional=()):
    """The one section of a UTF-8 ini file with exactly these keys (the
    optional ones may be left out), every value non-empty."""
    _, values, numbers = read_sections(path, section)[section]
    return check_values(path, values, numbers, keys, optional)
