#!/usr/bin/python3
"""check_setup_exe.py path/to/setup.exe: checks setup.exe without running it; prints a line per
check and "N passed, M failed". Also the Wine scenarios' payload reader, apart from the program's
code on purpose (msexpand expands the SZDD file): a fault in its formats is not read back alike."""
import pathlib, struct, subprocess, sys

import pefile

RT_ICON, RT_DIALOG, RT_GROUP_ICON, GERMAN, PAYLOAD = 3, 5, 14, 1031, ("TEMPLATE", 113)
# What Windows XP exports of what setup.exe and the programs in its payload import.
XP_LIST = pathlib.Path(__file__).with_name("nt51_exports.txt")
XP_EXPORTS = {tuple(line.split()) for line in XP_LIST.read_text().splitlines() if line[:1] != "#"}

BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82
# WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 8-point MS Sans Serif
DIALOG_STYLE, FONT = 0x80C800C0, (8, "MS Sans Serif")
# id: (size, caption, controls as (id, class atom, style, x, y, cx, cy, text)); both dialogs
# sit at 0, 0 and are centred at run time.
DIALOGS = {
    101: ((186, 78), "Setup", (
        (1, BUTTON, 0x50010001, 31, 57, 50, 14, "OK"),
        (2, BUTTON, 0x50010000, 104, 57, 50, 14, "Cancel"),
        (1001, STATIC, 0x50020001, 7, 6, 163, 19, "Bitte geben Sie den Zielpfad f\u00fcr XXX ein:"),
        (1000, EDIT, 0x50810088, 49, 33, 119, 12, ""),
        (0xFFFF, STATIC, 0x50020000, 18, 35, 22, 12, "Pfad:"))),
    145: ((186, 66), "Vemo Kartol Setup", (
        (1002, STATIC, 0x50020001, 28, 14, 129, 14, "Geduld"),
        (1003, STATIC, 0x50020000, 12, 34, 162, 21, "Datei"))),
}
# Icon group 124 with one 32 x 32 image of 256 colours (count 0), 2216 bytes, id 1; the
# image's bitmap header counts the XOR and AND masks: twice the height.
ICON_BYTES, ICON_HEADER = 2216, (40, 32, 64, 1, 8)
ICON_GROUP = struct.pack("<HHHBBBBHHIH", 0, 1, 1, 32, 32, 0, 0, 1, 8, ICON_BYTES, 1)
EXPECTED_RESOURCES = {*((RT_DIALOG, d) for d in DIALOGS), (RT_GROUP_ICON, 124), (RT_ICON, 1),
                      PAYLOAD}

SZDD_MAGIC, ARCHIVE_MAGIC = b"SZDD\x88\xf0\x27\x33A", b"Quillmark Bit ResFile\x1a\x00"
# A record: the name in a 128-byte field, offset and size.
RECORD, RECORD_SIZE, MAX_ENTRIES = "<128sII", 136, 300


class FormatError(ValueError):
    """The bytes do not hold what their format prescribes."""


def load_resources(pe):
    """Every resource as {(type, id, language): bytes}; named types and ids are strings."""
    def key(entry):
        return str(entry.name) if entry.name is not None else entry.id

    return {(key(t), key(i), lang.id): pe.get_data(lang.data.struct.OffsetToData,
                                                   lang.data.struct.Size)
            for t in pe.DIRECTORY_ENTRY_RESOURCE.entries
            for i in t.directory.entries for lang in i.directory.entries}


def text(value):
    return value.encode("utf-16-le") + b"\0\0"


def dialog_template(size, caption, controls):
    """A standard DLGTEMPLATE with its DLGITEMTEMPLATEs, as the resource compiler writes it."""
    data = struct.pack("<IIHhhhhHH", DIALOG_STYLE, 0, len(controls), 0, 0, *size, 0, 0)
    data += text(caption) + struct.pack("<H", FONT[0]) + text(FONT[1])
    for item_id, atom, style, x, y, cx, cy, label in controls:
        data += b"\0" * (-len(data) % 4)
        data += struct.pack("<IIhhhhHHH", style, 0, x, y, cx, cy, item_id, 0xFFFF, atom)
        data += text(label) + b"\0\0"
    return data


