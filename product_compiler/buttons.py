"""The window's buttons: which there are (product.ini's `buttons` and a
[button <name>] section for each of the maker's own), what each opens,
where each stands, and the picture of the window's places shown to the
maker.

Where the buttons stand, when product.ini gives no positions: every button
has Command1's size, and up to four stand in one row at Command1's top.
They keep the gap the two built-in buttons have between them
(Command2.left - Command1.right) and the row's centre (between Command1's
left and Command2's right) when the row fits in the client area; else the
gaps shrink so that the gaps and the two margins are all equal. So two
buttons stand exactly where Setup and Exit always stood (72 and 192), three
at 12, 132 and 252 (gaps of 39), and four at 5, 91, 177 and 263 (gaps and
margins of 5). More buttons need a position each."""
import io
import os
import re

from product_compiler import names
from product_compiler.errors import ProductError, q
from product_compiler.tables import LAYOUT, RESOURCE_IDS

BUILT_IN = {"setup": ("Setup", "IDS_SETUP_CAPTION", "IDI_SETUP"),
            "exit": ("Exit", "IDS_EXIT_CAPTION", "IDI_EXIT")}
MOST = 6        # buttons in all: string ids 16 to 19 and icon groups 3 to 6 for the maker's
IN_A_ROW = 4    # placed without positions
OWN_KEYS = ["opens", "icon"]
OWN_OPTIONAL = ["parameters", "closes", "windows", "position"]
SECTION = re.compile(r"button (\S+)")
NAME = re.compile(r"[A-Za-z0-9_]+")
# The keys of texts/<language>.ini a button's name would take.
TEXT_NAMES = {"title", "refusal", "quit_title", "quit", "start_failure", "open_failure", "version_line"}
SCHEME = re.compile(r"([A-Za-z][A-Za-z0-9+.-]+):")

SIZE = (LAYOUT["controls"]["Command1"].width, LAYOUT["controls"]["Command1"].height)
CLIENT = LAYOUT["client"]
LABEL = LAYOUT["controls"]["Label1"]


def where(name):
    """How a button's key is named in a message."""
    return f"[button {name}] "


def parse_buttons(ini, value):
    listed = value.split()
    for name in listed:
        if not NAME.fullmatch(name):
            raise ProductError(ini, "buttons", f"{q(name)} is not a button's name (letters, digits and _)")
        if name in TEXT_NAMES:
            raise ProductError(ini, "buttons", f"{q(name)} names a text of texts/<language>.ini, where "
                               "each button's caption goes under its name; call the button otherwise")
        if listed.count(name) > 1:
            raise ProductError(ini, "buttons", f"{q(name)} given twice")
    missing = [name for name in BUILT_IN if name not in listed]
    if missing:
        raise ProductError(ini, "buttons", f"{q(value)} leaves out {' and '.join(missing)}; "
                           "setup and exit are always there")
    if len(listed) > MOST:
        raise ProductError(ini, "buttons", f"{len(listed)} buttons; the window has room for at most {MOST}")
    return listed


def is_button_section(name):
    return SECTION.fullmatch(name) is not None


def parse_position(ini, key, value):
    found = re.fullmatch(r"(-?\d+)\s*,\s*(-?\d+)", value)
    if not found:
        raise ProductError(ini, key, f"{q(value)} is not x, y: the button's top-left corner in the "
                           "window, in pixels, such as 12, 232")
    return int(found[1]), int(found[2])


def parse_target(ini, key, value):
    """What a button opens: ("address", the address) or ("path", its names,
    composed as the disc carries them)."""
    scheme = SCHEME.match(value)
    if scheme:
        kind = scheme[1].lower()
        if kind not in ("http", "https"):
            raise ProductError(ini, key, f"{q(value)} is an address of {kind}:; a button opens "
                               "http:// and https:// addresses only")
        if not value[len(kind) + 1:].startswith("//") or len(value) == len(kind) + 3:
            raise ProductError(ini, key, f"{q(value)} is not an address: {kind}:// and a host")
        if any(c.isspace() or ord(c) < 32 or ord(c) == 127 for c in value):
            raise ProductError(ini, key, f"{q(value)} holds a space or a control character, which "
                               "an address cannot carry (a space is %20)")
        return "address", value
    text = value.replace("/", "\\")
    if re.match(r"[A-Za-z]:", text):
        raise ProductError(ini, key, f"{q(value)} names a drive; give a file or folder on the disc, "
                           "relative to the launcher's folder, or an http:// or https:// address")
    if text.startswith("\\"):
        raise ProductError(ini, key, f"{q(value)} is absolute; give it relative to the launcher's folder")
    parts = [names.disc_name(part) for part in text.split("\\")]
    for part in parts:
        if part in ("", ".", ".."):
            raise ProductError(ini, key, f"{q(value)} has an empty name, . or ..; give the names from "
                               "the launcher's folder down")
    return "path", parts


