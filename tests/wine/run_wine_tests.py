#!/usr/bin/python3
"""The launcher run for real under Wine and Xvfb, driven by our test driver.

One throw-away prefix for the whole run. Each scenario starts launcher.exe
from a sample medium, acts through driver.exe (clicks, close requests,
answers to message boxes) and checks what the launcher shows and does.
What it expects (texts, access keys, installer path and working folder,
admitted releases, pictures) comes from the product the launcher was built
for: product.json and the pictures beside it; the window's geometry, the
ids and the release and language tables from their one home in the
sources (product_compiler/tables.py reads them). Failures say what was
expected and what was seen.
"""
import argparse
import collections
import contextlib
import functools
import itertools
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCES = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(SOURCES, "wine_lab"))
from winelab import WINE64, WineLab, build_64_bit, cannot_run_32_bit, has_locale, start_xvfb, windows_path  # noqa: E402
from bitmap import Bitmap  # noqa: E402
sys.path.insert(0, os.path.join(HERE, "..", "pe"))
from check_resources import read_product, string_table  # noqa: E402
sys.path.insert(0, SOURCES)
from product_compiler.tables import LANGUAGES, LAYOUT, RELEASES, RESOURCE_IDS as ID, Rect  # noqa: E402
from product_compiler.names import XORRISO_ARGS, XORRISO_ENV  # noqa: E402

IDC_COMMAND1, IDC_COMMAND2 = ID["IDC_COMMAND1"], ID["IDC_COMMAND2"]
IDS_SETUP, IDS_EXIT, IDS_TITLE = ID["IDS_SETUP_CAPTION"], ID["IDS_EXIT_CAPTION"], ID["IDS_TITLE"]
# The window as designed (ui/Layout.def), in pixels.
CLIENT = LAYOUT["client"]
# The buttons the launcher shows in the lab (as Windows XP), by control id:
# their places from the product built (product.json), filled in by main().
BUTTONS = {}
BUTTON_ICONS = {}  # the icon file of each, beside product.json
LABEL = LAYOUT["controls"]["Label1"]
FACE = LAYOUT["colours"]["ButtonFace"]
ICON = LAYOUT["metrics"]["ButtonIconSize"]
DRIVE_CDROM = 5
# Where buttons without positions stand, as README writes it out, not
# worked out again: their lefts by how many there are, each at Command1's
# top, of Command1's size.
ROWS = {2: [72, 192], 3: [12, 132, 252], 4: [5, 91, 177, 263]}
ROW_TOP, BUTTON_SIZE = 232, [81, 65]

# How every prefix of the run is made (WineLab's arch and loader): 32-bit,
# unless main() runs a 64-bit build.
LAB = {}
# Every version Wine can report, with the release a product names it by.
VERSIONS = [(release.wine, release.name) for release in RELEASES if release.wine]
# Where the version check also presses Setup, when the product runs there.
SETUP_ON = ("win2k", "winxp", "win7", "win10")
# The locale every scenario runs in, whatever the caller's: code page 1252,
# an English user interface. A launcher that picks its language at start
# would follow the caller's.
BASE_LOCALE = "C.UTF-8"

# What the launcher shows, written out for the products in this repository,
# not worked out by a second copy of the launcher's rule.
# On code page 1252 (BASE_LOCALE), by the language it is built in (or, picking
# at start, picks there): whose title, Setup and Exit captions it shows, its
# own or, where the code page cannot carry them, the design-time ones (en).
SHOWN_ON_1252 = {
    "product": {"en": "en en en", "zh-TW": "en en en", "ru": "en en en"},
    "examples/orbisk": {"en": "en en en", "de": "de de de", "ja": "en en en"},
    "examples/wiklinor": {"en": "en en en", "pl": "pl pl en"},  # no "ń" in 1252
}
# Picking its language at start, on each system: rows (the locale Wine runs
# in, the user interface's own locale or None, the language shown).
AT_START_CASES = {
    "examples/orbisk": [  # en de ja; en the fallback
        (BASE_LOCALE, None, "en"),
        ("de_DE.UTF-8", None, "de"),
        ("ja_JP.UTF-8", None, "ja"),
        # A Japanese user on code page 1252, which cannot carry the
        # Japanese texts: the fallback.
        (BASE_LOCALE, "ja_JP.UTF-8", "en"),
        # A language it does not carry: the fallback.
        ("pl_PL.UTF-8", None, "en"),
    ],
}

# Folder names code page 1252 cannot carry: GetModuleFileNameA makes
# "U:\\Adisc" of the first ("best fit"), where a decoy installer waits, and
# "U:\\????" of the other two.
UNICODE_FOLDERS = {"decoyed": "\u0100disc", "decoy": "Adisc", "cyrillic": "\u0414\u0438\u0441\u043a",
                   "other": "\u041b\u0443\u043d\u0430"}
LONG_FOLDERS = [f"folder {n} with a long name, to go past the old limit of paths" for n in range(1, 6)]
LONG_FOLDER = "G:\\" + "\\".join(LONG_FOLDERS)
ROOT = "D:\\launcher.exe"  # the sample medium's launcher
# Each folder a launcher is started from, with the full path its Setup must
# start there, written out: the folder and its separator are the rule under
# test (one backslash after a drive root, one after a folder); only the
# product's own relative installer path is put in for {installer}.
INSTALLER_IN = {
    "D:\\": "D:\\{installer}",
    "E:\\My Disc\\Disk 1": "E:\\My Disc\\Disk 1\\{installer}",
    "F:\\": "F:\\{installer}",
    "P:\\": "P:\\{installer}",
    "H:\\\u30bd": "H:\\\u30bd\\{installer}",
    "U:\\\u0100disc": "U:\\\u0100disc\\{installer}",
    "U:\\\u0414\u0438\u0441\u043a": "U:\\\u0414\u0438\u0441\u043a\\{installer}",
    LONG_FOLDER: LONG_FOLDER + "\\{installer}",
}

# The colours a reduction keeps exact: the cube of the window palette, the
# 16 standard colours; and the 20 static colours of every palette display,
# all that Wine shows on an 8-bit screen. Written out here, not taken from
# the launcher, so that the test does not share its mistakes.
CUBE = {(r, g, b) for r in range(0, 256, 51) for g in range(0, 256, 51) for b in range(0, 256, 51)}
STANDARD_16 = {(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)}
STATIC_20 = sorted(STANDARD_16 | {(192, 220, 192), (166, 202, 240), (255, 251, 240), (160, 160, 164)})


def system_locale(language):
    """The locale under which Wine is a system of this language
    (launcher/Languages.def; scripts/install-deps.sh makes each), and why
    it cannot be tried here, or None."""
    locale = LANGUAGES[language].locale
    if not locale:
        return None, f"{language}: the language table names no locale for it"
    locale += ".UTF-8"
    if not has_locale(locale):
        return None, f"{language}: no locale {locale} on this machine (locale -a)"
    return locale, None


def home(facts):
    """The product's folder as this repository names it ("examples/orbisk")."""
    return os.path.relpath(facts["folder"], SOURCES).replace(os.sep, "/")


def at_start_cases(facts):
    """Rows as AT_START_CASES, and what was left out and why. For a product
    outside this repository only what follows without the rule: a system of
    one of its own languages shows that language (the product compiler makes
    its texts fit that system's code page), and one of a language it carries
    nothing of, on the fallback's code page, the fallback."""
    if home(facts) in AT_START_CASES:
        return AT_START_CASES[home(facts)], []
    languages, fallback = facts["languages"], facts["fallback_language"]
    rows, left_out = [], []
    if "en" in languages:
        rows.append((BASE_LOCALE, None, "en"))
    for language in languages:
        locale, why = system_locale(language)
        if locale:
            rows.append((locale, None, language))
        else:
            left_out.append(why)
    primaries = {LANGUAGES[language].id & 0x3FF for language in languages}
    for tag, language in LANGUAGES.items():
        if (language.id & 0x3FF not in primaries
                and language.codepage == LANGUAGES[fallback].codepage and system_locale(tag)[0]):
            rows.append((system_locale(tag)[0], None, fallback))
            break
    left_out.append("a user whose interface language the code page cannot show: what a product "
                    "outside this repository shows there is the rule's to work out, not stated here")
    return rows, left_out


class Product:
    """What the launcher was built for, as the build wrote it down."""

    def __init__(self, path, language, x64=False):
        self.facts = read_product(path)
        self.folder = os.path.dirname(os.path.abspath(path))  # the pictures, as carried
        self.picks_at_start = self.facts["choose_language"] == "at_start"
        if self.picks_at_start:
            # What it shows on the system the tests run on.
            rows, _ = at_start_cases(self.facts)
            shown = [shown for locale, messages, shown in rows if locale == BASE_LOCALE and not messages]
            if not shown:
                raise SystemExit(f"{path}: which language the launcher shows on {BASE_LOCALE} cannot be "
                                 "stated for this product: add its cases to AT_START_CASES")
            language = shown[0]
        self.language = language
        self.texts = self.facts["texts"][language]
        self.table = string_table(self.facts, language)
        self.installer = self.facts["installer"]  # relative, with backslashes
        self.installer_file = self.installer.split("\\")[-1]
        self.installer_folder = self.facts["installer_folder"]
        # What Setup starts on the lab's machine: on 64-bit x64 Windows the
        # product's installer_x64, where it names one.
        self.started = (x64 and self.facts["installer_x64"]) or self.installer

    def picture(self, name):
        return os.path.join(self.folder, name)

    def installer_in(self, folder):
        """The full path Setup starts for a launcher in this folder."""
        return INSTALLER_IN[folder].replace("{installer}", self.started)

    def runs_on(self, version):
        return dict(VERSIONS)[version] in self.facts["windows"]

    def refused_version(self):
        """A version the product refuses, or None if it runs on all."""
        return next((v for v, _ in VERSIONS if not self.runs_on(v)), None)

    def shown_on_1252(self, language):
        """{id: text} of the title and captions shown on code page 1252 (as
        SHOWN_ON_1252 states), and None with why where that cannot be stated:
        for a product outside this repository, only a language of code page
        1252 is known to show its own texts there."""
        row = SHOWN_ON_1252.get(home(self.facts), {}).get(language, "")
        if not row and LANGUAGES[language].codepage != 1252:
            return None, (f"what a {language} launcher shows on code page 1252 is the launcher's rule to "
                          "work out for a product outside this repository, not stated here")
        shown = row.split() or [language] * 3
        return {entry: string_table(self.facts, shown[i])[entry]
                for i, entry in enumerate((IDS_TITLE, IDS_SETUP, IDS_EXIT))}, None


