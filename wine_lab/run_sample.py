#!/usr/bin/python3
"""Runs launcher.exe from the sample installation medium under Wine (as
Windows XP), the medium mapped as drive D:.

With a usable X display the launcher opens there and this waits until it
ends. Without one, it runs in a Wine virtual desktop on Xvfb, a screenshot of
its window is saved, and the launcher is closed through its Exit button.
--locale runs Wine in another locale, and so with its ANSI code page
(zh_TW.UTF-8: 950, ru_RU.UTF-8: 1251), as a translated launcher needs.
--ui-locale gives the user interface a language of its own (Wine's
LC_MESSAGES): --ui-locale ja_JP.UTF-8 is a Japanese user on a Western
system (code page 1252, or --locale's).
"""
import argparse
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from winelab import WineLab, runnable_build  # noqa: E402

DESKTOP = (640, 480)


def display_usable():
    display = os.environ.get("DISPLAY")
    if not display:
        return None
    result = subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    return display if result.returncode == 0 else None


def screenshot(lab, driver, path):
    """The launcher's window with its frame and a small margin of desktop."""
    form = driver.wait("form", 20000)["state"]["form"]
    time.sleep(1.0)  # let the first paint finish
    left, top, right, bottom = form["window"]
    margin = 12
    left, top = max(left - margin, 0), max(top - margin, 0)
    right, bottom = min(right + margin, DESKTOP[0]), min(bottom + margin, DESKTOP[1])
    subprocess.run(["import", "-window", "root", "-crop",
                    f"{right - left}x{bottom - top}+{left}+{top}", "+repage", path],
                   env=lab.env, check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the Windows build folder")
    parser.add_argument("--work", required=True, help="folder for the Wine prefix")
    parser.add_argument("--screenshot", default=None, help="where to save the screenshot")
    parser.add_argument("--locale", default=None, help="the locale to run Wine in")
    parser.add_argument("--ui-locale", default=None,
                        help="the user interface's locale, if not --locale's")
    args = parser.parse_args()
    medium = os.path.join(args.build, "medium")
    args.build, lab_options, why = runnable_build(args.build)
    if why:
        print(f"run-sample: launcher.exe cannot run on this machine: {why}; running a 64-bit build of "
              f"the same sources instead; launcher.exe's medium is {medium}", file=sys.stderr)
    if args.ui_locale and not args.locale:
        args.locale = "C.UTF-8"

    display = display_usable()
    # Wine stores the system's fonts, the title bar's among them, with the
    # character set of the locale a prefix first ran in; a title in another
    # script then shows as boxes. So each locale has a prefix of its own.
    work = args.work if args.locale is None else f"{args.work}-{args.locale}"
    if args.ui_locale:
        work += f"-ui-{args.ui_locale}"
    lab = WineLab(work, display=display, keep_prefix=True, locale=args.locale,
                  messages=args.ui_locale, screen=f"{DESKTOP[0]}x{DESKTOP[1]}x24", **lab_options)
    try:
        lab.boot("winxp", desktop=None if display else f"{DESKTOP[0]}x{DESKTOP[1]}")
        lab.map_drive("d", os.path.join(args.build, "medium"))
        # The launcher under the product's own name (launcher_name), as the
        # medium carries it.
        with open(os.path.join(args.build, "..", "product", "product.json"), encoding="utf-8") as f:
            name = json.load(f)["launcher_name"]
        launcher = lab.start([f"D:\\{name}"])
        if display:
            print(f"The launcher is running on {display}; close it to finish.")
            return launcher.wait()

        path = os.path.abspath(args.screenshot or os.path.join(work, "..", "screenshot.png"))
        driver = lab.driver(os.path.join(args.build, "driver.exe"))
        try:
            screenshot(lab, driver, path)
            print(f"No display: ran on Xvfb; screenshot saved to {path}")
            driver.send("click 2")
            driver.wait("box", 10000)
            driver.send("answer yes")
        finally:
            driver.close()
        return launcher.wait(timeout=30)
    finally:
        lab.close()


if __name__ == "__main__":
    sys.exit(main())