def read_buttons(ini, sections, listed, product_windows, parse_windows, release_mask):
    """Each listed button from its section: a list of dicts, left to right."""
    for name in sections:
        if name != "product" and SECTION.fullmatch(name)[1] not in listed:
            raise ProductError(ini, "buttons", f"[{name}] (line {sections[name][0]}) is a section for a "
                               f"button that buttons does not list ({' '.join(listed)})")
    from product_compiler.ini import check_values
    buttons, own = [], 0
    for name in listed:
        section = sections.get(f"button {name}")
        if name in BUILT_IN:
            action, caption, icon = BUILT_IN[name]
            values = check_values(ini, section[1], section[2], [], ["position"], where(name)) if section else {}
            button = {"name": name, "action": action, "target": "", "parameters": "", "closes": False,
                      "windows": None, "caption_id": RESOURCE_IDS[caption], "icon_id": RESOURCE_IDS[icon]}
        else:
            if section is None:
                raise ProductError(ini, "buttons", f"{name} has no [button {name}] section (what it "
                                   "opens and its icon)")
            values = check_values(ini, section[1], section[2], OWN_KEYS, OWN_OPTIONAL, where(name))
            kind, target = parse_target(ini, where(name) + "opens", values["opens"])
            closes = values.get("closes", "no")
            if closes not in ("yes", "no"):
                raise ProductError(ini, where(name) + "closes", f"{q(closes)}: expected yes or no")
            windows = None
            if "windows" in values:
                windows = parse_windows(ini, values["windows"], where(name) + "windows")
                outside = [r for r in windows if r not in product_windows]
                if outside:
                    raise ProductError(ini, where(name) + "windows", f"{outside[0]} is not one of the "
                                       f"product's releases ({' '.join(product_windows)})")
            button = {"name": name, "action": "Open", "target": target if kind == "address" else "\\".join(target),
                      "target_parts": target if kind == "path" else None,
                      "parameters": values.get("parameters", ""), "closes": closes == "yes",
                      "windows": windows, "icon": values["icon"], "icon_file": f"button{own}.ico",
                      "caption_id": RESOURCE_IDS["IDS_BUTTON_CAPTION_FIRST"] + own,
                      "icon_id": RESOURCE_IDS["IDI_BUTTON_FIRST"] + own}
            own += 1
        if "position" in values:
            button["position"] = parse_position(ini, where(name) + "position", values["position"])
        button["releases"] = release_mask(windows or product_windows) if button["action"] == "Open" \
            else release_mask(product_windows)
        buttons.append(button)
    place(ini, buttons)
    return buttons