def commonest_colours(pixels):
    """The two commonest colours, with their counts, of the fully opaque
    (red, green, blue, alpha) pixels in a colour no grey or default icon has
    (not black, white or grey): drawn, these stay exactly that colour
    whatever is behind them."""
    return collections.Counter((r, g, b) for r, g, b, a in pixels if a == 255 and not r == g == b).most_common(2)


def icon_colours(path):
    """commonest_colours of the icon as drawn at its own size."""
    from PIL import Image
    return commonest_colours(Image.open(path).convert("RGBA").getdata())


def icon_colours_at_16(path):
    """The two commonest colours the icon keeps at 16 x 16 however it is
    shrunk (dropping rows and columns, or averaging): those of the blocks it
    shrinks into one pixel that are all one colour, with how many such
    blocks each has. An 11-pixel trunk may keep one pixel, or none."""
    from PIL import Image
    image = Image.open(path).convert("RGBA")
    step = image.width // 16
    whole = []
    for y, x in itertools.product(range(0, image.height - step + 1, step), range(0, image.width - step + 1, step)):
        block = {image.getpixel((x + i, y + j)) for i in range(step) for j in range(step)}
        if len(block) == 1:
            whole.append(block.pop())
    return commonest_colours(whole)


def farthest_static_picture(artwork, path):
    """The artwork with each pixel in the static colour farthest from it
    that a nearest-colour lookup working at 5 bits a channel (as Wine's DIB
    engine looks colours up) may pick, for any value within the pixel's
    step: the worst an 8-bit screen's nearest static colour can be for this
    product's own artwork. Saved as a 24-bit BMP at path."""
    from PIL import Image
    distance = lambda a, b: sum((x - y) ** 2 for x, y in zip(a, b))  # noqa: E731
    nearest = functools.lru_cache(maxsize=None)(lambda c: min(STATIC_20, key=lambda s: distance(c, s)))

    def farthest(colour):
        low = [v & ~7 for v in colour]
        picks = {nearest(tuple(l + k for l, k in zip(low, ks))) for ks in itertools.product((0, 7), repeat=3)}
        return max(picks | {nearest(colour)}, key=lambda s: distance(colour, s))
    image = Image.open(artwork).convert("RGB")
    known = {}
    image.putdata([known[c] if c in known else known.setdefault(c, farthest(c)) for c in image.getdata()])
    image.save(path, "BMP")
    return path


