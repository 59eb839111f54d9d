#!/usr/bin/python3
"""make-medium.sh over a hostile installer folder.

A maker's folder with links inside it and version-control and system
clutter makes a medium: the clutter is left out and listed, the links come
through as the files they point to, and the image names no xorriso version.
Then each hostile entry in the table, added to a copy of that folder, must
be refused with its own one-line reason, and the medium and image made
before must stay byte for byte as they were, with nothing left beside them.

    check_refusals.py --sources <source tree> --launcher launcher.exe
                      --setup <a Windows program> --scratch <folder>
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys

problems = []
LEFT_OUT = [(".DS_Store", "system clutter"), (".git", "version control"), (".hg", "version control"),
            (".svn", "version control"), ("Thumbs.db", "system clutter"), ("docs/thumbs.db", "system clutter"),
            ("docs/x.ini~", "editor backup"), ("notes.txt~", "editor backup"), ("sub/thumbs.db", "system clutter"), ("sub/x.ini~", "editor backup")]
ON_DISC = ["/Programs", "/Programs/Setup.exe", "/Programs/data.cab", "/Programs/docs",
           "/Programs/docs/readme.txt", "/Programs/latest.cab", "/Programs/sub",
           "/Programs/sub/readme.txt", "/autorun.inf", "/launcher.exe"]


def write(path, data=b""):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def maker_folder(path, setup):
    """An installer folder as a maker keeps it: links inside, clutter."""
    shutil.copyfile(setup, os.path.join(path, "Setup.exe"))
    write(os.path.join(path, "data.cab"), b"cabinet")
    write(os.path.join(path, "sub", "readme.txt"), b"read me")
    os.symlink("data.cab", os.path.join(path, "latest.cab"))
    os.symlink("sub", os.path.join(path, "docs"))
    write(os.path.join(path, ".git", "config"), b"url = https://token@example.com/repo\n")
    for name in (".svn/entries", ".hg/hgrc", ".DS_Store", "Thumbs.db", "notes.txt~",
                 "sub/thumbs.db", "sub/x.ini~"):
        write(os.path.join(path, name))


def add(name, data=b"x"):
    return lambda d: write(os.path.join(d, name), data)


def link(name, target):
    return lambda d: os.symlink(target, os.path.join(d, name))


def replace_setup(make):
    def change(d):
        os.remove(os.path.join(d, "Setup.exe"))
        make(d)
    return change


def sparse(name, size):
    return lambda d: os.truncate(add(name, b"")(d) or os.path.join(d, name), size)


DEEP = "/".join(["d" * 30] * 3) + "/" + "f" * 30  # Programs\ + this: 262 bytes in Joliet
# What the case is, what it adds to a copy of the maker's folder ({case}),
# the one line expected (after "make-medium: "), extra arguments and environment.
CASES = [
    ("link to a folder outside", link("vendor", "../secret"),
     "{case}/vendor: a link to {scratch}/secret, outside the installer folder"),
    ("link to a file outside", link("host.txt", "/etc/hostname"),
     "{case}/host.txt: a link to /etc/hostname, outside the installer folder"),
    ("link to a device", link("null", "/dev/null"), "{case}/null: a link to /dev/null, outside the installer folder"),
    ("dangling link", link("gone", "nowhere"), "{case}/gone: a link to nowhere, which does not exist"),
    ("link to its own folder", link("loop", "."), "{case}/loop: a link to {case}, a folder that holds the link itself"),
    ("link into version control", link("cfg", ".git/config"),
     "{case}/cfg: a link to {case}/.git/config, which is left out (version control)"),
    ("named pipe", lambda d: os.mkfifo(os.path.join(d, "pipe")), "{case}/pipe: a named pipe (FIFO), not a plain file or folder"),
    ("names differing in case", add("Data.cab"),
     "{case}/data.cab: differs only in case from Data.cab beside it; Windows reaches only one of them"),
    ("the installer in two cases", add("SETUP.EXE"),
     "{case}/Setup.exe: differs only in case from SETUP.EXE beside it; Windows reaches only one of them"),
    ("device name with an extension", add("aux.dat"), "{case}/aux.dat: AUX is a device name on Windows, with any extension"),
    ("device name in a folder", add("lib/con"), "{case}/lib/con: CON is a device name on Windows, with any extension"),
    ("trailing dot", add("readme."), "{case}/readme.: ends in a dot, which Windows strips, so the file cannot be found"),
    ("trailing space", add("notes "), '"{case}/notes ": ends in a space, which Windows strips, so the file cannot be found'),
    ("control character", add("a\tb"), "{case}/a\\x09b: holds a control character (\\x09)"),
    ("character Joliet refuses", add("what?.txt"),
     '{case}/what?.txt: holds "?", which Windows or Joliet names cannot carry (none of " * / : ; < > ? \\ |)'),
    ("name of 70 characters", add("n" * 70), "{case}/" + "n" * 70 + ": a name of 70 characters; Joliet holds at most 64"),
    ("path past 240 bytes", add(DEEP), "{case}/" + DEEP + ": its path on the disc takes 262 bytes in Joliet, "
     "which holds at most 240 (2 a character, 1 a folder level)"),
    ("file of 4 GiB", sparse("big.bin", 4 << 30), "{case}/big.bin: 4294967296 bytes; an ISO 9660 disc holds files under 4 GiB"),
    ("the installer a folder", replace_setup(add("Setup.exe/x")),
     "{case}/Setup.exe: a folder, but the launcher starts Programs\\Setup.exe as a program"),
    ("the installer a text file", replace_setup(add("Setup.exe", b"@echo off\r\n")),
     "{case}/Setup.exe: not a Windows program (it does not start with MZ), but the launcher starts Programs\\Setup.exe"),
    ("the installer in lower case", lambda d: os.rename(os.path.join(d, "Setup.exe"), os.path.join(d, "setup.exe")),
     "{case} holds setup.exe, but the launcher starts Programs\\Setup.exe: the name must match exactly"),
    ("signing key inside", add("key.pem"),
     "LAUNCHER_SIGN_KEY: {case}/key.pem lies inside the installer folder, which goes onto the disc",
     [], {"LAUNCHER_SIGN_CERT": "{scratch}/cert.pem", "LAUNCHER_SIGN_KEY": "{case}/key.pem"}),
    ("installer path with slashes", None,
     "--installer Programs/Setup.exe: separate the names with backslashes, as Windows does",
     ["--installer", "Programs/Setup.exe"]),
    ("the image writer failing after staging", None,
     "xorriso failed: xorriso : FAILURE : Cannot write: No space left on device",
     [], {"PATH": "{scratch}/failing:" + os.environ["PATH"]}),
]


def snapshot(out):
    """Every name, mode, time and byte under out: what a refused run must not touch."""
    state = {}
    for folder, folders, files in os.walk(out):
        for name in sorted(folders + files):
            path = os.path.join(folder, name)
            info = os.lstat(path)
            digest = None
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
            state[os.path.relpath(path, out)] = (info.st_mode, info.st_mtime_ns, digest)
    return state


def joliet_names(image):
    found = subprocess.run(["xorriso", "-no_rc", "-read_fs", "norock", "-ecma119_map", "unmapped",
                            "-indev", image, "-sh_style_result", "on", "-find", "/"],
                           capture_output=True, text=True, check=True).stdout.splitlines()
    return sorted(name for name in found if name != "/")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sources", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--setup", required=True)
    parser.add_argument("--scratch", required=True)
    args = parser.parse_args()
    scratch = os.path.abspath(args.scratch)
    shutil.rmtree(scratch, ignore_errors=True)
    out = os.path.join(scratch, "out")
    os.makedirs(out)
    write(os.path.join(scratch, "secret", "id_rsa"), b"private")
    write(os.path.join(scratch, "cert.pem"))
    write(os.path.join(scratch, "failing", "xorriso"),
          b"#!/bin/sh\necho 'xorriso : FAILURE : Cannot write: No space left on device' >&2\nexit 5\n")
    os.chmod(os.path.join(scratch, "failing", "xorriso"), 0o755)

    # Only what a case sets signs.
    clean_env = {name: value for name, value in os.environ.items() if not name.startswith("LAUNCHER_SIGN_")}

    def make_medium(folder, arguments=(), env=None):
        command = [os.path.join(args.sources, "medium_builder", "make-medium.sh"), "--launcher", args.launcher,
                   "--installer-dir", folder, "--product", "Acme", "--label", "Acme Disc 1.0",
                   "--sources", args.sources, "--tree", os.path.join(out, "medium"),
                   "--image", os.path.join(out, "medium.iso"), *(arguments or ["--installer", "Programs\\Setup.exe"])]
        return subprocess.run(command, capture_output=True, text=True, env={**clean_env, **(env or {})})

    maker = os.path.join(scratch, "maker")
    os.makedirs(maker)
    maker_folder(maker, args.setup)
    made = make_medium(maker)
    if made.returncode != 0:
        print(f"FAIL: the maker's folder was refused: {made.stderr.strip()}")
        return 1
    image = os.path.join(out, "medium.iso")
    left_out = [line for line in made.stdout.splitlines() if "left out" in line]
    expected = [f"make-medium: left out {maker}/{path} ({why})" for path, why in LEFT_OUT]
    if left_out != expected:
        problems.append(f"left out: expected {expected}, got {left_out}")
    size = os.path.getsize(args.launcher) + 72 \
        + os.path.getsize(args.setup) + 2 * len(b"cabinet") + 2 * len(b"read me")
    if f"on the disc: 7 files, {size} bytes" not in made.stdout or f"image {image}," not in made.stdout:
        problems.append(f"no count of files and bytes and no image path: {made.stdout.strip()}")
    if joliet_names(image) != ON_DISC:
        problems.append(f"the image's names: expected {ON_DISC}, got {joliet_names(image)}")
    with open(os.path.join(out, "medium", "Programs", "latest.cab"), "rb") as f:
        if f.read() != b"cabinet" or os.path.islink(f.name):
            problems.append("latest.cab, a link to data.cab, did not come through as data.cab's bytes")
    with open(image, "rb") as f:
        if b"XORRISO" in f.read().upper():
            problems.append("the image records the xorriso version")
    before = snapshot(out)

    for number, (what, change, expected, *extra) in enumerate(CASES):
        arguments, env = (extra + [[], {}][len(extra):])
        case = os.path.join(scratch, f"case{number}")
        shutil.copytree(maker, case, symlinks=True)
        if change:
            change(case)
        values = {"scratch": scratch, "case": case}
        env = {name: value.format(**values) for name, value in env.items()}
        line = "make-medium: " + expected.format(**values)
        made = make_medium(case, arguments, env)
        if made.returncode == 0 or made.stderr.splitlines() != [line]:
            problems.append(f"{what}: expected the one line {line!r}, got {made.returncode}: {made.stderr!r}")
        if snapshot(out) != before or sorted(os.listdir(out)) != ["medium", "medium.iso"]:
            problems.append(f"{what}: the previous medium and image changed: {sorted(os.listdir(out))}")
        shutil.rmtree(case)

    # Two folders deep, as --installer names it: the new medium replaces the old.
    made = make_medium(maker, ["--installer", "Acme Tools\\Bin\\Setup.exe"])
    if made.returncode != 0 or "/Acme Tools/Bin/Setup.exe" not in joliet_names(image):
        problems.append(f"--installer 'Acme Tools\\Bin\\Setup.exe': {made.stderr.strip()}")

    for problem in problems:
        print(f"FAIL: {problem}")
    if problems:
        return 1
    print(f"ok: a maker's folder with its clutter left out, and {len(CASES)} hostile cases refused "
          "with the previous medium untouched")
    return 0


if __name__ == "__main__":
    sys.exit(main())
