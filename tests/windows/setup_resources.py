"""Reads what setup.exe carries: its resources, the dialog templates, and the SZDD-wrapped
payload archive with its directory.

Independent of the program's own code on purpose: the checks and the end-to-end tests compare
the built executable against these readers, so a fault in the program's formats shows up as a
difference instead of being read back the same wrong way.
"""
import struct
from dataclasses import dataclass

import pefile

RT_ICON = 3
RT_DIALOG = 5
RT_GROUP_ICON = 14
RT_MANIFEST = 24

SZDD_MAGIC = b"SZDD\x88\xf0\x27\x33"
SZDD_MODE_A = ord("A")
SZDD_HEADER_SIZE = 14
SZDD_WINDOW_SIZE = 4096
SZDD_FIRST_WRITE_POSITION = SZDD_WINDOW_SIZE - 16
SZDD_MIN_MATCH = 3

ARCHIVE_MAGIC = b"Quillmark Bit ResFile\x1a\x00"
ARCHIVE_COUNT_OFFSET = len(ARCHIVE_MAGIC)
ARCHIVE_DIRECTORY_OFFSET = ARCHIVE_COUNT_OFFSET + 4
ARCHIVE_RECORD_SIZE = 136
ARCHIVE_NAME_FIELD_SIZE = 128
ARCHIVE_MAX_ENTRIES = 300

DS_SETFONT = 0x40
DLGTEMPLATEEX_SIGNATURE = 0xFFFF0001
ORDINAL_MARK = 0xFFFF

PAYLOAD_TYPE = "TEMPLATE"
PAYLOAD_ID = 113


class FormatError(ValueError):
    """The bytes do not hold what their format prescribes."""


def load_resources(pe):
    """Every resource as {(type, id, language): bytes}; named types and ids are strings."""
    resources = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return resources

    def key(entry):
        return str(entry.name) if entry.name is not None else entry.id

    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for id_entry in type_entry.directory.entries:
            for language_entry in id_entry.directory.entries:
                data = language_entry.data.struct
                resources[(key(type_entry), key(id_entry), language_entry.id)] = pe.get_data(
                    data.OffsetToData, data.Size)
    return resources


def resource_directory_timestamps(pe):
    """The time stamps of every level of the resource directory tree."""
    stamps = []

    def walk(directory):
        stamps.append(directory.struct.TimeDateStamp)
        for entry in directory.entries:
            if hasattr(entry, "directory"):
                walk(entry.directory)

    if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        walk(pe.DIRECTORY_ENTRY_RESOURCE)
    return stamps


@dataclass(frozen=True)
class DialogItem:
    style: int
    ex_style: int
    x: int
    y: int
    cx: int
    cy: int
    id: int
    window_class: object  # an atom (int) or a class name (str)
    text: object  # a string, or an ordinal (int) for a resource reference
    creation_data: bytes


@dataclass(frozen=True)
class Dialog:
    style: int
    ex_style: int
    x: int
    y: int
    cx: int
    cy: int
    menu: object  # None, an ordinal or a name
    window_class: object
    caption: str
    font_size: object  # None without DS_SETFONT
    font_name: object
    items: tuple


class _Reader:
    def __init__(self, data):
        self.data = data
        self.offset = 0

    def unpack(self, layout):
        size = struct.calcsize(layout)
        if self.offset + size > len(self.data):
            raise FormatError(f"template ends inside a field at offset {self.offset}")
        values = struct.unpack_from(layout, self.data, self.offset)
        self.offset += size
        return values

    def string(self):
        end = self.offset
        while True:
            if end + 2 > len(self.data):
                raise FormatError(f"string at offset {self.offset} has no terminator")
            if self.data[end:end + 2] == b"\0\0":
                break
            end += 2
        text = self.data[self.offset:end].decode("utf-16-le")
        self.offset = end + 2
        return text

    def string_or_ordinal(self):
        start = self.offset
        (first,) = self.unpack("<H")
        if first == 0:
            return None
        if first == ORDINAL_MARK:
            return self.unpack("<H")[0]
        self.offset = start
        return self.string()

    def align(self, boundary):
        self.offset = (self.offset + boundary - 1) // boundary * boundary


def parse_dialog(data):
    """A standard DLGTEMPLATE with its DLGITEMTEMPLATEs; the extended form is refused."""
    if len(data) >= 4 and struct.unpack_from("<I", data)[0] == DLGTEMPLATEEX_SIGNATURE:
        raise FormatError("an extended dialog template (DLGTEMPLATEEX)")
    reader = _Reader(data)
    style, ex_style, count, x, y, cx, cy = reader.unpack("<IIHhhhh")
    menu = reader.string_or_ordinal()
    window_class = reader.string_or_ordinal()
    caption = reader.string()
    font_size = font_name = None
    if style & DS_SETFONT:
        (font_size,) = reader.unpack("<H")
        font_name = reader.string()
    items = []
    for _ in range(count):
        reader.align(4)
        item_style, item_ex_style, ix, iy, icx, icy, item_id = reader.unpack("<IIhhhhH")
        item_class = reader.string_or_ordinal()
        text = reader.string_or_ordinal()
        (extra,) = reader.unpack("<H")
        creation_data = data[reader.offset:reader.offset + extra]
        reader.offset += extra
        items.append(DialogItem(item_style, item_ex_style, ix, iy, icx, icy, item_id, item_class,
                                text if text is not None else "", creation_data))
    if any(data[reader.offset:]):
        raise FormatError(f"{len(data) - reader.offset} bytes after the last control")
    return Dialog(style, ex_style, x, y, cx, cy, menu, window_class, caption, font_size, font_name,
                  tuple(items))


