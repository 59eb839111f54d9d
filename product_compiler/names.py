"""The names a file or folder may have on the disc: what Windows can open
from a Joliet tree, and what the image writer can carry. The product's
installer path and every name in a maker's folder are held to these same
rules, and so are the texts the image itself carries (the volume label,
the preparer and application fields).

Names go onto the disc in their composed form (NFC), whatever form the
maker's file system kept them in, and xorriso is told the character set,
so the disc never depends on the build machine's locale."""
import re
import unicodedata

CLUTTER = {".git": "version control", ".svn": "version control", ".hg": "version control",
           ".ds_store": "system clutter", "thumbs.db": "system clutter"}
# Windows reserves these with any extension, and with spaces before the dot
# ("CON .exe"); the superscript digits count as digits there.
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL", *(f"{port}{n}" for port in ("COM", "LPT")
                                               for n in [*range(1, 10), "\u00b9", "\u00b2", "\u00b3"])}
# Windows refuses " * : < > ? \ / | in a name; Joliet refuses * / : ; ? \.
FORBIDDEN = set('"*/:;<>?\\|')
JOLIET_NAME = 64    # UCS-2 characters a name
JOLIET_PATH = 240   # bytes a path, counted as the image writer counts them
FILE_LIMIT = 4 << 30  # ISO 9660 without multi-extent files: under 4 GiB
ROOT_NAMES = {"launcher.exe", "autorun.inf"}  # beside the installer folder
VOLUME_BYTES = 32   # the primary volume descriptor's volume id, UTF-8 as given
VOLUME_CHARS = 16   # the Joliet volume id: 16 UCS-2 characters
FIELD_BYTES = 128   # the preparer and application fields
# Every xorriso call: names and texts are UTF-8 whatever the locale, and the
# locale is pinned, so the same tree gives the same image on any machine.
# (-local_charset is xorriso's own command; it comes before -as mkisofs and
# holds for reading an image too.)
XORRISO_ARGS = ["-local_charset", "UTF-8"]
XORRISO_ENV = {"LC_ALL": "C", "LANG": "C"}


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


def disc_name(name):
    """The name as the disc carries it: composed (NFC)."""
    return unicodedata.normalize("NFC", name)


def ucs2_length(name):
    return len(name.encode("utf-16-le", "surrogatepass")) // 2


def fold(name):
    """The name as Windows compares it: each character upper-cased alone
    (no "ß" to "SS")."""
    return "".join(u if len(u := c.upper()) == 1 else c for c in name)


def name_faults(name):
    """The rules a name breaks for Windows reading a Joliet disc, as (rule,
    what is wrong): rule is one of undecodable, control, forbidden, wide,
    device, dot, space, long."""
    faults = []
    if any(0xDC80 <= ord(c) <= 0xDCFF for c in name):
        return [("undecodable", "the name is not UTF-8, so it has no Windows spelling")]
    controls = sorted({c for c in name if ord(c) < 32 or ord(c) == 127})
    if controls:
        faults.append(("control", "holds a control character (" + ", ".join(shown(c) for c in controls) + ")"))
    forbidden = sorted(set(name) & FORBIDDEN)
    if forbidden:
        quoted = " ".join(f'"{c}"' for c in forbidden)
        faults.append(("forbidden", f"holds {quoted}, which Windows or Joliet names cannot carry "
                                    f"(none of \" * / : ; < > ? \\ |)"))
    wide = sorted({c for c in name if ord(c) > 0xFFFF})
    if wide:
        faults.append(("wide", "holds " + ", ".join(f"U+{ord(c):X}" for c in wide)
                               + ", beyond the 16-bit characters Joliet carries"))
    base = name.split(".")[0].rstrip(" ").upper()
    if base in DEVICE_NAMES:
        faults.append(("device", f"{base} is a device name on Windows, with any extension"))
    if name.endswith("."):
        faults.append(("dot", "ends in a dot, which Windows strips, so the file cannot be found"))
    elif name.endswith(" "):
        faults.append(("space", "ends in a space, which Windows strips, so the file cannot be found"))
    if ucs2_length(name) > JOLIET_NAME:
        faults.append(("long", f"a name of {ucs2_length(name)} characters; Joliet holds at most {JOLIET_NAME}"))
    return faults


def name_problems(name):
    """The rules a name breaks for Windows reading a Joliet disc."""
    return [why for _, why in name_faults(name)]


def joliet_path_bytes(parts):
    """The path length the image writer refuses past 240: one for the root,
    then for each name one plus two a character."""
    return 1 + sum(1 + 2 * ucs2_length(part) for part in parts)



def q(text):
    return "'" + shown(text) + "'"


