"""Reads the resources out of a Windows executable the way the loader finds them.

The headers give the section table and the resource data directory (optional-header data
directory 2); from its root the resource tree runs type -> name or id -> language, and each leaf,
an IMAGE_RESOURCE_DATA_ENTRY, gives the resource bytes as an RVA that the section table maps to
the file. Nothing here searches the file for text.
"""
import struct
from collections import namedtuple

IMAGE_DIRECTORY_ENTRY_RESOURCE = 2
# Where the data directories start in the optional header, and where their count is, by magic.
DATA_DIRECTORIES = {0x10B: (96, 92), 0x20B: (112, 108)}
SECTION_HEADER_SIZE = 40
SUBDIRECTORY = 0x80000000
NAMED = 0x80000000
# type, name, language: a deeper subdirectory is malformed (and could loop).
TREE_LEVELS = 3


# kind and name are an int id or a str name; rva is where the loader maps data.
Resource = namedtuple("Resource", "kind name language rva data")


class PeError(Exception):
    """The file is not a PE image this reader can follow; the text says where it broke."""


def unpack(fmt, data, offset, what):
    if offset < 0 or offset + struct.calcsize(fmt) > len(data):
        raise PeError(f"{what} lies past the end of the file (offset 0x{offset:x})")
    return struct.unpack_from(fmt, data, offset)


class Image:
    """The COFF machine, the section table and the resource directory of one PE file."""

    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise PeError("no MZ header")
        (pe,) = unpack("<I", data, 0x3C, "the PE header offset")
        if data[pe : pe + 4] != b"PE\0\0":
            raise PeError("no PE signature where the MZ header points")
        self.machine, sections, _, _, _, optional_size, _ = unpack("<HHIIIHH", data, pe + 4,
                                                                   "the COFF header")
        optional = pe + 24
        (magic,) = unpack("<H", data, optional, "the optional header")
        if magic not in DATA_DIRECTORIES:
            raise PeError(f"optional-header magic 0x{magic:x} is neither PE32 nor PE32+")
        first, count_at = DATA_DIRECTORIES[magic]
        (count,) = unpack("<I", data, optional + count_at, "the data directory count")
        if count <= IMAGE_DIRECTORY_ENTRY_RESOURCE:
            self.resource_rva, self.resource_size = 0, 0
        else:
            at = optional + first + 8 * IMAGE_DIRECTORY_ENTRY_RESOURCE
            if at + 8 > optional + optional_size:
                raise PeError("the resource data directory lies past the optional header")
            self.resource_rva, self.resource_size = unpack("<II", data, at, "the data directory")
        table = optional + optional_size
        self.sections = []
        for index in range(sections):
            name, virtual_size, address, raw_size, raw_at = unpack(
                "<8sIIII", data, table + index * SECTION_HEADER_SIZE, "the section table")
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), address,
                                  virtual_size or raw_size, raw_size, raw_at))

    def offset(self, rva, size, what):
        """Where in the file the size bytes at rva are, through the section that maps them."""
        for name, address, virtual_size, raw_size, raw_at in self.sections:
            if address <= rva and rva + size <= address + min(virtual_size, raw_size):
                start = raw_at + rva - address
                if start + size > len(self.data):
                    raise PeError(f"{what} (section {name}) lies past the end of the file")
                return start
        raise PeError(f"{what} at RVA 0x{rva:x} ({size} bytes) is in no section's file data")

    def read(self, rva, size, what):
        start = self.offset(rva, size, what)
        return self.data[start : start + size]

    def resources(self):
        """Every Resource in the tree; [] when the image has no resource directory."""
        if self.resource_rva == 0:
            return []
        found = []
        self._walk(0, [], found)
        return found

    def _walk(self, offset, path, found):
        where = "the resource directory" + "".join(f" / {key!r}" for key in path)
        header = self.read(self.resource_rva + offset, 16, where)
        named, numbered = struct.unpack_from("<HH", header, 12)
        count = named + numbered
        entries = self.read(self.resource_rva + offset + 16, 8 * count, f"the entries of {where}")
        for index in range(count):
            name, target = struct.unpack_from("<II", entries, 8 * index)
            key = self._name(name & ~NAMED) if name & NAMED else name & 0xFFFF
            if len(path) + 1 < TREE_LEVELS:
                if not target & SUBDIRECTORY:
                    raise PeError(f"{where} / {key!r}: a data entry where a directory belongs")
                self._walk(target & ~SUBDIRECTORY, path + [key], found)
            else:
                if target & SUBDIRECTORY:
                    raise PeError(f"{where} / {key!r}: a directory where the data entry belongs")
                leaf = self.read(self.resource_rva + target, 16, f"the data entry of {where}")
                data_rva, size = struct.unpack_from("<II", leaf)
                data = self.read(data_rva, size, f"the data of {where} / {key!r}")
                found.append(Resource(path[0], path[1], key, data_rva, data))

    def _name(self, offset):
        (length,) = struct.unpack("<H", self.read(self.resource_rva + offset, 2, "a resource name"))
        raw = self.read(self.resource_rva + offset + 2, 2 * length, "a resource name")
        return raw.decode("utf-16-le", "replace")
