#!/usr/bin/env python3
"""Checks of the release folder that tools/release writes.

    check_release.py inspect OUTDIR [TEXT...]
        Each executable is what its name says (Purrbox.exe PE32 x86,
        Purrbox-x64.exe PE32+ x86-64), stripped (no symbol table, no debug
        section or debug directory), carries no time stamp (COFF header,
        resource directories) and a correct PE checksum, and holds none of
        the TEXTs (build folders) in 8- or 16-bit characters.
    check_release.py compare OUTDIR OUTDIR
        Both folders hold the same bytes; a difference is shown by offset,
        with the header field or section it falls in.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "static"))
from check_executable import Checks, PeFile  # noqa: E402

RELEASE = {"Purrbox.exe": (0x014C, 0x10B), "Purrbox-x64.exe": (0x8664, 0x20B)}
FILES = list(RELEASE) + ["SHA256SUMS", "BUILDINFO"]
DEBUG_DIRECTORY = 6


class Layout:
    """Where the fields of a PE file are that a build could vary."""

    def __init__(self, data):
        self.data = data
        self.pe = PeFile(data)
        (self.header,) = struct.unpack_from("<I", data, 0x3C)
        self.coff = self.header + 4
        self.optional = self.header + 24
        (count,) = struct.unpack_from("<H", data, self.coff + 2)
        (optional_size,) = struct.unpack_from("<H", data, self.coff + 16)
        directories = self.optional + (96 if self.pe.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = self.optional + optional_size
        self.sections = []
        for i in range(count):
            name, _, _, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), raw_offset, raw_size))

    def symbol_table(self):
        return struct.unpack_from("<II", self.data, self.coff + 8)

    def time_stamp(self):
        return struct.unpack_from("<I", self.data, self.coff + 4)[0]

    def checksum_offset(self):
        return self.optional + 64

    def stored_checksum(self):
        return struct.unpack_from("<I", self.data, self.checksum_offset())[0]

    def computed_checksum(self):
        """The image checksum as Windows' CheckSumMappedFile computes it."""
        skip = self.checksum_offset()
        data = self.data[:skip] + b"\0\0\0\0" + self.data[skip + 4:]
        if len(data) % 2:
            data += b"\0"
        total = 0
        for (word,) in struct.iter_unpack("<H", data):
            total += word
            total = (total & 0xFFFF) + (total >> 16)
        return ((total & 0xFFFF) + (total >> 16)) + len(self.data)

    def resource_time_stamps(self):
        """The TimeDateStamp of every directory in the resource tree."""
        if not self.pe.resource_rva:
            return []
        base = self.pe.offset(self.pe.resource_rva)
        stamps, pending = [], [0]
        while pending:
            directory = pending.pop()
            stamps.append(struct.unpack_from("<I", self.data, base + directory + 4)[0])
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                _, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if target & 0x80000000:
                    pending.append(target & 0x7FFFFFFF)
        return stamps

    def place(self, offset):
        """The header field or section an offset falls in."""
        if self.coff + 4 <= offset < self.coff + 8:
            return "COFF header TimeDateStamp"
        if self.checksum_offset() <= offset < self.checksum_offset() + 4:
            return "optional header CheckSum"
        for name, raw_offset, raw_size in self.sections:
            if raw_offset <= offset < raw_offset + raw_size:
                return f"section {name} +{offset - raw_offset:#x}"
        return "headers" if offset < self.sections[0][1] else "after the sections"


def inspect(folder, texts):
    checks = Checks()
    for name, (machine, magic) in RELEASE.items():
        layout = Layout(open(os.path.join(folder, name), "rb").read())
        checks.expect(f"{name}: machine", hex(layout.pe.machine), hex(machine))
        checks.expect(f"{name}: optional header (0x10b PE32, 0x20b PE32+)", hex(layout.pe.magic), hex(magic))
        checks.expect(f"{name}: symbol table (offset, count)", layout.symbol_table(), (0, 0))
        # Long section names ("/4" for .debug_info) live in the symbol table's strings.
        checks.expect(f"{name}: debug sections", [s[0] for s in layout.sections
                                                   if s[0].startswith((".debug", "/"))], [])
        checks.expect(f"{name}: debug directory (rva, size)", layout.directories[DEBUG_DIRECTORY], (0, 0))
        checks.expect(f"{name}: COFF header TimeDateStamp", layout.time_stamp(), 0)
        checks.expect(f"{name}: resource directory TimeDateStamps", set(layout.resource_time_stamps()), {0})
        checks.expect(f"{name}: PE checksum", hex(layout.stored_checksum()), hex(layout.computed_checksum()))
        for text in texts:
            for encoding in ("utf-8", "utf-16-le"):
                checks.expect(f"{name}: holds {text!r} ({encoding})", text.encode(encoding) in layout.data, False)
    print(f"{folder}: {checks.passed} passed, {checks.failed} failed")
    return checks.failed == 0


def compare(first, second):
    same = True
    for name in FILES:
        a = open(os.path.join(first, name), "rb").read()
        b = open(os.path.join(second, name), "rb").read()
        if a == b:
            print(f"ok   {name}: the same {len(a)} bytes")
            continue
        same = False
        print(f"FAIL {name}: {len(a)} and {len(b)} bytes differ")
        offsets = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
        layout = Layout(a) if name in RELEASE else None
        for offset in offsets[:20]:
            where = f" ({layout.place(offset)})" if layout else ""
            print(f"     at {offset:#x}: {a[offset]:#04x} {b[offset]:#04x}{where}")
        if len(offsets) > 20:
            print(f"     and {len(offsets) - 20} more bytes")
    return same


if __name__ == "__main__":
    command, arguments = sys.argv[1], sys.argv[2:]
    if command == "inspect":
        ok = inspect(arguments[0], arguments[1:])
    elif command == "compare":
        ok = compare(*arguments)
    else:
        sys.exit(f"unknown command {command}")
    sys.exit(0 if ok else 1)
