#!/usr/bin/python3
"""The launcher run for real under Wine and Xvfb, driven by our test driver: in one throw-away prefix,
each scenario starts launcher.exe from a sample medium, acts through driver.exe and checks what it shows
and does against the product built (product.json, its pictures) and the sources' tables."""
import argparse
import collections
import contextlib
import functools
import itertools
import json
import os
import pathlib
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
from winelab import WINE64, WineLab, cannot_run_32_bit, runnable_build, has_locale, start_xvfb, windows_path  # noqa: E402
from bitmap import Bitmap  # noqa: E402
sys.path.insert(0, os.path.join(HERE, "..", "pe"))
from check_resources import read_product, string_table  # noqa: E402
sys.path.insert(0, SOURCES)
from product_compiler.tables import LANGUAGES, LAYOUT, RELEASES, RESOURCE_IDS as ID, Rect  # noqa: E402
from product_compiler.names import XORRISO_ARGS, XORRISO_ENV  # noqa: E402

IDC_COMMAND1, IDC_COMMAND2 = ID["IDC_COMMAND1"], ID["IDC_COMMAND2"]
IDS_SETUP, IDS_EXIT, IDS_TITLE = ID["IDS_SETUP_CAPTION"], ID["IDS_EXIT_CAPTION"], ID["IDS_TITLE"]
CLIENT = LAYOUT["client"]  # the window as designed (ui/Layout.def), in pixels
CORNERS = [(x, y) for y in (0, CLIENT[1] - 1) for x in (0, CLIENT[0] - 1)]
LABEL, FACE, ICON = LAYOUT["controls"]["Label1"], LAYOUT["colours"]["ButtonFace"], LAYOUT["metrics"]["ButtonIconSize"]
# The buttons shown (as Windows XP, the lab's release) by id, in the product's order; set by main().
BUTTONS, BUTTON_ICONS = {}, {}
# Where buttons without positions stand, as README writes it out: lefts by count, top, size.
ROWS = {2: [72, 192], 3: [12, 132, 252], 4: [5, 91, 177, 263]}
ROW_TOP, BUTTON_SIZE = 232, [81, 65]
WS_MINIMIZE, WS_MAXIMIZE, WS_CAPTION, WS_SYSMENU = 0x20000000, 0x01000000, 0xC00000, 0x80000
WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = 0x40000, 0x20000, 0x10000

LAB = {}  # WineLab's arch and loader for every prefix: 32-bit unless main() runs a 64-bit build
# Every version Wine can report, with the release a product names it by.
VERSIONS = [(release.wine, release.name) for release in RELEASES if release.wine]
SETUP_ON = ("win2k", "winxp", "win7", "win10")  # where the version gate also presses Setup
# Every scenario's locale, whatever the caller's: code page 1252, an English interface.
BASE_LOCALE = "C.UTF-8"

# Written out, not worked out by a copy of the rule: whose title, Setup and Exit captions a launcher in (or
# picking) each language shows on code page 1252: its own, or the design-time ones it cannot carry.
SHOWN_ON_1252 = {
    "product": {"en": "en en en", "zh-TW": "en en en", "ru": "en en en"},
    "examples/orbisk": {"en": "en en en", "de": "de de de", "ja": "en en en"},
    "examples/wiklinor": {"en": "en en en", "pl": "pl pl en"},  # no "ń" in 1252
}
# Picking its language at start: (Wine's locale, the interface's own locale or None, the language shown).
AT_START_CASES = {
    "examples/orbisk": [  # en de ja; en the fallback
        (BASE_LOCALE, None, "en"), ("de_DE.UTF-8", None, "de"), ("ja_JP.UTF-8", None, "ja"),
        (BASE_LOCALE, "ja_JP.UTF-8", "en"),  # a Japanese user on code page 1252: the fallback
        ("pl_PL.UTF-8", None, "en"),  # a language it does not carry: the fallback
    ],
}

# Folder names code page 1252 cannot carry: GetModuleFileNameA makes "U:\\Adisc" of the first ("best fit"),
# where a decoy installer waits, and "U:\\????" of the others.
UNICODE_FOLDERS = {"decoyed": "\u0100disc", "decoy": "Adisc", "cyrillic": "\u0414\u0438\u0441\u043a",
                   "other": "\u041b\u0443\u043d\u0430"}
LONG_FOLDERS = [f"folder {n} with a long name, to go past the old limit of paths" for n in range(1, 6)]
LONG_FOLDER = "G:\\" + "\\".join(LONG_FOLDERS)
ROOT = "D:\\launcher.exe"  # the sample medium's launcher
# The full path Setup starts from each folder, written out (one backslash after a drive root or a folder is
# the rule under test), with the product's relative installer path for {installer}.
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
# System DLL names a planted copy could be loaded under: the shell and what it and the UI load late.
PLANTED_DLLS = """shcore shell32 shlwapi uxtheme version dwmapi cryptbase comctl32 ole32 oleaut32 userenv profapi
    apphelp propsys setupapi cfgmgr32 winmm msimg32 imm32 usp10 lpk rpcrt4 secur32 sspicli netapi32 mpr ntmarta
    wintrust crypt32 msasn1 urlmon wininet iertutil dbghelp windowscodecs comdlg32 linkinfo msctf clbcatq xmllite
    mlang iphlpapi""".split()

# Written out, not taken from the launcher: the colours a reduction keeps exact (the palette's cube, the 16
# standard colours); the 20 static colours, all Wine shows on an 8-bit screen.
CUBE = {(r, g, b) for r in range(0, 256, 51) for g in range(0, 256, 51) for b in range(0, 256, 51)}
STANDARD_16 = {(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)}
STATIC_20 = sorted(STANDARD_16 | {(192, 220, 192), (166, 202, 240), (255, 251, 240), (160, 160, 164)})


def system_locale(language):
    """The locale of a system of this language, or None and why it cannot be tried here."""
    locale = LANGUAGES[language].locale
    if not locale:
        return None, f"{language}: the language table names no locale for it"
    if not has_locale(locale + ".UTF-8"):
        return None, f"{language}: no locale {locale}.UTF-8 on this machine (locale -a)"
    return locale + ".UTF-8", None


