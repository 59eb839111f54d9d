#!/usr/bin/python3
"""The medium builder: makes the installation medium from the product's
model, the tree (the launcher and autorun.inf at the root, the installer
folder beside them) and its ISO 9660 image with a Joliet tree, byte for
byte the same for the same model, whatever the folder, the clock, the umask
or the build machine's locale. The Windows build runs it after every build.

    make_medium.py --model <product.json> --launcher <launcher.exe>
                   --sample-installer <program> --tree <medium folder>
                   --image <file.iso>

Everything about the product comes from the model, which the product
compiler wrote after checking it: the labels, the installer's path, the
installer folder as it was staged when it was checked (or, without one,
the sample installer under the installer's name), the signer and the date.
Nothing here walks the maker's folder again.

All or nothing: the tree and the image are made in a staging folder beside
the tree and replace the previous ones together at the end; a failed run
leaves the previous medium and image as they were. A failure is one line,
"medium: <what went wrong>", and exit status 1.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from product_compiler import names  # noqa: E402


class MediumError(Exception):
    pass


def place_launcher(model, launcher, target, work):
    """The launcher as built, or signed on its way in; says which."""
    signer = model["medium"]["signer"]
    if not signer:
        shutil.copyfile(launcher, target)
        return "unsigned"
    from medium_builder import signing
    try:
        return signing.sign(signer, launcher, target, model["name"], model["medium"]["epoch"], work)
    except signing.SigningError as e:
        raise MediumError(str(e)) from None


def place_installer(model, tree, sample):
    parts = model["installer_parts"]
    folder = os.path.join(tree, *parts[:-1])
    staged = model["medium"]["installer_staged"]
    if staged:
        os.makedirs(os.path.dirname(folder), exist_ok=True)
        # cp -a keeps the staging's hard links: a file reached by several
        # paths is stored on the disc once.
        subprocess.run(["cp", "-a", "--", staged, folder], check=True)
    else:
        # The sample under the installer's name, and under installer_x64's
        # and installer_arm64's where the product compiler found the disc
        # had nothing there.
        for where in model["medium"].get("sample_paths") or [parts]:
            os.makedirs(os.path.join(tree, *where[:-1]), exist_ok=True)
            shutil.copyfile(sample, os.path.join(tree, *where))


def settle(tree, epoch):
    """The same modes and times whatever the umask and the clock; xorriso
    takes the file times from the tree and every other date from
    SOURCE_DATE_EPOCH."""
    for folder, folders, files in os.walk(tree):
        for name in folders:
            os.chmod(os.path.join(folder, name), 0o755)
        for name in files:
            os.chmod(os.path.join(folder, name), 0o644)
    os.chmod(tree, 0o755)
    for folder, folders, files in os.walk(tree, topdown=False):
        for name in files + folders:
            os.utime(os.path.join(folder, name), (epoch, epoch), follow_symlinks=False)
    os.utime(tree, (epoch, epoch))


def xorriso(*arguments, epoch=None):
    env = dict(os.environ, **names.XORRISO_ENV)
    if epoch is not None:
        env["SOURCE_DATE_EPOCH"] = str(epoch)
    return subprocess.run(["xorriso", "-no_rc", *names.XORRISO_ARGS, *arguments], env=env, capture_output=True, text=True,
                          errors="surrogateescape")


def make_image(model, tree, image):
    # -r: Rock Ridge with owner root and read permissions for all; -J:
    # Joliet, the long mixed-case names Windows 98, NT 4.0, 2000 and XP
    # show. The preparer and application fields are ours, so no xorriso
    # version shows. The character set is given (names.XORRISO_ARGS), so the
    # names and labels never depend on the build machine's locale.
    made = xorriso("-as", "mkisofs", "-r", "-J", "-V", model["volume_label"],
                   "-p", model["name"], "-A", model["name"], "-o", image, tree, epoch=model["medium"]["epoch"])
    if made.returncode != 0:
        lines = made.stderr.splitlines()
        why = next((l for l in lines if "FAILURE" in l or "SORRY" in l), lines[-1] if lines else "")
        raise MediumError(f"xorriso failed: {why}")
    # Every name must come through the Joliet tree unchanged, or the
    # installer could be missing.
    wanted = sorted("/" + os.path.relpath(os.path.join(folder, name), tree)
                    for folder, folders, files in os.walk(tree) for name in folders + files)
    found = xorriso("-read_fs", "norock", "-ecma119_map", "unmapped", "-indev", image,
                    "-sh_style_result", "on", "-find", "/")
    written = sorted(line for line in found.stdout.splitlines() if line != "/")
    if wanted != written:
        missing = [name for name in wanted if name not in written]
        raise MediumError("the Joliet tree does not carry these names as they are: " + " ".join(missing))


def make_medium(model, launcher, sample, tree, image):
    parent = os.path.dirname(os.path.abspath(tree))
    os.makedirs(parent, exist_ok=True)
    os.makedirs(os.path.dirname(os.path.abspath(image)), exist_ok=True)
    staging = tempfile.mkdtemp(prefix=f".{os.path.basename(tree)}.staging.", dir=parent)
    placed = None
    try:
        new_tree = os.path.join(staging, "tree")
        new_image = os.path.join(staging, "image.iso")
        extra = model["medium"].get("extra_staged")
        if extra:
            # The maker's files for the root; the product compiler made sure
            # none takes the launcher's, autorun.inf's or the installer's place.
            subprocess.run(["cp", "-a", "--", extra, new_tree], check=True)
        else:
            os.mkdir(new_tree)
        launcher_name = model["launcher_name"]
        signed = place_launcher(model, launcher, os.path.join(new_tree, launcher_name), staging)
        with open(os.path.join(new_tree, "autorun.inf"), "wb") as f:
            f.write((f"[autorun]\r\nopen={launcher_name}\r\nicon={launcher_name},0\r\n"
                     f"label={model['autorun_label']}\r\n").encode("ascii"))
        place_installer(model, new_tree, sample)
        settle(new_tree, model["medium"]["epoch"])
        make_image(model, new_tree, new_image)
        files = sum(len(f) for _, _, f in os.walk(new_tree))
        size = sum(os.path.getsize(os.path.join(folder, name))
                   for folder, _, found in os.walk(new_tree) for name in found)
        # Both in place, or neither.
        for path, keep in ((tree, "previous-tree"), (image, "previous-image")):
            if os.path.lexists(path):
                os.rename(path, os.path.join(staging, keep))
        placed = "tree"
        os.rename(new_tree, tree)
        os.rename(new_image, image)
        placed = "both"
    finally:
        if placed != "both":
            if placed:
                shutil.rmtree(tree, ignore_errors=True)
            for path, keep in ((tree, "previous-tree"), (image, "previous-image")):
                if os.path.lexists(os.path.join(staging, keep)):
                    os.rename(os.path.join(staging, keep), path)
        shutil.rmtree(staging, ignore_errors=True)
    return (f"medium: on the disc: {files} files, {size} bytes, in {tree}; image {image}, "
            f"{os.path.getsize(image)} bytes; volume label \"{model['volume_label']}\", autorun label "
            f"\"{model['autorun_label']}\", {launcher_name} {signed}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--model", required=True, help="product.json, written by the product compiler")
    parser.add_argument("--launcher", required=True, help="launcher.exe as built")
    parser.add_argument("--sample-installer", required=True,
                        help="the program that stands in for an installer when the model has no folder")
    parser.add_argument("--tree", required=True)
    parser.add_argument("--image", required=True)
    args = parser.parse_args()
    sys.stdout.reconfigure(errors="backslashreplace")
    sys.stderr.reconfigure(errors="backslashreplace")
    with open(args.model, encoding="utf-8") as f:
        model = json.load(f)
    try:
        print(make_medium(model, args.launcher, args.sample_installer, args.tree, args.image))
        # The window's places over the artwork, for the maker, beside the medium.
        places = os.path.join(os.path.dirname(os.path.abspath(args.model)), "places.png")
        if os.path.exists(places):
            beside = os.path.join(os.path.dirname(os.path.abspath(args.tree)), "places.png")
            shutil.copyfile(places, beside)
            print(f"medium: the window's places over the artwork: {beside}")
    except (MediumError, OSError, subprocess.CalledProcessError) as e:
        print(f"medium: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
