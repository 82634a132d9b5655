#!/usr/bin/env python3
"""Checks the built discmenu.exe by reading the file itself, without running it (no Wine).

Usage: exe_check.py DISCMENU MACHINE VERSION   (MACHINE: i386 for the medium's program, amd64;
VERSION: the project's, as 1.0.0, which the version information must carry)

What a medium's menu must be to start on every Windows from 7 on: a PE32 (PE32+ for amd64)
program for the GUI subsystem whose subsystem version Windows 7 accepts, of a sane size, that
imports only DLLs every such Windows has, and carries its icon, version information and manifest.
Prints every fault found and exits 1 when there is one.
"""

import struct
import sys
import xml.dom.minidom

MACHINES = {"i386": (0x14C, 0x10B), "amd64": (0x8664, 0x20B)}
GUI_SUBSYSTEM = 2
WINDOWS_7 = (6, 1)
SIZE_RANGE = (32 * 1024, 1024 * 1024)  # static, stripped; over 1 MiB it carries code it should not
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll", "shell32.dll",
               "comdlg32.dll", "comctl32.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll", "version.dll"}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
VERSION_SIGNATURE = 0xFEEF04BD


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem_version = struct.unpack_from("<HH", data, optional + 48)
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.directory = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(3)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(self, rva):
        """The file offset of the address `rva`; ValueError when no section holds it in the file."""
        for virtual_size, address, raw_size, raw_offset in self.sections:
            if address <= rva < address + max(virtual_size, raw_size) and rva - address < raw_size:
                if raw_offset + raw_size > len(self.data):
                    raise ValueError("a section reaches past the end of the file (truncated?)")
                return raw_offset + rva - address
        raise ValueError(f"address {rva:#x} lies in no section")

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii", errors="replace")

    def imports(self):
        rva, _ = self.directory[1]
        names, at = [], self.offset(rva) if rva else None
        while at is not None:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, at)
            if not (lookup or name or thunks):
                break
            names.append(self.string(name))
            at += 20
        return names

    def resources(self):
        """{type id: [data bytes of each resource of that type]} (named types left out)."""
        rva, _ = self.directory[2]
        if not rva:
            return {}
        root = self.offset(rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                yield ident, target

        def leaves(target):
            if target & 0x80000000:
                for _, child in entries(root + (target & 0x7FFFFFFF)):
                    yield from leaves(child)
            else:
                data_rva, size = struct.unpack_from("<II", self.data, root + target)
                start = self.offset(data_rva)
                yield self.data[start:start + size]

        return {ident: list(leaves(target)) for ident, target in entries(root) if not ident & 0x80000000}


def faults(path, machine, version):
    with open(path, "rb") as file:
        data = file.read()
    image = Image(data)
    found = []
    want_machine, want_magic = MACHINES[machine]
    if image.machine != want_machine or image.magic != want_magic:
        found.append(f"machine {image.machine:#x} with optional header {image.magic:#x}, "
                     f"expected {want_machine:#x} ({machine}) with {want_magic:#x}")
    if image.subsystem != GUI_SUBSYSTEM:
        found.append(f"subsystem {image.subsystem}, expected {GUI_SUBSYSTEM} (GUI: no console window)")
    if tuple(image.subsystem_version) > WINDOWS_7:
        found.append(f"subsystem version {image.subsystem_version}: Windows 7 (6.1) refuses to start it")
    if not SIZE_RANGE[0] <= len(data) <= SIZE_RANGE[1]:
        found.append(f"{len(data)} bytes, expected {SIZE_RANGE[0]} to {SIZE_RANGE[1]}")
    imports = image.imports()
    foreign = sorted(name for name in imports if name.lower() not in SYSTEM_DLLS)
    if foreign or not imports:
        found.append(f"imports {foreign or 'nothing'}: only DLLs every Windows from 7 on has may be named")
    resources = image.resources()
    groups = resources.get(RT_GROUP_ICON, [])
    # A group icon: reserved 0, type 1, then the count of its images.
    if not groups or not resources.get(RT_ICON) or any(struct.unpack_from("<HHH", g)[:2] != (0, 1)
                                                       or struct.unpack_from("<HHH", g)[2] == 0 for g in groups):
        found.append("no icon (a group icon with images and the images themselves)")
    versions = resources.get(RT_VERSION, [])
    if len(versions) != 1 or struct.pack("<I", VERSION_SIGNATURE) not in versions[0]:
        found.append("no version information with its fixed file information")
    else:
        # The fixed part's file and product versions (major.minor, patch.0), and the strings.
        fixed = versions[0].index(struct.pack("<I", VERSION_SIGNATURE))
        numbers = struct.unpack_from("<IIII", versions[0], fixed + 8)
        major, minor, patch = (int(n) for n in version.split("."))
        wanted = (major << 16 | minor, patch << 16)
        if numbers[0:2] != wanted or numbers[2:4] != wanted:
            found.append(f"version numbers {numbers}, expected {version} as {wanted}")
        for name in ("FileVersion", "ProductVersion"):
            entry = name.encode("utf-16-le") + b"\0\0"
            at = versions[0].find(entry)
            text = versions[0][at + len(entry):].lstrip(b"\0")[:len(version) * 2].decode("utf-16-le", "replace")
            if at < 0 or text != version:
                found.append(f"{name} is {text!r}, expected {version!r}")
    manifests = resources.get(RT_MANIFEST, [])
    if len(manifests) != 1:
        found.append(f"{len(manifests)} manifests, expected 1")
    else:
        try:
            xml.dom.minidom.parseString(manifests[0])
        except Exception as error:
            found.append(f"the manifest is not well-formed XML: {error}")
    return found


def main(argv):
    if len(argv) != 4 or argv[2] not in MACHINES:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        found = faults(argv[1], argv[2], argv[3])
    except (OSError, ValueError, struct.error) as error:
        found = [f"cannot be read as a Windows program: {error}"]
    for fault in found:
        print(f"{argv[1]}: {fault}", file=sys.stderr)
    if not found:
        print(f"{argv[1]}: {argv[2]} GUI program, {len(open(argv[1], 'rb').read())} bytes, system DLLs only, "
              f"icon, version {argv[3]} and manifest")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