class Product:
    """What the launcher was built for, as the build wrote it down."""

    def __init__(self, path, language, x64=False):
        self.facts = read_product(path)
        self.folder = os.path.dirname(os.path.abspath(path))  # the pictures, as carried
        self.home = os.path.relpath(self.facts["folder"], SOURCES).replace(os.sep, "/")  # "examples/orbisk"
        self.picks_at_start = self.facts["choose_language"] == "at_start"
        if self.picks_at_start:  # then the language it shows on the tests' system
            language = next((shown for locale, messages, shown in self.at_start_cases()[0]
                             if locale == BASE_LOCALE and not messages), None)
            if not language:
                raise SystemExit(f"{path}: which language the launcher shows on {BASE_LOCALE} cannot be "
                                 "stated for this product: add its cases to AT_START_CASES")
        self.language = language
        self.texts = self.facts["texts"][language]
        self.table = string_table(self.facts, language)
        # What Setup starts (relative): on 64-bit x64 Windows installer_x64, where named.
        self.started = (x64 and self.facts["installer_x64"]) or self.facts["installer"]

    def picture(self, name):
        return os.path.join(self.folder, name)

    def installer_in(self, folder):
        """The full path Setup starts for a launcher in this folder."""
        return INSTALLER_IN[folder].replace("{installer}", self.started)

    def runs_on(self, version):
        return dict(VERSIONS)[version] in self.facts["windows"]

    def refused_version(self):
        return next((v for v, _ in VERSIONS if not self.runs_on(v)), None)

    def shown_on_1252(self, language):
        """{id: text} of the title and captions on code page 1252 (SHOWN_ON_1252), or None and why:
        elsewhere only a 1252 language's own texts are known."""
        row = SHOWN_ON_1252.get(self.home, {}).get(language, "")
        if not row and LANGUAGES[language].codepage != 1252:
            return None, (f"what a {language} launcher shows on code page 1252 is the launcher's rule to "
                          "work out for a product outside this repository, not stated here")
        shown = row.split() or [language] * 3
        return {entry: string_table(self.facts, shown[i])[entry]
                for i, entry in enumerate((IDS_TITLE, IDS_SETUP, IDS_EXIT))}, None

    def at_start_cases(self):
        """Rows as AT_START_CASES, and what is left out, why. Outside this repository, only what needs no
        rule: a system of one of its languages shows it; of a language it lacks, on the fallback's code
        page, the fallback."""
        if self.home in AT_START_CASES:
            return AT_START_CASES[self.home], []
        languages, fallback = self.facts["languages"], self.facts["fallback_language"]
        rows = [(BASE_LOCALE, None, "en")] if "en" in languages else []
        left_out = [why for _, why in map(system_locale, languages) if why]
        rows += [(locale, None, language) for language in languages if (locale := system_locale(language)[0])]
        primaries = {LANGUAGES[language].id & 0x3FF for language in languages}
        for tag, language in LANGUAGES.items():
            if (language.id & 0x3FF not in primaries
                    and language.codepage == LANGUAGES[fallback].codepage and system_locale(tag)[0]):
                rows.append((system_locale(tag)[0], None, fallback))
                break
        left_out.append("a user whose interface language the code page cannot show: what a product "
                        "outside this repository shows there is the rule's to work out, not stated here")
        return rows, left_out


def icon_colours(path, at_16=False):
    """The two commonest colours (with counts) of the icon's opaque pixels that are not grey, which stay
    exactly that colour when drawn: at its own size, or at_16 those it keeps at 16 x 16 however shrunk
    (its blocks that are all one colour)."""
    from PIL import Image
    image = Image.open(path).convert("RGBA")
    pixels = image.getdata()
    if at_16:
        step = image.width // 16
        blocks = ({image.getpixel((x + i, y + j)) for i in range(step) for j in range(step)} for y, x in
                  itertools.product(range(0, image.height - step + 1, step), range(0, image.width - step + 1, step)))
        pixels = [block.pop() for block in blocks if len(block) == 1]
    return collections.Counter((r, g, b) for r, g, b, a in pixels if a == 255 and not r == g == b).most_common(2)


def farthest_static_picture(artwork, path):
    """The artwork, each pixel in the farthest static colour that a lookup at 5 bits a channel (as Wine's
    DIB engine does) may pick for a value within its step: the worst an 8-bit screen can show. Saved as a
    BMP at path."""
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


# What Wine says when it, not the program, failed a start: no display driver for the program (Wine's
# desktop process did not answer in time, on a busy machine), or its start.exe could not start it.
WINE_FAILED_START = ("nodrv_CreateWindow", "ShellExecuteEx")


