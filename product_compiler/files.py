"""Reading the files of a product folder: each one a regular file of a
bounded size, or one line saying why not. Nothing here waits on a pipe or
opens a device."""
import os
import stat

from product_compiler.errors import ProductError, q

MB = 1024 * 1024
INI_LIMIT = 1 * MB      # product.ini and texts/<language>.ini
PICTURE_LIMIT = 16 * MB  # artwork, setup_icon, exit_icon


def kind(mode):
    """What a file that is not a regular one is, in a maker's words."""
    if stat.S_ISDIR(mode):
        return "a folder"
    if stat.S_ISFIFO(mode):
        return "a pipe (FIFO)"
    if stat.S_ISSOCK(mode):
        return "a socket"
    if stat.S_ISCHR(mode) or stat.S_ISBLK(mode):
        return "a device"
    return "a special file"


def read_input(path, key, limit):
    """The bytes of the file at path (a link is followed). Refused with one
    line: missing, a folder, a pipe, a device or socket, unreadable, or
    larger than limit bytes."""
    try:
        # Looked at before it is opened: opening a device can do things.
        mode = os.stat(path).st_mode
    except FileNotFoundError:
        raise ProductError(path, key, "no such file")
    except NotADirectoryError:
        raise ProductError(path, key, "no such file (a folder on its way is a file)")
    except OSError as e:
        raise ProductError(path, key, f"cannot be read ({e.strerror})")
    if not stat.S_ISREG(mode):
        raise ProductError(path, key, f"{kind(mode)}, not a file")
    try:
        # O_NONBLOCK: should it have become a pipe since, opening it does
        # not wait for a writer, and fstat below refuses it.
        fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK | getattr(os, "O_CLOEXEC", 0))
    except FileNotFoundError:
        raise ProductError(path, key, "no such file")
    except PermissionError:
        raise ProductError(path, key, "cannot be read (permission denied)")
    except OSError as e:
        raise ProductError(path, key, f"cannot be read ({e.strerror})")
    try:
        st = os.fstat(fd)
        if not stat.S_ISREG(st.st_mode):
            raise ProductError(path, key, f"{kind(st.st_mode)}, not a file")
        too_large = ProductError(path, key, f"{st.st_size:,} bytes; such a file may have at most "
                                 f"{limit // MB} MB")
        if st.st_size > limit:
            raise too_large
        chunks, size = [], 0
        while True:
            chunk = os.read(fd, min(limit + 1 - size, MB))
            if not chunk:
                break
            chunks.append(chunk)
            size += len(chunk)
            if size > limit:  # it grew while read
                raise too_large
    except OSError as e:
        raise ProductError(path, key, f"cannot be read ({e.strerror})")
    finally:
        os.close(fd)
    return b"".join(chunks)


def picture_path(folder, value, key):
    """Where a picture named in product.ini is: inside the product folder,
    relative to it. A link there is followed like any file."""
    ini = os.path.join(folder, "product.ini")
    if os.path.isabs(value):
        raise ProductError(ini, key, f"{q(value)} is absolute; name a picture inside the product "
                           "folder, relative to it, such as disc.bmp")
    if os.path.normpath(value).split(os.sep)[0] == os.pardir:
        raise ProductError(ini, key, f"{q(value)} climbs out of the product folder; the pictures "
                           "live inside it")
    return os.path.join(folder, value)