def read_payload(resources):
    """The payload's entries as [(name, bytes)], its SZDD wrapping expanded with msexpand, held to
    the layout the build writes: a count that fits the program's table, names ended and
    zero-filled, the entries' bytes back to back to the end."""
    szdd = resources[(*PAYLOAD, GERMAN)]
    if szdd[:9] != SZDD_MAGIC or len(szdd) < 14:
        raise FormatError("no SZDD header of mode 'A'")
    data = subprocess.run(["msexpand"], input=szdd, capture_output=True, check=True).stdout
    (declared,) = struct.unpack_from("<I", szdd, 10)
    if len(data) != declared or szdd[9] != 0:
        raise FormatError(f"expands to {len(data)} bytes, declares {declared}, "
                          f"missing-character byte {szdd[9]}")
    if data[:len(ARCHIVE_MAGIC)] != ARCHIVE_MAGIC or len(data) < len(ARCHIVE_MAGIC) + 4:
        raise FormatError("no archive header")
    (count,) = struct.unpack_from("<i", data, len(ARCHIVE_MAGIC))
    start = len(ARCHIVE_MAGIC) + 4
    if not 0 <= count <= MAX_ENTRIES or len(data) < start + count * RECORD_SIZE:
        raise FormatError(f"entry count {count} outside 0..{MAX_ENTRIES} or beyond the file")
    entries, offset = [], start + count * RECORD_SIZE
    for index, (name, at, size) in enumerate(struct.iter_unpack(RECORD, data[start:offset])):
        end = name.find(b"\0")
        if not 0 < end or any(name[end:]):
            raise FormatError(f"entry {index}: name empty, unended or with bytes after its end")
        if at != offset:
            raise FormatError(f"entry {index} at {at}, expected {offset}")
        entries.append((name[:end].decode("cp1252"), data[at:at + size]))
        offset += size
    if offset != len(data):
        raise FormatError(f"entries end at {offset}, the file at {len(data)}")
    return entries


def checks(pe, resources):
    """(what is checked, what was found, what is expected)."""
    def stamps(directory):
        return [directory.struct.TimeDateStamp] + [
            s for e in directory.entries if hasattr(e, "directory") for s in stamps(e.directory)]

    icon = resources.get((RT_ICON, 1, GERMAN), b"")
    yield ("PE32 image for i386 with the GUI subsystem",
           (pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER.Magic, pe.OPTIONAL_HEADER.Subsystem),
           (0x14C, 0x10B, 2))
    yield ("no time stamps", (pe.FILE_HEADER.TimeDateStamp, any(stamps(
        pe.DIRECTORY_ENTRY_RESOURCE)), [d.struct.TimeDateStamp for d in getattr(
            pe, "DIRECTORY_ENTRY_DEBUG", []) if d.struct.TimeDateStamp]), (0, False, []))
    yield ("exactly the program's resources, all German, no manifest",
           set(resources), {(*key, GERMAN) for key in EXPECTED_RESOURCES})
    for dialog_id, layout in DIALOGS.items():
        data, want = resources.get((RT_DIALOG, dialog_id, GERMAN), b""), dialog_template(*layout)
        yield (f"dialog {dialog_id} as laid out, byte for byte",
               (data[:len(want)], any(data[len(want):])), (want, False))
    yield ("icon group 124 with its one 32 x 32 256-colour icon",
           (resources.get((RT_GROUP_ICON, 124, GERMAN)), len(icon),
            struct.unpack_from("<IiiHH", icon) if len(icon) >= 16 else None),
           (ICON_GROUP, ICON_BYTES, ICON_HEADER))
    entries, payload_error = [], None
    try:
        entries = read_payload(resources)
    except (FormatError, KeyError) as error:
        payload_error = repr(error)
    yield ("payload 113: SZDD mode 'A' expanding to a valid archive", payload_error, None)
    for name, image in [("setup.exe", pe)] + [(name, pefile.PE(data=data)) for name, data in
                                              entries if name.lower().endswith(".exe")]:
        imports = {(e.dll.decode().lower(), (i.name or b"#%d" % i.ordinal).decode())
                   for e in getattr(image, "DIRECTORY_ENTRY_IMPORT", []) for i in e.imports}
        yield (f"{name} imports only XP exports listed in {XP_LIST.name}, none delay-loaded",
               (sorted(imports - XP_EXPORTS), hasattr(image, "DIRECTORY_ENTRY_DELAY_IMPORT")),
               ([], False))


def main():
    pe = pefile.PE(sys.argv[1])
    results = list(checks(pe, load_resources(pe)))
    for name, found, wanted in results:
        print(f"ok   {name}" if found == wanted else f"FAIL {name}: {found!r}, expected {wanted!r}")
    failed = sum(found != wanted for _, found, wanted in results)
    print(f"{len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