class Failure(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Failure(what)


def expect_eq(what, expected, got):
    if expected != got:
        raise Failure(f"{what}: expected {expected!r}, got {got!r}")


def until(condition, seconds=10, every=0.1):
    """Asks condition until it holds or time is up; what it said last. Every wait on Wine or X."""
    deadline = time.time() + seconds
    while not (held := condition()) and time.time() < deadline:
        time.sleep(every)
    return held


def inside(r, x, y):
    return r[0] <= x < r[0] + r[2] and r[1] <= y < r[1] + r[3]


def misfits(shot, fits):
    """The client area's pixels (x, y, colour) outside buttons and label for which fits fails."""
    return [(x, y, c) for x, y, c in shot.pixels(0, 0, *CLIENT)
            if not any(inside(r, x, y) for r in (LABEL, *BUTTONS.values())) and not fits(x, y, c)]


def typed(key):
    """An access key as xdotool names it: its letter where a US keyboard has one, else None."""
    return key if key and key.isascii() and key.isalnum() else None


def button_ids(buttons):
    """Control ids of product.json's buttons: Setup's, Exit's, the maker's from IDC_BUTTON_FIRST."""
    own = itertools.count(ID["IDC_BUTTON_FIRST"])
    return [{"Setup": IDC_COMMAND1, "Exit": IDC_COMMAND2}.get(b["action"]) or next(own) for b in buttons]


def expect_drawn_in_place(name, shot, face, artwork, exact):
    """Corners in a colour of exact stay that colour; black text in the version line; button faces one solid
    colour beside the icon, not dithered."""
    for corner in CORNERS:
        if artwork.pixel(*corner) in exact:
            expect_eq(f"{name}: corner {corner}", artwork.pixel(*corner), shot.pixel(*corner))
    black = sum(c == (0, 0, 0) for _, _, c in shot.pixels(*LABEL))
    expect(black > 300, f"{name}: only {black} black pixels of text in the version line")
    for id_, (left, top, width, height) in BUTTONS.items():
        # Beside the icon, where no caption reaches however wide it is.
        colours = {c for _, _, c in shot.pixels(left + 6, top + 6, 12, ICON)}
        colours |= {c for _, _, c in shot.pixels(left + width - 18, top + 6, 12, ICON)}
        expect_eq(f"{name}: colours of button {id_}'s face", {face}, colours)


class Run:
    """What every scenario needs: the lab, the driver, the media, and the steps they share."""

    def __init__(self, lab, driver_exe, media, log, product, score_tool):
        self.lab, self.driver_exe, self.media, self.log = lab, driver_exe, media, log
        self.product, self.score_tool = product, score_tool
        self.captions, self.unstated = product.shown_on_1252(product.language)  # in this run's locale, or None and why
        self.driver = lab.driver(driver_exe)
        self.process = None

    def restart_wine(self, locale=None, messages=None):
        """A fresh wineserver and driver in a locale (messages: the interface's), or the run's."""
        self.driver.close()
        self.lab.restart_server(locale, messages)
        self.driver = self.lab.driver(self.driver_exe)

    def _registry(self, key, value, data, undo=None, usual=None):
        """One registry value set (None: removed); with undo, set back to usual after the block."""
        self.lab.import_registry(["Windows Registry Editor Version 5.00", "", f"[{key}]",
                                  f'"{value}"={data}' if data is not None else f'"{value}"=-'])
        if undo is not None:
            undo.append(lambda: self._registry(key, value, usual))

    @contextlib.contextmanager
    def settings(self, version=None, dpi=None, desktop=None, locale=None, messages=None, screen=None,
                 drive=None):
        """Wine set otherwise for the block, and back however it ends: version the launcher sees; dpi;
        desktop False, no virtual desktop (then Wine takes a closing window down slowly: shown about 2 s,
        hidden 2 s more); locale, messages the interface's own; screen "WxHxD", an Xvfb of its own; drive
        (letter, folder, type). Restarts the wineserver each way where needed."""
        undo, after = [], []
        restart = locale is not None or any(s is not None for s in (dpi, desktop, screen, drive))
        try:
            if version:
                self.lab.set_version(version)
                undo.append(lambda: self.lab.set_version("winxp"))
            if dpi:
                self._registry("HKEY_CURRENT_USER\\Control Panel\\Desktop", "LogPixels", f"dword:{dpi:08x}", undo,
                               f"dword:{96:08x}")
            if desktop is not None:
                self._registry("HKEY_CURRENT_USER\\Software\\Wine\\Explorer", "Desktop",
                               '"Default"' if desktop else None, undo, '"Default"')
            if drive:  # the wineserver reads a drive's type when it starts
                letter, folder, kind = drive
                self.lab.map_drive(letter, folder)
                undo.append(lambda: self.lab.map_drive(letter, self.media[letter]))
                self._registry("HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives", f"{letter}:", f'"{kind}"', undo)
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

    def launch(self, path=ROOT, env=None):
        """Starts the launcher and waits for its window; a start Wine failed itself is made once more."""
        for attempt in (1, 2):
            self.process = self.lab.start([path], dict(env or {}, SAMPLE_INSTALLER_LOG=windows_path(self.log)))

            def shown_or_ended():
                reply = self.driver.wait("form", 500)
                return reply if reply["ok"] or self.process.poll() is not None else None
            reply = until(shown_or_ended, 60, every=0) or self.driver.wait("form", 0)
            if reply["ok"]:
                return reply["state"]
            code, state = self.process.poll(), reply["state"]
            if attempt == 1 and code is not None and self.wine_failed(self.process):
                continue
            raise Failure(f"launcher window did not appear for {path}; the launcher "
                          f"{'still runs' if code is None else f'ended with {code}'}, Wine said: "
                          f"{self.lab.said(self.process) or 'nothing'}; launcher windows {state['titles']} "
                          f"({state['shown']} shown), boxes {state['boxes']}")

    def start_to_end(self, path):
        """The exit code of a start of path that is to end by itself; a start Wine failed is made once more."""
        for attempt in (1, 2):
            process = self.lab.start([path])
            code = self.ended(process)
            if code == 0 or attempt == 2 or not self.wine_failed(process):
                return code

    def wine_failed(self, process):
        """Whether Wine, not the launcher, failed process's start (WINE_FAILED_START); the run says so."""
        said = self.lab.said(process)
        failed = next((words for words in WINE_FAILED_START if words in said), None)
        if failed:
            print(f"  note: Wine failed that start itself ({failed}); once more", flush=True)
        return failed is not None

    @contextlib.contextmanager
    def launched(self, path=ROOT, env=None):
        """The launcher up for the block, given its state; then Exit, Yes (if the block fails, clean_up)."""
        yield self.launch(path, env)
        self.exit_with_yes()

    @contextlib.contextmanager
    def also_started(self, path):
        other = self.lab.start([path])
        try:
            yield other
        finally:
            other.kill()
            other.wait()

    def ended(self, process=None, timeout=15):
        process = process or self.process
        try:
            code = process.wait(timeout=timeout)
            if code != 0:
                print(f"  exit code {code}; Wine said: {self.lab.said(process) or 'nothing'}", flush=True)
            return code
        except subprocess.TimeoutExpired:
            process.kill()
            raise Failure(f"launcher still running after {timeout} s: {self.driver.state()}")

    def expect_running(self, pause=0.3):
        # A pause, not a poll: nothing is to happen, and the launcher must still be there.
        time.sleep(pause)
        expect(self.process.poll() is None, "launcher ended but should still run")
        state = self.driver.state()
        expect(state["form"] is not None and state["form"]["visible"], "launcher window gone")
        return state

    def open_box(self):
        reply = self.driver.wait("box", 10000)
        expect(reply["ok"], "expected a message box, none appeared")
        expect_eq("number of open boxes", 1, len(reply["state"]["boxes"]))
        return reply["state"]["boxes"][0], reply["state"]

    def answer_box(self, answer="ok"):
        self.driver.send(f"answer {answer}")
        expect(self.driver.wait("nobox", 5000)["ok"], f"a box stayed open after {answer}")

    def expect_caption(self, what, entry, got):
        """The title or a caption as this run's locale shows it, where that can be stated."""
        if self.captions is None:
            print(f"  {what}: not checked, {self.unstated}")
        else:
            expect_eq(what, self.captions[entry], got)

    def expect_notice(self, what, box, text):
        """A box saying text, titled as the window, with OK and an icon."""
        expect_eq(f"{what}: text", text, box["text"])
        self.expect_caption(f"{what}: title", IDS_TITLE, box["title"])
        expect_eq(f"{what}: buttons", ["OK"], [b.replace("&", "") for b in box["buttons"]])
        expect(box["icon"], f"{what}: the box has no icon")

    def expect_quit_question(self, box, form):
        expect_eq("question title", self.product.texts["quit_title"], box["title"])
        expect_eq("question text", self.product.texts["quit"], box["text"])
        expect_eq("question buttons", ["Yes", "No"], [b.replace("&", "") for b in box["buttons"]])
        expect(box["icon"], "question box has no icon")
        expect_eq("question owner", form["hwnd"], box["owner"])

    def answer_question(self, answer):
        box, state = self.open_box()
        self.expect_quit_question(box, state["form"])
        self.answer_box(answer)

    def exit_with_yes(self, started_by_driver=False):
        """Exit, Yes, and the end of run.process or (started_by_driver) of the window."""
        self.driver.send("click 2")
        self.answer_question("yes")
        if started_by_driver:
            expect(self.driver.wait("noform", 10000)["ok"], "launcher window still there after Exit, Yes")
        else:
            expect_eq("exit code after Exit, Yes", 0, self.ended())

    def expect_refusal(self, what):
        """The refusal notice, as the product words it: answered."""
        box, state = self.open_box()
        self.expect_notice(f"{what}: error", box, self.product.texts["refusal"])
        self.driver.send("answer ok")
        return state

    def expect_controls(self, state):
        """The buttons shown, where the product puts them, are the window's only visible children."""
        expect_eq("child windows shown, top first", [(i, list(r)) for i, r in BUTTONS.items()],
                  [(c["id"], c["rect"]) for c in state["form"]["controls"] if c["visible"]])

    def expect_drawn(self, button, text, name):
        """The button (1, 2 or a maker's button's id) shows text as drawn; else the window is saved."""
        find = f"findcaption {button} {text.encode('utf-16-be').hex()}"
        # Until Wine has put the first paint on the screen.
        reply = until(lambda: (r := self.driver.send(find))["ok"] and r, 2) or self.driver.send(find)
        if not reply["ok"]:
            shot = self.capture(f"{name}.bmp")
            raise Failure(f"button {button} does not show {text!r} as drawn in character "
                          f"set {reply.get('charset')}: {reply}; the window: {shot.path}")

    def capture(self, name, whole=False):
        """The client area now (whole: the window with its frame), as a Bitmap."""
        path = os.path.join(self.lab.work_dir, name)
        command = "capturewindow" if whole else "capture"
        expect(self.driver.send(f"{command} {windows_path(path)}")["ok"], f"{command} failed")
        return Bitmap(path)

    def settled_capture(self, name, settled, seconds=2, whole=False):
        """Captures until settled(capture) holds or time is up; the last one. Wine flushes drawing to the
        screen later on a busy machine."""
        shots = []
        until(lambda: shots.append(self.capture(name, whole)) or settled(shots[-1]), seconds)
        return shots[-1]

    def score(self, path, reduced=None):
        """The blurred score of a drawn window (or, reduced, of the artwork in that many colours)."""
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
        """The focused control's id once Form1 is active again and has given it the focus."""
        form = until(lambda: (f := self.driver.state()["form"]) and f["active"] and f["focus"] and f, 5, 0.05)
        if not form:
            form = self.driver.state()["form"]
            expect(form and form["active"], "Form1 did not become active again")
        return form["focus"]

    def forms(self, count, seconds=10, started=None):
        """The state once count launcher windows are up (or started has ended), or time is up."""
        until(lambda: self.driver.state()["forms"] == count or (started and started.poll() is not None), seconds)
        return self.driver.state()

    def installer_log(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, "rb") as f:
            return f.read().decode("latin-1").splitlines()

    def setup_starts(self, folder, launcher="launcher.exe", encoding="latin-1", env=None, expected=None):
        """Setup in folder's launcher starts the installer beside it (or expected); the launcher ends unasked."""
        self.launch(folder.rstrip("\\") + "\\" + launcher, env)
        self.driver.send("click 1")
        expect_eq("exit code after Setup", 0, self.ended())
        self.expect_installer_started(expected or self.product.installer_in(folder), encoding)

    def expect_installer_started(self, path, encoding="latin-1", parameters="", folder=None, what="installer"):
        """The program at path started once with parameters, in folder (None: the product's, if it says)."""
        expect(self.driver.wait("installer", 15000)["ok"], f"{what}: {path!r} did not start")
        lines = until(self.installer_log, 5)
        expect_eq(f"{what} starts", 1, len(lines))
        module, arguments, cwd = (lines[0].encode("latin-1").decode(encoding).split("\t") + ["", ""])[:3]
        expect_eq(f"{what} path", path, module)
        expect_eq(f"{what} parameters", parameters, arguments)
        if folder or self.product.facts["working_directory"] == "installer":
            expect_eq(f"{what}'s working folder", folder or path.rpartition("\\")[0], cwd)
        self.driver.send("closeinstallers")
        os.remove(self.log)


def version_gate(run):
    """Only the product's releases run (Setup starts the installer where pressed); others: one error, the end."""
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
                state = run.expect_refusal(version)
                expect(state["form"]["visible"], f"{version}: window not shown before the error")
                expect_eq(f"{version}: exit code after refusal", 0, run.ended())
        print(f"  {version}: {'runs' if accepted else 'refused'}")


def window_as_designed(run):
    """Windows loads the bitmap, both icons and the strings from the file, whose icon is the setup icon.
    At 96 and 120 dpi (the frame and boxes grow; the content, laid out in pixels, must not): title and
    captions, a fixed centred frame, the setup icon in the title bar; the artwork wherever no control is,
    black label text on it, pale yellow buttons with icon and caption, no background colour; Setup looks
    pressed when held."""
    reply = run.driver.send(f"resources {ROOT}")
    expect_eq("bitmap width, height, bits", [350, 350, 24], reply["bitmap"])
    for key in ("setup_icon", "exit_icon", "icons_differ", "file_icon_is_setup"):
        expect(reply[key], f"{key}: expected true, got {reply[key]}")
    expect_eq(f"strings {IDS_SETUP}, {IDS_EXIT}, {IDS_TITLE}",
              [run.product.table[i] for i in (IDS_SETUP, IDS_EXIT, IDS_TITLE)], reply["strings"])
    # At the title bar's left, the colours the setup icon keeps at 16 x 16, which no default icon has (one
    # whose colours are all in strokes too thin to survive keeps none).
    bar_colours = icon_colours(run.product.picture("setup.ico"), at_16=True)
    if not bar_colours:
        print("  the setup icon keeps no colour of its own at 16 x 16: title-bar icon not checked")
    disc = Bitmap(run.product.picture("disc.bmp"))
    artwork = lambda x, y, c: c == disc.pixel(x, y)  # noqa: E731
    for dpi in (96, 120):
        with run.settings(dpi=None if dpi == 96 else dpi), run.launched() as state:
            form = state["form"]
            expect_eq("screen resolution", dpi, form["dpi"])
            expect_eq("client size", list(CLIENT), form["client"])
            texts = {c["id"]: c["text"] for c in form["controls"]}
            for what, entry, got in (("title", IDS_TITLE, form["title"]), ("Setup caption", IDS_SETUP,
                                     texts.get(IDC_COMMAND1)), ("Exit caption", IDS_EXIT, texts.get(IDC_COMMAND2))):
                run.expect_caption(what, entry, got)
            style = form["style"]
            expect(style & WS_CAPTION == WS_CAPTION and style & WS_SYSMENU, f"no caption/system menu: {style:#x}")
            expect(not style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), f"resizable or min/max: {style:#x}")
            (left, top, right, bottom), (screen_w, screen_h) = form["window"], form["screen"]
            expect(abs((left + right) - screen_w) <= 1 and abs((top + bottom) - screen_h) <= 1,
                   f"window {form['window']} not centred on a {screen_w}x{screen_h} screen")
            bar = form["origin"][1] - form["window"][1]  # the title bar's height

            def in_bar(window):
                colours = [p for _, _, p in window.pixels(0, 0, 24, bar)]
                return [(colour, colours.count(colour), min(4, blocks)) for colour, blocks in bar_colours]
            window = run.settled_capture("window.bmp", lambda w: all(n >= least for _, n, least in in_bar(w)),
                                         whole=True)
            for colour, count, least in in_bar(window):
                expect(count >= least, f"title-bar icon shows {count} pixels of {colour}, expected at least "
                       f"{least}: not the setup icon")
            run.expect_controls(state)
            shot = run.settled_capture("client.bmp", lambda s: (s.width, s.height) == tuple(CLIENT)
                                       and not misfits(s, artwork))
            expect_eq("captured size", tuple(CLIENT), (shot.width, shot.height))
            wrong = [(x, y, c, disc.pixel(x, y)) for x, y, c in misfits(shot, artwork)]
            expect(not wrong, f"{len(wrong)} pixels differ from the artwork, first {wrong[:3]}")
            for corner in CORNERS:
                expect_eq(f"artwork corner {corner}", disc.pixel(*corner), shot.pixel(*corner))
            dark_in_label = sum(max(c) < 64 for _, _, c in shot.pixels(*LABEL))
            expect(dark_in_label > 300, f"only {dark_in_label} black pixels of text in the label")
            artwork_in_label = sum(c == disc.pixel(x, y) for x, y, c in shot.pixels(*LABEL))
            expect(artwork_in_label > LABEL.width * LABEL.height // 2,
                   "the label hides the artwork: expected a transparent label")
            grey = [(x, y) for x, y, c in shot.pixels(0, 0, *CLIENT)
                    if c == (192, 192, 192) and not any(inside(b, x, y) for b in BUTTONS.values())]
            expect(not grey, f"the background colour shows at {grey[:5]}")
            for id_, (left, top, width, height) in BUTTONS.items():
                # The face where no icon or caption reaches: beside the icon, below the caption, inside the
                # edge, outside the focus frame.
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
            # Held down, a button looks pressed: a shadow edge, the picture one pixel right and down.
            setup = BUTTONS[IDC_COMMAND1]
            left, top = setup.left + (setup.width - ICON) // 2, setup.top + 6
            moved = lambda p: all(p.pixel(x + 1, y + 1) == shot.pixel(x, y)  # noqa: E731
                                  for x, y, _ in shot.pixels(left, top, ICON, ICON))
            shadow = lambda p: sum(p.pixel(setup.left + 1, y)[0] < shot.pixel(setup.left + 1, y)[0]  # noqa: E731
                                   for y in range(setup.top + 8, setup.top + 58))
            run.driver.send("press 1 1")
            pressed = run.settled_capture("pressed.bmp", lambda p: moved(p) and shadow(p) > 40)
            run.driver.send("press 1 0")
            expect(moved(pressed), "pressed Setup button: the icon did not move one pixel right and down")
            expect(shadow(pressed) > 40, "pressed Setup button: the left edge did not turn to shadow")
        print(f"  {dpi} dpi: title, captions, fixed frame, centred, title-bar icon; drawn as designed; Setup "
              "pressed when held")


