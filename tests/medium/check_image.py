#!/usr/bin/python3
"""Reads the medium's disc image back with xorriso and checks it.

The image is extracted through its Joliet tree alone, the names Windows
shows: without a Joliet tree xorriso would fall back to the ISO 9660 names
(LAUNCHER.EXE;1) and every name check fails. Then: exactly launcher.exe
(no "setup", "install", "update" or "patch" in its name, which would make
Windows ask for administrator rights), autorun.inf and the installer folder
at the root; the launcher is the built
one (or a signed copy of it); autorun.inf says what Windows needs, in ANSI
with CR LF; the volume label, autorun's label and the installer's path
are the product's; the installer folder holds what the build was given,
less what the medium leaves out.

    check_image.py --launcher launcher.exe --installer-dir <folder>
                   --product product.json medium.iso
"""
import argparse
import filecmp
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from product_compiler.names import left_out_reason  # noqa: E402

IMAGE_DIRECTORY_ENTRY_SECURITY = 4

problems = []


def expect_eq(what, expected, got):
    if expected != got:
        problems.append(f"{what}: expected {expected!r}, got {got!r}")


def xorriso(*arguments):
    # Read in UTF-8 whatever the caller's locale, as the medium builder writes.
    return subprocess.run(["xorriso", "-no_rc", *arguments], check=True, capture_output=True,
                          text=True, env=dict(os.environ, LC_ALL="C.UTF-8")).stdout


def tree(root):
    """Every path below root, relative, with / between names, through links,
    without what the medium leaves out (version control, editor backups)."""
    found = set()
    for folder, folders, files in os.walk(root, followlinks=True):
        folders[:] = [name for name in folders if not left_out_reason(name)]
        for name in folders + [name for name in files if not left_out_reason(name)]:
            found.add(os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/"))
    return found


def joliet_label(image):
    """The volume label of the Joliet descriptor, the one Windows shows."""
    with open(image, "rb") as f:
        for sector in range(16, 32):
            f.seek(sector * 2048)
            descriptor = f.read(2048)
            if descriptor[0] == 255:
                break
            if descriptor[0] == 2 and descriptor[88:91] in (b"%/@", b"%/C", b"%/E"):
                return descriptor[40:72].decode("utf-16-be").rstrip(" ")
    return None


def is_copy_of(built, shipped):
    """The shipped launcher is the built one, or the built one with a
    signature appended (the checksum and the certificate table entry set)."""
    with open(built, "rb") as f:
        original = f.read()
    with open(shipped, "rb") as f:
        data = bytearray(f.read())
    pe = pefile.PE(data=bytes(data), fast_load=True)
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[IMAGE_DIRECTORY_ENTRY_SECURITY]
    if security.Size == 0:
        return bytes(data) == original
    checksum = pe.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
    for offset, size in ((checksum, 4), (security.get_file_offset(), 8)):
        data[offset:offset + size] = original[offset:offset + size]
    return security.VirtualAddress >= len(original) and bytes(data[:len(original)]) == original


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--launcher", required=True, help="launcher.exe as built")
    parser.add_argument("--sample-installer", required=True,
                        help="the program the medium carries when the build was given no installer folder")
    parser.add_argument("--product", required=True, help="product.json of the product built")
    parser.add_argument("image")
    args = parser.parse_args()

    with open(args.product, encoding="utf-8") as f:
        product = json.load(f)
    pvd = xorriso("-indev", args.image, "-pvd_info")
    expect_eq("volume label", product["volume_label"],
              (re.findall(r"^Volume Id\s*: (.*)$", pvd, re.M) or [None])[0])
    expect_eq("Joliet volume label", product["volume_label"], joliet_label(args.image))
    home = product["installer_folder"].replace("\\", "/")
    parents = {"/".join(home.split("/")[:i]) for i in range(1, home.count("/") + 2)}

    scratch = tempfile.mkdtemp(prefix="medium-image-")
    try:
        out = os.path.join(scratch, "joliet")
        xorriso("-osirrox", "on", "-read_fs", "norock", "-ecma119_map", "unmapped",
                "-indev", args.image, "-extract", "/", out)
        args.installer_dir = product["medium"]["installer_dir"]
        elsewhere = set()
        if not args.installer_dir:
            args.installer_dir = os.path.join(scratch, "sample")
            os.mkdir(args.installer_dir)
            # The sample stands in under the installer's name, and under the
            # machines' installers' names; those outside its folder are named here.
            home_parts = product["installer_parts"][:-1]
            for parts in product["medium"].get("sample_paths") or [product["installer_parts"]]:
                inside = parts[:len(home_parts)] == home_parts
                at = os.path.join(args.installer_dir, *parts[len(home_parts):]) if inside \
                    else os.path.join(scratch, "elsewhere", *parts)
                os.makedirs(os.path.dirname(at), exist_ok=True)
                shutil.copyfile(args.sample_installer, at)
                elsewhere |= set() if inside else {"/".join(parts[:i]) for i in range(1, len(parts) + 1)}
        installer = tree(args.installer_dir)
        extra = tree(product["medium"]["extra_dir"]) if product["medium"].get("extra_dir") else set()
        wanted = sorted({"autorun.inf", product["launcher_name"]} | parents | extra | elsewhere
                        | {f"{home}/{p}" for p in installer})
        expect_eq("names in the Joliet tree", wanted, sorted(tree(out)))
        if sorted(tree(out)) == wanted:
            check_contents(out, args, product, home, installer, extra)
    finally:
        for folder, _, _ in os.walk(scratch):
            os.chmod(folder, 0o755)  # extracted folders are read-only
        shutil.rmtree(scratch)

    for problem in problems:
        print(f"FAIL: {problem}")
    if problems:
        return 1
    print(f"ok: {args.image}: Joliet tree, autorun.inf, launcher and {len(installer)} installer entries as built")
    return 0


def check_contents(out, args, product, home, installer, extra):
    name = product["launcher_name"]
    launcher = os.path.join(out, name)
    if not is_copy_of(args.launcher, launcher):
        problems.append("launcher.exe in the image is not the built launcher (nor a signed copy of it)")

    label = product["autorun_label"]
    expect_eq("autorun.inf", (f"[autorun]\r\nopen={name}\r\nicon={name},0\r\n"
                              f"label={label}\r\n").encode("ascii"),
              open(os.path.join(out, "autorun.inf"), "rb").read())
    if not 0 < len(label) <= 32:
        problems.append(f"autorun label {label!r}: {len(label)} characters, Windows shows at most 32")

    for path in sorted(extra):
        given = os.path.join(product["medium"]["extra_dir"], path)
        if os.path.isfile(given) and not filecmp.cmp(given, os.path.join(out, path), shallow=False):
            problems.append(f"{path} differs from {given}")
    installer_file = product["installer"].split("\\")[-1]
    if installer_file not in installer:
        problems.append(f"no {installer_file} in the installer folder {args.installer_dir}")
    for path in sorted(installer):
        shipped = os.path.join(out, home, path)
        given = os.path.join(args.installer_dir, path)
        if os.path.isfile(given) and not filecmp.cmp(given, shipped, shallow=False):
            problems.append(f"{home}/{path} differs from {given}")


if __name__ == "__main__":
    sys.exit(main())
