#!/usr/bin/python3
"""Start-up, memory and size figures for launcher.exe; prints, asserts nothing.

Start-up is timed under Wine as Windows XP by the test driver, from just
before CreateProcess until the window is shown and painted, for the launcher
and, in the same rounds, for the floor (benchmark/floor.cpp: the same
picture with nothing else) and a copy of the floor under another name. Each
round runs the three in a rotating order; figures are medians. Only ratios
measured in one run mean anything: the launcher against the floor is the
figure, the floor against its copy shows the noise.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine_lab"))
from winelab import WineLab, runnable_build  # noqa: E402

PROGRAMS = ["launcher.exe", "floor.exe", "floorcopy.exe"]
SCREEN = "1024x768"


def sizes(build):
    launcher = os.path.join(build, "launcher.exe")
    pe = pefile.PE(launcher, fast_load=True)
    total = os.path.getsize(launcher)
    resources = sum(s.SizeOfRawData for s in pe.sections if s.Name.rstrip(b"\0") == b".rsrc")
    image = os.path.getsize(os.path.join(build, "medium.iso"))
    print(f"size: launcher.exe {total:,} bytes, {total - resources:,} outside its resources; "
          f"image medium.iso {image:,} bytes")


def start(driver, program):
    reply = driver.send(f"startup D:\\{program}")
    if not reply["ok"]:
        raise RuntimeError(f"{program}: {reply['detail']}")
    return reply["ms"]


def startup_rounds(driver, rounds):
    times = {program: [] for program in PROGRAMS}
    for program in PROGRAMS:  # one untimed start each: caches, fonts, the desktop
        start(driver, program)
        driver.send("terminate")
    for round_ in range(rounds):
        order = PROGRAMS[round_ % 3:] + PROGRAMS[:round_ % 3]
        for program in order:
            times[program].append(start(driver, program))
            driver.send("terminate")
    return times


def memory(driver):
    start(driver, "launcher.exe")
    time.sleep(0.5)
    first = driver.send("memory")["private"]
    after = driver.send("exitno 200")
    driver.send("terminate")
    if not after["ok"]:
        raise RuntimeError(f"Exit then No rounds: {after['detail']}")
    return first, after["private"]


def differing_pixels(lab, driver):
    """How many pixels of the screen differ between the launcher's window
    and the floor's, each shown alone: the floor must show the same."""
    shots = []
    for program in PROGRAMS[:2]:
        start(driver, program)
        time.sleep(0.5)
        shots.append(os.path.join(lab.work_dir, program + ".png"))
        subprocess.run(["import", "-window", "root", shots[-1]], env=lab.env, check=True)
        driver.send("terminate")
    result = subprocess.run(["compare", "-metric", "AE", *shots, "null:"], env=lab.env,
                            capture_output=True, text=True)
    return result.stderr.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the Windows build folder")
    parser.add_argument("--work", required=True, help="scratch folder for the Wine prefix")
    parser.add_argument("--rounds", type=int, default=41, help="timed rounds (default 41)")
    parser.add_argument("--depth", type=int, default=24, choices=(8, 16, 24),
                        help="bits per pixel of the Xvfb screen (8: a palette display)")
    args = parser.parse_args()

    shutil.rmtree(args.work, ignore_errors=True)
    load = os.getloadavg()[0]
    print(f"bench: {time.strftime('%Y-%m-%d %H:%M')}, {os.cpu_count()} CPUs, load average {load:.2f}; "
          f"Wine as Windows XP on Xvfb {SCREEN}x{args.depth}; {args.rounds} rounds")
    sizes(args.build)
    args.build, lab_options, why = runnable_build(args.build, ["bench_floor"])
    if why:
        # The launcher and the floor built alike for 64 bits: their ratio
        # still says what the launcher costs over the least it could do.
        print(f"start-up and memory: of a 64-bit build of the same sources and its floor, not of "
              f"launcher.exe, which cannot run here: {why}")
    folder = os.path.join(args.work, "programs")
    os.makedirs(folder)
    shutil.copy(os.path.join(args.build, "launcher.exe"), folder)
    shutil.copy(os.path.join(args.build, "floor.exe"), folder)
    shutil.copy(os.path.join(args.build, "floor.exe"), os.path.join(folder, "floorcopy.exe"))

    lab = WineLab(os.path.join(args.work, "lab"), screen=f"{SCREEN}x{args.depth}", **lab_options)
    try:
        lab.boot("winxp", desktop=SCREEN)
        lab.map_drive("d", folder)
        driver = lab.driver(os.path.join(args.build, "driver.exe"))
        try:
            same = differing_pixels(lab, driver)
            times = startup_rounds(driver, args.rounds)
            first, after = memory(driver)
        finally:
            driver.close()
    finally:
        lab.close()

    print(f"pixels of the screen that differ between the launcher's window and the floor's: {same}")
    medians = {p: statistics.median(t) for p, t in times.items()}
    print("start-up, process start to window shown and painted (median, lowest - highest):")
    for program in PROGRAMS:
        print(f"  {program:14} {medians[program]:7.1f} ms  ({min(times[program]):.1f} - "
              f"{max(times[program]):.1f})")
    for a, b in (("launcher.exe", "floor.exe"), ("floorcopy.exe", "floor.exe")):
        paired = statistics.median(x / y for x, y in zip(times[a], times[b]))
        print(f"  {a[:-4]} / {b[:-4]}: {medians[a] / medians[b]:.3f} "
              f"(median of the rounds' own ratios {paired:.3f})")
    print(f"memory, the launcher's private bytes: {first:,} after its first display, "
          f"{after:,} after 200 rounds of Exit then No ({after - first:+,})")
    load = os.getloadavg()[0]
    print(f"load average at the end {load:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