def drawn_in_palettes(run):
    """The drawing code paints Form1 into an 8-bit bitmap of the window's palette and a 4-bit one of the 16
    standard colours: the artwork dithered close to the original, faces pale yellow (white at 16
    colours), in place. On WM_DISPLAYCHANGE the window picks its colour path again and repaints: at 256
    colours in the cube, at 16 in the standard colours with white faces, in true colour the artwork
    itself (Xvfb stays at 24 bits). On an 8-bit screen it runs as usual, and X shows its window no worse
    than the product's artwork can be in the static colours."""
    drawing = os.path.join(os.path.dirname(run.driver_exe), "drawing.exe")
    disc = Bitmap(run.product.picture("disc.bmp"))
    # Output to a file: a Wine service started for it can hold a pipe open long after it ends.
    output = os.path.join(run.lab.work_dir, "drawing.txt")
    with open(output, "w") as out:
        subprocess.run([*run.lab.wine, drawing, ROOT, windows_path(run.lab.work_dir)],
                       env=run.lab.env, stdout=out, stderr=subprocess.DEVNULL, timeout=60)
    with open(output) as out:
        reports = [json.loads(line) for line in out if line.startswith("{")]
    expect_eq("drawing: reports", 2, len(reports))
    for report, colours, face in ((reports[0], 256, FACE), (reports[1], 16, (255, 255, 255))):
        # As close as the same reduction on the host, less clipping's cost (1.2, 4.5 by default).
        reference = run.score(None, reduced=colours)
        limit = reference + max(0.35, 0.13 * reference)
        expect(report["ok"], f"drawing for {colours} colours failed: {report}")
        expect_eq(f"{colours} colours: entries in the colour table", colours, report["colors"])
        path = os.path.join(run.lab.work_dir, report["file"])
        score = run.score(path)
        print(f"  {colours} colours: score {score:.3f} (at most {limit:.3f}), {path}")
        expect(score <= limit, f"{colours} colours: score {score:.3f}, expected at most {limit}")
        expect_drawn_in_place(f"{colours} colours", Bitmap(path), face, disc, CUBE if colours == 256 else STANDARD_16)
    paths = ((8, "in the cube", lambda x, y, c: all(v % 51 == 0 for v in c)),
             (4, "in the 16 standard colours", lambda x, y, c: c in STANDARD_16),
             (24, "the artwork's own", lambda x, y, c: c == disc.pixel(x, y)))
    with run.launched():
        for bits, what, fits in paths:
            run.driver.send(f"displaychange {bits}")
            shot = run.settled_capture(f"depth-{bits}.bmp", lambda s: not misfits(s, fits))
            wrong = misfits(shot, fits)
            expect(not wrong, f"{bits} bits: {len(wrong)} pixels of the artwork not {what}, first {wrong[:3]}")
            if bits == 4:
                expect_drawn_in_place("16 colours", shot, (255, 255, 255), disc, STANDARD_16)
            print(f"  WM_DISPLAYCHANGE to {bits} bits: drawn {what}")
    # X picks the nearest static colour its own way, not by least squares (default artwork: 7.92 shown, 7.73
    # computed): allowed is 5% over the worse of the artwork in its nearest static colours and in the farthest
    # ones a lookup at 5 bits a channel may pick.
    farthest = farthest_static_picture(run.product.picture("disc.bmp"),
                                       os.path.join(run.lab.work_dir, "farthest-static.bmp"))
    limit = max(run.score(None, reduced=20), run.score(farthest)) * 1.05
    with run.settings(screen="1024x768x8"), run.launched() as state:
        form = state["form"]
        expect_eq("bits per pixel of the screen", 8, form["bits"])
        run.expect_controls(state)
        run.capture("client-8-bit.bmp")  # also waits for any paint still pending
        # The launcher's X window, read with its own colour map, as shown.
        title = run.captions[IDS_TITLE] if run.captions else form["title"]
        window = subprocess.run(["xdotool", "search", "--name", f"^{re.escape(title)}$"],
                                env=run.lab.env, capture_output=True, text=True).stdout.split()
        expect(window, "no X window for the launcher")
        crop = "{}x{}+{}+{}".format(*CLIENT, form["origin"][0] - form["window"][0],
                                    form["origin"][1] - form["window"][1])
        path = os.path.join(run.lab.work_dir, "screen-8-bit.bmp")

        def shown_score():
            subprocess.run(["import", "-window", window[0], "-crop", crop, "+repage", "-type", "TrueColor",
                            "BMP3:" + path], env=run.lab.env, check=True, timeout=30)
            return run.score(path)
        # Until X has shown what the launcher drew.
        score = until(lambda: (s := shown_score()) <= limit and s, 3, 0.5) or shown_score()
        print(f"  shown on the 8-bit screen: score {score:.3f} (at most {limit:.3f})")
        expect(score <= limit, f"8-bit screen: score {score:.3f}, expected at most {limit:.3f}")
        black = sum(c == (0, 0, 0) for _, _, c in Bitmap(path).pixels(*LABEL))
        expect(black > 300, f"8-bit screen: only {black} black pixels of text in the version line")


