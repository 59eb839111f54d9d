#!/usr/bin/python3
"""The installer folder as it goes onto the medium: what is taken, what is
left out and what is refused.

    installer_folder.py --installer-dir <folder> --installer 'Acme\\Setup.exe'
                        [--copy-to <medium tree>]

--installer is the path the launcher starts, from the medium's root, with
backslashes: its folders are where the installer folder goes, its last name
the file that must be there, a plain file with exactly that name.

Taken: plain files and folders, and links whose target lies inside the
installer folder, copied as what they point to. Left out, and listed on
standard output: version-control folders, the system's thumbnail and folder
files, and editor backups. Refused, one line each on standard error: links
to outside the folder or to nothing, anything not a plain file or folder,
and names Windows cannot open from a Joliet disc. The exit status is 1 when
anything was refused, and then nothing is copied.
"""
import argparse
import errno
import os
import shutil
import stat
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from product_compiler.names import (FILE_LIMIT, JOLIET_PATH, ROOT_NAMES, fold,  # noqa: E402
                                    joliet_path_bytes, left_out_reason, name_problems, shown)

class Walk:
    """Everything below the installer folder, checked: the entries to copy
    in order, what was left out and what is refused."""

    def __init__(self, installer_dir, folder_parts):
        self.given = installer_dir
        self.root = os.path.realpath(installer_dir)
        self.folder_parts = folder_parts
        self.entries = []   # (relative parts, source path, is folder)
        self.left_out = []  # (shown path, reason)
        self.problems = []  # lines
        self.refused = set()  # relative parts of what was refused
        self.visit(self.given, [], {self.root}, False)

    def path(self, parts):
        path = shown(os.path.join(self.given, *parts))
        return f'"{path}"' if path != path.strip() else path

    def refuse(self, parts, why):
        self.problems.append(f"{self.path(parts)}: {why}")
        self.refused.add(tuple(parts))

    def clutter_in(self, real):
        """The reason a path inside the folder is left out, if any part of it is."""
        rel = os.path.relpath(real, self.root)
        for part in rel.split(os.sep):
            if left_out_reason(part):
                return left_out_reason(part)
        return None

    def resolve(self, source, parts):
        """A link's target inside the installer folder, or None (refused)."""
        target = os.readlink(source)
        try:
            real = os.path.realpath(source, strict=True)
        except FileNotFoundError:
            self.refuse(parts, f"a link to {shown(target)}, which does not exist")
            return None
        except OSError as e:
            self.refuse(parts, f"a link to {shown(target)} that never ends in a file (a loop of links)"
                        if e.errno == errno.ELOOP else f"a link to {shown(target)} that cannot be followed "
                        f"({e.strerror})")
            return None
        if os.path.commonpath([real, self.root]) != self.root:
            self.refuse(parts, f"a link to {shown(real)}, outside the installer folder")
            return None
        if self.clutter_in(real):
            self.refuse(parts, f"a link to {shown(real)}, which is left out ({self.clutter_in(real)})")
            return None
        return real

    def visit(self, folder, parts, ancestors, path_too_long):
        try:
            names = sorted(os.listdir(folder))
        except OSError as e:
            self.refuse(parts, f"cannot be read ({e.strerror})")
            return
        seen = {}
        for name in names:
            here = parts + [name]
            source = os.path.join(folder, name)
            reason = left_out_reason(name)
            if reason:
                self.left_out.append((self.path(here), reason))
                continue
            for why in name_problems(name):
                self.refuse(here, why)
            other = seen.setdefault(fold(name), name)
            if other != name:
                self.refuse(here, f"differs only in case from {shown(other)} beside it; "
                                  "Windows reaches only one of them")
            too_long = joliet_path_bytes(self.folder_parts + here) > JOLIET_PATH
            if too_long and not path_too_long:
                self.refuse(here, f"its path on the disc takes {joliet_path_bytes(self.folder_parts + here)} "
                                  f"bytes in Joliet, which holds at most {JOLIET_PATH} "
                                  "(2 a character, 1 a folder level)")
            self.take(source, here, ancestors, path_too_long or too_long)

    def take(self, source, parts, ancestors, path_too_long):
        mode = os.lstat(source).st_mode
        real = os.path.realpath(source)
        if stat.S_ISLNK(mode):
            if self.resolve(source, parts) is None:
                return
            mode = os.stat(source).st_mode
        if stat.S_ISDIR(mode):
            if real in ancestors:
                self.refuse(parts, f"a link to {shown(real)}, a folder that holds the link itself")
                return
            self.entries.append((parts, source, True))
            self.visit(source, parts, ancestors | {real}, path_too_long)
        elif stat.S_ISREG(mode):
            size = os.stat(source).st_size
            if size >= FILE_LIMIT:
                self.refuse(parts, f"{size} bytes; an ISO 9660 disc holds files under 4 GiB")
            elif not os.access(source, os.R_OK):
                self.refuse(parts, "cannot be read (permission denied)")
            else:
                self.entries.append((parts, source, False))
        else:
            kind = ("a named pipe (FIFO)" if stat.S_ISFIFO(mode) else
                    "a socket" if stat.S_ISSOCK(mode) else
                    "a device" if stat.S_ISCHR(mode) or stat.S_ISBLK(mode) else "a special file")
            self.refuse(parts, f"{kind}, not a plain file or folder")

    def check_installer(self, file_name, installer):
        """The file the launcher starts: there, with exactly its name, a program."""
        top = {tuple(parts): (source, is_folder) for parts, source, is_folder in self.entries if len(parts) == 1}
        if (file_name,) not in top:
            if (file_name,) in self.refused:
                return  # refused above, for its own reason
            near = [parts[0] for parts in top if fold(parts[0]) == fold(file_name)]
            if near:
                self.problems.append(f"{self.path([])} holds {shown(near[0])}, but the launcher starts "
                                     f"{installer}: the name must match exactly")
            else:
                self.problems.append(f"{self.path([])} holds no {file_name}, which the launcher starts "
                                     f"({installer})")
            return
        source, is_folder = top[(file_name,)]
        if is_folder:
            self.refuse([file_name], f"a folder, but the launcher starts {installer} as a program")
        elif file_name.lower().endswith(".exe"):
            with open(source, "rb") as f:
                if f.read(2) != b"MZ":
                    self.refuse([file_name], "not a Windows program (it does not start with MZ), "
                                             f"but the launcher starts {installer}")