def expand_szdd(data):
    """Expands an SZDD file of mode 'A'; returns (expanded bytes, length in the header)."""
    if len(data) < SZDD_HEADER_SIZE or data[:len(SZDD_MAGIC)] != SZDD_MAGIC:
        raise FormatError("no SZDD magic")
    if data[8] != SZDD_MODE_A:
        raise FormatError(f"compression mode {data[8]:#x}, not 'A'")
    (declared_length,) = struct.unpack_from("<I", data, 10)
    window = bytearray(b" " * SZDD_WINDOW_SIZE)
    position = SZDD_FIRST_WRITE_POSITION
    output = bytearray()
    i = SZDD_HEADER_SIZE
    while i < len(data):
        flags = data[i]
        i += 1
        for bit in range(8):
            if i >= len(data):
                break
            if flags & (1 << bit):
                byte = data[i]
                i += 1
                output.append(byte)
                window[position] = byte
                position = (position + 1) % SZDD_WINDOW_SIZE
                continue
            if i + 2 > len(data):
                raise FormatError("body ends inside a back reference")
            low, high = data[i], data[i + 1]
            i += 2
            source = low | (high & 0xF0) << 4
            for k in range((high & 0x0F) + SZDD_MIN_MATCH):
                byte = window[(source + k) % SZDD_WINDOW_SIZE]
                output.append(byte)
                window[position] = byte
                position = (position + 1) % SZDD_WINDOW_SIZE
    return bytes(output), declared_length


@dataclass(frozen=True)
class ArchiveEntry:
    name: str
    offset: int
    size: int


def parse_archive(data):
    """The archive's directory, held to the layout the build writes: the full header, a count
    that fits the program's 300-record table, names ended and zero-filled inside their field,
    and entries' bytes back to back up to the end of the file."""
    if data[:len(ARCHIVE_MAGIC)] != ARCHIVE_MAGIC:
        raise FormatError("no archive header")
    if len(data) < ARCHIVE_DIRECTORY_OFFSET:
        raise FormatError("archive ends inside its header")
    (count,) = struct.unpack_from("<i", data, ARCHIVE_COUNT_OFFSET)
    if not 0 <= count <= ARCHIVE_MAX_ENTRIES:
        raise FormatError(f"entry count {count} outside 0..{ARCHIVE_MAX_ENTRIES}")
    data_start = ARCHIVE_DIRECTORY_OFFSET + count * ARCHIVE_RECORD_SIZE
    if len(data) < data_start:
        raise FormatError("archive ends inside its directory")
    entries = []
    expected_offset = data_start
    for index in range(count):
        record = data[ARCHIVE_DIRECTORY_OFFSET + index * ARCHIVE_RECORD_SIZE:][:ARCHIVE_RECORD_SIZE]
        name_field = record[:ARCHIVE_NAME_FIELD_SIZE]
        end = name_field.find(b"\0")
        if end <= 0:
            raise FormatError(f"entry {index}: name empty or without terminator")
        if any(name_field[end:]):
            raise FormatError(f"entry {index}: bytes after the name's terminator")
        offset, size = struct.unpack_from("<II", record, ARCHIVE_NAME_FIELD_SIZE)
        name = name_field[:end].decode("cp1252")
        if offset != expected_offset:
            raise FormatError(f"entry {index} ({name}) at {offset}, expected {expected_offset}")
        expected_offset += size
        entries.append(ArchiveEntry(name, offset, size))
    if expected_offset != len(data):
        raise FormatError(f"entries end at {expected_offset}, the file at {len(data)}")
    return entries


def read_payload(path):
    """The payload archive embedded in setup.exe and its directory."""
    pe = pefile.PE(path, fast_load=False)
    for (resource_type, resource_id, _), data in load_resources(pe).items():
        if resource_type == PAYLOAD_TYPE and resource_id == PAYLOAD_ID:
            archive, declared_length = expand_szdd(data)
            if len(archive) != declared_length:
                raise FormatError(f"payload expands to {len(archive)} bytes, "
                                  f"its header says {declared_length}")
            return archive, parse_archive(archive)
    raise FormatError(f"setup.exe has no {PAYLOAD_TYPE} {PAYLOAD_ID}")
