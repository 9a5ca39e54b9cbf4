#!/usr/bin/python3
"""Checks the built setup.exe without running it: the kind of executable, what it imports,
that it carries no link time stamp and no manifest, and every resource field by field.

    check_setup_exe.py path/to/setup.exe

Prints one line per check and ends with "N passed, M failed"; exits non-zero on a failure.
"""
import os
import struct
import sys

try:
    import pefile
except ImportError:
    # Debian's python3-pefile belongs to the system interpreter; another python3 may come
    # first on PATH.
    SYSTEM_PYTHON = "/usr/bin/python3"
    if os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON):
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON] + sys.argv)
    raise

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import setup_resources as res  # noqa: E402

IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
GERMAN_GERMANY = 1031

# DLLs that every 32-bit Windows has. The program uses kernel32, user32 (dialogs, DDE) and
# lz32; the MinGW runtime adds msvcrt and nothing else once libgcc, libstdc++ and winpthread
# are linked statically.
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "msvcrt.dll", "lz32.dll"}

ATOM_BUTTON = 0x80
ATOM_EDIT = 0x81
ATOM_STATIC = 0x82
NO_ID = 0xFFFF

# WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
DIALOG_STYLE = 0x80C800C0
FONT_SIZE = 8
FONT_NAME = "MS Sans Serif"

# (id, class atom, style, x, y, cx, cy, text)
PATH_DIALOG_CONTROLS = (
    (1, ATOM_BUTTON, 0x50010001, 31, 57, 50, 14, "OK"),
    (2, ATOM_BUTTON, 0x50010000, 104, 57, 50, 14, "Cancel"),
    (1001, ATOM_STATIC, 0x50020001, 7, 6, 163, 19, "Bitte geben Sie den Zielpfad f\u00fcr XXX ein:"),
    (1000, ATOM_EDIT, 0x50810088, 49, 33, 119, 12, ""),
    (NO_ID, ATOM_STATIC, 0x50020000, 18, 35, 22, 12, "Pfad:"),
)
PROGRESS_DIALOG_CONTROLS = (
    (1002, ATOM_STATIC, 0x50020001, 28, 14, 129, 14, "Geduld"),
    (1003, ATOM_STATIC, 0x50020000, 12, 34, 162, 21, "Datei"),
)
# dialog id: (size, caption, controls); both sit at 0, 0 and are centred at run time.
DIALOGS = {
    101: ((186, 78), "Setup", PATH_DIALOG_CONTROLS),
    145: ((186, 66), "Vemo Kartol Setup", PROGRESS_DIALOG_CONTROLS),
}

ICON_GROUP_ID = 124
ICON_ID = 1
ICON_SIZE = 32
ICON_BITS_PER_PIXEL = 8
ICON_IMAGE_BYTES = 2216
BITMAPINFOHEADER_SIZE = 40

EXPECTED_RESOURCES = {
    (res.RT_DIALOG, 101, GERMAN_GERMANY),
    (res.RT_DIALOG, 145, GERMAN_GERMANY),
    (res.RT_GROUP_ICON, ICON_GROUP_ID, GERMAN_GERMANY),
    (res.RT_ICON, ICON_ID, GERMAN_GERMANY),
    (res.PAYLOAD_TYPE, res.PAYLOAD_ID, GERMAN_GERMANY),
}


class CheckFailed(Exception):
    pass


def expect(problems):
    if problems:
        raise CheckFailed("; ".join(problems))


def differences(what, actual, expected):
    return [] if actual == expected else [f"{what} is {actual!r}, expected {expected!r}"]


def check_image_kind(pe, _resources):
    expect(differences("machine", hex(pe.FILE_HEADER.Machine), hex(IMAGE_FILE_MACHINE_I386)) +
           differences("optional header magic", hex(pe.OPTIONAL_HEADER.Magic), hex(PE32_MAGIC)) +
           differences("subsystem", pe.OPTIONAL_HEADER.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI))


def check_no_time_stamp(pe, _resources):
    problems = differences("link time stamp", pe.FILE_HEADER.TimeDateStamp, 0)
    if any(res.resource_directory_timestamps(pe)):
        problems.append("a resource directory carries a time stamp")
    for entry in getattr(pe, "DIRECTORY_ENTRY_DEBUG", []):
        if entry.struct.TimeDateStamp:
            problems.append("a debug directory entry carries a time stamp")
    expect(problems)


