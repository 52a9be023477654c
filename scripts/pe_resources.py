#!/usr/bin/env python3
"""Reads what Windows reads of a program or a shortcut, for the test run.

  pe_resources.py types PROGRAM.exe     the resource types at the root, one a line
  pe_resources.py manifest PROGRAM.exe  checks that RT_MANIFEST 1 is well-formed XML
                                        asking for asInvoker; prints it
  pe_resources.py version PROGRAM.exe   ProductVersion of the version resource
  pe_resources.py lnk FILE.lnk          the shortcut's target and working folder
"""
import struct
import sys
import xml.etree.ElementTree as ET

import pefile  # Debian: python3-pefile


def resources(path):
    """(type, name, language, bytes) of every resource; a named type or
    name is given as None."""
    pe = pefile.PE(path)
    out = []
    for t in getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None) and pe.DIRECTORY_ENTRY_RESOURCE.entries or []:
        for n in t.directory.entries:
            for lang in n.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                out.append((t.id, n.id, lang.id, data))
    return out


def find(path, rtype, name=None):
    for t, n, lang, data in resources(path):
        if t == rtype and (name is None or n == name):
            return data
    raise SystemExit(f"no resource of type {rtype}")


def version_strings(path):
    """Key/value pairs of the version resource's StringFileInfo."""
    values = {}
    for info in getattr(pefile.PE(path), "FileInfo", None) or []:
        for block in info:
            for table in getattr(block, "StringTable", []):
                values.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return values


def lnk(path):
    d = open(path, "rb").read()
    flags = struct.unpack_from("<I", d, 0x14)[0]
    at = 0x4C
    target = ""
    if flags & 0x1:  # HasLinkTargetIDList
        at += 2 + struct.unpack_from("<H", d, at)[0]
    if flags & 0x2:  # HasLinkInfo: the local base path
        info_size, header = struct.unpack_from("<II", d, at)[:2]
        base_off = struct.unpack_from("<I", d, at + 16)[0]
        end = d.index(b"\0", at + base_off)
        target = d[at + base_off:end].decode("latin-1")
        if header >= 0x24:
            uoff = struct.unpack_from("<I", d, at + 28)[0]
            e = at + uoff
            while d[e:e + 2] != b"\0\0":
                e += 2
            target = d[at + uoff:e].decode("utf-16-le")
        at += info_size
    unicode = flags & 0x80
    strings = {}
    for bit, key in ((0x4, "name"), (0x8, "relative"), (0x10, "workdir"), (0x20, "args"), (0x40, "icon")):
        if flags & bit:
            n = struct.unpack_from("<H", d, at)[0]
            w = 2 if unicode else 1
            raw = d[at + 2:at + 2 + n * w]
            strings[key] = raw.decode("utf-16-le" if unicode else "latin-1")
            at += 2 + n * w
    return target, strings.get("workdir", "")


def main():
    what, path = sys.argv[1], sys.argv[2]
    if what == "types":
        types = {r[0] for r in resources(path)}
        for t in sorted(t for t in types if t is not None):
            print(t)
        if None in types:
            print("named")
    elif what == "manifest":
        text = find(path, 24, 1)
        root = ET.fromstring(text)
        levels = [e.get("level") for e in root.iter() if e.tag.endswith("requestedExecutionLevel")]
        if levels != ["asInvoker"]:
            raise SystemExit(f"execution level {levels}")
        print(text.decode("utf-8"))
    elif what == "version":
        print(version_strings(path).get("ProductVersion", ""))
    elif what == "lnk":
        target, workdir = lnk(path)
        print(target)
        print(workdir)
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
