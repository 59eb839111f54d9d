#!/usr/bin/python3
"""The product compiler: reads a product folder once, checks every value
any later step would check, and writes one model of the product that the
later steps read.

    compile.py --product <folder> --out <folder> [--language <language>]

Read from the environment, exactly as given (never through CMake, make or
a shell command line): LAUNCHER_INSTALLER_DIR, the maker's installer
folder; the LAUNCHER_SIGN_ variables; SOURCE_DATE_EPOCH. A build folder
remembers LAUNCHER_INSTALLER_DIR for its later builds until it is given
again (set and empty: forgotten).

Into --out go the model, product.json (every fact resolved: each
language's texts, the installer path as its parts, both labels, releases,
the launcher's file name, the installer folder as staged, the signer and
the medium's date), the installer folder staged as it was checked
(installer/), the generated sources and resources (see writing.py) and
product.cmake, the few words CMake needs to lay out its targets.

A fault stops it with one line naming the file, the key and the fault (for
a maker's folder, the path and the rule; one line an entry) and exit
status 1; nothing in --out is replaced then.
"""
import argparse
import datetime
import json
import os
import shutil
import subprocess
import sys

SOURCES = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, SOURCES)
from product_compiler import installer_folder, names  # noqa: E402
from product_compiler.errors import ProductError, q  # noqa: E402
from product_compiler.buttons import Disc, where  # noqa: E402
from product_compiler.reading import MACHINE_INSTALLERS, read_product  # noqa: E402
from product_compiler.writing import generate, write_outputs  # noqa: E402

# Settings a build folder keeps for the product's later builds, so that a
# plain rebuild or a preview never swaps the sample installer onto a maker's
# medium nor leaves its launcher unsigned. Paths and names only: a
# passphrase or PIN file is read again at every build. The signing
# variables go together: any of them given replaces them all.
REMEMBERED = ("LAUNCHER_INSTALLER_DIR", "LAUNCHER_EXTRA_DIR")
SIGNING = ("LAUNCHER_SIGN_CERT", "LAUNCHER_SIGN_KEY", "LAUNCHER_SIGN_PFX", "LAUNCHER_SIGN_PASS_FILE",
           "LAUNCHER_SIGN_TIMESTAMP_URL", "LAUNCHER_SIGN_PKCS11_MODULE")
# ISO 9660 directory records count years from 1900 in one byte.
LAST_DISC_DATE = datetime.datetime(2155, 12, 31, 23, 59, 59, tzinfo=datetime.timezone.utc)
# Sources outside git (an unpacked copy): a fixed date, still reproducible.
UNPACKED_EPOCH = 315532800  # 1980-01-01


class Refused(Exception):
    """Faults found in a maker's folder: one line each."""

    def __init__(self, lines):
        super().__init__("\n".join(lines))
        self.lines = lines


def settings(out, environ):
    """The remembered settings, updated from the environment: a variable
    set to a path replaces what was kept, set and empty forgets it."""
    path = os.path.join(out, "remembered.json")
    try:
        with open(path, encoding="utf-8") as f:
            kept = json.load(f)
    except (OSError, ValueError):
        kept = {}
    kept = {k: v for k, v in kept.items() if k in REMEMBERED + SIGNING and isinstance(v, str)}
    for name in REMEMBERED:
        if name in environ:
            if environ[name]:
                kept[name] = os.path.abspath(environ[name])
            else:
                kept.pop(name, None)
    if any(name in environ for name in SIGNING):
        for name in SIGNING:
            kept.pop(name, None)
            value = environ.get(name)
            if value:
                # Files as absolute paths, so a later build from elsewhere
                # finds them; a token's pkcs11: URI and the server's address
                # as they are.
                is_file = name != "LAUNCHER_SIGN_TIMESTAMP_URL" and not value.startswith("pkcs11:")
                kept[name] = os.path.abspath(value) if is_file else value
    return kept