def check_imports(pe, _resources):
    imported = {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    problems = [f"imports from {dll}" for dll in sorted(imported - ALLOWED_DLLS)]
    if hasattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT"):
        problems.append("has delay-load imports")
    expect(problems)


def check_resource_set(_pe, resources):
    found = set(resources)
    problems = [f"unexpected resource {key}" for key in sorted(found - EXPECTED_RESOURCES, key=str)]
    problems += [f"missing resource {key}" for key in sorted(EXPECTED_RESOURCES - found, key=str)]
    if any(key[0] == res.RT_MANIFEST for key in found):
        problems.append("a manifest is linked in")
    expect(problems)


def resource(resources, resource_type, resource_id):
    data = resources.get((resource_type, resource_id, GERMAN_GERMANY))
    if data is None:
        raise CheckFailed(f"no resource {resource_type}/{resource_id} in language {GERMAN_GERMANY}")
    return data


def check_dialog(dialog_id):
    (cx, cy), caption, controls = DIALOGS[dialog_id]

    def check(_pe, resources):
        try:
            dialog = res.parse_dialog(resource(resources, res.RT_DIALOG, dialog_id))
        except res.FormatError as error:
            raise CheckFailed(str(error)) from error
        problems = (differences("style", hex(dialog.style), hex(DIALOG_STYLE)) +
                    differences("extended style", dialog.ex_style, 0) +
                    differences("position and size", (dialog.x, dialog.y, dialog.cx, dialog.cy),
                                (0, 0, cx, cy)) + differences("menu", dialog.menu, None) +
                    differences("class", dialog.window_class, None) +
                    differences("caption", dialog.caption, caption) +
                    differences("font", (dialog.font_size, dialog.font_name),
                                (FONT_SIZE, FONT_NAME)) +
                    differences("number of controls", len(dialog.items), len(controls)))
        for index, (item, wanted) in enumerate(zip(dialog.items, controls)):
            item_id, atom, style, x, y, width, height, text = wanted
            where = f"control {index} (id {item_id})"
            problems += (differences(f"{where} id", item.id, item_id) +
                         differences(f"{where} class", item.window_class, atom) +
                         differences(f"{where} style", hex(item.style), hex(style)) +
                         differences(f"{where} extended style", item.ex_style, 0) +
                         differences(f"{where} rectangle", (item.x, item.y, item.cx, item.cy),
                                     (x, y, width, height)) +
                         differences(f"{where} text", item.text, text) +
                         differences(f"{where} creation data", item.creation_data, b""))
        expect(problems)

    return check


def check_icon(_pe, resources):
    group = resource(resources, res.RT_GROUP_ICON, ICON_GROUP_ID)
    problems = differences("icon group size", len(group), 6 + 14)
    if not problems:
        reserved, kind, count = struct.unpack_from("<HHH", group)
        width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from(
            "<BBBBHHIH", group, 6)
        problems = (differences("group header", (reserved, kind, count), (0, 1, 1)) +
                    differences("image size", (width, height), (ICON_SIZE, ICON_SIZE)) +
                    differences("colour count (0 means 256)", colours, 0) +
                    differences("planes and bits", (planes, bits), (1, ICON_BITS_PER_PIXEL)) +
                    differences("bytes in resource", size, ICON_IMAGE_BYTES) +
                    differences("icon id", icon_id, ICON_ID))
    image = resource(resources, res.RT_ICON, ICON_ID)
    problems += differences("icon image length", len(image), ICON_IMAGE_BYTES)
    header_size, image_width, image_height, _, image_bits = struct.unpack_from("<IiiHH", image)
    # An icon's bitmap header counts the XOR and AND masks: twice the height.
    problems += differences("icon bitmap header", (header_size, image_width, image_height,
                                                   image_bits),
                            (BITMAPINFOHEADER_SIZE, ICON_SIZE, 2 * ICON_SIZE, ICON_BITS_PER_PIXEL))
    expect(problems)


def check_payload(_pe, resources):
    data = resource(resources, res.PAYLOAD_TYPE, res.PAYLOAD_ID)
    try:
        archive, declared_length = res.expand_szdd(data)
        res.parse_archive(archive)
    except res.FormatError as error:
        raise CheckFailed(str(error)) from error
    expect(differences("expanded length", len(archive), declared_length) +
           differences("missing-character byte", data[9], 0))


CHECKS = (
    ("PE32 image for i386 with the GUI subsystem", check_image_kind),
    ("no time stamps", check_no_time_stamp),
    ("imports only from system DLLs", check_imports),
    ("exactly the program's resources, all German, no manifest", check_resource_set),
    ("path dialog 101 as laid out", check_dialog(101)),
    ("progress dialog 145 as laid out", check_dialog(145)),
    ("icon group 124 with its one 32 x 32 256-colour icon", check_icon),
    ("payload 113: SZDD mode 'A' expanding to a valid archive", check_payload),
)


def main():
    if len(sys.argv) != 2:
        print(f"usage: {sys.argv[0]} path/to/setup.exe", file=sys.stderr)
        return 2
    pe = pefile.PE(sys.argv[1])
    resources = res.load_resources(pe)
    passed = failed = 0
    for name, check in CHECKS:
        try:
            check(pe, resources)
        except CheckFailed as failure:
            failed += 1
            print(f"FAIL {name}: {failure}")
        else:
            passed += 1
            print(f"ok   {name}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