def setup_from_folders(run):
    """Setup starts the installer beside the launcher, which ends unasked: on D:\\, in folders with spaces,
    on code page 1252 in folders named with letters it lacks (not the decoy of the look-alike), on code
    page 932 from \u8868.exe in \u30bd (both second bytes 0x5C, as '\\'); and from the disc image as
    shipped (read through Joliet), as D: of type CD-ROM."""
    ja, why = system_locale("ja")
    expect(ja, f"code page 932 cannot be tried: {why}")
    utf8 = dict(encoding="utf-8", env={"SAMPLE_INSTALLER_LOG_UTF8": "1"})
    for folder, how, locale in (("D:\\", {}, None), ("E:\\My Disc\\Disk 1", {}, None),
                                (f"U:\\{UNICODE_FOLDERS['decoyed']}", utf8, BASE_LOCALE),
                                (f"U:\\{UNICODE_FOLDERS['cyrillic']}", utf8, BASE_LOCALE),
                                ("H:\\\u30bd", dict(launcher="\u8868.exe", encoding="cp932"), ja)):
        with run.settings(locale=locale):
            run.setup_starts(folder, **how)
        where = f" in {locale}" if locale else ""
        print(f"  {how.get('launcher', 'launcher.exe')}{where}: started {run.product.installer_in(folder)}")
    cd = os.path.join(run.lab.work_dir, "cd")
    shutil.rmtree(cd, ignore_errors=True)
    image = os.path.join(os.path.dirname(run.driver_exe), "medium.iso")
    subprocess.run(["xorriso", "-no_rc", *XORRISO_ARGS, "-osirrox", "on", "-read_fs", "norock", "-indev", image,
                    "-extract", "/", cd], check=True, capture_output=True, env=dict(os.environ, **XORRISO_ENV))
    for folder, _, _ in os.walk(cd):
        os.chmod(folder, 0o755)  # extracted read-only; the next run removes them
    relative = run.product.started.split("\\")
    if pathlib.Path(cd, *relative).read_bytes() != pathlib.Path(run.media["d"], *relative).read_bytes():
        print("  the disc image: not tried, it carries a maker's installer, not the sample one")
        return
    with run.settings(drive=("d", cd, "cdrom")):
        expect_eq("drive type of D: (5, DRIVE_CDROM)", 5, run.driver.send("drivetype D:\\")["type"])
        # The launcher under the product's own name, as the disc carries it.
        run.setup_starts("D:\\", launcher=run.product.facts["launcher_name"])
    print(f"  {run.product.facts['launcher_name']} from the disc image, a CD-ROM as D: started the installer")