def installer_problems(value, root_names=ROOT_NAMES):
    """The product's installer path checked: (its names, composed as the
    disc carries them, None) or (None, one line naming the value and the
    rule). Forward slashes count as backslashes; the folder(s) must be
    given; each name is held to the rules of every name on the disc; the
    top folder may not be one of root_names, taken at the medium's root."""
    text = value.replace("/", "\\")
    if re.match(r"^[A-Za-z]:", text):
        return None, (f"{q(value)} names a drive; give the path relative to the launcher's folder, "
                      "such as Acme\\Setup.exe")
    if text.startswith("\\\\"):
        return None, f"{q(value)} is a network (UNC) path; give the path relative to the launcher's folder"
    if text.startswith("\\"):
        return None, (f"{q(value)} is absolute; give the path relative to the launcher's folder, "
                      "such as Acme\\Setup.exe")
    parts = [disc_name(part) for part in text.split("\\")]
    if len(parts) < 2:
        return None, (f"{q(value)} has no folder: the installer sits in a folder beside the launcher, "
                      "such as Acme\\Setup.exe")
    for i, part in enumerate(parts):
        what = "the folder" if i < len(parts) - 1 else "the file"
        if not part:
            return None, f"{q(value)} has an empty {what[4:]} name"
        if part in (".", ".."):
            return None, (f"{what} {q(part)} climbs out of the launcher's folder ({q(value)})" if part == ".."
                          else f"{what} {q(part)} names no {what[4:]} ({q(value)})")
        faults = dict(name_faults(part))
        wildcards = set(part) & set("*?")
        if wildcards:
            why = "holds a wildcard, which Windows file names cannot carry"
        elif "device" in faults:
            why = f"is a device name on Windows ({faults['device'].split()[0]}, with any extension)"
        elif "long" in faults:
            why = f"is {ucs2_length(part)} characters; Joliet names carry at most {JOLIET_NAME}"
        elif faults:
            why = next(iter(faults.values()))
        elif left_out_reason(part):
            why = f"would be left off the disc ({left_out_reason(part)})"
        else:
            continue
        return None, f"{what} {q(part)} {why} ({q(value)})"
    taken = {fold(name): name for name in root_names}
    if fold(parts[0]) in taken:
        return None, (f"the folder {q(parts[0])} is taken at the medium's root by {taken[fold(parts[0])]} "
                      f"({q(value)})")
    length = joliet_path_bytes(parts)
    if length > JOLIET_PATH:
        return None, (f"{q(value)} takes {length} bytes in Joliet, which holds at most {JOLIET_PATH} "
                      "a path (2 a character, 1 a folder level)")
    return parts, None


def text_faults(text):
    """What the image's text fields cannot carry, or None."""
    controls = sorted({c for c in text if ord(c) < 32 or ord(c) == 127})
    if controls:
        return "holds a control character (" + ", ".join(shown(c) for c in controls) + ")"
    wide = sorted({c for c in text if ord(c) > 0xFFFF})
    if wide:
        return ("holds " + ", ".join(f"U+{ord(c):X}" for c in wide)
                + ", beyond the 16-bit characters Joliet carries")
    return None


def label_problems(label):
    """The volume label as the disc holds it: its bytes as given (UTF-8) in
    the 32-byte volume id, its characters in Joliet's 16. Lines naming the
    label and the rule; none when it fits."""
    problems = []
    if text_faults(label):
        problems.append(f"{q(label)} {text_faults(label)}")
    forbidden = sorted(set(label) & FORBIDDEN)
    if forbidden:
        problems.append(f"{q(label)} holds a character a disc's label cannot carry "
                        "(* / : ; ? \\ \" < > |)")
    if ucs2_length(label) > VOLUME_CHARS:
        problems.append(f"{q(label)} is {ucs2_length(label)} characters; a disc's Joliet label carries "
                        f"at most {VOLUME_CHARS}")
    size = len(label.encode("utf-8", "surrogateescape"))
    if size > VOLUME_BYTES:
        problems.append(f"{q(label)} takes {size} bytes in UTF-8; a disc's volume id holds at most "
                        f"{VOLUME_BYTES}")
    return problems


def field_problems(text, what, limit=FIELD_BYTES):
    """A text the image carries in a fixed field (its preparer, its
    application) of limit bytes, UTF-8 as given."""
    problems = []
    if text_faults(text):
        problems.append(f"{q(text)} {text_faults(text)}")
    size = len(text.encode("utf-8", "surrogateescape"))
    if size > limit:
        problems.append(f"{q(text)} takes {size} bytes in UTF-8; the image's {what} field holds at most "
                        f"{limit}")
    return problems
