#!/usr/bin/python3
"""check_setup_exe.py path/to/setup.exe: checks setup.exe without running it; prints a line per
check and "N passed, M failed". Also the Wine scenarios' payload reader, apart from the program's
code on purpose (msexpand expands the SZDD file): a fault in its formats is not read back alike."""
import pathlib, re, struct, subprocess, sys
import xml.etree.ElementTree as ElementTree

import pefile

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
GERMAN, NEUTRAL, PAYLOAD = 1031, 0, ("TEMPLATE", 113)
# What Windows XP exports of what setup.exe and the programs in its payload import.
XP_LIST = pathlib.Path(__file__).with_name("nt51_exports.txt")
XP_EXPORTS = {tuple(line.split()) for line in XP_LIST.read_text().splitlines() if line[:1] != "#"}
# The system's known DLLs, which Windows never looks for in a program's folder: the only ones a
# program may import. Any other is loaded at run time from the system folder.
KNOWN_DLLS = {"kernel32.dll", "user32.dll", "msvcrt.dll"}
# Each program's description in its version information; the product's version is the build's.
DESCRIPTIONS = {"setup.exe": "Vemo Kartol Setup", "uninst.exe": "Vemo Kartol Deinstallation",
                "KARTOL.EXE": "Vemo Kartol"}
VERSION = re.search(r"project\(\w+ VERSION ([0-9.]+)", (pathlib.Path(__file__).parents[2] /
                                                      "CMakeLists.txt").read_text()).group(1)
# What the manifest must say: run as the user who started it; supported on Vista, 7, 8, 8.1 and
# 10/11; scaled by the system's DPI; the common controls 6 for the visual style.
ASM_V1, ASM_V3 = "urn:schemas-microsoft-com:asm.v1", "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
WINDOWS_SETTINGS = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
COMMON_CONTROLS = {"type": "win32", "name": "Microsoft.Windows.Common-Controls",
                   "version": "6.0.0.0", "processorArchitecture": "*",
                   "publicKeyToken": "6595b64144ccf1df", "language": "*"}

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
EXPECTED_RESOURCES = {*((RT_DIALOG, d, GERMAN) for d in DIALOGS), (RT_GROUP_ICON, 124, GERMAN),
                      (RT_ICON, 1, GERMAN), (*PAYLOAD, GERMAN), (RT_VERSION, 1, GERMAN),
                      (RT_MANIFEST, 1, NEUTRAL)}

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


def manifest_view(data):
    """What a manifest says that Windows acts on, or why it says nothing: Windows refuses to start
    a program whose manifest does not parse, and XP SP3 one whose trustInfo is in the assembly's
    own namespace."""
    if data[:3] == b"\xef\xbb\xbf":
        return "starts with a byte-order mark"
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        return f"no XML: {error}"
    level = root.find(f"{{{ASM_V3}}}trustInfo/{{{ASM_V3}}}security/{{{ASM_V3}}}requestedPrivileges/"
                      f"{{{ASM_V3}}}requestedExecutionLevel")
    dependency = root.find(f"{{{ASM_V1}}}dependency/{{{ASM_V1}}}dependentAssembly/"
                           f"{{{ASM_V1}}}assemblyIdentity")
    return {"root": root.tag, "execution level": level is not None and dict(level.attrib),
            "supported": {e.get("Id") for e in root.iter(f"{{{COMPATIBILITY}}}supportedOS")},
            "dpi aware": [e.text for e in root.iter(f"{{{WINDOWS_SETTINGS}}}dpiAware")],
            "common controls": dependency is not None and dict(dependency.attrib)}


def version_view(image):
    """The version information's fixed version and its German (1252) strings."""
    fixed = [(f.FileVersionMS, f.FileVersionLS, f.ProductVersionMS, f.ProductVersionLS)
             for f in getattr(image, "VS_FIXEDFILEINFO", [])]
    tables = {t.LangID.decode().lower(): {k.decode(): v.decode() for k, v in t.entries.items()}
              for info in getattr(image, "FileInfo", []) for entry in info
              if entry.Key == b"StringFileInfo" for t in entry.StringTable}
    return fixed, tables


def program_checks(name, image):
    """What each Windows program must be: its imports, manifest and version information."""
    imports = {(e.dll.decode().lower(), (i.name or b"#%d" % i.ordinal).decode())
               for e in getattr(image, "DIRECTORY_ENTRY_IMPORT", []) for i in e.imports}
    yield (f"{name} imports only XP exports listed in {XP_LIST.name}, none delay-loaded",
           (sorted(imports - XP_EXPORTS), hasattr(image, "DIRECTORY_ENTRY_DELAY_IMPORT")),
           ([], False))
    yield (f"{name} imports only the system's known DLLs",
           sorted({dll for dll, _ in imports} - KNOWN_DLLS), [])
    manifest = load_resources(image).get((RT_MANIFEST, 1, NEUTRAL), b"")
    yield (f"{name}'s manifest: as invoker, Vista to 11, DPI aware, common controls 6",
           manifest_view(manifest), {
               "root": f"{{{ASM_V1}}}assembly",
               "execution level": {"level": "asInvoker", "uiAccess": "false"},
               "supported": SUPPORTED_OS, "dpi aware": ["true"],
               "common controls": COMMON_CONTROLS})
    numbers = [int(n) for n in VERSION.split(".")]
    high, low = numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3]
    yield (f"{name}'s version information: German, {VERSION}, {DESCRIPTIONS[name]!r}",
           version_view(image), ([(high, low, high, low)], {"040704e4": {
               "CompanyName": "Quillmark", "FileDescription": DESCRIPTIONS[name],
               "FileVersion": VERSION, "InternalName": name, "OriginalFilename": name,
               "ProductName": "Vemo Kartol", "ProductVersion": VERSION}}))


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
    yield ("exactly the program's resources: all German but the manifest",
           set(resources), EXPECTED_RESOURCES)
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
        yield from program_checks(name, image)


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
