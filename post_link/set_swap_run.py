#!/usr/bin/python3
"""Marks a PE executable to be run from the swap file: sets
IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP and IMAGE_FILE_NET_RUN_FROM_SWAP in its
file header and brings the header's checksum up to date.

Windows NT 4.0 and later then copy the whole image to the swap file when
they load it, so a page the program needs later never has to come from a
disc that has been ejected or a network share that has gone. GNU ld has no
option for these two flags, so the build sets them right after linking.
"""
import struct
import sys

REMOVABLE_RUN_FROM_SWAP = 0x0400
NET_RUN_FROM_SWAP = 0x0800


def checksum(data, field):
    """The PE image checksum, with the checksum field itself counted as 0."""
    data = data[:field] + b"\0\0\0\0" + data[field + 4:]
    if len(data) % 2:
        data += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return ((total & 0xFFFF) + (total >> 16) + len(data)) & 0xFFFFFFFF


def main(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    (header,) = struct.unpack_from("<I", data, 0x3C)
    if data[header:header + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE image")
    characteristics = header + 4 + 18   # in IMAGE_FILE_HEADER
    checksum_field = header + 24 + 64   # in IMAGE_OPTIONAL_HEADER
    (flags,) = struct.unpack_from("<H", data, characteristics)
    struct.pack_into("<H", data, characteristics, flags | REMOVABLE_RUN_FROM_SWAP | NET_RUN_FROM_SWAP)
    # ld writes a checksum; one that no longer matched would be the only
    # stale field in the header.
    (old,) = struct.unpack_from("<I", data, checksum_field)
    if old:
        struct.pack_into("<I", data, checksum_field, checksum(bytes(data), checksum_field))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