def installer_parts(installer):
    """The folders and file name of --installer, or a line saying what is wrong."""
    if "/" in installer:
        return None, f"--installer {shown(installer)}: separate the names with backslashes, as Windows does"
    parts = installer.split("\\")
    if len(parts) < 2 or "" in parts or "." in parts or ".." in parts:
        return None, (f"--installer {shown(installer)}: give the folder(s) and the file, "
                      "as in Acme\\Setup.exe, without empty names, . or ..")
    for part in parts:
        if name_problems(part):
            return None, f"--installer {shown(installer)}: {shown(part)}: {name_problems(part)[0]}"
        if left_out_reason(part):
            return None, f"--installer {shown(installer)}: {shown(part)} would be left out ({left_out_reason(part)})"
    if fold(parts[0]) in {fold(n) for n in ROOT_NAMES}:
        return None, f"--installer {shown(installer)}: {parts[0]} is taken at the medium's root"
    return parts, None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--installer-dir", required=True)
    parser.add_argument("--installer", required=True)
    parser.add_argument("--copy-to", help="the medium's tree; without it, only check")
    args = parser.parse_args()
    sys.stdout.reconfigure(errors="backslashreplace")
    sys.stderr.reconfigure(errors="backslashreplace")

    parts, wrong = installer_parts(args.installer)
    if wrong:
        print(f"make-medium: {wrong}", file=sys.stderr)
        return 1
    walk = Walk(args.installer_dir, parts[:-1])
    walk.check_installer(parts[-1], args.installer)
    for line in walk.problems:
        print(f"make-medium: {line}", file=sys.stderr)
    if walk.problems:
        return 1
    if not args.copy_to:
        for path, reason in walk.left_out:
            print(f"make-medium: left out {path} ({reason})")
        return 0

    destination = os.path.join(args.copy_to, *parts[:-1])
    os.makedirs(destination)
    for rel, source, is_folder in walk.entries:
        target = os.path.join(destination, *rel)
        if is_folder:
            os.mkdir(target)
        else:
            shutil.copyfile(source, target)  # through links: their targets' bytes
    return 0


if __name__ == "__main__":
    sys.exit(main())
