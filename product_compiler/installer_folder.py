#!/usr/bin/python3
"""The installer folder as it goes onto the medium: walked once, checked,
and copied as walked into a staging folder that the medium is made from.

    installer_folder.py --installer-dir <folder> --installer 'Acme\\Setup.exe'
                        [--staging <folder>] [--secret NAME=PATH ...]

--installer is the path the launcher starts, from the medium's root, with
backslashes: its folders are where the installer folder goes, its last name
the file that must be there, a Windows program with exactly that name.

Taken: plain files and folders, and links whose target lies inside the
installer folder, copied as what they point to, under the composed (NFC)
names the disc carries. Left out, and listed on standard output: version-
control folders, the system's thumbnail and folder files, and editor
backups. Refused, one line each on standard error: links to outside the
folder or to nothing, anything not a plain file or folder, names Windows
cannot open from a Joliet disc, folders nested too deep or too many
entries, and any file holding the bytes of a --secret (a signing key, a
PKCS#12 file, a passphrase file). The exit status is 1 when anything was
refused, and then the staging folder stays as it was. Without --staging,
only checks.
"""
import argparse
import ctypes
import errno
import json
import os
import shutil
import stat
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from product_compiler.names import (FILE_LIMIT, JOLIET_PATH, disc_name, fold,  # noqa: E402
                                    installer_problems, joliet_path_bytes, left_out_reason,
                                    name_problems, shown, ucs2_length)

# Folder levels below the installer folder: Joliet's 240-byte paths allow
# some 80 at most, an installer needs a handful; the bound keeps a folder
# nested hundreds deep to one line.
DEPTH_LIMIT = 32
# Files and folders, counting what links lead to: the ISO 9660 path table
# numbers at most 65,535 folders (the root and the installer's own folders
# among them), and no installer comes near that many files. The bound stops
# a folder whose links fan out (each level's links lead to the next twice)
# after a second, not after minutes and tens of thousands of copies.
ENTRY_LIMIT = 65000
OPEN_FILE = os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC
OPEN_FOLDER = os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW | os.O_CLOEXEC


class Staged:
    """What stage() found: problems (lines "<path>: <why>"), left_out
    ((shown path, reason)), and the files and bytes on the disc (each
    place a file appears counts)."""

    def __init__(self):
        self.problems, self.left_out, self.files, self.bytes = [], [], 0, 0


class Frame:
    """A folder being walked: its open descriptor, its names still to come,
    its path in the maker's folder and on the disc, its real path and the
    bytes its path takes in Joliet."""

    def __init__(self, fd, names, source, disc, real, ancestors, length):
        self.fd, self.names, self.source, self.disc = fd, iter(names), source, disc
        self.real, self.ancestors, self.length, self.seen = real, ancestors, length, {}


def kind_of(mode):
    return ("a named pipe (FIFO)" if stat.S_ISFIFO(mode) else "a socket" if stat.S_ISSOCK(mode) else
            "a device" if stat.S_ISCHR(mode) or stat.S_ISBLK(mode) else "a special file")


def fd_path(fd):
    return os.readlink(f"/proc/self/fd/{fd}")


def record_path(staging):
    """Where the last staging records its sources, for the next one."""
    return staging + ".record.json"


def exchange(a, b):
    """Swaps two paths in one step (renameat2 RENAME_EXCHANGE); two renames
    where the kernel or file system cannot."""
    try:
        renameat2 = ctypes.CDLL(None, use_errno=True).renameat2
        if renameat2(-100, os.fsencode(a), -100, os.fsencode(b), 2) == 0:
            return
    except AttributeError:
        pass
    os.rename(b, a + ".previous")
    os.rename(a, b)
    os.rename(a + ".previous", a)


