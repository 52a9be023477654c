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


def sections(pe):
    at = struct.unpack_from("<I", pe, 0x3C)[0]
    if pe[at:at + 4] != b"PE\0\0":
        raise SystemExit("not a PE file")
    count = struct.unpack_from("<H", pe, at + 6)[0]
    optional = struct.unpack_from("<H", pe, at + 20)[0]
    first = at + 24 + optional
    for i in range(count):
        s = first + 40 * i
        name = pe[s:s + 8].rstrip(b"\0").decode()
        vsize, va, rawsize, raw = struct.unpack_from("<IIII", pe, s + 8)
        yield name, va, raw, rawsize


def resources(path):
    """(type, name, language, bytes) of every resource."""
    pe = open(path, "rb").read()
    rsrc = [s for s in sections(pe) if s[0] == ".rsrc"]
    if not rsrc:
        return []
    _, va, raw, size = rsrc[0]
    base = pe[raw:raw + size]

    def entries(off):
        named, ids = struct.unpack_from("<HH", base, off + 12)
        for i in range(named + ids):
            ident, target = struct.unpack_from("<II", base, off + 16 + 8 * i)
            yield ident, target

    out = []
    for t, t_off in entries(0):
        for n, n_off in entries(t_off & 0x7FFFFFFF):
            for lang, d_off in entries(n_off & 0x7FFFFFFF):
                rva, length = struct.unpack_from("<II", base, d_off)
                out.append((t, n, lang, base[rva - va:rva - va + length]))
    return out


def find(path, rtype, name=None):
    for t, n, lang, data in resources(path):
        if t == rtype and (name is None or n == name):
            return data
    raise SystemExit(f"no resource of type {rtype}")


def version_strings(data):
    """Key/value pairs of the StringFileInfo of a VS_VERSIONINFO."""
    values = {}

    def node(at, end):
        length, value_len, kind = struct.unpack_from("<HHH", data, at)
        key_end = at + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[at + 6:key_end].decode("utf-16-le")
        p = (key_end + 2 + 3) & ~3
        if kind == 1 and value_len:
            values[key] = data[p:p + 2 * value_len].decode("utf-16-le").rstrip("\0")
            p += 2 * value_len
        else:
            p += value_len
        p = (p + 3) & ~3
        while p < at + length:
            p = (node(p, at + length) + 3) & ~3
        return at + length

    node(0, len(data))
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
        for t in sorted({r[0] for r in resources(path)}):
            print(t if t < 0x80000000 else "named")
    elif what == "manifest":
        text = find(path, 24, 1)
        root = ET.fromstring(text)
        levels = [e.get("level") for e in root.iter() if e.tag.endswith("requestedExecutionLevel")]
        if levels != ["asInvoker"]:
            raise SystemExit(f"execution level {levels}")
        print(text.decode("utf-8"))
    elif what == "version":
        print(version_strings(find(path, 16)).get("ProductVersion", ""))
    elif what == "lnk":
        target, workdir = lnk(path)
        print(target)
        print(workdir)
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