def disc_epoch(environ):
    """Every date on the medium: SOURCE_DATE_EPOCH, else the time of the
    sources' last commit."""
    given = environ.get("SOURCE_DATE_EPOCH")
    if given is not None:
        if not given.isascii() or not given.isdigit():
            raise ProductError("SOURCE_DATE_EPOCH", None, f"{q(given)} is not a number of seconds")
        epoch = int(given)
        if epoch > LAST_DISC_DATE.timestamp():
            raise ProductError("SOURCE_DATE_EPOCH", None, f"{epoch} is after {LAST_DISC_DATE:%Y-%m-%d}, "
                               "the last date a disc's ISO 9660 records can hold")
        return epoch
    try:
        top = subprocess.run(["git", "-C", SOURCES, "rev-parse", "--show-toplevel"], capture_output=True,
                             text=True, check=True).stdout.strip()
        if os.path.samefile(top, SOURCES):
            return int(subprocess.run(["git", "-C", SOURCES, "log", "-1", "--format=%ct"],
                                      capture_output=True, text=True, check=True).stdout)
    except (OSError, subprocess.CalledProcessError, ValueError):
        pass
    return UNPACKED_EPOCH


def signer(environ, product):
    """What signs the launcher, checked now, or None."""
    if not any(environ.get(name) for name in SIGNING):
        return None
    from medium_builder import signing
    try:
        found = signing.signer_from_environment(environ, product["windows"])
    except signing.SigningError as e:
        raise Refused([str(e)]) from None
    for line in signing.warnings(found, product["windows"]):
        print(line)
    return found


def prepare(given, parts, installer_file, installer_text, staging, secrets):
    """A folder checked and laid out beside its staging (a Stager, put in
    place only when everything else holds too)."""
    stager = installer_folder.prepare(given, parts, installer_file, installer_text, staging, secrets)
    if stager.out.problems:
        stager.discard()
        raise Refused(stager.out.problems)
    return stager


def prepare_installer(p, settings_now, secrets, out):
    """The maker's installer folder, checked and laid out as it was checked,
    to go into out/installer; without one (None) the sample installer stands
    in, which only a program's name can take."""
    given = settings_now.get("LAUNCHER_INSTALLER_DIR")
    if not given:
        if not p["installer_parts"][-1].lower().endswith(".exe"):
            raise not_a_program(p["ini"], "installer", p["installer"])
        return None
    if not os.path.isdir(given):
        raise ProductError("LAUNCHER_INSTALLER_DIR", None, f"{given}: no such folder")
    return prepare(given, p["installer_parts"][:-1], p["installer_parts"][-1], p["installer"],
                   os.path.join(out, "installer"), secrets)


def prepare_extra(p, settings_now, secrets, out):
    """The maker's files for the disc's root, checked and laid out as the
    installer folder is, to go into out/extra; none may take the place of
    the launcher, autorun.inf or the installer's top folder."""
    given = settings_now.get("LAUNCHER_EXTRA_DIR")
    if not given:
        return None
    if not os.path.isdir(given):
        raise ProductError("LAUNCHER_EXTRA_DIR", None, f"{given}: no such folder")
    taken = {names.fold(p["launcher_name"]): f"the launcher ({p['launcher_name']})",
             names.fold("autorun.inf"): "autorun.inf",
             names.fold(p["installer_parts"][0]): f"the installer's folder ({p['installer_parts'][0]})"}
    clashes = [f"{os.path.join(given, name)}: would take the place of {taken[names.fold(names.disc_name(name))]} "
               "at the disc's root (Windows compares names without case)"
               for name in sorted(os.listdir(given))
               if not names.left_out_reason(name) and names.fold(names.disc_name(name)) in taken]
    if clashes:
        raise Refused(clashes)
    return prepare(given, [], None, None, os.path.join(out, "extra"), secrets)


def not_a_program(ini, key, value):
    return ProductError(ini, key, f"{q(value)} is not a program, so the sample installer cannot "
                        "stand in for it: give your installer folder in LAUNCHER_INSTALLER_DIR")


