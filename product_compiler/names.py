"""The names a file or folder may have on the disc: what Windows can open
from a Joliet tree, and what the image writer can carry. The product's
installer path and every name in a maker's folder are held to these same
rules."""

CLUTTER = {".git": "version control", ".svn": "version control", ".hg": "version control",
           ".ds_store": "system clutter", "thumbs.db": "system clutter"}
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL", *(f"COM{n}" for n in range(1, 10)),
                *(f"LPT{n}" for n in range(1, 10))}
# Windows refuses " * : < > ? \ / | in a name; Joliet refuses * / : ; ? \.
FORBIDDEN = set('"*/:;<>?\\|')
JOLIET_NAME = 64    # UCS-2 characters a name
JOLIET_PATH = 240   # bytes a path, counted as the image writer counts them
FILE_LIMIT = 4 << 30  # ISO 9660 without multi-extent files: under 4 GiB
ROOT_NAMES = {"launcher.exe", "autorun.inf"}  # beside the installer folder


def shown(text):
    """A name as it can be printed on one line: control characters and
    bytes that are not UTF-8 as \\x escapes."""
    out = []
    for c in text:
        if 0xDC80 <= ord(c) <= 0xDCFF:  # a byte os.fsdecode could not read
            out.append(f"\\x{ord(c) - 0xDC00:02x}")
        elif ord(c) < 32 or ord(c) == 127:
            out.append(f"\\x{ord(c):02x}")
        else:
            out.append(c)
    return "".join(out)


def left_out_reason(name):
    """Why a name is left off the disc, or None when it goes on."""
    if name.endswith("~"):
        return "editor backup"
    return CLUTTER.get(name.lower())


def ucs2_length(name):
    return len(name.encode("utf-16-le", "surrogatepass")) // 2


def fold(name):
    """The name as Windows compares it: each character upper-cased alone
    (no "ß" to "SS")."""
    return "".join(u if len(u := c.upper()) == 1 else c for c in name)


def name_problems(name):
    """The rules a name breaks for Windows reading a Joliet disc."""
    problems = []
    if any(0xDC80 <= ord(c) <= 0xDCFF for c in name):
        return ["the name is not UTF-8, so it has no Windows spelling"]
    controls = sorted({c for c in name if ord(c) < 32 or ord(c) == 127})
    if controls:
        problems.append("holds a control character (" + ", ".join(shown(c) for c in controls) + ")")
    forbidden = sorted(set(name) & FORBIDDEN)
    if forbidden:
        quoted = " ".join(f'"{c}"' for c in forbidden)
        problems.append(f"holds {quoted}, which Windows or Joliet names cannot carry "
                        f"(none of \" * / : ; < > ? \\ |)")
    wide = sorted({c for c in name if ord(c) > 0xFFFF})
    if wide:
        problems.append("holds " + ", ".join(f"U+{ord(c):X}" for c in wide)
                        + ", beyond the 16-bit characters Joliet carries")
    base = name.split(".")[0].rstrip(" ").upper()
    if base in DEVICE_NAMES:
        problems.append(f"{base} is a device name on Windows, with any extension")
    if name.endswith("."):
        problems.append("ends in a dot, which Windows strips, so the file cannot be found")
    elif name.endswith(" "):
        problems.append("ends in a space, which Windows strips, so the file cannot be found")
    if ucs2_length(name) > JOLIET_NAME:
        problems.append(f"a name of {ucs2_length(name)} characters; Joliet holds at most {JOLIET_NAME}")
    return problems


def joliet_path_bytes(parts):
    """The path length the image writer refuses past 240: one for the root,
    then for each name one plus two a character."""
    return 1 + sum(1 + 2 * ucs2_length(part) for part in parts)