class Stager:
    def __init__(self, source_dir, folder_parts, staging, secrets):
        self.given = source_dir
        self.root = os.path.realpath(source_dir)
        self.folder_parts = folder_parts
        self.staging = staging
        self.work = None      # beside the staging: pool/ (each file's bytes once), then tree/
        self.tree = None      # the staging as laid out, until it is put in place
        self.layout = []      # (disc parts, pool file or None for a folder), in walking order
        self.out = Staged()
        self.refused = set()  # source parts of what was refused
        self.top = {}         # disc name directly in the folder: (source name, is folder, first bytes)
        self.entries = 0
        self.stopped = False
        self.placed = {}      # (dev, ino) of a source file: its first place in the staging
        self.record = {}
        self.previous = {}
        self.secrets = []     # (variable, path, stat, bytes or None until needed)
        self.inside_secrets = set()
        self.name_rules = {}  # a name: the rules it breaks
        for name, path in sorted(secrets.items()):
            try:
                info = os.stat(path)
            except OSError as e:
                self.out.problems.append(f"{name}: cannot read {shown(path)} ({e.strerror})")
                continue
            if not stat.S_ISREG(info.st_mode):
                self.out.problems.append(f"{name}: {shown(path)} is not a file")
                continue
            real = os.path.realpath(path)
            if self.inside(real) and not self.clutter_in(real):
                self.out.problems.append(f"{name}: {shown(path)} lies inside the installer folder, "
                                         "which goes onto the disc")
                self.inside_secrets.add(real)
            if info.st_size:
                self.secrets.append([name, path, info, None])

    # --- lines ---------------------------------------------------------------
    def path(self, parts):
        path = shown(os.path.join(self.given, *parts))
        return f'"{path}"' if path != path.strip() else path

    def refuse(self, parts, why):
        self.out.problems.append(f"{self.path(parts)}: {why}")
        self.refused.add(tuple(parts))

    def copying(self):
        return self.work is not None and not self.out.problems

    def inside(self, real):
        return real == self.root or real.startswith(self.root.rstrip("/") + "/")

    def clutter_in(self, real):
        """The reason a path inside the folder is left out, if any part of it is."""
        for part in real[len(self.root.rstrip("/")) + 1:].split("/"):
            if left_out_reason(disc_name(part)):
                return left_out_reason(disc_name(part))
        return None

    # --- the walk ------------------------------------------------------------
    def walk(self):
        try:
            fd = os.open(self.given, os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC)
        except OSError as e:
            self.out.problems.append(f"{self.path([])}: cannot be read as a folder ({e.strerror})")
            return
        stack = [Frame(fd, [], [], [], self.root, (self.root,), joliet_path_bytes(self.folder_parts))]
        try:
            stack[0].names = iter(self.list(fd, []) or [])
            while stack:
                frame = stack[-1]
                name = next(frame.names, None)
                if name is None:
                    os.close(stack.pop().fd)
                    continue
                self.entries += 1
                if self.entries > ENTRY_LIMIT:
                    self.out.problems.append(
                        f"{self.path([])}: more than {ENTRY_LIMIT} files and folders, counting what links "
                        f"lead to; a disc takes at most {ENTRY_LIMIT} (the ISO 9660 path table numbers "
                        "at most 65535 folders)")
                    self.stopped = True
                    return
                child = self.visit(frame, name)
                if child:
                    stack.append(child)
        finally:
            for frame in stack:
                os.close(frame.fd)

    def list(self, fd, source):
        try:
            return sorted(os.listdir(fd))
        except OSError as e:
            self.refuse(source, f"cannot be read ({e.strerror})")
            return None

    def visit(self, frame, name):
        source, disc = frame.source + [name], frame.disc + [disc_name(name)]
        reason = left_out_reason(disc[-1])
        if reason:
            self.out.left_out.append((self.path(source), reason))
            return None
        if disc[-1] not in self.name_rules:
            self.name_rules[disc[-1]] = name_problems(disc[-1])
        for why in self.name_rules[disc[-1]]:
            self.refuse(source, why)
        other = frame.seen.setdefault(fold(disc[-1]), name)
        if other != name:
            self.refuse(source, f"is the same name as {shown(other)} beside it once composed (NFC), as the "
                        "disc carries them; Windows reaches only one of them" if disc_name(other) == disc[-1]
                        else f"differs only in case from {shown(other)} beside it; Windows reaches only one "
                        "of them")
        length = frame.length + 1 + 2 * ucs2_length(disc[-1])  # as joliet_path_bytes counts
        if length > JOLIET_PATH:
            self.refuse(source, f"its path on the disc takes {length} bytes in Joliet, which holds at most "
                        f"{JOLIET_PATH} (2 a character, 1 a folder level)")
        return self.take(frame, name, source, disc, length)

    def resolve(self, frame, name, source):
        """A link's target inside the installer folder, or None (refused)."""
        def target():
            return shown(os.readlink(name, dir_fd=frame.fd))
        try:
            # The kernel follows the whole chain at once; the descriptor (not
            # opened for reading: a pipe does not block) tells where it ends.
            path_fd = os.open(name, os.O_PATH | os.O_CLOEXEC, dir_fd=frame.fd)
        except FileNotFoundError:
            self.refuse(source, f"a link to {target()}, which does not exist")
            return None
        except OSError as e:
            self.refuse(source, f"a link to {target()} that never ends in a file (a loop of links)"
                        if e.errno == errno.ELOOP else f"a link to {target()} that cannot be followed "
                        f"({e.strerror})")
            return None
        try:
            real = fd_path(path_fd)
        finally:
            os.close(path_fd)
        if not self.inside(real):
            self.refuse(source, f"a link to {shown(real)}, outside the installer folder")
            return None
        if self.clutter_in(real):
            self.refuse(source, f"a link to {shown(real)}, which is left out ({self.clutter_in(real)})")
            return None
        return real

    def take(self, frame, name, source, disc, length):
        try:
            info = os.stat(name, dir_fd=frame.fd, follow_symlinks=False)
        except OSError as e:
            self.refuse(source, f"cannot be read ({e.strerror})")
            return None
        # Opened as a name in its folder, or a link's target by its real path;
        # never through a link, so what is checked is what is read.
        where, real = (name, frame.fd), os.path.join(frame.real, name)
        if stat.S_ISLNK(info.st_mode):
            real = self.resolve(frame, name, source)
            if real is None:
                return None
            where = (real, None)
            try:
                info = os.stat(real)
            except OSError as e:
                self.refuse(source, f"cannot be read ({e.strerror})")
                return None
        if stat.S_ISDIR(info.st_mode):
            if real in frame.ancestors:
                self.refuse(source, f"a link to {shown(real)}, a folder that holds the link itself")
                return None
            if len(source) > DEPTH_LIMIT:
                self.refuse(source, f"a folder {len(source)} levels below the installer folder; the disc "
                            f"takes at most {DEPTH_LIMIT}, counting folders links lead to")
                return None
            if length > JOLIET_PATH:
                return None  # nothing below it fits either
            return self.folder(where, real, source, disc, frame, length)
        if stat.S_ISREG(info.st_mode):
            self.file(where, real, source, disc)
        else:
            self.refuse(source, f"{kind_of(info.st_mode)}, not a plain file or folder")
        return None

    def open(self, where, flags, source):
        try:
            return os.open(where[0], flags, dir_fd=where[1])
        except OSError as e:
            self.refuse(source, "became a link while it was read" if e.errno == errno.ELOOP
                        else f"cannot be read ({e.strerror[:1].lower()}{e.strerror[1:]})")
            return None

    def moved(self, fd, real, source):
        """Whether the descriptor is not what was checked (swapped meanwhile)."""
        now = fd_path(fd)
        if now != real:
            self.refuse(source, f"changed while it was read (it is now {shown(now)})")
            return True
        return False

    def folder(self, where, real, source, disc, frame, length):
        fd = self.open(where, OPEN_FOLDER, source)
        if fd is None:
            return None
        if self.moved(fd, real, source):
            os.close(fd)
            return None
        names = self.list(fd, source)
        if names is None:
            os.close(fd)
            return None
        if len(disc) == 1:
            self.top[disc[0]] = (source[0], True, b"")
        if self.copying():
            self.layout.append((disc, None))
        return Frame(fd, names, source, disc, real, frame.ancestors + (real,), length)

    def file(self, where, real, source, disc):
        fd = self.open(where, OPEN_FILE, source)
        if fd is None:
            return
        try:
            info = os.fstat(fd)
            if not stat.S_ISREG(info.st_mode):
                self.refuse(source, f"{kind_of(info.st_mode)}, not a plain file or folder")
                return
            if self.moved(fd, real, source) or real in self.inside_secrets:
                return  # a secret by its own path: said once, at the start
            if info.st_size >= FILE_LIMIT:
                self.refuse(source, f"{info.st_size} bytes; an ISO 9660 disc holds files under 4 GiB")
                return
            secret = self.secret_in(fd, info)
            if secret:
                self.refuse(source, f"holds the bytes of {secret[0]} ({shown(secret[1])}), which must not "
                            "go onto the disc")
                return
            if len(disc) == 1:
                self.top[disc[0]] = (source[0], False, os.pread(fd, 2, 0))
            self.out.files += 1
            self.out.bytes += info.st_size
            if self.copying():
                self.place(fd, info, disc)
        finally:
            os.close(fd)

    def secret_in(self, fd, info):
        """The secret whose bytes the open file holds, if any: sizes first,
        bytes only on equal size."""
        for secret in self.secrets:
            name, path, known, data = secret
            if info.st_size != known.st_size:
                continue
            if (info.st_dev, info.st_ino) == (known.st_dev, known.st_ino):
                return secret
            if data is None:
                with open(path, "rb") as f:
                    data = secret[3] = f.read()
            if os.pread(fd, info.st_size + 1, 0) == data:
                return secret
        return None

    # --- the staging ---------------------------------------------------------
    # Each file's bytes are copied from its checked descriptor into a pool as
    # the walk meets it; only when the whole walk is clean is the tree laid
    # out, of folders and hard links into the pool, so a folder refused late
    # (too many entries) costs no more than the files read before.
    def place(self, fd, info, disc):
        """The file into the pool: once for each source file (the image
        stores the bytes of hard-linked places once), hard-linked from the
        last staging where its source is unchanged, else copied from the
        open descriptor."""
        key = f"{info.st_dev}:{info.st_ino}:{info.st_size}:{info.st_mtime_ns}:{info.st_ctime_ns}"
        pooled = self.placed.get((info.st_dev, info.st_ino))
        if pooled is None:
            pooled = os.path.join(self.work, "pool", str(len(self.placed)))
            last = self.previous.get(key)
            if not (last and self.unchanged(last) and self.link(os.path.join(self.staging, *last["path"]), pooled)):
                out = os.open(pooled, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC, 0o644)
                try:
                    offset = 0
                    while True:
                        sent = os.sendfile(out, fd, offset, 1 << 24)
                        if not sent:
                            break
                        offset += sent
                finally:
                    os.close(out)
            self.placed[(info.st_dev, info.st_ino)] = pooled
            staged = os.lstat(pooled)
            self.record[key] = {"path": disc, "ino": staged.st_ino, "size": staged.st_size,
                                "mtime_ns": staged.st_mtime_ns}
        self.layout.append((disc, pooled))

    def unchanged(self, last):
        try:
            staged = os.lstat(os.path.join(self.staging, *last["path"]))
        except (OSError, TypeError):
            return False
        return stat.S_ISREG(staged.st_mode) and [staged.st_ino, staged.st_size, staged.st_mtime_ns] == \
            [last.get("ino"), last.get("size"), last.get("mtime_ns")]

    @staticmethod
    def link(existing, target):
        try:
            os.link(existing, target)
            return True
        except OSError:
            return False

    def begin(self):
        staging = self.staging
        if os.path.commonpath([os.path.realpath(staging), self.root]) == self.root:
            self.out.problems.append(f"{shown(staging)}: the staging folder lies inside the installer "
                                     f"folder {self.path([])}")
            return
        if os.path.lexists(staging) and not os.path.isdir(staging):
            self.out.problems.append(f"{shown(staging)}: the staging folder is not a folder")
            return
        parent = os.path.dirname(os.path.abspath(staging))
        os.makedirs(parent, exist_ok=True)
        try:
            with open(record_path(staging), encoding="utf-8") as f:
                self.previous = json.load(f).get("files", {})
        except (OSError, ValueError, AttributeError):
            self.previous = {}
        if not isinstance(self.previous, dict):
            self.previous = {}
        self.work = tempfile.mkdtemp(dir=parent, prefix=f".{os.path.basename(staging)}.new-")
        os.mkdir(os.path.join(self.work, "pool"))

    def lay_out(self):
        """The tree laid out from the pool, as the staging will hold it."""
        self.tree = os.path.join(self.work, "tree")
        os.mkdir(self.tree, 0o755)
        for disc, pooled in self.layout:
            target = os.path.join(self.tree, *disc)
            if pooled is None:
                os.mkdir(target, 0o755)
            elif not self.link(pooled, target):
                shutil.copyfile(pooled, target)  # past the file system's links to one file

    def put_in_place(self):
        """The laid-out tree in place of the old staging in one step, then
        its record."""
        if os.path.isdir(self.staging):
            exchange(self.tree, self.staging)  # the old staging goes with the work folder
        else:
            os.rename(self.tree, self.staging)
        self.tree = None
        record = os.path.join(self.work, "record.json")
        with open(record, "w", encoding="utf-8") as f:
            json.dump({"files": self.record}, f)
        os.replace(record, record_path(self.staging))

    def discard(self):
        if self.work is not None:
            shutil.rmtree(self.work)
            self.work = self.tree = None

    def check_installer(self, file_name, installer):
        """The file the launcher starts: there, with exactly its name (or its
        composed form), a program."""
        want = disc_name(file_name)
        if want not in self.top:
            if any(len(parts) == 1 and disc_name(parts[0]) == want for parts in self.refused):
                return  # refused above, for its own reason
            near = [source for name, (source, _, _) in sorted(self.top.items()) if fold(name) == fold(want)]
            if near:
                self.out.problems.append(f"{self.path([])} holds {shown(near[0])}, but the launcher starts "
                                         f"{installer}: the name must match exactly")
            else:
                self.out.problems.append(f"{self.path([])} holds no {file_name}, which the launcher starts "
                                         f"({installer})")
            return
        source, is_folder, head = self.top[want]
        if is_folder:
            self.refuse([source], f"a folder, but the launcher starts {installer} as a program")
        elif want.lower().endswith(".exe") and head != b"MZ":
            self.refuse([source], "not a Windows program (it does not start with MZ), "
                                  f"but the launcher starts {installer}")