def setup_on_64_bit(run):
    """On 64-bit Windows (a throw-away WINEARCH=win64 prefix, the sample medium as D:) Setup starts
    installer_x64, in the product's working folder."""
    facts = run.product.facts
    version = next((v for v in ("win7", "win10") if run.product.runs_on(v)), None)
    why = ("the product names no installer_x64" if not facts["installer_x64"] else
           "installer_x64 is a maker's program, not the sample installer, which logs its start"
           if facts["installer_x64_parts"] not in (facts["medium"]["sample_paths"] or []) else
           "the product runs on neither 7 nor 10, the 64-bit Windows tried here" if not version else None)
    if why:
        print(f"  skipped: {why}")
        return
    expected = f"D:\\{facts['installer_x64']}"
    if LAB.get("arch") == "win64":  # this run's own prefix is a 64-bit one
        with run.settings(version=version):
            run.setup_starts("D:\\", expected=expected)
    else:
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
            run.setup_starts("D:\\", expected=expected)
        finally:
            if run.driver is not usual[1]:
                run.driver.close()
            run.lab, run.driver = usual
            lab.close()
    print(f"  {version}, 64-bit: Setup started {facts['installer_x64']!r}")


def every_close_asks(run):
    """Exit, the close box, WM_CLOSE and WM_QUERYENDSESSION ask the quit question; No keeps the window
    enabled, with no second box whatever comes meanwhile; Yes (and the session's end) ends the launcher.
    200 rounds of Exit, No, repainting between, leave private bytes within 64 KB of round 20's."""
    run.launch()
    for how in ("click 2", "post sysclose", "post close"):
        run.driver.send(how)
        run.answer_question("no")
        expect(run.expect_running()["form"]["enabled"], f"window left disabled after {how}, No")
    warm = run.driver.send("exitno 20")
    expect(warm["ok"], f"first 20 rounds: {warm['detail']}")
    done = run.driver.send("exitno 180")
    expect(done["ok"], f"last 180 rounds: {done['detail']}")
    growth = done["private"] - warm["private"]
    print(f"  private bytes {warm['private']:,} after 20 rounds of Exit, No, {done['private']:,} after 200")
    expect(abs(growth) <= 64 * 1024, f"private bytes grew by {growth:,} over 180 rounds")
    run.driver.send("click 2")
    run.open_box()
    for command in ("post close", "post sysclose", "click 1", "click 2"):
        run.driver.send(command)
    expect_eq("WM_QUERYENDSESSION while the question is open", 0, run.driver.send("queryend none")["result"])
    time.sleep(0.5)  # a pause, not a poll: no second box is to come
    expect_eq("boxes open", 1, len(run.driver.state()["boxes"]))
    # The answer is posted: wait until the box has gone before looking for another.
    run.answer_box("no")
    reply = run.driver.wait("box", 1500)
    expect(not reply["ok"], f"a second box followed: {reply['state']['boxes']}")
    run.expect_running()
    expect(not run.installer_log(), "Setup ran while the question was open")
    reply = run.driver.send("queryend no")
    expect(reply["box"] is not None, "no question on WM_QUERYENDSESSION")
    run.expect_quit_question(reply["box"], reply["state"]["form"])
    expect_eq("WM_QUERYENDSESSION answer after No", 0, reply["result"])
    run.expect_running()
    expect_eq("WM_QUERYENDSESSION answer after Yes", 1, run.driver.send("queryend yes")["result"])
    run.driver.send("endsession")
    expect_eq("exit code after the session end", 0, run.ended())
    run.launch()
    run.driver.send("post sysclose")
    run.answer_question("yes")
    expect_eq("exit code after close box, Yes", 0, run.ended())
    print("  Exit, close box, WM_CLOSE, WM_QUERYENDSESSION asked; No kept the window (no second box), Yes ended it")


def keyboard(run):
    """Tab goes round the shown buttons in the product's order from Setup; Exit's access key, Space, Enter,
    Alt+F4 ask Exit's question, the focus staying; Setup's access key (or Enter on it) starts the
    installer."""
    run.launch()
    expect_eq("focus at first display", IDC_COMMAND1, run.focus_when_active())
    # Tab once round, back to Setup; then shift+Tab back to Exit.
    order = list(BUTTONS)
    start = order.index(IDC_COMMAND1)
    steps = [("Tab", order[(start + n) % len(order)]) for n in range(1, len(order) + 1)]
    steps += [("shift+Tab", order[(start - n) % len(order)])
              for n in range(1, (start - order.index(IDC_COMMAND2)) % len(order) + 1)]
    for keys, focus in steps:
        run.key(keys)
        expect_eq(f"focus after {keys}", focus, run.focus_when_active())
    setup_key, exit_key = map(typed, map(run.product.texts["access_keys"].get, ("setup", "exit")))
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
    """product.json's buttons: id, place, size, shown where XP is among their releases, captioned and drawn
    from the string table; without positions, in README's rows. Each maker's button shown, by access key
    or click, opens its target (a program with its parameters in the launcher's folder, or a folder, no
    box); the launcher stays or, closing, ends unasked."""
    facts, language = run.product.facts, run.product.language
    buttons, ids = facts["buttons"], button_ids(facts["buttons"])
    shown = [i in BUTTONS for i in ids]
    with open(os.path.join(facts["folder"], "product.ini"), encoding="utf-8-sig", errors="replace") as f:
        positioned = re.search(r"^\s*position\s*=", f.read(), re.M)
    with run.launched() as state:
        controls = state["form"]["controls"]
        expect_eq("child windows: id, place, shown", [(i, [b["left"], b["top"], b["width"], b["height"]], s)
                                                      for i, b, s in zip(ids, buttons, shown)],
                  [(c["id"], c["rect"], c["visible"]) for c in controls])
        if positioned or len(buttons) not in ROWS:
            print(f"  row not checked: {len(buttons)} buttons{', placed by positions' if positioned else ''}; "
                  "rows are written out for 2, 3 and 4 without positions")
        else:
            expect_eq(f"{len(buttons)} buttons in a row: id, place",
                      [(i, [left, ROW_TOP] + BUTTON_SIZE) for i, left in zip(ids, ROWS[len(buttons)])],
                      [(c["id"], c["rect"]) for c in controls])
            print(f"  {len(buttons)} buttons at lefts {ROWS[len(buttons)]}; the other rows need a product "
                  "with that many buttons")
        for i, b, s, c in zip(ids, buttons, shown, controls):
            if b["action"] != "Open":
                entry = IDS_SETUP if b["action"] == "Setup" else IDS_EXIT
                run.expect_caption(f"{b['name']} caption", entry, c["text"])
                text = run.captions and run.captions[entry]
            elif LANGUAGES[language].codepage == 1252:
                text = run.product.table[b["caption_id"]]
                expect_eq(f"{b['name']} caption", text, c["text"])
            else:
                text = None
                print(f"  {b['name']} caption: not checked, what a {language} launcher shows on code page "
                      "1252 is not stated here")
            if text and s:
                run.expect_drawn({IDC_COMMAND1: "1", IDC_COMMAND2: "2"}.get(i, str(i)), text, f"button-{b['name']}")
    own = [(i, b) for i, b, s in zip(ids, buttons, shown) if b["action"] == "Open" and s]
    if not own:
        print("  no button of the maker's shown")
    for i, b in own:
        path = b.get("target_parts") and os.path.join(run.media["d"], *b["target_parts"])
        program = bool(path) and os.path.isfile(path) and path.lower().endswith(".exe")
        if not program and not (path and os.path.isdir(path)):
            print(f"  {b['name']}: opens {b['target']!r}, an address or a document: not tried in the lab")
            continue
        run.launch()
        run.focus_when_active()
        key = typed(run.product.texts["access_keys"].get(b["name"]))
        if key:
            run.key(f"alt+{key}")
        else:
            run.driver.send(f"click {i}")
        if program:
            run.expect_installer_started(f"D:\\{b['target']}", parameters=b["parameters"], folder="D:\\",
                                         what=b["name"])
        else:
            # What Wine opens for a folder is its own; only the shell's failure would show, as a box.
            reply = run.driver.wait("box", 3000)
            expect(not reply["ok"], f"{b['name']}: a box on opening {b['target']!r}: {reply['state']['boxes']}")
        if b["closes"]:
            expect_eq(f"{b['name']}: exit code, closing as it says", 0, run.ended())
        else:
            run.expect_running()
        print(f"  {b['name']} ({f'alt+{key}' if key else 'clicked'}): {'started' if program else 'opened'} "
              f"{b['target']!r}, the launcher {'ended' if b['closes'] else 'stayed'}")
        run.restart_wine()  # ends what it opened, and the launcher