def row(count):
    """The lefts of count buttons in one row (see the top of this file)."""
    first, second = LAYOUT["controls"]["Command1"], LAYOUT["controls"]["Command2"]
    width, gap = SIZE[0], second.left - (first.left + first.width)
    span = count * width + (count - 1) * gap
    left = (first.left + second.left + second.width - span) // 2
    if left >= 0 and left + span <= CLIENT[0]:
        return [left + i * (width + gap) for i in range(count)]
    room = CLIENT[0] - count * width
    return [(i + 1) * room // (count + 1) + i * width for i in range(count)]


def shown(rect):
    left, top, right, bottom = rect
    return f"({left}, {top})-({right}, {bottom})"


def overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def place(ini, buttons):
    """Every button's left and top: its position, or the row's; checked
    inside the client area and clear of the others and the version line."""
    given = [b["name"] for b in buttons if "position" in b]
    without = [b["name"] for b in buttons if "position" not in b]
    if without and len(buttons) > IN_A_ROW:
        raise ProductError(ini, "buttons", f"{len(buttons)} buttons: more than {IN_A_ROW} need a position "
                           f"each ([button <name>] position = x, y); none for {', '.join(without)}")
    if given and without:
        raise ProductError(ini, "buttons", f"a position for {', '.join(given)} but none for "
                           f"{', '.join(without)}: give every button a position, or none")
    lefts = [b["position"][0] for b in buttons] if given else row(len(buttons))
    top = LAYOUT["controls"]["Command1"].top
    for button, left in zip(buttons, lefts):
        button["left"], button["top"] = left, button["position"][1] if given else top
        button["width"], button["height"] = SIZE
        button.pop("position", None)
    label = (LABEL.left, LABEL.top, LABEL.left + LABEL.width, LABEL.top + LABEL.height)
    for i, button in enumerate(buttons):
        rect = rectangle(button)
        key = where(button["name"]) + "position"
        if rect[0] < 0 or rect[1] < 0 or rect[2] > CLIENT[0] or rect[3] > CLIENT[1]:
            raise ProductError(ini, key, f"{button['name']} at {shown(rect)} reaches outside the window's "
                               f"client area, {shown((0, 0) + CLIENT)}")
        if overlap(rect, label):
            raise ProductError(ini, key, f"{button['name']} at {shown(rect)} overlaps the version line "
                               f"at {shown(label)}")
        for other in buttons[:i]:
            if overlap(rect, rectangle(other)):
                raise ProductError(ini, key, f"{button['name']} at {shown(rect)} overlaps {other['name']} "
                                   f"at {shown(rectangle(other))}")


def rectangle(button):
    return (button["left"], button["top"], button["left"] + button["width"], button["top"] + button["height"])


def places_picture(artwork, buttons):
    """places.png: the client area over the artwork, the version line's
    rectangle and each button's outlined and named."""
    from PIL import Image, ImageDraw, ImageFont
    image = Image.open(io.BytesIO(artwork)).convert("RGB").crop((0, 0) + CLIENT)
    draw = ImageDraw.Draw(image)
    try:
        font = ImageFont.truetype("/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf", 11)
    except OSError:
        font = ImageFont.load_default()
    label = (LABEL.left, LABEL.top, LABEL.left + LABEL.width, LABEL.top + LABEL.height)
    for name, rect, colour in [("version line", label, (0, 0, 255))] + [
            (b["name"], rectangle(b), (220, 0, 0)) for b in buttons]:
        draw.rectangle((rect[0], rect[1], rect[2] - 1, rect[3] - 1), outline=colour, width=2)
        text = f"{name} {rect[0]},{rect[1]}"
        box = draw.textbbox((rect[0] + 3, rect[1] + 3), text, font=font)
        draw.rectangle(box, fill=(255, 255, 255))
        draw.text((rect[0] + 3, rect[1] + 3), text, fill=colour, font=font)
    out = io.BytesIO()
    image.save(out, "PNG", optimize=False)
    return out.getvalue()


class Disc:
    """The names the medium will hold, as Windows compares them (composed,
    case folded): the launcher and autorun.inf, the installer folder as
    staged (or the sample installer under its names), the extra folder."""

    def __init__(self):
        self.entries = {}  # folded path (tuple) -> "file" or "folder"

    def add(self, parts, kind):
        parts = [names.fold(names.disc_name(part)) for part in parts]
        for i in range(1, len(parts)):
            self.entries.setdefault(tuple(parts[:i]), "folder")
        self.entries.setdefault(tuple(parts), kind)

    def add_tree(self, at, folder):
        for top, folders, files in os.walk(folder):
            inside = os.path.relpath(top, folder).split(os.sep) if top != folder else []
            for name in folders:
                self.add(at + inside + [name], "folder")
            for name in files:
                self.add(at + inside + [name], "file")

    def missing(self, parts):
        """Why a path is not on the disc, or None when it is: the first name
        not there, or a file on its way."""
        folded = [names.fold(names.disc_name(part)) for part in parts]
        for i in range(len(parts)):
            kind = self.entries.get(tuple(folded[:i + 1]))
            inside = "its root" if i == 0 else q("\\".join(parts[:i]))
            if kind is None:
                return f"{inside} holds no {q(parts[i])}"
            if kind == "file" and i < len(parts) - 1:
                return f"{q(parts[i])} is a file"
        return None

    def kind(self, parts):
        return self.entries.get(tuple(names.fold(names.disc_name(part)) for part in parts))
