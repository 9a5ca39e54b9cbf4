"""The program group that setup.exe leaves in a Wine prefix: Wine's shell keeps each group as
a folder under the user's Start Menu\\Programs with one shell link (.lnk) per item, named for
the item's caption.

    group_links(prefix_drive_c) == expected_links("C:\\KARTOL\\")
"""
import struct
import time
from pathlib import Path

GROUP = "Vemo Kartol"
# Caption and file of each item, in the order setup.exe adds them.
ITEMS = (("Vemo Kartol", "kartol.exe"), ("Deinstallation", "uninst.exe"))
# How long the explorer window of the group may take to come up, and the polling interval.
GROUP_WINDOW_WAIT = 30
GROUP_WINDOW_POLL = 0.5
PROGRAMS = Path("AppData/Roaming/Microsoft/Windows/Start Menu/Programs")

# Shell link layout: a 76-byte header whose link flags say which parts follow.
HEADER_SIZE = 0x4C
HAS_ID_LIST = 0x1
HAS_LINK_INFO = 0x2
# LinkInfo flag: the local base path (and the common path suffix) are present.
VOLUME_ID_AND_LOCAL_BASE_PATH = 0x1


class GroupMismatch(Exception):
    pass


def c_string(data, offset):
    return data[offset:data.index(b"\0", offset)].decode("cp1252")


def link_target(data):
    """The target path of a shell link: LinkInfo's local base path and common path suffix."""
    if len(data) < HEADER_SIZE or struct.unpack_from("<I", data, 0)[0] != HEADER_SIZE:
        raise GroupMismatch("not a shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    offset = HEADER_SIZE
    if flags & HAS_ID_LIST:
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    if not flags & HAS_LINK_INFO:
        raise GroupMismatch("the link has no LinkInfo with its target path")
    info_flags, _, base_offset, _, suffix_offset = struct.unpack_from("<IIIII", data, offset + 8)
    if not info_flags & VOLUME_ID_AND_LOCAL_BASE_PATH:
        raise GroupMismatch("the link's LinkInfo holds no local path")
    return c_string(data, offset + base_offset) + c_string(data, offset + suffix_offset)


def group_links(drive_c):
    """Every link of a group folder "Vemo Kartol" in the users' Start Menus (Wine's prefix has
    one user), as {link name: target in lower case}."""
    return {link.name: link_target(link.read_bytes()).lower()
            for folder in Path(drive_c, "users").glob(f"*/{PROGRAMS}/{GROUP}")
            for link in folder.iterdir()}


def expected_links(install_dir):
    return {f"{caption}.lnk": (install_dir + file).lower() for caption, file in ITEMS}


def close_group_windows(desk, prefix):
    """ShowGroup makes Wine's shell open the group in an explorer window titled with the
    group's name, a moment after it answered; the window can cover setup.exe's outcome box.
    Waits up to GROUP_WINDOW_WAIT seconds for such windows and closes each one: a click into
    it (the empty middle of its file list), then Alt+F4, which Wine handles itself."""
    deadline = time.monotonic() + GROUP_WINDOW_WAIT
    closed = False
    while time.monotonic() < deadline:
        windows = [w for w in desk.windows(prefix, GROUP, GROUP_WINDOW_WAIT)["windows"]
                   if w["visible"] and w["title"] == GROUP]
        if closed and not windows:
            return
        for window in windows:
            left, top, right, bottom = window["rect"]
            desk.xdotool("mousemove", str((left + right) // 2), str((top + bottom) // 2),
                         "click", "1")
            desk.xdotool("key", "alt+F4")
            closed = True
        time.sleep(GROUP_WINDOW_POLL)