def check_on_disc(p, staged, extra):
    """What the machines' installers and the buttons open must be on the
    medium: the launcher and autorun.inf at the root, the installer folder
    as staged under the installer's folders, the extra folder at the root.
    Without an installer folder the sample installer stands in under the
    installer's name, and under installer_x64's and installer_arm64's where
    the disc has nothing there. Returns where the sample goes (None with an
    installer folder)."""
    ini = p["ini"]
    disc = Disc()
    disc.add([p["launcher_name"]], "file")
    disc.add(["autorun.inf"], "file")
    if extra:
        disc.add_tree([], extra)
    sample = None if staged else [p["installer_parts"]]
    if staged:
        disc.add_tree(p["installer_parts"][:-1], staged)
    else:
        disc.add(p["installer_parts"], "file")
    for key in MACHINE_INSTALLERS:
        parts = p[f"{key}_parts"]
        if parts is None:
            continue
        on_the_way = any(disc.kind(parts[:i]) == "file" for i in range(1, len(parts)))
        if not staged and disc.kind(parts) is None and not on_the_way:
            if not parts[-1].lower().endswith(".exe"):
                raise not_a_program(ini, key, p[key])
            sample.append(parts)
            disc.add(parts, "file")
            continue
        why = disc.missing(parts)
        if why:
            raise ProductError(ini, key, f"{q(p[key])} is not on the disc: {why}")
        if disc.kind(parts) == "folder":
            raise ProductError(ini, key, f"{q(p[key])} is a folder on the disc; name the installer's file")
    for button in p["buttons"]:
        if button.get("target_parts"):
            why = disc.missing(button["target_parts"])
            if why:
                raise ProductError(ini, where(button["name"]) + "opens", f"{q(button['target'])} is not on "
                                   f"the disc: {why}")
    return sample


def compile_product(folder, out, language, environ):
    p, pictures = read_product(folder)
    p["folder"] = os.path.abspath(folder)
    p["ini"] = os.path.join(folder, "product.ini")  # as given, as every other line names it
    ini = os.path.join(folder, "product.ini")
    if language and language not in p["languages"]:
        raise ProductError(ini, "languages", f"LAUNCHER_LANGUAGE={language} is not one of them ("
                           + " ".join(p["languages"]) + ")")
    p["build_language"] = language or p["languages"][0]
    kept = settings(out, environ)
    epoch = disc_epoch(environ)
    signed_by = signer(dict(environ, **{name: kept.get(name, "") for name in SIGNING}), p)
    secrets = {}
    if signed_by:
        from medium_builder import signing
        secrets = signing.secret_files(signed_by)
    # Both folders are checked and laid out, and what the product names
    # found on the disc they make, before either staging is renewed: a
    # refusal anywhere leaves both as the last good build left them.
    folders = [prepare_installer(p, kept, secrets, out)]
    try:
        folders.append(prepare_extra(p, kept, secrets, out))
        installer, extra = folders
        sample = check_on_disc(p, installer and installer.tree, extra and extra.tree)
        medium = {"installer_dir": kept.get("LAUNCHER_INSTALLER_DIR"),
                  "installer_staged": installer and installer.staging, "sample_paths": sample,
                  "extra_dir": kept.get("LAUNCHER_EXTRA_DIR"), "extra_staged": extra and extra.staging,
                  "signer": signed_by, "epoch": epoch}
        files = generate(p, pictures, folder, p["build_language"], medium)
        files["remembered.json"] = json.dumps(kept, ensure_ascii=False, indent=1) + "\n"
        for stager in filter(None, folders):
            stager.put_in_place()
    finally:
        for stager in filter(None, folders):
            stager.discard()
    write_outputs(out, files)
    for stager in filter(None, folders):
        for path, reason in stager.out.left_out:
            print(f"left out {path} ({reason})")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--product", required=True, help="the product folder")
    parser.add_argument("--out", required=True, help="where the model and the generated files go")
    parser.add_argument("--language", help="the language built in, or with choose_language = "
                        "at_start the fallback; one of the product's languages")
    args = parser.parse_args()
    sys.stdout.reconfigure(errors="backslashreplace")
    sys.stderr.reconfigure(errors="backslashreplace")
    fresh = not os.path.lexists(args.out)
    try:
        compile_product(args.product, args.out, args.language, os.environ)
    except (ProductError, Refused) as e:
        for line in e.lines if isinstance(e, Refused) else [str(e)]:
            print(line, file=sys.stderr)
        if fresh:  # nothing is left behind by a product refused on its first build
            shutil.rmtree(args.out, ignore_errors=True)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