def missing_installer(run):
    """No installer: a notice, and the launcher stays; a shutdown behind it is granted unasked and,
    cancelled, leaves the window and notice as they were."""
    run.launch("F:\\launcher.exe")
    run.driver.send("click 1")
    box, _ = run.open_box()
    run.expect_notice("failure", box, run.product.texts["start_failure"] + "\r\n\r\n" +
                      run.product.installer_in("F:\\"))
    expect_eq("WM_QUERYENDSESSION behind the failed-start box", 1, run.driver.send("queryend none")["result"])
    run.driver.send("endsession no")
    state = run.expect_running(0.5)
    expect_eq("boxes after the cancelled shutdown", [box["hwnd"]], [b["hwnd"] for b in state["boxes"]])
    run.answer_box()
    run.expect_running()
    expect(not run.installer_log(), "something was started")
    run.exit_with_yes()
    print("  the failed-start notice; a shutdown granted behind it, then cancelled: window and notice stayed")


def planted_dlls(run):
    """DLLs planted beside the launcher under system DLL names are never loaded: not at start, on Setup, on
    Exit, nor on the refusal."""
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
    """Whatever show command the starter passes (hidden, minimized, maximized, minimized inactive) the
    window comes up at its size, visible and active; where refused, a minimized start still shows the
    refusal."""
    with run.launched() as state:
        designed = state["form"]
    size = lambda r: (r[2] - r[0], r[3] - r[1])  # noqa: E731
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
    if refused:
        with run.settings(version=refused):
            run.driver.send(f"start 7 {ROOT}")
            run.expect_refusal("after a minimized start")
            expect(run.driver.wait("noform", 10000)["ok"], "refused launcher did not end")


def second_start(run):
    """A second start of the same launcher (by path, or 8.3 name in other case) brings the first window or
    its question forward and ends; from another folder, or with the first hidden, it opens its own, and
    while the first is on its way out (no virtual desktop: Wine closes a window slowly) it waits for it,
    then opens its own: one window shown, not none."""
    with run.launched():
        run.driver.send("post minimize")
        until(lambda: run.driver.state()["form"]["style"] & WS_MINIMIZE, 5)
        expect_eq("exit code of the second start", 0, run.start_to_end(ROOT))
        run.focus_when_active()
        state = run.driver.state()
        expect_eq("launcher windows", 1, state["forms"])
        expect(not state["form"]["style"] & WS_MINIMIZE, "the first window is still minimized")
        run.driver.send("click 2")
        run.open_box()
        expect_eq("exit code of a start during the question", 0, run.start_to_end(ROOT))
        expect_eq("launcher windows during the question", 1, run.open_box()[1]["forms"])
        run.answer_box("no")
    print("  the same path: brought the minimized window, then its question, forward")
    folder = "E:\\My Disc\\Disk 1"
    with run.launched(folder + "\\launcher.exe"):
        short = run.driver.send(f"shortpath {folder}\\launcher.exe")
        expect(short["ok"] and "~" in short["path"], f"no 8.3 form of {folder}: {short}")
        short = short["path"].lower()
        expect_eq(f"exit code of a start as {short}", 0, run.start_to_end(short))
        expect_eq("launcher windows", 1, run.driver.state()["forms"])
        run.driver.send("post hide")
        with run.also_started(folder + "\\launcher.exe") as second:
            until(lambda: run.driver.state()["shown"] == 1 or second.poll() is not None)
            expect(second.poll() is None, "a start while the first window was hidden ended")
            expect_eq("shown launcher windows", 1, run.driver.state()["shown"])
        run.forms(1, 5)
    print(f"  {short}: ended; while the first window was hidden, a window of its own")
    for first, other in ((ROOT, folder + "\\launcher.exe"),
                         (f"U:\\{UNICODE_FOLDERS['cyrillic']}\\launcher.exe",
                          f"U:\\{UNICODE_FOLDERS['other']}\\launcher.exe")):
        with run.launched(first):
            with run.also_started(other) as started:
                expect_eq(f"launcher windows from {first} and {other}", 2, run.forms(2, started=started)["forms"])
            run.forms(1, 5)
        print(f"  {first} and {other}: a window each")
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
    print("  while the first was on its way out: one window of its own")