class Failure(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Failure(what)


def expect_eq(what, expected, got):
    if expected != got:
        raise Failure(f"{what}: expected {expected!r}, got {got!r}")


def until(condition, seconds=10, every=0.1):
    """Asks condition every so often until it holds or the time is up, and
    returns what it said last. Every wait on Wine or X goes through here."""
    deadline = time.time() + seconds
    while not (held := condition()) and time.time() < deadline:
        time.sleep(every)
    return held


def buttons_of(box):
    return [b.replace("&", "") for b in box["buttons"]]


def inside(r, x, y):
    return r[0] <= x < r[0] + r[2] and r[1] <= y < r[1] + r[3]


def in_a_button(x, y):
    return any(inside(b, x, y) for b in BUTTONS.values())


def button_ids(buttons):
    """The control id of each of product.json's buttons, in its order: Setup
    and Exit their own, the maker's from IDC_BUTTON_FIRST on."""
    own = itertools.count(ID["IDC_BUTTON_FIRST"])
    return [{"Setup": IDC_COMMAND1, "Exit": IDC_COMMAND2}.get(b["action"]) or next(own) for b in buttons]


def expect_controls(state):
    """The buttons shown, the window's only visible child windows, where the
    product puts them."""
    expect_eq("child windows shown, top first", [(i, list(r)) for i, r in BUTTONS.items()],
              [(c["id"], c["rect"]) for c in state["form"]["controls"] if c["visible"]])


def shown_buttons(facts):
    """{control id: Rect} and {control id: icon file} of the buttons the
    launcher shows as Windows XP, the lab's release, in the product's order."""
    places, icons = {}, {}
    for id_, button in zip(button_ids(facts["buttons"]), facts["buttons"]):
        if dict(VERSIONS)["winxp"] in (button["windows"] or facts["windows"]):
            places[id_] = Rect(button["left"], button["top"], button["width"], button["height"])
            icons[id_] = {"Setup": "setup.ico", "Exit": "exit.ico"}.get(button["action"]) or button["icon_file"]
    return places, icons


class Run:
    """Everything one scenario needs: the lab, the driver, the media, and
    the steps scenarios share."""

    def __init__(self, lab, driver_exe, media, log, product, score_tool):
        self.lab = lab
        self.product = product
        self.table = product.table  # the string table launcher.exe was built with
        # What it shows in this run's locale (None: not stated, and why).
        self.captions, self.unstated = product.shown_on_1252(product.language)
        self.driver_exe = driver_exe
        self.score_tool = score_tool
        self.driver = lab.driver(driver_exe)
        self.media = media
        self.log = log
        self.process = None

    # --- Wine's settings ---------------------------------------------------
    def restart_wine(self, locale=None, messages=None):
        """A fresh wineserver (and driver) in another locale, or back in the
        one the run started with; messages gives the user interface a
        language of its own."""
        self.driver.close()
        self.lab.restart_server(locale, messages)
        self.driver = self.lab.driver(self.driver_exe)

    def _registry(self, key, value, data):
        """One registry value set (data None: removed)."""
        self.lab.import_registry(["Windows Registry Editor Version 5.00", "", f"[{key}]",
                                  f'"{value}"={data}' if data is not None else f'"{value}"=-'])

    def _set_drive(self, letter, folder, kind):
        """Maps the drive letter to a folder, of the given type (None: Wine's
        default for a folder); the wineserver reads the type when it starts."""
        self.lab.map_drive(letter, folder)
        self._registry("HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives", f"{letter}:",
                       f'"{kind}"' if kind else None)

    @contextlib.contextmanager
    def settings(self, version=None, dpi=None, desktop=None, locale=None, messages=None, screen=None,
                 drive=None):
        """Wine set otherwise for the block and set back after it, however
        the block ends: version, the Windows version the launcher sees;
        dpi; desktop False, no virtual desktop (then, with no window
        manager, Wine takes a closing window down slowly: shown for about
        2 s, then hidden for 2 s more); locale, with messages the user
        interface's own; screen, "WxHxD" of an Xvfb of its own; drive,
        (letter, folder, drive type). The wineserver, which reads most of
        these when it starts, is restarted once each way where needed."""
        undo, after = [], []
        restart = locale is not None or any(s is not None for s in (dpi, desktop, screen, drive))
        try:
            if version:
                self.lab.set_version(version)
                undo.append(lambda: self.lab.set_version("winxp"))
            if dpi:
                desktop_key = "HKEY_CURRENT_USER\\Control Panel\\Desktop"
                self._registry(desktop_key, "LogPixels", f"dword:{dpi:08x}")
                undo.append(lambda: self._registry(desktop_key, "LogPixels", f"dword:{96:08x}"))
            if desktop is not None:
                explorer = "HKEY_CURRENT_USER\\Software\\Wine\\Explorer"
                self._registry(explorer, "Desktop", '"Default"' if desktop else None)
                undo.append(lambda: self._registry(explorer, "Desktop", '"Default"'))
            if drive:
                letter, folder, kind = drive
                self._set_drive(letter, folder, kind)
                undo.append(lambda: self._set_drive(letter, self.media[letter], None))
            if screen:
                xvfb, display = start_xvfb(screen)
                usual = self.lab.env["DISPLAY"]
                self.lab.env["DISPLAY"] = display
                undo.append(lambda: self.lab.env.update(DISPLAY=usual))
                after.append(lambda: (xvfb.terminate(), xvfb.wait(timeout=10)))
            if restart:
                self.restart_wine(locale, messages)
            yield
        finally:
            for step in reversed(undo):
                step()
            if restart:
                self.restart_wine()
            for step in after:
                step()

    # --- the launcher --------------------------------------------------------
    def launch(self, path=ROOT, env=None):
        """Starts the launcher and waits until its window is up."""
        self.process = self.lab.start([path], dict(env or {}, SAMPLE_INSTALLER_LOG=windows_path(self.log)))
        reply = self.driver.wait("form", 20000)
        expect(reply["ok"], f"launcher window did not appear for {path}")
        return reply["state"]

    @contextlib.contextmanager
    def launched(self, path=ROOT, env=None):
        """The launcher started from path, its window up, for the block,
        which gets its state; quit with Exit and Yes after it. A block that
        fails leaves the launcher to the run's clean-up."""
        yield self.launch(path, env)
        self.exit_with_yes()

    @contextlib.contextmanager
    def also_started(self, path):
        """Another launcher process from path for the block, killed after it."""
        other = self.lab.start([path])
        try:
            yield other
        finally:
            other.kill()
            other.wait()

    def ended(self, process=None, timeout=15):
        """Waits for the launcher (or process) to end and returns its exit code."""
        process = process or self.process
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            raise Failure(f"launcher still running after {timeout} s: {self.driver.state()}")

    def expect_running(self):
        # A pause, not a poll: nothing is to happen, and the launcher must
        # still be there a moment later.
        time.sleep(0.3)
        expect(self.process.poll() is None, "launcher ended but should still run")
        state = self.driver.state()
        expect(state["form"] is not None and state["form"]["visible"], "launcher window gone")
        return state

    def open_box(self):
        reply = self.driver.wait("box", 10000)
        expect(reply["ok"], "expected a message box, none appeared")
        boxes = reply["state"]["boxes"]
        expect_eq("number of open boxes", 1, len(boxes))
        return boxes[0], reply["state"]

    def answer_box(self, answer="ok"):
        """Answers the one open box and waits until it has gone."""
        self.driver.send(f"answer {answer}")
        expect(self.driver.wait("nobox", 5000)["ok"], f"a box stayed open after {answer}")

    def expect_caption(self, what, entry, got):
        """The title or a caption shown as this run's locale shows it, where
        that can be stated."""
        if self.captions is None:
            print(f"  {what}: not checked, {self.unstated}")
        else:
            expect_eq(what, self.captions[entry], got)

    def expect_notice(self, what, box, text):
        """A box saying text, titled as the window, with OK and an icon."""
        expect_eq(f"{what}: text", text, box["text"])
        self.expect_caption(f"{what}: title", IDS_TITLE, box["title"])
        expect_eq(f"{what}: buttons", ["OK"], buttons_of(box))
        expect(box["icon"], f"{what}: the box has no icon")

    def expect_quit_question(self, box, form):
        expect_eq("question title", self.product.texts["quit_title"], box["title"])
        expect_eq("question text", self.product.texts["quit"], box["text"])
        expect_eq("question buttons", ["Yes", "No"], buttons_of(box))
        expect(box["icon"], "question box has no icon")
        expect_eq("question owner", form["hwnd"], box["owner"])

    def answer_question(self, answer):
        """The quit question is open, as the product words it: answered."""
        box, state = self.open_box()
        self.expect_quit_question(box, state["form"])
        self.answer_box(answer)

    def exit_with_yes(self, started_by_driver=False):
        """Exit, Yes, and the end: of run.process, or of the window of a
        launcher the driver started (no process to wait on)."""
        self.driver.send("click 2")
        self.answer_question("yes")
        if started_by_driver:
            expect(self.driver.wait("noform", 10000)["ok"], "launcher window still there after Exit, Yes")
        else:
            expect_eq("exit code after Exit, Yes", 0, self.ended())

    def expect_refusal(self, what):
        """The refusal box, as the product words it: answered."""
        box, state = self.open_box()
        expect_eq(f"{what}: error text", self.product.texts["refusal"], box["text"])
        self.driver.send("answer ok")
        return box, state

    # --- what it shows ---------------------------------------------------------
    def capture(self, name, whole=False):
        """The client area now (whole: the window with its frame), as a Bitmap."""
        path = os.path.join(self.lab.work_dir, name)
        command = "capturewindow" if whole else "capture"
        expect(self.driver.send(f"{command} {windows_path(path)}")["ok"], f"{command} failed")
        return Bitmap(path)

    def settled_capture(self, name, settled, seconds=2, whole=False):
        """Captures until settled(capture) holds or the time is up, and
        returns the last capture: the launcher's drawing reaches the screen
        when Wine next flushes it, later on a busy machine."""
        shot = None

        def look():
            nonlocal shot
            shot = self.capture(name, whole)
            return settled(shot)
        until(look, seconds)
        return shot

    def score(self, path, reduced=None):
        """The blurred score of a drawn window against the artwork; with
        reduced, of the artwork reduced to that many colours on the host."""
        drawn = ["--reduced", str(reduced)] if reduced else [path]
        result = subprocess.run([self.score_tool, *drawn, self.product.picture("disc.bmp")],
                                capture_output=True, text=True)
        expect(result.returncode == 0, f"picture_score failed: {result.stderr.strip()}")
        return float(result.stdout)

    def key(self, keys):
        """Real key presses, through X, to the Wine desktop window."""
        desktop = subprocess.run(["xdotool", "search", "--name", "Wine desktop$"], env=self.lab.env,
                                 capture_output=True, text=True).stdout.split()
        expect(desktop, "no Wine desktop window to type into")
        subprocess.run(["xdotool", "windowfocus", "--sync", desktop[0], "key", "--delay", "50", keys],
                       env=self.lab.env, check=True, timeout=20)

    def focus_when_active(self):
        """The focused control's id once Form1 is the active window again
        (and has given a control the focus, which comes a moment later)."""
        form = until(lambda: (f := self.driver.state()["form"]) and f["active"] and f["focus"] and f, 5, 0.05)
        if not form:
            form = self.driver.state()["form"]
            expect(form and form["active"], "Form1 did not become active again")
        return form["focus"]

    def forms(self, count, seconds=10, started=None):
        """Waits until count launcher windows are up (or the launcher started
        meanwhile has ended) and returns the state."""
        until(lambda: self.driver.state()["forms"] == count or (started and started.poll() is not None),
              seconds)
        return self.driver.state()

    # --- the installer -----------------------------------------------------------
    def installer_log(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, "rb") as f:
            return f.read().decode("latin-1").splitlines()

    def setup_starts(self, folder, launcher="launcher.exe", encoding="latin-1", env=None):
        """Setup in the launcher in this folder starts the product's
        installer beside it, and the launcher ends without a question."""
        self.launch(folder.rstrip("\\") + "\\" + launcher, env)
        self.driver.send("click 1")
        expect_eq("exit code after Setup", 0, self.ended())
        self.expect_installer_started(self.product.installer_in(folder), encoding)

    def expect_installer_started(self, expected_path, encoding="latin-1"):
        reply = self.driver.wait("installer", 15000)
        expect(reply["ok"], "sample installer window did not appear")
        lines = until(self.installer_log, 5)
        expect_eq("installer starts", 1, len(lines))
        module, arguments, folder = (lines[0].encode("latin-1").decode(encoding).split("\t") + ["", ""])[:3]
        expect_eq("installer path", expected_path, module)
        expect_eq("installer parameters", "", arguments)
        if self.product.facts["working_directory"] == "installer":
            expect_eq("installer's working folder", expected_path.rpartition("\\")[0], folder)
        self.driver.send("closeinstallers")
        os.remove(self.log)


# --- scenarios ---------------------------------------------------------------

def version_gate(run):
    """Only the product's releases run (and start the installer where Setup
    is pressed); others see one error, then the end."""
    for version, _ in VERSIONS:
        accepted = run.product.runs_on(version)
        with run.settings(version=version):
            if accepted and version in SETUP_ON:
                run.setup_starts("D:\\")
                print(f"  {version}: runs, Setup starts the installer")
                continue
            run.launch()
            if accepted:
                reply = run.driver.wait("box", 1500)
                expect(not reply["ok"], f"{version}: unexpected box {reply['state']['boxes']}")
                run.exit_with_yes()
            else:
                box, state = run.expect_refusal(version)
                expect(state["form"]["visible"], f"{version}: window not shown before the error")
                run.expect_notice(f"{version}: error", box, run.product.texts["refusal"])
                expect_eq(f"{version}: exit code after refusal", 0, run.ended())
        print(f"  {version}: {'runs' if accepted else 'refused'}")


def window_and_captions(run):
    """The window: title, captions from the string table, size, frame, place."""
    with run.launched() as state:
        form = state["form"]
        expect_eq("client size", list(CLIENT), form["client"])
        texts = {c["id"]: c["text"] for c in form["controls"]}
        for what, entry, got in (("title", IDS_TITLE, form["title"]), ("Setup caption", IDS_SETUP,
                                 texts.get(IDC_COMMAND1)), ("Exit caption", IDS_EXIT, texts.get(IDC_COMMAND2))):
            run.expect_caption(what, entry, got)
        style = form["style"]
        WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_SYSMENU, WS_CAPTION = (
            0x40000, 0x20000, 0x10000, 0x80000, 0xC00000)
        expect(style & WS_CAPTION == WS_CAPTION and style & WS_SYSMENU, f"no caption/system menu: {style:#x}")
        expect(not style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), f"resizable or min/max: {style:#x}")
        left, top, right, bottom = form["window"]
        screen_w, screen_h = form["screen"]
        expect(abs((left + right) - screen_w) <= 1 and abs((top + bottom) - screen_h) <= 1,
               f"window {form['window']} not centred on a {screen_w}x{screen_h} screen")


def window_as_designed(run):
    """The client area as drawn: the artwork at its natural size wherever no
    control is, black text on it in the label's place, pale yellow buttons
    with their icons and captions, and the background colour nowhere."""
    check_drawn_window(run)


def window_at_120_dpi(run):
    """At 120 dots per inch the frame and the message boxes grow, but the
    window's content is laid out in pixels and looks exactly as at 96."""
    with run.settings(dpi=120):
        state = check_drawn_window(run)
        expect_eq("screen resolution", 120, state["form"]["dpi"])


def corners():
    width, height = CLIENT
    return ((0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1))