def prepare(source_dir, disc_folder_parts, installer_file, installer_text, staging, secrets):
    """Walks the installer folder once and, when nothing in it is refused,
    lays out exactly what was checked (the folder's content, under the names
    the disc carries) beside staging, as the Stager's tree: put_in_place()
    then puts it in place of what staging held, in one step, and discard()
    removes what is left, whatever happened. disc_folder_parts: the folders
    it goes into on the disc (for Joliet's path length); installer_file: the
    name the launcher starts in it (None for a folder that holds no
    installer, such as the extra files); secrets: {variable: path} of files
    whose bytes may not go onto the disc. staging None: only checks. The
    Stager's out holds the problems and what was left out."""
    stager = Stager(source_dir, list(disc_folder_parts), staging, secrets)
    try:
        if staging is not None and not stager.out.problems:
            stager.begin()
        stager.walk()
        if not stager.stopped and installer_file:
            stager.check_installer(installer_file, installer_text)
        if stager.work is not None and not stager.out.problems:
            stager.lay_out()
    except BaseException:
        stager.discard()
        raise
    return stager


def stage(source_dir, disc_folder_parts, installer_file, installer_text, staging, secrets):
    """prepare, then put in place at once; on any problem staging is left
    as it was."""
    stager = prepare(source_dir, disc_folder_parts, installer_file, installer_text, staging, secrets)
    try:
        if stager.tree is not None:
            stager.put_in_place()
    finally:
        stager.discard()
    return stager.out


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--installer-dir", required=True)
    parser.add_argument("--installer", required=True)
    parser.add_argument("--staging", help="the folder to stage into; without it, only check")
    parser.add_argument("--secret", action="append", default=[], metavar="NAME=PATH",
                        help="a file whose bytes may not go onto the disc (repeatable)")
    args = parser.parse_args()
    sys.stdout.reconfigure(errors="backslashreplace")
    sys.stderr.reconfigure(errors="backslashreplace")

    # The product compiler hands the path on with backslashes only.
    if "/" in args.installer:
        print(f"--installer {shown(args.installer)}: separate the names with backslashes, as Windows does",
              file=sys.stderr)
        return 1
    parts, wrong = installer_problems(args.installer)
    if wrong:
        print(f"--installer: {wrong}", file=sys.stderr)
        return 1
    secrets = {}
    for given in args.secret:
        name, _, path = given.partition("=")
        if not name or not path:
            print(f"--secret {shown(given)}: give NAME=PATH", file=sys.stderr)
            return 1
        secrets[name] = path
    staged = stage(args.installer_dir, parts[:-1], parts[-1], args.installer, args.staging, secrets)
    for line in staged.problems:
        print(line, file=sys.stderr)
    if staged.problems:
        return 1
    for path, reason in staged.left_out:
        print(f"left out {path} ({reason})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