def disc_changes(run):
    """Another product's disc (the medium, one letter of its title changed) put in D: while a launcher from
    D: runs: its D:\\launcher.exe opens its own window, the same path notwithstanding. Another drive's
    disc leaving changes nothing; its own drive's ends the launcher at once, unasked, with nothing, the
    question or the failed-start notice open."""
    swapped = os.path.join(run.lab.work_dir, "swapped")
    shutil.rmtree(swapped, ignore_errors=True)
    shutil.copytree(run.media["d"], swapped)
    title = run.product.table[IDS_TITLE]
    other_title = title[:-1] + ("2" if title[-1] != "2" else "3")
    counted = lambda text: struct.pack("<H", len(text.encode("utf-16-le")) // 2) + text.encode("utf-16-le")  # noqa: E731
    path = pathlib.Path(swapped, "launcher.exe")
    image = path.read_bytes()
    expect(counted(title) in image, f"the title {title!r} is not in the string table of {path}")
    path.write_bytes(image.replace(counted(title), counted(other_title)))
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
    print("  another disc's launcher at the same path: a window of its own")
    run.launch()
    run.driver.send("devicechange E")
    expect_eq("boxes after another drive's disc left", [], run.expect_running()["boxes"])
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
        print(f"  its own disc left, {what}: ended")


def long_folder_path(run):
    """A module path past MAX_PATH is read whole: Setup starts there, or the failure names all of it, never less."""
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
    expect_eq("failure text", run.product.texts["start_failure"] + "\r\n\r\n" + expected, state["boxes"][0]["text"])
    run.answer_box()
    run.expect_running()
    print("  the shell refused the long path; the failure named all of it")
    run.exit_with_yes()


def caption_rows(product):
    """translated_captions' rows: (what, locale, interface locale or None, launcher, title and captions
    expected, the quit question's texts)."""
    facts, rows, left_out = product.facts, [], []
    if product.picks_at_start:
        cases, left_out = product.at_start_cases()
        for locale, messages, shown in cases:
            where = f"LC_ALL={locale}" if not messages else f"LANG={locale} LC_MESSAGES={messages}"
            if all(has_locale(name) for name in (locale, messages) if name):
                rows.append((f"{where} shows {shown}", locale, messages, ROOT,
                             string_table(facts, shown), facts["texts"][shown]))
            else:
                left_out.append(f"{where}: no such locale on this machine (locale -a)")
    else:
        for language in facts["languages"]:
            path, texts = f"L:\\{language}\\launcher.exe", facts["texts"][language]
            locale, why = system_locale(language)
            if locale:
                rows.append((f"{language} in {locale}", locale, None, path, string_table(facts, language), texts))
            else:
                left_out.append(why)
            if LANGUAGES[language].codepage != 1252:
                shown, why = product.shown_on_1252(language)
                if shown:
                    rows.append((f"{language} in {BASE_LOCALE}", BASE_LOCALE, None, path, shown, texts))
                else:
                    left_out.append(f"{language} in {BASE_LOCALE}: {why}")
    for why in left_out:
        print(f"  left out: {why}")
    return rows


def translated_captions(run):
    """Each language's launcher on a system of its language (and on code page 1252 where that cannot show
    it), or one picking its language at start on each system of AT_START_CASES (LC_MESSAGES the
    interface's language, LC_CTYPE the code page): title and captions read back and drawn in that script,
    the quit question in that language. Every row runs, each in a fresh wineserver (which ends what a
    failed row left)."""
    failed = []
    try:
        for where, locale, messages, path, expected, texts in caption_rows(run.product):
            run.restart_wine(locale, messages)
            try:
                form = run.launch(path)["form"]
                captions = {c["id"]: c["text"] for c in form["controls"]}
                expect_eq("title", expected[IDS_TITLE], form["title"])
                for button, id_, entry in ((1, IDC_COMMAND1, IDS_SETUP), (2, IDC_COMMAND2, IDS_EXIT)):
                    expect_eq(f"caption of Command{button}", expected[entry], captions.get(id_))
                    run.expect_drawn(button, expected[entry], re.sub(r"\W+", "-", where))
                run.driver.send("click 2")
                box, _ = run.open_box()
                expect_eq("question title", texts["quit_title"], box["title"])
                expect_eq("question text", texts["quit"], box["text"])
                run.driver.send("answer yes")
                expect_eq("exit code after Exit, Yes", 0, run.ended())
                print(f"  {where}: ok, {' / '.join(expected[i] for i in (IDS_TITLE, IDS_SETUP, IDS_EXIT))}")
            except Failure as e:
                print(f"  {where}: FAIL, {e}")
                failed.append(where)
    finally:
        run.restart_wine()
    expect(not failed, f"wrong captions for {', '.join(failed)}")


SCENARIOS = [
    window_as_designed, drawn_in_palettes, setup_from_folders, setup_on_64_bit, every_close_asks, keyboard,
    maker_buttons, missing_installer, planted_dlls, show_commands, second_start, disc_changes, long_folder_path,
    version_gate, translated_captions,
]


def make_media(build, work, product):
    """D: the sample medium; E: in folders with spaces; F: without installer; G: past MAX_PATH; H:
    double-byte names; P: planted DLLs; U: names beyond code page 1252, and a decoy. The sample installer
    stands wherever the product's installers or a maker's programs would."""
    installer = os.path.join(build, "sample-installer", "sample_installer.exe")
    home = product.facts["installer_folder"].split("\\")
    media = {letter: os.path.join(work, "media", sub) for letter, sub in (
        ("d", "root"), ("e", "spaces"), ("f", "bare"), ("g", "long"), ("h", "dbcs"), ("p", "planted"), ("u", "unicode"))}
    for folder in media.values():
        shutil.rmtree(folder, ignore_errors=True)
    medium = media["d"]  # from the build's pieces, whatever installer folder its own medium has
    os.makedirs(os.path.join(medium, *home))
    shutil.copy(os.path.join(build, "launcher.exe"), medium)
    programs = [product.facts["installer"].split("\\"), product.started.split("\\")] + (
        product.facts["medium"]["sample_paths"] or []) + [
        b["target_parts"] for b in product.facts["buttons"]
        if b.get("target_parts") and b["target_parts"][-1].lower().endswith(".exe")]
    for parts in programs:
        os.makedirs(os.path.join(medium, *parts[:-1]), exist_ok=True)
        shutil.copy(installer, os.path.join(medium, *parts))
    for b in product.facts["buttons"]:
        if b.get("target_parts") and os.path.isdir(os.path.join(build, "medium", *b["target_parts"])):
            os.makedirs(os.path.join(medium, *b["target_parts"]), exist_ok=True)
    for copy in (os.path.join(media["e"], "My Disc", "Disk 1"), os.path.join(media["g"], *LONG_FOLDERS),
                 media["p"], *(os.path.join(media["u"], folder) for folder in UNICODE_FOLDERS.values())):
        shutil.copytree(medium, copy)
    os.makedirs(media["f"])
    shutil.copy(os.path.join(medium, "launcher.exe"), media["f"])
    dbcs = os.path.join(media["h"], "\u30bd")
    shutil.copytree(os.path.join(medium, home[0]), os.path.join(dbcs, home[0]))
    shutil.copy(os.path.join(medium, "launcher.exe"), os.path.join(dbcs, "\u8868.exe"))
    for name in PLANTED_DLLS:
        shutil.copy(os.path.join(build, "planted.dll"), os.path.join(media["p"], name + ".dll"))
    os.remove(os.path.join(media["u"], UNICODE_FOLDERS["decoy"], "launcher.exe"))
    return media


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the Windows build folder")
    parser.add_argument("--work", required=True, help="scratch folder for this run")
    parser.add_argument("--product", help="product.json of the product built, its pictures beside it "
                        "(default: the one beside the build folder)")
    parser.add_argument("--language", help="the language launcher.exe is in (default: the product's build language)")
    parser.add_argument("--only", help="run only scenarios whose name contains this")
    parser.add_argument("--score-tool", help="the host build's picture_score (default: beside the build folder)")
    args = parser.parse_args()
    why = cannot_run_32_bit()
    if why and not os.access(WINE64, os.X_OK):
        # CTest counts this exit status as skipped (SKIP_RETURN_CODE).
        print(f"skipped: the launcher cannot run under Wine on this machine: {why}")
        return 77
    started = time.time()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    # Beside the Windows build, before a 64-bit build takes its place.
    score_tool = args.score_tool or os.path.join(args.build, "..", "picture_score")
    args.product = args.product or os.path.join(args.build, "..", "product", "product.json")
    if not args.language:
        with open(args.product, encoding="utf-8") as f:
            args.language = json.load(f)["build_language"]
    if why:
        print(f"this machine cannot run launcher.exe: {why}; the scenarios run a 64-bit build of the same "
              "sources, in 64-bit prefixes, where Setup starts the product's installer_x64 if it names one")
    args.build, options, _ = runnable_build(args.build)
    LAB.update(options)
    product = Product(args.product, args.language, x64=bool(why))
    for id_, button in zip(button_ids(product.facts["buttons"]), product.facts["buttons"]):
        if dict(VERSIONS)["winxp"] in (button["windows"] or product.facts["windows"]):
            BUTTONS[id_] = Rect(button["left"], button["top"], button["width"], button["height"])
            BUTTON_ICONS[id_] = {"Setup": "setup.ico", "Exit": "exit.ico"}.get(button["action"]) or button["icon_file"]
    media = dict(make_media(args.build, args.work, product), l=os.path.join(args.build, "languages"))
    lab = WineLab(os.path.join(args.work, "lab"), locale=BASE_LOCALE, **LAB)
    failures = []
    try:
        lab.boot("winxp", desktop="1024x768")
        for letter, folder in media.items():
            lab.map_drive(letter, folder)
        run = Run(lab, os.path.join(args.build, "driver.exe"), media, os.path.join(args.work, "installer.log"),
                  product, score_tool)
        print(f"prefix ready in {time.time() - started:.1f} s")
        for scenario in (s for s in SCENARIOS if not args.only or args.only in s.__name__):
            t = time.time()
            try:
                scenario(run)
                print(f"ok - {scenario.__name__} ({time.time() - t:.1f} s)")
            except Exception as e:  # a failed scenario must not stop the others
                failures.append(scenario.__name__)
                print(f"FAIL - {scenario.__name__}: {e if isinstance(e, Failure) else traceback.format_exc()}")
                if run.process is not None and run.process.poll() is None:
                    run.process.kill()
                    run.process.wait()
                run.driver.send("closeinstallers")
                run.driver.wait("noform", 5000)
                if os.path.exists(run.log):
                    os.remove(run.log)
        run.driver.close()
    finally:
        lab.close()
    print(f"{len(failures)} failed; Wine run took {time.time() - started:.1f} s")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
