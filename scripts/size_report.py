#!/usr/bin/python3
"""Prints where the bytes of launcher.exe go: the whole file, each section,
the resources by kind, and the size outside the resources.

    /usr/bin/python3 scripts/size_report.py build/win32/launcher.exe
"""
import os
import sys

import pefile

KINDS = {2: "bitmap", 3: "icon image", 6: "string block", 14: "icon group", 16: "version record"}


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "build/win32/launcher.exe"
    pe = pefile.PE(path)
    total = os.path.getsize(path)
    print(f"{path}: {total:,} bytes")
    rsrc_size = 0
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode()
        print(f"  {name:8} {section.SizeOfRawData:>9,} in the file, {section.Misc_VirtualSize:>9,} used")
        if name == ".rsrc":
            rsrc_size = section.SizeOfRawData
    print(f"  headers  {pe.OPTIONAL_HEADER.SizeOfHeaders:>9,}")
    resources = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    for kind in resources:
        size = sum(lang.data.struct.Size for rid in kind.directory.entries
                   for lang in rid.directory.entries)
        print(f"  resource {KINDS.get(kind.id, kind.id)}: {size:,} bytes")
    print(f"outside the resources: {total - rsrc_size:,} bytes")


if __name__ == "__main__":
    main()
