#!/usr/bin/env python3
"""Static checks of a built Purrbox.exe: PE type and machine, the resources
Windows reads before any of the program's code runs (manifest, application
icon, version block). Reads the file itself; needs nothing but Python.

    check_executable.py PROGRAM.exe x86|amd64
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
MACHINES = {"x86": 0x014C, "amd64": 0x8664}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
SETTINGS_2019 = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"


class Checks:
    def __init__(self):
        self.failed = 0
        self.passed = 0

    def expect(self, what, actual, expected):
        if actual == expected:
            self.passed += 1
            print(f"ok   {what}: {actual!r}")
        else:
            self.failed += 1
            print(f"FAIL {what}: {actual!r}, expected {expected!r}")


class PeFile:
    def __init__(self, data):
        self.data = data
        (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
        if data[:2] != b"MZ" or data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe_offset + 4)
        optional = pe_offset + 24
        (self.magic,) = struct.unpack_from("<H", data, optional)
        (self.subsystem,) = struct.unpack_from("<H", data, optional + 68)
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.resource_rva, _ = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"rva {rva:#x} outside every section")

    def resources(self):
        """[(type, name, language, bytes)] in the order of the resource directory."""
        base = self.offset(self.resource_rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if name & 0x80000000:
                    (length,) = struct.unpack_from("<H", self.data, base + (name & 0x7FFFFFFF))
                    start = base + (name & 0x7FFFFFFF) + 2
                    name = self.data[start:start + 2 * length].decode("utf-16-le")
                yield name, target

        found = []
        for type_id, types in entries(0):
            for name, names in entries(types & 0x7FFFFFFF):
                for language, leaf in entries(names & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(rva)
                    found.append((type_id, name, language, self.data[start:start + size]))
        return found


def version_strings(block):
    """The string table and translations of a VS_VERSIONINFO block."""
    def walk(offset, end):
        while offset < end:
            length, value_length, is_text = struct.unpack_from("<HHH", block, offset)
            if length == 0:
                break
            key_end = block.index(b"\0\0", offset + 6)
            while (key_end - offset - 6) % 2:
                key_end = block.index(b"\0\0", key_end + 1)
            key = block[offset + 6:key_end].decode("utf-16-le")
            value_start = (key_end + 2 + 3) & ~3
            value_bytes = value_length * 2 if is_text else value_length
            yield key, block[value_start:value_start + value_bytes], value_start + value_bytes, offset + length
            offset = (offset + length + 3) & ~3

    (root_length,) = struct.unpack_from("<H", block, 0)
    fixed = None
    tables, translations = {}, []
    for key, value, children, end in walk(0, root_length):
        fixed = value
        for child, _, grandchildren, child_end in walk((children + 3) & ~3, end):
            if child == "StringFileInfo":
                for table, _, strings, table_end in walk(grandchildren, child_end):
                    tables[table] = {name: text.decode("utf-16-le").rstrip("\0")
                                     for name, text, _, _ in walk(strings, table_end)}
            elif child == "VarFileInfo":
                for name, value2, _, _ in walk(grandchildren, child_end):
                    if name == "Translation":
                        translations = list(struct.unpack(f"<{len(value2) // 2}H", value2))
    return fixed, tables, translations


def check(path, architecture):
    checks = Checks()
    pe = PeFile(open(path, "rb").read())
    checks.expect("machine", hex(pe.machine), hex(MACHINES[architecture]))
    checks.expect("optional header", hex(pe.magic), "0x10b" if architecture == "x86" else "0x20b")
    checks.expect("subsystem (2 = Windows GUI)", pe.subsystem, 2)
    checks.expect("is an executable, not a DLL", bool(pe.characteristics & 0x2) and not pe.characteristics & 0x2000,
                  True)
    resources = pe.resources()

    manifests = [r for r in resources if r[0] == RT_MANIFEST]
    checks.expect("one manifest, id 1", [(m[1]) for m in manifests], [1])
    if manifests:
        root = ET.fromstring(manifests[0][3].decode("utf-8"))
        identity = root.find(ASM_V1 + "assemblyIdentity")
        checks.expect("assemblyIdentity type", identity.get("type"), "win32")
        checks.expect("assemblyIdentity processorArchitecture", identity.get("processorArchitecture"), architecture)
        controls = root.find(f"{ASM_V1}dependency/{ASM_V1}dependentAssembly/{ASM_V1}assemblyIdentity")
        checks.expect("Common Controls dependency",
                      {k: controls.get(k) for k in ("type", "name", "version", "processorArchitecture",
                                                    "publicKeyToken", "language")},
                      {"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
                       "processorArchitecture": architecture, "publicKeyToken": "6595b64144ccf1df", "language": "*"})
        level = root.find(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                          f"{ASM_V3}requestedExecutionLevel")
        checks.expect("requested execution level", (level.get("level"), level.get("uiAccess")),
                      ("requireAdministrator", "false"))
        code_page = root.find(f".//{SETTINGS_2019}activeCodePage")
        checks.expect("active code page", code_page.text if code_page is not None else None, "UTF-8")

    groups = [r for r in resources if r[0] == RT_GROUP_ICON]
    checks.expect("first icon group", groups[0][1] if groups else None, "DEFAULT_ICON")
    if groups:
        reserved, kind, count = struct.unpack_from("<HHH", groups[0][3], 0)
        checks.expect("first icon group: header and image count", (reserved, kind, count), (0, 1, 1))
        width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", groups[0][3], 6)
        checks.expect("first icon group: its image", (width, height, colours, planes, bits, size),
                      (32, 32, 0, 1, 32, 4264))
        images = [r for r in resources if r[0] == RT_ICON and r[1] == icon_id]
        if images:
            header = struct.unpack_from("<IiiHHI", images[0][3], 0)
            checks.expect("icon image header", header, (40, 32, 64, 1, 32, 0))
            pixels = images[0][3][40:40 + 4096]
            grey = all(pixels[i] == pixels[i + 1] == pixels[i + 2] for i in range(0, 4096, 4))
            checks.expect("icon is grey-scale", grey, True)

    versions = [r for r in resources if r[0] == RT_VERSION]
    checks.expect("one version block, id 1", [v[1] for v in versions], [1])
    if versions:
        fixed, tables, translations = version_strings(versions[0][3])
        fields = struct.unpack_from("<13I", fixed, 0)
        checks.expect("fixed info signature", hex(fields[0]), "0xfeef04bd")
        checks.expect("FileVersion (fixed)", (fields[2] >> 16, fields[2] & 0xFFFF, fields[3] >> 16,
                                              fields[3] & 0xFFFF), (1, 0, 0, 0))
        checks.expect("ProductVersion (fixed)", (fields[4] >> 16, fields[4] & 0xFFFF, fields[5] >> 16,
                                                 fields[5] & 0xFFFF), (1, 0, 0, 0))
        checks.expect("FileOS", fields[8], 4)
        checks.expect("FileType", fields[9], 1)
        checks.expect("string tables", list(tables), ["080404B0"])
        strings = tables.get("080404B0", {})
        checks.expect("ProductName", strings.get("ProductName"), "一键Purrbox")
        checks.expect("FileVersion", strings.get("FileVersion"), "1.0.0.0")
        checks.expect("ProductVersion", strings.get("ProductVersion"), "1.0.0.0")
        for field in ("FileDescription", "Comments", "CompanyName", "LegalCopyright"):
            checks.expect(f"{field} is set", bool(strings.get(field)), True)
        checks.expect("Translation", translations, [0x0804, 0x04B0])

    print(f"{path}: {checks.passed} passed, {checks.failed} failed")
    return checks.failed == 0


if __name__ == "__main__":
    sys.exit(0 if check(sys.argv[1], sys.argv[2]) else 1)