def check_drawn_window(run):
    disc = Bitmap(run.product.picture("disc.bmp"))

    def artwork_differs(shot):
        """Pixels outside the buttons and the label that are not the artwork's."""
        if (shot.width, shot.height) != tuple(CLIENT):
            return [("captured size", shot.width, shot.height)]
        return [(x, y, colour, disc.pixel(x, y)) for x, y, colour in shot.pixels(0, 0, *CLIENT)
                if not in_a_button(x, y) and not inside(LABEL, x, y) and colour != disc.pixel(x, y)]

    with run.launched() as state:
        expect_eq("client size", list(CLIENT), state["form"]["client"])
        expect_controls(state)
        shot = run.settled_capture("client.bmp", lambda s: not artwork_differs(s))
        expect_eq("captured size", tuple(CLIENT), (shot.width, shot.height))
        wrong = artwork_differs(shot)
        expect(not wrong, f"{len(wrong)} pixels differ from the artwork, first {wrong[:3]}")
        dark_in_label = sum(max(c) < 64 for _, _, c in shot.pixels(*LABEL))
        artwork_in_label = sum(c == disc.pixel(x, y) for x, y, c in shot.pixels(*LABEL))
        for corner in corners():
            expect_eq(f"artwork corner {corner}", disc.pixel(*corner), shot.pixel(*corner))
        expect(dark_in_label > 300, f"only {dark_in_label} black pixels of text in the label")
        expect(artwork_in_label > LABEL.width * LABEL.height // 2,
               "the label hides the artwork: expected a transparent label")
        grey = [(x, y) for x, y, c in shot.pixels(0, 0, *CLIENT) if c == (192, 192, 192) and not in_a_button(x, y)]
        expect(not grey, f"the background colour shows at {grey[:5]}")

        for id_, (left, top, width, height) in BUTTONS.items():
            # The face where neither the icon nor a caption of any width
            # reaches: beside the icon at the top, below the caption at the
            # bottom, inside the edge and outside the focus frame.
            for x, y in ((left + 6, top + 6), (left + width - 7, top + 6),
                         (left + 3, top + height - 4), (left + width - 4, top + height - 4)):
                expect_eq(f"button {id_} face at {x},{y}", FACE, shot.pixel(x, y))
            # The icon centred at the top, and the caption below it.
            icon = list(c for _, _, c in shot.pixels(left + (width - ICON) // 2, top + 6, ICON, ICON + 4))
            caption = list(c for _, _, c in shot.pixels(left + 8, top + 44, width - 16, 16))
            expect(sum(max(c) < 64 for c in caption) > 20, f"button {id_}: no caption text below the icon")
            name = BUTTON_ICONS[id_]
            for colour, count in icon_colours(run.product.picture(name)):
                expect(icon.count(colour) >= min(10, count // 2),
                       f"button {id_}: {icon.count(colour)} pixels of {colour}, the colour of "
                       f"{count} pixels of {name}: not its icon")

        # Held down, a button looks pressed: a shadow edge, the picture moved
        # one pixel right and down.
        setup = BUTTONS[IDC_COMMAND1]
        left, top = setup.left + (setup.width - ICON) // 2, setup.top + 6
        edge = range(setup.top + 8, setup.top + 58)
        moved = lambda p: all(p.pixel(x + 1, y + 1) == shot.pixel(x, y)  # noqa: E731
                              for x, y, _ in shot.pixels(left, top, ICON, ICON))
        shadow = lambda p: sum(p.pixel(setup.left + 1, y)[0] < shot.pixel(setup.left + 1, y)[0]  # noqa: E731
                               for y in edge)
        run.driver.send("press 1 1")
        pressed = run.settled_capture("pressed.bmp", lambda p: moved(p) and shadow(p) > 40)
        run.driver.send("press 1 0")
        expect(moved(pressed), "pressed Setup button: the icon did not move one pixel right and down")
        expect(shadow(pressed) > 40, "pressed Setup button: the left edge did not turn to shadow")
    return state


def expect_drawn_in_place(name, shot, face, artwork, exact):
    """Corners of a colour the palette holds (the exact ones) stay that
    colour, black text in the version line, and button faces of one solid
    colour between the edge and the icon, caption and focus frame: no
    dithered pattern behind the captions."""
    for corner in corners():
        if artwork.pixel(*corner) in exact:
            expect_eq(f"{name}: corner {corner}", artwork.pixel(*corner), shot.pixel(*corner))
    black = sum(c == (0, 0, 0) for _, _, c in shot.pixels(*LABEL))
    expect(black > 300, f"{name}: only {black} black pixels of text in the version line")
    for id_, (left, top, width, height) in BUTTONS.items():
        # Beside the icon, where no caption reaches however wide it is.
        colours = {c for _, _, c in shot.pixels(left + 6, top + 6, 12, ICON)}
        colours |= {c for _, _, c in shot.pixels(left + width - 18, top + 6, 12, ICON)}
        expect_eq(f"{name}: colours of button {id_}'s face", {face}, colours)


def drawn_in_palettes(run):
    """The launcher's drawing code paints Form1 into an 8-bit bitmap whose
    colour table is the window's palette, and into a 4-bit one of the 16
    standard colours: the artwork dithered close to the original, the faces
    pale yellow (white, the nearest, at 16 colours), all in their places."""
    drawing = os.path.join(os.path.dirname(run.driver_exe), "drawing.exe")
    # Its output goes to a file: a Wine service started on its behalf can
    # hold a pipe open long after the program has ended.
    output = os.path.join(run.lab.work_dir, "drawing.txt")
    with open(output, "w") as out:
        subprocess.run([*run.lab.wine, drawing, ROOT, windows_path(run.lab.work_dir)],
                       env=run.lab.env, stdout=out, stderr=subprocess.DEVNULL, timeout=60)
    with open(output) as out:
        reports = [json.loads(line) for line in out if line.startswith("{")]
    expect_eq("drawing: reports", 2, len(reports))
    for report, colours, face in ((reports[0], 256, FACE), (reports[1], 16, (255, 255, 255))):
        # As close as the same reduction on the host, less what the client
        # area's clipping costs (1.2 and 4.5 for the default artwork).
        reference = run.score(None, reduced=colours)
        limit = reference + max(0.35, 0.13 * reference)
        expect(report["ok"], f"drawing for {colours} colours failed: {report}")
        expect_eq(f"{colours} colours: entries in the colour table", colours, report["colors"])
        path = os.path.join(run.lab.work_dir, report["file"])
        score = run.score(path)
        print(f"  {colours} colours: score {score:.3f} (at most {limit:.3f}), {path}")
        expect(score <= limit, f"{colours} colours: score {score:.3f}, expected at most {limit}")
        expect_drawn_in_place(f"{colours} colours", Bitmap(path), face,
                              Bitmap(run.product.picture("disc.bmp")), CUBE if colours == 256 else STANDARD_16)


def on_an_8_bit_screen(run):
    """On an 8-bit (palette) screen the launcher starts, draws and closes as
    usual, and what X shows of its window scores no worse than the
    product's own artwork can in the screen's static colours."""
    # X picks the nearest static colour its own way, not by least squares
    # (the default artwork: 7.92 shown, 7.73 computed): the allowance is
    # the worse of the artwork in its nearest static colours and in the
    # farthest ones a lookup at 5 bits a channel may pick, 5% over that.
    farthest = farthest_static_picture(run.product.picture("disc.bmp"),
                                       os.path.join(run.lab.work_dir, "farthest-static.bmp"))
    before = max(run.score(None, reduced=20), run.score(farthest))
    limit = before * 1.05
    with run.settings(screen="1024x768x8"), run.launched() as state:
        expect_eq("bits per pixel of the screen", 8, state["form"]["bits"])
        expect_controls(state)
        run.capture("client-8-bit.bmp")  # also waits for any paint still pending
        # The launcher's X window, read with its own colour map, as shown.
        title = run.captions[IDS_TITLE] if run.captions else state["form"]["title"]
        window = subprocess.run(["xdotool", "search", "--name", f"^{re.escape(title)}$"],
                                env=run.lab.env, capture_output=True, text=True).stdout.split()
        expect(window, "no X window for the launcher")
        form = state["form"]
        x, y = form["origin"][0] - form["window"][0], form["origin"][1] - form["window"][1]
        path = os.path.join(run.lab.work_dir, "screen-8-bit.bmp")

        def shown_score():
            subprocess.run(["import", "-window", window[0], "-crop", "{}x{}+{}+{}".format(*CLIENT, x, y),
                            "+repage", "-type", "TrueColor", "BMP3:" + path], env=run.lab.env, check=True,
                           timeout=30)
            return run.score(path)
        # Until X has shown what the launcher drew.
        score = until(lambda: (s := shown_score()) <= limit and s, 3, 0.5) or shown_score()
        print(f"  shown on the 8-bit screen: score {score:.3f} (at most {limit:.3f})")
        expect(score <= limit, f"8-bit screen: score {score:.3f}, expected at most {limit:.3f}")
        shot = Bitmap(path)
        black = sum(c == (0, 0, 0) for _, _, c in shot.pixels(*LABEL))
        expect(black > 300, f"8-bit screen: only {black} black pixels of text in the version line")


def display_depth_changes(run):
    """WM_DISPLAYCHANGE chooses the colour path again and repaints: told the
    display now has 256 colours, the artwork is drawn in the colour cube of
    the window's palette; 16 colours, in the standard colours with white
    button faces; true colour again, exactly as it is. (Xvfb cannot change
    its depth, so the screen stays at 24 bits.)"""
    disc = Bitmap(run.product.picture("disc.bmp"))
    paths = (
        (8, "in the cube", lambda x, y, c: all(v % 51 == 0 for v in c)),
        (4, "in the 16 standard colours", lambda x, y, c: c in STANDARD_16),
        (24, "the artwork's own", lambda x, y, c: c == disc.pixel(x, y)),
    )
    with run.launched():
        for bits, what, fits in paths:
            def misfits(shot):
                return [(x, y, c) for x, y, c in shot.pixels(0, 0, *CLIENT)
                        if not inside(LABEL, x, y) and not in_a_button(x, y) and not fits(x, y, c)]
            run.driver.send(f"displaychange {bits}")
            shot = run.settled_capture(f"depth-{bits}.bmp", lambda s: not misfits(s))
            wrong = misfits(shot)
            expect(not wrong, f"{bits} bits: {len(wrong)} pixels of the artwork not {what}, first {wrong[:3]}")
            if bits == 4:
                expect_drawn_in_place("16 colours", shot, (255, 255, 255), disc, STANDARD_16)


def resources_and_window_icon(run):
    """Windows loads the bitmap, both icons and the strings from the file; the
    file's icon and the window's title-bar icon are the setup icon."""
    reply = run.driver.send(f"resources {ROOT}")
    expect_eq("bitmap width, height, bits", [350, 350, 24], reply["bitmap"])
    for key in ("setup_icon", "exit_icon", "icons_differ", "file_icon_is_setup"):
        expect(reply[key], f"{key}: expected true, got {reply[key]}")
    expect_eq(f"strings {IDS_SETUP}, {IDS_EXIT}, {IDS_TITLE}",
              [run.table[i] for i in (IDS_SETUP, IDS_EXIT, IDS_TITLE)], reply["strings"])

    # The small icon sits at the left of the title bar: look there for the
    # colours the setup icon keeps at 16 x 16, which no default icon has.
    # An icon whose every colour is in strokes too thin to survive the
    # shrinking keeps none: then there is nothing to look for.
    expected = icon_colours_at_16(run.product.picture("setup.ico"))
    if not expected:
        print("  the setup icon keeps no colour of its own at 16 x 16: title-bar icon not checked")
    with run.launched() as state:
        caption_height = state["form"]["origin"][1] - state["form"]["window"][1]

        def shown(window):
            colours = [p for _, _, p in window.pixels(0, 0, 24, caption_height)]
            return [(colour, colours.count(colour), min(4, blocks)) for colour, blocks in expected]
        window = run.settled_capture("window.bmp", lambda w: all(n >= least for _, n, least in shown(w)),
                                     whole=True)
        for colour, count, least in shown(window):
            expect(count >= least, f"title-bar icon shows {count} pixels of {colour}, expected at least "
                   f"{least}: not the setup icon")


def setup_from_folders(run):
    """Setup on D:\\, and in a deeper folder whose names hold spaces, starts
    the installer below it and ends without a question."""
    for folder in ("D:\\", "E:\\My Disc\\Disk 1"):
        run.setup_starts(folder)


def setup_from_cd_image(run):
    """The disc image as shipped, extracted through its Joliet tree and
    mapped as D: with the drive type of a CD-ROM: Setup starts the medium's
    installer."""
    cd = os.path.join(run.lab.work_dir, "cd")
    shutil.rmtree(cd, ignore_errors=True)
    image = os.path.join(os.path.dirname(run.driver_exe), "medium.iso")
    subprocess.run(["xorriso", "-no_rc", *XORRISO_ARGS, "-osirrox", "on", "-read_fs", "norock", "-indev", image,
                    "-extract", "/", cd], check=True, capture_output=True, env=dict(os.environ, **XORRISO_ENV))
    for folder, _, _ in os.walk(cd):
        os.chmod(folder, 0o755)  # extracted read-only; the next run removes them
    relative = run.product.started.split("\\")
    with open(os.path.join(cd, *relative), "rb") as f:
        shipped = f.read()
    with open(os.path.join(run.media["d"], *relative), "rb") as f:
        if shipped != f.read():
            print("  skipped: the image carries a maker's installer, not the sample one")
            return
    with run.settings(drive=("d", cd, "cdrom")):
        expect_eq("drive type of D:", DRIVE_CDROM, run.driver.send("drivetype D:\\")["type"])
        # The launcher under the product's own name, as the disc carries it.
        run.setup_starts("D:\\", launcher=run.product.facts["launcher_name"])


def setup_on_64_bit(run):
    """On 64-bit x64 Windows (a second, throw-away prefix made with
    WINEARCH=win64, the sample medium as D:) Setup starts installer_x64,
    with the working folder the product gives it. (On the usual 32-bit
    prefix it starts installer: setup_from_folders and the others.)"""
    facts = run.product.facts
    version = next((v for v in ("win7", "win10") if run.product.runs_on(v)), None)
    why = ("the product names no installer_x64" if not facts["installer_x64"] else
           "installer_x64 is a maker's program, not the sample installer, which logs its start"
           if facts["installer_x64_parts"] not in (facts["medium"]["sample_paths"] or []) else
           "the product runs on neither 7 nor 10, the 64-bit Windows tried here" if not version else None)
    if why:
        print(f"  skipped: {why}")
        return
    lab = WineLab(os.path.join(run.lab.work_dir, "win64"), display=run.lab.env["DISPLAY"], locale=BASE_LOCALE,
                  **dict(LAB, arch="win64"))
    usual = run.lab, run.driver
    try:
        try:
            lab.boot(version, desktop="1024x768")
        except (subprocess.CalledProcessError, subprocess.TimeoutExpired) as e:
            print(f"  skipped: wine64 cannot make a 64-bit prefix here ({e})")
            return
        if not os.path.isdir(os.path.join(lab.prefix, "drive_c", "windows", "syswow64")):
            print("  skipped: WINEARCH=win64 made a prefix without syswow64, not a 64-bit one")
            return
        lab.map_drive("d", run.media["d"])
        run.lab, run.driver = lab, lab.driver(run.driver_exe)
        run.launch()
        run.driver.send("click 1")
        expect_eq("exit code after Setup on 64-bit Windows", 0, run.ended())
        run.expect_installer_started(f"D:\\{facts['installer_x64']}")
        print(f"  {version}, 64-bit: Setup started {facts['installer_x64']!r}")
    finally:
        if run.driver is not usual[1]:
            run.driver.close()
        run.lab, run.driver = usual
        lab.close()


def exit_no_then_yes(run):
    """Exit, No keeps the window; Exit asks again; Yes ends the launcher."""
    with run.launched():
        run.driver.send("click 2")
        run.answer_question("no")
        state = run.expect_running()
        expect(state["form"]["enabled"], "window left disabled after No")


def every_close_asks(run):
    """Close box, WM_CLOSE and WM_QUERYENDSESSION ask the question Exit asks."""
    run.launch()
    for how in ("sysclose", "close"):
        run.driver.send(f"post {how}")
        run.answer_question("no")
        run.expect_running()
    reply = run.driver.send("queryend no")
    expect(reply["box"] is not None, "no question on WM_QUERYENDSESSION")
    run.expect_quit_question(reply["box"], reply["state"]["form"])
    expect_eq("WM_QUERYENDSESSION answer after No", 0, reply["result"])
    run.expect_running()
    reply = run.driver.send("queryend yes")
    expect_eq("WM_QUERYENDSESSION answer after Yes", 1, reply["result"])
    run.driver.send("endsession")
    expect_eq("exit code after the session end", 0, run.ended())

    run.launch()
    run.driver.send("post sysclose")
    run.answer_question("yes")
    expect_eq("exit code after close box, Yes", 0, run.ended())


def cancelled_shutdown(run):
    """Behind the failed-start box a shutdown is granted without a question;
    another program then cancels it: the window and the box stay."""
    with run.launched("F:\\launcher.exe"):
        run.driver.send("click 1")
        box, _ = run.open_box()
        expect_eq("WM_QUERYENDSESSION behind the failed-start box", 1,
                  run.driver.send("queryend none")["result"])
        run.driver.send("endsession no")
        # A pause, not a poll: the window and the box are to stay as they are.
        time.sleep(0.5)
        state = run.expect_running()
        expect_eq("boxes after the cancelled shutdown", [box["hwnd"]], [b["hwnd"] for b in state["boxes"]])
        run.answer_box()


def keyboard(run):
    """Tab between the buttons; Exit's access key, Space, Enter and Alt+F4
    reach Exit's question; Setup's access key starts the installer (Enter
    on Setup where the caption has none). The focus comes back where it was."""
    run.launch()
    expect_eq("focus at first display", IDC_COMMAND1, run.focus_when_active())
    # Tab once round the buttons shown, in the product's order, back to
    # Setup; then shift+Tab back to Exit.
    order = list(BUTTONS)
    start = order.index(IDC_COMMAND1)
    steps = [("Tab", order[(start + n) % len(order)]) for n in range(1, len(order) + 1)]
    back = (order.index(IDC_COMMAND1) - order.index(IDC_COMMAND2)) % len(order)
    steps += [("shift+Tab", order[(start - n) % len(order)]) for n in range(1, back + 1)]
    for keys, focus in steps:
        run.key(keys)
        expect_eq(f"focus after {keys}", focus, run.focus_when_active())
    # xdotool names a key by its letter where a US keyboard has one.
    setup_key, exit_key = (k if k and k.isascii() and k.isalnum() else None
                           for k in map(run.product.texts["access_keys"].get, ("setup", "exit")))
    for keys in ([f"alt+{exit_key}"] if exit_key else []) + ["space", "Return", "alt+F4"]:
        run.key(keys)
        run.answer_question("no")
        expect_eq(f"focus after {keys} and No", IDC_COMMAND2, run.focus_when_active())
    if setup_key:
        run.key(f"alt+{setup_key}")
    else:
        run.key("shift+Tab")
        run.key("Return")
    expect_eq("exit code after Setup from the keyboard", 0, run.ended())
    run.expect_installer_started(run.product.installer_in("D:\\"))


def maker_buttons(run):
    """Each button product.json lists is a child window with its id, at its
    place and of its size, shown where the lab's release (XP) is among its
    own, captioned as the string table gives it and drawn so. With buttons
    of the maker's: Setup holds the focus first and Tab follows the list;
    each of the maker's buttons shown, pressed by its access key (clicked
    where it has none), opens its target: a program on the disc (the sample
    installer stands in) starts with the button's parameters in the
    launcher's folder; a folder opens without a box; the launcher stays, or,
    where the button closes, ends without the quit question."""
    facts, language = run.product.facts, run.product.language
    buttons, ids = facts["buttons"], button_ids(facts["buttons"])
    shown = [dict(VERSIONS)["winxp"] in (b["windows"] or facts["windows"]) for b in buttons]
    word = lambda i: {IDC_COMMAND1: "1", IDC_COMMAND2: "2"}.get(i, str(i))  # noqa: E731
    controls = run.launch()["form"]["controls"]
    expect_eq("child windows: id, place, shown", [(i, [b["left"], b["top"], b["width"], b["height"]], s)
                                                  for i, b, s in zip(ids, buttons, shown)],
              [(c["id"], c["rect"], c["visible"]) for c in controls])
    for i, b, s, c in zip(ids, buttons, shown, controls):
        if b["action"] != "Open":
            entry = IDS_SETUP if b["action"] == "Setup" else IDS_EXIT
            run.expect_caption(f"{b['name']} caption", entry, c["text"])
            text = run.captions and run.captions[entry]
        elif LANGUAGES[language].codepage == 1252:
            text = run.table[b["caption_id"]]
            expect_eq(f"{b['name']} caption", text, c["text"])
        else:
            text = None
            print(f"  {b['name']} caption: not checked, what a {language} launcher shows on code page "
                  "1252 is not stated here")
        if text and s:
            expect_drawn(run, word(i), text, f"button-{b['name']}")
    own = [(i, b) for i, b, s in zip(ids, buttons, shown) if b["action"] == "Open" and s]
    if not own:
        run.exit_with_yes()
        print("  skipped the rest: no button of the maker's shown (Setup's and Exit's keys: keyboard)")
        return
    order = [i for i, s in zip(ids, shown) if s]
    start = order.index(IDC_COMMAND1)
    expect_eq("focus at first display", IDC_COMMAND1, run.focus_when_active())
    for step in range(1, len(order) + 1):
        run.key("Tab")
        expect_eq(f"focus after Tab {step}", order[(start + step) % len(order)], run.focus_when_active())
    run.key("shift+Tab")
    expect_eq("focus after shift+Tab", order[start - 1], run.focus_when_active())
    run.exit_with_yes()

    for i, b in own:
        path = b.get("target_parts") and os.path.join(run.media["d"], *b["target_parts"])
        program = bool(path) and os.path.isfile(path) and path.lower().endswith(".exe")
        if not program and not (path and os.path.isdir(path)):
            print(f"  {b['name']}: opens {b['target']!r}, an address or a document: not tried in the lab")
            continue
        run.launch()
        run.focus_when_active()
        key = run.product.texts["access_keys"].get(b["name"])
        # xdotool names a key by its letter where a US keyboard has one.
        how = f"alt+{key}" if key and key.isascii() and key.isalnum() else None
        if how:
            run.key(how)
        else:
            run.driver.send(f"click {i}")
        if program:
            expect(run.driver.wait("installer", 15000)["ok"], f"{b['name']}: {b['target']!r} did not start")
            lines = until(run.installer_log, 5)
            expect_eq(f"{b['name']}: starts", 1, len(lines))
            expect_eq(f"{b['name']}: program, parameters, working folder",
                      [f"D:\\{b['target']}", b["parameters"], "D:\\"], (lines[0].split("\t") + ["", ""])[:3])
        else:
            # Whatever Wine opens for a folder is its own; only the shell's
            # failure would show, as the launcher's box.
            reply = run.driver.wait("box", 3000)
            expect(not reply["ok"], f"{b['name']}: a box on opening {b['target']!r}: {reply['state']['boxes']}")
        if b["closes"]:
            expect_eq(f"{b['name']}: exit code, closing as it says", 0, run.ended())
        else:
            run.expect_running()
        print(f"  {b['name']} ({how or 'clicked'}): {'started' if program else 'opened'} "
              f"{b['target']!r}, the launcher {'ended' if b['closes'] else 'stayed'}")
        run.restart_wine()  # ends what it opened, and the launcher
        if os.path.exists(run.log):
            os.remove(run.log)


def layout_of_three_and_four_buttons(run):
    """Buttons without positions, two, three or four of them, stand where
    README's rows put them: the built product's, as many as it has."""
    buttons = run.product.facts["buttons"]
    with open(os.path.join(run.product.facts["folder"], "product.ini"), encoding="utf-8-sig",
              errors="replace") as f:
        positioned = re.search(r"^\s*position\s*=", f.read(), re.M)
    if positioned or len(buttons) not in ROWS:
        print(f"  skipped: {len(buttons)} buttons{', placed by positions' if positioned else ''}; "
              "rows are written out for 2, 3 and 4 without positions")
        return
    with run.launched() as state:
        expect_eq(f"{len(buttons)} buttons in a row: id, place",
                  [(i, [left, ROW_TOP] + BUTTON_SIZE) for i, left in zip(button_ids(buttons), ROWS[len(buttons)])],
                  [(c["id"], c["rect"]) for c in state["form"]["controls"]])
    print(f"  {len(buttons)} buttons at lefts {ROWS[len(buttons)]}; the other rows need a product with "
          "that many buttons")


def missing_installer(run):
    """No installer folder: the launcher says so and stays; Exit still asks."""
    with run.launched("F:\\launcher.exe"):
        run.driver.send("click 1")
        box, _ = run.open_box()
        run.expect_notice("failure", box, run.product.texts["start_failure"] + "\r\n\r\n" +
                          run.product.installer_in("F:\\"))
        run.answer_box()
        run.expect_running()
        expect(not run.installer_log(), "something was started")


def no_second_box(run):
    """While the question is open nothing else the window gets is handled."""
    with run.launched():
        run.driver.send("click 2")
        run.open_box()
        for command in ("post close", "post sysclose", "click 1", "click 2"):
            run.driver.send(command)
        reply = run.driver.send("queryend none")
        expect_eq("WM_QUERYENDSESSION while the question is open", 0, reply["result"])
        # A pause, not a poll: no second box is to come.
        time.sleep(0.5)
        state = run.driver.state()
        expect_eq("boxes open", 1, len(state["boxes"]))
        # The answer is posted: wait until that box is gone before looking
        # for another (on a busy machine it may still be up for a moment).
        run.answer_box("no")
        reply = run.driver.wait("box", 1500)
        expect(not reply["ok"], f"a second box followed: {reply['state']['boxes']}")
        run.expect_running()
        expect(not run.installer_log(), "Setup ran while the question was open")


def soak(run):
    """200 rounds of Exit then No, repainting between: the launcher's private
    bytes after the last round are within 64 KB of those after round 20."""
    with run.launched():
        warm = run.driver.send("exitno 20")
        expect(warm["ok"], f"first 20 rounds: {warm['detail']}")
        done = run.driver.send("exitno 180")
        expect(done["ok"], f"last 180 rounds: {done['detail']}")
        growth = done["private"] - warm["private"]
        print(f"  private bytes {warm['private']:,} after 20 rounds, {done['private']:,} after 200")
        expect(abs(growth) <= 64 * 1024, f"private bytes grew by {growth:,} over 180 rounds")


# System DLL names a planted copy could be loaded under: what the shell and
# the user interface pull in late, and the shell itself.
PLANTED_DLLS = [
    "shcore", "shell32", "shlwapi", "uxtheme", "version", "dwmapi", "cryptbase", "comctl32",
    "ole32", "oleaut32", "userenv", "profapi", "apphelp", "propsys", "setupapi", "cfgmgr32",
    "winmm", "msimg32", "imm32", "usp10", "lpk", "rpcrt4", "secur32", "sspicli", "netapi32",
    "mpr", "ntmarta", "wintrust", "crypt32", "msasn1", "urlmon", "wininet", "iertutil", "dbghelp",
    "windowscodecs", "comdlg32", "linkinfo", "msctf", "clbcatq", "xmllite", "mlang", "iphlpapi",
]


def planted_dlls(run):
    """DLLs planted beside the launcher under system DLL names are never
    loaded: not at start, on Setup, on Exit, nor on the refusal."""
    log = os.path.join(run.lab.work_dir, "planted.log")
    env = {"PLANTED_DLL_LOG": windows_path(log)}
    with run.launched("P:\\launcher.exe", env):
        pass
    run.setup_starts("P:\\", env=env)
    refused = run.product.refused_version()
    if refused:
        with run.settings(version=refused):
            run.launch("P:\\launcher.exe", env)
            run.expect_refusal("refusal")
            run.ended()
    loaded = open(log, "rb").read().decode("latin-1").split() if os.path.exists(log) else []
    expect_eq("planted DLLs loaded", [], loaded)


def show_commands(run):
    """Whatever show command the starter passes (hidden, minimized,
    maximized, minimized without activation), the window comes up at its
    designed size, visible and active; on a release the product refuses a
    minimized start still shows the refusal."""
    with run.launched() as state:
        designed = state["form"]
    size = lambda r: (r[2] - r[0], r[3] - r[1])  # noqa: E731
    WS_MINIMIZE, WS_MAXIMIZE = 0x20000000, 0x01000000
    for show in (0, 2, 3, 7):  # SW_HIDE, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOWMINNOACTIVE
        expect(run.driver.send(f"start {show} {ROOT}")["ok"], "driver could not start it")
        expect(run.driver.wait("form", 20000)["ok"], f"show {show}: no visible window")
        run.focus_when_active()
        form = run.driver.state()["form"]
        expect(not form["style"] & (WS_MINIMIZE | WS_MAXIMIZE), f"show {show}: style {form['style']:#x}")
        expect_eq(f"show {show}: window size", size(designed["window"]), size(form["window"]))
        expect_eq(f"show {show}: client size", list(CLIENT), form["client"])
        run.exit_with_yes(started_by_driver=True)
    refused = run.product.refused_version()
    if not refused:
        return
    with run.settings(version=refused):
        run.driver.send(f"start 7 {ROOT}")
        run.expect_refusal("after a minimized start")
        expect(run.driver.wait("noform", 10000)["ok"], "refused launcher did not end")


def second_start(run):
    """A second start of the same launcher brings the first one forward,
    or its open question, and ends; one from another folder runs on its own."""
    WS_MINIMIZE = 0x20000000
    with run.launched():
        run.driver.send("post minimize")
        until(lambda: run.driver.state()["form"]["style"] & WS_MINIMIZE, 5)
        expect_eq("exit code of the second start", 0, run.ended(run.lab.start([ROOT])))
        run.focus_when_active()
        state = run.driver.state()
        expect_eq("launcher windows", 1, state["forms"])
        expect(not state["form"]["style"] & WS_MINIMIZE, "the first window is still minimized")

        run.driver.send("click 2")
        run.open_box()
        expect_eq("exit code of a start during the question", 0, run.ended(run.lab.start([ROOT])))
        expect_eq("launcher windows during the question", 1, run.open_box()[1]["forms"])
        run.answer_box("no")
        with run.also_started("E:\\My Disc\\Disk 1\\launcher.exe"):
            expect_eq("launcher windows with one from another folder", 2, run.forms(2)["forms"])
        run.forms(1, 5)


def second_start_other_spelling(run):
    """A second start of the same launcher under its 8.3 name, its letters'
    case changed, brings the first one forward and ends. A hidden first
    window is not brought forward, and the start opens its own."""
    folder = "E:\\My Disc\\Disk 1"
    with run.launched(folder + "\\launcher.exe"):
        short = run.driver.send(f"shortpath {folder}\\launcher.exe")
        expect(short["ok"] and "~" in short["path"], f"no 8.3 form of {folder}: {short}")
        expect_eq(f"exit code of a start as {short['path'].lower()}", 0,
                  run.ended(run.lab.start([short["path"].lower()])))
        expect_eq("launcher windows", 1, run.driver.state()["forms"])

        run.driver.send("post hide")
        with run.also_started(folder + "\\launcher.exe") as second:
            until(lambda: run.driver.state()["shown"] == 1 or second.poll() is not None)
            expect(second.poll() is None, "a start while the first window was hidden ended")
            expect_eq("shown launcher windows", 1, run.driver.state()["shown"])
        run.forms(1, 5)


def second_start_while_ending(run):
    """A second start while the first, quit with Exit and Yes, is on its way
    out waits for it to end and then opens its own window: exactly one
    window is on screen, not none. Without a virtual desktop, where Wine
    takes a closing window down slowly."""
    with run.settings(desktop=False):
        run.launch()
        first = run.process
        run.driver.send("click 2")
        run.answer_question("yes")
        run.process = run.lab.start([ROOT])
        expect_eq("exit code of the first start", 0, run.ended(first))
        until(lambda: run.driver.state()["shown"] == 1 or run.process.poll() is not None)
        expect(run.process.poll() is None, "the second start ended: no launcher window is left")
        state = run.driver.state()
        expect_eq("launcher windows, shown and all", (1, 1), (state["shown"], state["forms"]))
        run.exit_with_yes()


def another_disc_in_the_drive(run):
    """With a launcher open from D:, another product's disc goes into the
    drive and its D:\\launcher.exe is started: it opens its own window beside
    the first, the same path notwithstanding. The other product is a copy of
    the medium whose launcher has one letter of its title changed."""
    swapped = os.path.join(run.lab.work_dir, "swapped")
    shutil.rmtree(swapped, ignore_errors=True)
    shutil.copytree(run.media["d"], swapped)
    title = run.table[IDS_TITLE]
    other_title = title[:-1] + ("2" if title[-1] != "2" else "3")
    counted = lambda text: struct.pack("<H", len(text.encode("utf-16-le")) // 2) + text.encode("utf-16-le")  # noqa: E731
    path = os.path.join(swapped, "launcher.exe")
    with open(path, "rb") as f:
        image = f.read()
    expect(counted(title) in image, f"the title {title!r} is not in the string table of {path}")
    with open(path, "wb") as f:
        f.write(image.replace(counted(title), counted(other_title)))
    # Where the code page cannot carry the title, both show the design-time one.
    shown = run.captions and (other_title if run.captions[IDS_TITLE] == title else run.captions[IDS_TITLE])
    with run.launched():
        run.lab.map_drive("d", swapped)
        try:
            with run.also_started(ROOT) as other:
                state = run.forms(2, started=other)
                expect(other.poll() is None,
                       "the other disc's launcher ended: the first one's window was taken for its own")
                expect_eq("launcher windows", 2, state["forms"])
                if shown:
                    expect(shown in state["titles"], f"no window titled {shown!r} among {state['titles']}")
                else:
                    print(f"  the other window's title: not checked, {run.unstated}")
        finally:
            run.lab.map_drive("d", run.media["d"])
        run.forms(1, 5)


def own_disc_leaves(run):
    """Windows says a disc has left its drive: another drive's leaves the
    launcher as it is; its own drive's ends it at once, asking nothing, with
    nothing open, with the quit question open and with the failed-start
    notice open."""
    run.launch()
    run.driver.send("devicechange E")
    state = run.expect_running()
    expect_eq("boxes after another drive's disc left", [], state["boxes"])
    for path, click, what in ((ROOT, None, "nothing open"),
                              (ROOT, "click 2", "the quit question open"),
                              ("F:\\launcher.exe", "click 1", "the failed-start notice open")):
        if run.process.poll() is not None:
            run.launch(path)
        if click:
            run.driver.send(click)
            run.open_box()
        run.driver.send(f"devicechange {path[0]}")
        expect_eq(f"exit code after its disc left, {what}", 0, run.ended())
        reply = run.driver.wait("noform", 10000)
        expect(reply["ok"], f"{what}: the window stayed after its disc left")
        expect_eq(f"{what}: boxes left", [], reply["state"]["boxes"])
        expect(not run.installer_log(), f"{what}: something was started")


def long_folder_path(run):
    """A module path past MAX_PATH is read whole: the installer starts from
    exactly that folder, or, where the shell cannot take so long a path, the
    failure names the whole path. Never a truncated one."""
    expected = run.product.installer_in(LONG_FOLDER)
    expect(len(LONG_FOLDER) > 300, "the folder path must be longer than MAX_PATH")
    run.launch(LONG_FOLDER + "\\launcher.exe")
    run.driver.send("click 1")
    until(lambda: run.process.poll() is not None or run.driver.state()["boxes"])
    if run.process.poll() is not None:
        expect_eq("exit code after Setup", 0, run.process.returncode)
        run.expect_installer_started(expected)
        print("  the installer started from the long path")
        return
    state = run.driver.state()
    expect(state["boxes"], "Setup neither started the installer nor reported a failure")
    expect_eq("failure text", run.product.texts["start_failure"] + "\r\n\r\n" + expected,
              state["boxes"][0]["text"])
    run.answer_box()
    run.expect_running()
    print("  the shell refused the long path; the failure named all of it")
    run.exit_with_yes()


def translations(product):
    """Each language's launcher (languages/<language>/launcher.exe) on a
    system of its language, and each that a Western system (1252) cannot
    show there too, showing what SHOWN_ON_1252 states. Rows as systems_show
    takes them."""
    rows = []
    if product.picks_at_start:
        print("  one launcher carries every language: see language_at_start")
        return rows
    for language in product.facts["languages"]:
        table = string_table(product.facts, language)
        path, texts = f"L:\\{language}\\launcher.exe", product.facts["texts"][language]
        locale, why = system_locale(language)
        if locale:
            rows.append((f"{language} in {locale}", locale, None, path, table, texts))
        else:
            print(f"  {why}, left out")
        if LANGUAGES[language].codepage != 1252:
            shown, why = product.shown_on_1252(language)
            if shown:
                rows.append((f"{language} in {BASE_LOCALE}", BASE_LOCALE, None, path, shown, texts))
            else:
                print(f"  {language} in {BASE_LOCALE}: {why}, left out")
    return rows


def translated_captions(run):
    """The title and both captions read back as expected, and each caption
    is drawn as that text in the system's script, pixel for pixel: not as
    empty boxes, not as another code page's letters."""
    systems_show(run, translations(run.product))


def systems_show(run, rows):
    """Rows: what is tried, the locale, the interface's locale (None: the
    same), the launcher, its captions expected there, the texts of its quit
    question. Each launcher is started in a fresh wineserver in its row's
    locale (which also ends a launcher a failed row left) and checked by
    check_captions; every row is tried."""
    failed = []
    try:
        for where, locale, messages, path, expected, language_texts in rows:
            run.restart_wine(locale, messages)
            try:
                check_captions(run, path, expected, language_texts, re.sub(r"\W+", "-", where))
                print(f"  {where}: ok, {' / '.join(expected[i] for i in (IDS_TITLE, IDS_SETUP, IDS_EXIT))}")
            except Failure as e:
                print(f"  {where}: FAIL, {e}")
                failed.append(where)
    finally:
        run.restart_wine()
    expect(not failed, f"wrong captions for {', '.join(failed)}")


def check_captions(run, path, expected, language_texts, name):
    """The title and captions expected, each caption drawn as that text,
    and the quit question of language_texts."""
    form = run.launch(path)["form"]
    texts = {c["id"]: c["text"] for c in form["controls"]}
    expect_eq("title", expected[IDS_TITLE], form["title"])
    for button, id_, entry in ((1, IDC_COMMAND1, IDS_SETUP), (2, IDC_COMMAND2, IDS_EXIT)):
        expect_eq(f"caption of Command{button}", expected[entry], texts.get(id_))
        expect_drawn(run, button, expected[entry], name)
    run.driver.send("click 2")
    box, _ = run.open_box()
    expect_eq("question title", language_texts["quit_title"], box["title"])
    expect_eq("question text", language_texts["quit"], box["text"])
    run.driver.send("answer yes")
    expect_eq("exit code after Exit, Yes", 0, run.ended())


def expect_drawn(run, button, text, name):
    """The button (the driver's word for it: 1, 2 or a maker's button's id)
    shows text as drawn; else the window is saved as name.bmp."""
    find = f"findcaption {button} {text.encode('utf-16-be').hex()}"
    # Until Wine has put the first paint on the screen.
    reply = until(lambda: (r := run.driver.send(find))["ok"] and r, 2) or run.driver.send(find)
    if not reply["ok"]:
        shot = run.capture(f"{name}.bmp")
        raise Failure(f"button {button} does not show {text!r} as drawn in character "
                      f"set {reply.get('charset')}: {reply}; the window: {shot.path}")


def language_at_start(run):
    """One launcher carrying every language, started on a system of each
    (LC_MESSAGES is Wine's user interface language, LC_CTYPE its ANSI code
    page), and by a user whose interface language the system's code page
    cannot show: each sees the title, captions and quit question of the
    language the cases state for them (AT_START_CASES, at_start_cases)."""
    facts = run.product.facts
    if not run.product.picks_at_start:
        print("  skipped: the product's language is picked when it is built")
        return
    cases, left_out = at_start_cases(facts)
    rows = []
    for locale, messages, shown in cases:
        if not all(has_locale(name) for name in (locale, messages) if name):
            print(f"  LC_ALL={locale} LC_MESSAGES={messages}: no such locale on this machine (locale -a), left out")
            continue
        where = f"LC_ALL={locale}" if not messages else f"LANG={locale} LC_MESSAGES={messages}"
        rows.append((f"{where} shows {shown}", locale, messages, ROOT,
                     string_table(facts, shown), facts["texts"][shown]))
    for why in left_out:
        print(f"  left out: {why}")
    systems_show(run, rows)


def unicode_folders(run):
    """On code page 1252, Setup in a folder named with a letter the code page
    lacks starts the installer beside it, not the decoy in the folder named
    with its look-alike; in a Cyrillic folder, its own installer; and
    launchers in two Cyrillic folders each keep their own window."""
    with run.settings(locale=BASE_LOCALE):
        for folder in (UNICODE_FOLDERS["decoyed"], UNICODE_FOLDERS["cyrillic"]):
            run.setup_starts(f"U:\\{folder}", encoding="utf-8", env={"SAMPLE_INSTALLER_LOG_UTF8": "1"})
        with run.launched(f"U:\\{UNICODE_FOLDERS['cyrillic']}\\launcher.exe"):
            with run.also_started(f"U:\\{UNICODE_FOLDERS['other']}\\launcher.exe") as other:
                expect_eq("launcher windows from two folders", 2, run.forms(2, started=other)["forms"])


def code_page_932(run):
    """In code page 932 a double-byte character can end in the byte of '\\'
    (0x5C). The launcher named \u8868.exe (0x95 0x5C) in a folder named
    \u30bd (0x83 0x5C) still finds its folder and starts the right installer."""
    locale, why = system_locale("ja")
    expect(locale, f"code page 932 cannot be tried: {why}")
    with run.settings(locale=locale):
        run.setup_starts("H:\\\u30bd", launcher="\u8868.exe", encoding="cp932")


SCENARIOS = [
    window_and_captions,
    window_as_designed,
    window_at_120_dpi,
    drawn_in_palettes,
    on_an_8_bit_screen,
    display_depth_changes,
    resources_and_window_icon,
    setup_from_folders,
    setup_from_cd_image,
    setup_on_64_bit,
    exit_no_then_yes,
    every_close_asks,
    cancelled_shutdown,
    keyboard,
    maker_buttons,
    layout_of_three_and_four_buttons,
    missing_installer,
    no_second_box,
    soak,
    planted_dlls,
    show_commands,
    second_start,
    second_start_other_spelling,
    second_start_while_ending,
    another_disc_in_the_drive,
    own_disc_leaves,
    long_folder_path,
    version_gate,
    translated_captions,
    language_at_start,
    code_page_932,
    unicode_folders,
]

def make_media(build, work, product):
    """The sample medium on D:; a copy in folders with spaces on E:; a
    medium without its installer on F:; one deeper than MAX_PATH on G:; one
    with double-byte names on H:; one with planted DLLs beside the launcher
    on P:; copies in folders named beyond code page 1252, and a decoy
    installer, on U:. The sample installer sits where the product's
    installer goes, and where the medium has it stand in for another
    (medium.sample_paths) or a maker's button opens a program."""
    launcher = os.path.join(build, "launcher.exe")
    installer = os.path.join(build, "sample-installer", "sample_installer.exe")
    home = product.installer_folder.split("\\")  # the installer's folders
    media = {}
    for letter, sub in (("d", "root"), ("e", "spaces"), ("f", "bare"), ("g", "long"), ("h", "dbcs"),
                        ("p", "planted"), ("u", "unicode")):
        media[letter] = os.path.join(work, "media", sub)
        shutil.rmtree(media[letter], ignore_errors=True)
    # The sample medium from the build's pieces, whatever installer folder
    # the build's own medium was given.
    medium = media["d"]
    os.makedirs(os.path.join(medium, *home))
    shutil.copy(launcher, medium)
    shutil.copy(installer, os.path.join(medium, *home, product.installer_file))
    # The sample installer also where it stands in for each machine's
    # installer (medium.sample_paths) and for a program a maker's button
    # opens; a folder a button opens is there as on the build's medium.
    programs = (product.facts["medium"]["sample_paths"] or []) + [
        b["target_parts"] for b in product.facts["buttons"]
        if b.get("target_parts") and b["target_parts"][-1].lower().endswith(".exe")]
    for parts in programs:
        os.makedirs(os.path.join(medium, *parts[:-1]), exist_ok=True)
        shutil.copy(installer, os.path.join(medium, *parts))
    for b in product.facts["buttons"]:
        if b.get("target_parts") and os.path.isdir(os.path.join(build, "medium", *b["target_parts"])):
            os.makedirs(os.path.join(medium, *b["target_parts"]), exist_ok=True)
    shutil.copytree(medium, os.path.join(media["e"], "My Disc", "Disk 1"))
    os.makedirs(media["f"])
    shutil.copy(os.path.join(medium, "launcher.exe"), media["f"])
    shutil.copytree(medium, os.path.join(media["g"], *LONG_FOLDERS))
    dbcs = os.path.join(media["h"], "\u30bd")
    shutil.copytree(os.path.join(medium, home[0]), os.path.join(dbcs, home[0]))
    shutil.copy(os.path.join(medium, "launcher.exe"), os.path.join(dbcs, "\u8868.exe"))
    shutil.copytree(medium, media["p"])
    for name in PLANTED_DLLS:
        shutil.copy(os.path.join(build, "planted.dll"), os.path.join(media["p"], name + ".dll"))
    for folder in UNICODE_FOLDERS.values():
        shutil.copytree(medium, os.path.join(media["u"], folder))
    os.remove(os.path.join(media["u"], UNICODE_FOLDERS["decoy"], "launcher.exe"))
    return media


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the Windows build folder")
    parser.add_argument("--work", required=True, help="scratch folder for this run")
    parser.add_argument("--product", required=True,
                        help="product.json of the product built, with its pictures beside it")
    parser.add_argument("--language", required=True, help="the language launcher.exe is in")
    parser.add_argument("--only", help="run only scenarios whose name contains this")
    parser.add_argument("--score-tool", help="the host build's picture_score (default: beside the "
                        "Windows build folder)")
    args = parser.parse_args()

    why = cannot_run_32_bit()
    if why and not os.access(WINE64, os.X_OK):
        # CTest counts this exit status as skipped (SKIP_RETURN_CODE).
        print(f"skipped: the launcher cannot run under Wine on this machine: {why}")
        return 77
    started = time.time()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    score_tool = args.score_tool or os.path.join(args.build, "..", "picture_score")
    if why:
        print(f"this machine cannot run launcher.exe: {why}; the scenarios run a 64-bit build of the "
              "same sources, in 64-bit prefixes, where Setup starts the product's installer_x64 if it "
              "names one")
        args.build = build_64_bit(os.path.dirname(os.path.abspath(args.product)),
                                  os.path.join(args.work, "win64-build"))
        LAB.update(arch="win64", loader=WINE64)
    product = Product(args.product, args.language, x64=bool(why))
    places, icons = shown_buttons(product.facts)
    BUTTONS.update(places)
    BUTTON_ICONS.update(icons)
    media = make_media(args.build, args.work, product)
    media["l"] = os.path.join(args.build, "languages")
    log = os.path.join(args.work, "installer.log")

    # One locale for every scenario, whatever the caller's: a launcher that
    # picks its language at start would follow it.
    lab = WineLab(os.path.join(args.work, "lab"), locale=BASE_LOCALE, **LAB)
    failures = []
    try:
        lab.boot("winxp", desktop="1024x768")
        for letter, folder in media.items():
            lab.map_drive(letter, folder)
        run = Run(lab, os.path.join(args.build, "driver.exe"), media, log, product, score_tool)
        print(f"prefix ready in {time.time() - started:.1f} s")
        for scenario in SCENARIOS:
            if args.only and args.only not in scenario.__name__:
                continue
            t = time.time()
            try:
                scenario(run)
                print(f"ok - {scenario.__name__} ({time.time() - t:.1f} s)")
            except Exception as e:  # a failed scenario must not stop the others
                failures.append(scenario.__name__)
                detail = str(e) if isinstance(e, Failure) else traceback.format_exc()
                print(f"FAIL - {scenario.__name__}: {detail}")
                if run.process is not None and run.process.poll() is None:
                    run.process.kill()
                    run.process.wait()
                run.driver.send("closeinstallers")
                run.driver.wait("noform", 5000)
                if os.path.exists(log):
                    os.remove(log)
        run.driver.close()
    finally:
        lab.close()
    print(f"{len(failures)} failed; Wine run took {time.time() - started:.1f} s")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
