#!/usr/bin/python3
"""wine_scenarios.py path/to/setup.exe: drives setup.exe and the programs it installed under Wine
on a private Xvfb display like a user (xdotool, list_windows.exe beside it), compares each window,
exit code, file and link; prints a line per scenario and "N passed, M failed"."""
import collections
import contextlib
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pefile

import check_setup_exe

TITLE, ERROR, PATH_LABEL, DEFAULT_DIR = "Vemo Kartol Setup", "Fehler", "Pfad:", "C:\\KARTOL\\"
WAIT, PREPARING = "Bitte haben Sie etwas Geduld.", "Bereite Installation vor."
SUCCESS = "Die Installation wurde erfolgreich durchgef\u00fchrt."
ABORTED = "Die Installation wurde abgebrochen."
INVALID = "Sie haben einen ung\u00fcltigen Pfad angegeben."
ID_PROMPT, ID_PATH, ID_WAIT, ID_STATUS, ID_PRODUCT_TEXT = 1001, 1000, 1002, 1003, 1000
# A message box's buttons: Windows labels them in its own language, their ids are fixed.
IDOK, IDYES, IDNO = 1, 6, 7
FIELD_LIMIT = 116  # with a backslash and "kartol.un2" within the 128 bytes LZ32 keeps a path in
# The path dialog as it must first be seen: owned by the hidden setup window, centred.
PATH_DIALOG = {"visible": True, "caption": TITLE, "owner": ("Quillmark Setup", False),
               "off centre": [0, 0], "texts": {1: "OK", 2: "Cancel", 0xFFFF: PATH_LABEL,
               ID_PROMPT: "Bitte geben Sie das Verzeichnis ein, in das Vemo Kartol installiert "
               "werden soll.\n", ID_PATH: DEFAULT_DIR}}
CONTENT_DIRS = ("klondike", "eis", "newyork", "mars", "tutorial", "res")
PRODUCT, UNINSTALL = "Vemo Kartol", "Vemo Kartol Deinstallation"
PRODUCT_TEXT = "Vemo Kartol ist installiert. Enter oder Escape beendet das Programm."
CONFIRM = "M\u00f6chten Sie Vemo Kartol mit allen seinen Komponenten von Ihrem Computer entfernen?"
REMOVED = "Vemo Kartol wurde vollst\u00e4ndig von Ihrem Computer entfernt."
# The program group: Wine keeps it as a folder of shell links named for the items' captions.
GROUP, GROUP_ITEMS = PRODUCT, ((PRODUCT, "kartol.exe"), ("Deinstallation", "uninst.exe"))
PROGRAMS = "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"

# Each outcome's boxes as (caption, text, progress dialog meanwhile: shown under a stage's own
# error box, ended but not yet destroyed under the outcome box, or never made) and exit code.
SHOWN, ENDED, NONE = "shown", "ended", "none"
OUTCOMES = {"installed": (((TITLE, SUCCESS, ENDED),), 1),
            "cancelled": (((TITLE, ABORTED, NONE),), 0),
            "invalid": (((ERROR, INVALID, SHOWN), (TITLE, ABORTED, ENDED)), 1)}
# typed: typed over the selected default ("cancelled" answers with Escape). prefix_from: the
# scenario whose prefix this one continues in. before: folders made below drive C first. after:
# the installed programs then started. locales: the other locales (keys of LOCALES) it also runs
# under, each run keyed like "a-ja"; base: whether it runs under the base locale too; locale:
# the run's own, None for the base locale.
Scenario = collections.namedtuple(
    "Scenario", "key name outcome typed prefix_from before after locales base locale",
    defaults=(None, None, (), (), (), True, None))
# Wine takes the ANSI code page, in which the programs' 'A' calls are read, from LANG; it also
# writes a shell link's local path in it. Every locale must show the same German texts. The base
# is a German Windows, with Wine's own texts (message box buttons) in German.
Locale = collections.namedtuple("Locale", "lang codepage")
LOCALES = {None: Locale("de_DE.UTF-8", "cp1252"), "ja": Locale("ja_JP.UTF-8", "cp932"),
           "ru": Locale("ru_RU.UTF-8", "cp1251")}
OTHER_LOCALES = ("ja", "ru")
SCENARIOS = (
    Scenario("a", "default path", "installed", locales=OTHER_LOCALES),
    Scenario("b", "Escape in the path dialog", "cancelled"),
    Scenario("c", "lower-case umlaut path typed over the default", "installed",
             "c:\\spiele\\k\u00e4rtol"),
    Scenario("d", "path on a drive letter that is no letter", "invalid", "1:\\X",
             locales=OTHER_LOCALES),
    Scenario("e", "second run into the folder of the default run, then removed", "installed",
             prefix_from="a", after=("uninstall",)),
    Scenario("f", "default path, the product started, then removed", "installed",
             after=("product", "uninstall"), locales=OTHER_LOCALES),
    Scenario("g", "removed from below an existing C:\\SPIELE", "installed", "c:\\spiele\\kartol",
             before=("SPIELE",), after=("uninstall",)),
    Scenario("h", "172 characters over 16 levels, more than the field takes", "installed",
             "c:\\" + "".join(f"verzeich{n:02}\\" for n in range(1, 16)) + "end\\",
             after=("uninstall",)),
    # A letter that the ANSI code page lacks makes the path invalid, not a similar letter's
    # folder; one that it holds is installed into as typed.
    Scenario("i", "umlaut path typed where the code page lacks it", "invalid",
             "c:\\spiele\\k\u00e4rtol", locales=("ja",), base=False),
    Scenario("j", "Cyrillic path typed, then removed", "installed",
             "c:\\\u0438\u0433\u0440\u044b\\kartol", after=("uninstall",), locales=("ru",),
             base=False),
)
# Each scenario under the base locale, then under each of its other ones in a prefix of its own.
RUNS = tuple(run for s in SCENARIOS for run in ((s,) * s.base + tuple(s._replace(
    key=f"{s.key}-{name}", prefix_from=s.prefix_from and f"{s.prefix_from}-{name}", locales=(),
    locale=name, base=True) for name in s.locales)))

# Every run of setup.exe starts from a folder like a user's Downloads, beside a LZ32.DLL that
# leaves this file at the root of drive C when it is loaded (built with the programs).
DOWNLOADS, PLANTED_DLL, PLANTED_MARKER = "Downloads", "planted/LZ32.DLL", "planted-lz32-loaded"
# The uninstaller's copy in the user's temporary folder (where Wine keeps it: Temp or
# AppData/Local/Temp), and the script that deletes it.
UNINSTALL_COPIES = "users/*/**/kartol-deinst-*"

# Under qemu a session's first window comes up slowly, now and then not at all (a stall). The
# group's explorer window comes up within GROUP_TIMEOUT; the uninstaller's copy removes the
# folder after its starter has ended.
FIRST_WINDOW_TIMEOUT, BOX_TIMEOUT, EXIT_TIMEOUT, SESSION_TIMEOUT = 240, 120, 120, 120
GROUP_TIMEOUT, REMOVAL_TIMEOUT, POLL = 30, 60, 0.5
# No window manager (Wine draws title bars), focus by Wine's own activation, no crash dialog,
# and the services start on demand only (3): setup.exe needs none, each slows a session's start.
PREFIX_SETTINGS = "REGEDIT4\n" + "".join(f"\n[{key}]\n{values}\n" for key, values in (
    ("HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver", '"Managed"="N"\n"UseTakeFocus"="N"'),
    ("HKEY_CURRENT_USER\\Software\\Wine\\WineDbg", '"ShowCrashDialog"=dword:00000000'),
    *((f"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\{name}", '"Start"=dword:00000003')
      for name in ("Eventlog", "MountMgr", "NDIS", "nsiproxy", "PlugPlay"))))
TEMPLATE_STAMP, PREFIX_ATTEMPTS = ".kartol-template", 3
# 64-bit: the programs run in WoW64 as on nearly every Windows today, and Wine's 64-bit desktop
# shell (the program manager) runs natively where the 32-bit one dies under qemu-user.
# KARTOL_WINE_ARCH=win32 is for a kernel that runs 32-bit code itself (docs/testing.md).
PREFIX_ARCH = os.environ.get("KARTOL_WINE_ARCH", "win64")


class Failed(Exception):
    """A check or a step of the desktop failed; the message says what."""


class WineStalled(Failed):
    """Wine stalled (a first window never came, list_windows.exe never ended): run it again."""


def expect_equal(what, found, wanted):
    if found != wanted:
        raise Failed(f"{what}: {found!r}, expected {wanted!r}")


def run(command, timeout, env=None, check=True, hung=Failed):
    """(exit code, output) of a command within the limit, else `hung`. Output goes through a file:
    a session's services inherit its first process's handles and would hold a pipe open."""
    with tempfile.TemporaryFile() as out:
        code = wait(subprocess.Popen(command, env=env, stdout=out, stderr=out), timeout, hung=hung)
        out.seek(0)
        output = out.read().decode("utf-8", errors="replace")
    if check and code != 0:
        raise Failed(f"{' '.join(command)} failed ({code}): {output.strip()[-500:]}")
    return code, output


def wait(process, timeout, name=None, hung=Failed):
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        raise hung(f"{name or process.args[0]} did not end within {timeout} s") from None


def texts(window):
    return {c["id"]: c["text"] for c in window["controls"]}


def view(window, listing):
    """What the user sees of a dialog or box, and of setup's progress dialog meanwhile."""
    owner = next(((w["text"], w["visible"]) for w in listing["windows"]
                  if w["handle"] == window["owner"]), window["owner"])
    (width, height), (left, top, right, bottom) = listing["screen"], window["rect"]
    progress = [w for w in listing["windows"] if w["class"] == "#32770" and ID_STATUS in texts(w)]
    return {"visible": window["visible"], "caption": window["text"], "owner": owner,
            # Centred with the halves cut toward zero.
            "off centre": [left - int((width - right + left) / 2),
                           top - int((height - bottom + top) / 2)],
            "texts": texts(window), "icon": any(c["icon"] for c in window["controls"]),
            "buttons": [c["id"] for c in window["controls"]
                        if c["class"].lower() == "button" and c["visible"]],
            "progress": [(p["visible"], p["text"], texts(p).get(ID_WAIT), texts(p).get(ID_STATUS))
                         for p in progress]}


def box(caption, buttons=(IDOK,), icon=False, progress=()):
    """The expected view of a message box or the product's window."""
    return {"visible": True, "caption": caption, "owner": 0, "icon": icon,
            "buttons": list(buttons), "progress": list(progress)}


RETURN = ("key", "--delay", "50", "Return")
# The installed programs, started after the install: their windows in order, each answered with
# Enter (the uninstaller's question with Yes), and whether the program removes the product.
# The product's window is its own dialog, its "OK" is its own text.
AFTER = {"product": ("KARTOL.EXE", [(PRODUCT_TEXT, {**box(PRODUCT), "texts": {
             ID_PRODUCT_TEXT: PRODUCT_TEXT, IDOK: "OK"}}, RETURN)], False),
         "uninstall": ("uninst.exe", [(CONFIRM, box(UNINSTALL, (IDYES, IDNO), True), RETURN),
                                      (REMOVED, box(UNINSTALL, icon=True), RETURN)], True)}


def tree(folder):
    """Below a folder, names in lower case as Windows matches them: a folder None, a file bytes."""
    return {str(p.relative_to(folder)).lower(): p.read_bytes() if p.is_file() else None
            for p in folder.rglob("*")}


def link_target(data, codepage):
    """A shell link's target: the LinkInfo (link flag 2) after the 76-byte header and item id list
    (flag 1), with its local base path and common path suffix (LinkInfo flag 1), in the ANSI
    code page."""
    try:
        flags = struct.unpack_from("<I", data, 0x14)[0] if data[:4] == b"L\0\0\0" else 0
        offset = 0x4C + (2 + struct.unpack_from("<H", data, 0x4C)[0] if flags & 1 else 0)
        if flags & 2 and struct.unpack_from("<I", data, offset + 8)[0] & 1:
            base, suffix = struct.unpack_from("<I4xI", data, offset + 16)
            return "".join(data[at:data.index(b"\0", at)].decode(codepage)
                           for at in (offset + base, offset + suffix))
    except (struct.error, ValueError):
        pass
    raise Failed("a group item is no shell link with a local target path")


def group_links(drive_c, codepage):
    """The links of the group in the users' Start Menus as {name: target in lower case}."""
    return {link.name: link_target(link.read_bytes(), codepage).lower()
            for folder in drive_c.glob(f"users/*/{PROGRAMS}/{GROUP}") for link in folder.iterdir()}


def ansi_code_page(prefix):
    """The ANSI code page that Wine ran the prefix's last session in, from its registry."""
    found = re.search(r'^"ACP"="(\d+)"$', (prefix / "system.reg").read_text(errors="replace"), re.M)
    return found and f"cp{found[1]}"


def left_by_removal(drive_c, target):
    """What the uninstaller has yet to remove: the product's folder, then its own copy."""
    return [*filter(Path.exists, [drive_c / target]), *drive_c.glob(UNINSTALL_COPIES)]


class Suite:
    """An Xvfb display on a number Xvfb picks itself, and the scenarios' Wine prefixes on it."""

    def __init__(self, setup_exe):
        self.setup_exe, self.work, self.prefixes = setup_exe, setup_exe.parent / "wine", {}
        self.langs = {}  # each prefix runs under the locale of the run that made it
        self.shots, self.template = setup_exe.parent / "screenshots", self.work / "template"
        shutil.rmtree(self.shots, ignore_errors=True)
        for folder in (self.shots, self.work / "home"):
            folder.mkdir(parents=True, exist_ok=True)
        self.entries = check_setup_exe.read_payload(
            check_setup_exe.load_resources(pefile.PE(setup_exe)))
        downloads = self.work / DOWNLOADS
        shutil.rmtree(downloads, ignore_errors=True)
        downloads.mkdir()
        self.started_exe = Path(shutil.copy(setup_exe, downloads))
        shutil.copy(setup_exe.parent / PLANTED_DLL, downloads)
        read_end, write_end = os.pipe()
        with open(self.work / "xvfb.log", "wb") as log:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
                 "tcp", "-noreset"], stdout=log, stderr=log, pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            # Written once Xvfb accepts clients; the pipe closes empty on failure.
            self.display = ":" + numbers.readline().strip()
        if self.display == ":":
            raise Failed(f"Xvfb did not start (log: {self.work / 'xvfb.log'})")

    def close(self):
        self.xvfb.terminate()
        self.xvfb.wait(timeout=10)

    def env(self, prefix):
        # The prefix's locale, which no LC_ variable of ours may override; the overrides: no Mono
        # or Gecko prompts, no host menu entries; LZ32 looked for beside a program first, as
        # Windows looks for a DLL that is not one of its known DLLs. QEMU_RESERVED_VA: Wine's
        # loader probes above 2 GiB, slow in qemu's 4 GiB guest space, failing in 2 GiB. HOME:
        # Wine links the user's folders into it.
        return {**{k: v for k, v in os.environ.items() if not k.startswith("LC_")},
                "WINEPREFIX": str(prefix), "WINEARCH": PREFIX_ARCH, "WINEDEBUG": "-all",
                "LANG": self.langs.get(prefix, LOCALES[None].lang),
                "DISPLAY": self.display, "QEMU_RESERVED_VA": "0x7fff0000",
                "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d;lz32=n,b",
                "HOME": str(self.work / "home")}

    def screenshot(self, name):
        run(["import", "-display", self.display, "-window", "root", str(self.shots / name)], 60)

    def end_session(self, prefix):
        for flag in ("-k", "-w"):
            run(["wineserver", flag], SESSION_TIMEOUT, self.env(prefix), check=False)

    def ensure_template(self):
        """Makes the template prefix (regedit as the first process writes the settings) unless
        this Wine made one with them; a first boot that hangs under qemu is made again."""
        stamp = "".join((run(["wine", "--version"], 120)[1], PREFIX_ARCH, LOCALES[None].lang,
                         PREFIX_SETTINGS))
        stamp_file, settings = self.template / TEMPLATE_STAMP, self.work / "prefix-settings.reg"
        if stamp_file.is_file() and stamp_file.read_text() == stamp:
            return "reused"
        settings.write_text(PREFIX_SETTINGS)
        for attempt in range(1, PREFIX_ATTEMPTS + 1):
            shutil.rmtree(self.template, ignore_errors=True)
            try:
                # Wine runs regedit after five minutes of first boot anyway: less is a hung boot.
                # The registry reaches the disk when the wineserver ends.
                run(["wine", "regedit", "/S", str(settings)], 240, self.env(self.template))
                run(["wineserver", "-w"], SESSION_TIMEOUT, self.env(self.template))
            except Failed as error:
                print(f"the first boot of the prefix failed (attempt {attempt}): {error}")
                self.end_session(self.template)
                continue
            if "UseTakeFocus" not in (self.template / "user.reg").read_text(errors="replace"):
                raise Failed("the prefix's X11 driver settings did not reach user.reg")
            stamp_file.write_text(stamp)
            return "created"
        raise Failed(f"no usable Wine prefix after {PREFIX_ATTEMPTS} attempts")

    def windows(self, prefix, until, timeout, missing=Failed):
        """list_windows.exe's listing once a visible window shows `until`."""
        code, output = run(["wine", str(self.setup_exe.parent / "list_windows.exe"), until,
                            str(timeout * 1000)], timeout + 120, self.env(prefix), check=False,
                           hung=WineStalled)
        try:
            # Wine may print messages of its own around it (a background process's crash).
            listing = json.JSONDecoder().raw_decode(output, output.index('{"screen"'))[0]
        except ValueError:  # no listing, or a broken one
            raise Failed(f"list_windows printed no listing ({code}): {output[:200]!r}") from None
        if code != 0:
            shown = [(w["text"], [c["text"] for c in w["controls"] if c["visible"]])
                     for w in listing["windows"] if w["visible"]]
            raise missing(f"no window showed {until!r} within {timeout} s; visible: {shown}")
        return listing

    def click_and_press(self, rect, *keys):
        """A click on a window's label (which triggers nothing) brings it forward, then the keys.
        No --sync: it waits for a motion event, none when the pointer is already there."""
        left, top, right, bottom = rect
        for arguments in (("mousemove", str((left + right) // 2), str((top + bottom) // 2),
                           "click", "1"), keys):
            run(["xdotool", *arguments], 30, {**os.environ, "DISPLAY": self.display})

    def close_group_windows(self, prefix):
        """ShowGroup opens an explorer window a moment after it answered, which can cover the
        outcome box: each gets a click and Alt+F4."""
        deadline, closed = time.monotonic() + GROUP_TIMEOUT, False
        while time.monotonic() < deadline:
            found = [w for w in self.windows(prefix, GROUP, GROUP_TIMEOUT)["windows"]
                     if w["visible"] and w["text"] == GROUP]
            if closed and not found:
                return
            for window in found:
                self.click_and_press(window["rect"], "key", "alt+F4")
                closed = True
            time.sleep(POLL)

    def session(self, prefix, command, cwd, steps, exit_code, shots, left=lambda: []):
        """Runs a program in a session of its own through the steps (text to wait for and click,
        expected view, keys); checks the exit code and waits until `left()` finds nothing."""
        process = subprocess.Popen(["wine", command], cwd=cwd, env=self.env(prefix),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for n, (text, want, keys) in enumerate(steps, start=1):
                listing = self.windows(prefix, text, *((FIRST_WINDOW_TIMEOUT, WineStalled)
                                                       if n == 1 else (BOX_TIMEOUT, Failed)))
                found = [w for w in listing["windows"]
                         if w["class"] == "#32770" and text in texts(w).values()]
                expect_equal(f"dialogs showing {text!r}", len(found), 1)
                seen = view(found[0], listing)
                expect_equal(f"dialog showing {text!r}", {k: seen[k] for k in want}, want)
                self.screenshot(f"{shots}-{n}.png")
                if text == SUCCESS:  # the group's windows come with the success box
                    self.close_group_windows(prefix)
                self.click_and_press(next(c["rect"] for c in found[0]["controls"]
                                          if c["text"] == text), *keys)
            expect_equal(f"{command} exit code", wait(process, EXIT_TIMEOUT, command), exit_code)
            deadline = time.monotonic() + REMOVAL_TIMEOUT
            while left() and time.monotonic() < deadline:
                time.sleep(POLL)
        finally:
            process.kill()
            process.wait()
            self.end_session(prefix)

    def prefix_for(self, scenario):
        if scenario.prefix_from is not None:
            if scenario.prefix_from not in self.prefixes:
                raise Failed(f"the prefix of scenario {scenario.prefix_from} is not there")
            return self.prefixes[scenario.prefix_from]
        # Without the run's locale on the host, Wine falls back to C (code page 1252), and the
        # German texts we wait for reach list_windows.exe garbled.
        lang = LOCALES[scenario.locale].lang
        listed = run(["locale", "-a"], 30)[1].lower().split()
        if lang.lower().replace("utf-8", "utf8") not in listed:
            raise Failed(f"the host lacks the locale {lang} (scripts/install-deps.sh makes it)")
        prefix = self.work / scenario.key
        shutil.rmtree(prefix, ignore_errors=True)
        run(["cp", "-a", "--reflink=auto", str(self.template), str(prefix)], 300)
        (prefix / TEMPLATE_STAMP).unlink()
        self.langs[prefix] = lang
        for folder in scenario.before:
            (prefix / "drive_c" / folder).mkdir(parents=True)
        self.prefixes[scenario.key] = prefix
        return prefix

    def run_scenario(self, s):
        """Runs setup.exe through the scenario and compares all it leaves, then the programs."""
        prefix, codepage = self.prefix_for(s), LOCALES[s.locale].codepage
        drive_c, boxes, exit_code = prefix / "drive_c", *OUTCOMES[s.outcome]
        field = s.typed.upper()[:FIELD_LIMIT] if s.typed else DEFAULT_DIR
        folder = field.rstrip("\\")
        target = folder[3:].replace("\\", "/") if s.outcome == "installed" else None
        # The log's first line: 1 for each level of the install directory that the run makes.
        parts = target.split("/") if target else []
        flags = [int(not drive_c.joinpath(*parts[:n]).exists()) for n in range(1, len(parts) + 1)]
        # An earlier install's log there keeps the levels that install made.
        if parts and drive_c.joinpath(*parts, "deinst.log").is_file():
            earlier = drive_c.joinpath(*parts, "deinst.log").read_text().split()[1:len(flags) + 1]
            flags = [flag | int(made) for flag, made in zip(flags, earlier)]
        confirm = ("key", "--delay", "50", "Escape") if s.outcome == "cancelled" else RETURN
        path_dialog = {**PATH_DIALOG, "texts": {**PATH_DIALOG["texts"], ID_PATH: field}}
        steps = [(PATH_LABEL, PATH_DIALOG, ("type", "--delay", "50", s.typed))] if s.typed else []
        steps.append((field if s.typed else PATH_LABEL, path_dialog, confirm))
        for caption, text, progress in boxes:
            # Unpacking shows each file it writes; a run that stops before it leaves the first.
            status = (f"Schreibe {folder}\\{self.entries[-1][0]}." if target and progress == ENDED
                      and self.entries else PREPARING)
            dialog = [] if progress == NONE else [(progress == SHOWN, TITLE, WAIT, status)]
            steps.append((text, box(caption, progress=dialog), RETURN))
        self.session(prefix, str(self.started_exe), None, steps, exit_code, f"{s.key}-setup")
        # Wine took its ANSI code page from the locale: in 1252 every text would come out right.
        expect_equal(f"Wine's ANSI code page under {LOCALES[s.locale].lang}",
                     ansi_code_page(prefix), codepage)
        expect_equal("the LZ32.DLL beside setup.exe loaded", (drive_c / PLANTED_MARKER).exists(),
                     False)
        if target is None:
            return self.expect_clean(s, drive_c, "")
        log = f"{len(flags)}{''.join(f' {f}' for f in flags)}\r\n" + "".join(
            f"NC {name}\r\n" for name, _ in self.entries)
        files = {**{name: None for name in CONTENT_DIRS}, "deinst.log": log.encode("cp1252"),
                 **{name.replace("\\", "/").lower(): data for name, data in self.entries}}
        expect_equal(f"files in {target}", tree(drive_c / target), files)
        expect_equal("program group", group_links(drive_c, codepage),
                     {f"{c}.lnk": f"{folder}\\{f}".lower() for c, f in GROUP_ITEMS})
        for step in s.after:
            program, steps, removes = AFTER[step]
            # In the install directory, the working directory of the group's links.
            self.session(prefix, f"{folder}\\{program}", drive_c / target, steps, 0,
                         f"{s.key}-{step}", lambda: removes and left_by_removal(drive_c, target))
            if removes:
                self.expect_clean(s, drive_c, " after removal")
                expect_equal("the uninstaller's temporary files",
                             sorted(str(p) for p in drive_c.glob(UNINSTALL_COPIES)), [])

    def expect_clean(self, scenario, drive_c, when):
        """Drive C holds what it held before setup.exe ran, and there is no group."""
        expect_equal(f"drive C{when}", {p.name for p in drive_c.iterdir()},
                     {p.name for p in (self.template / "drive_c").iterdir()} | set(scenario.before))
        for folder in scenario.before:
            expect_equal(f"{folder}{when}", tree(drive_c / folder), {})
        expect_equal(f"program group{when}",
                     group_links(drive_c, LOCALES[scenario.locale].codepage), {})

    def run_all(self):
        started, failed = time.monotonic(), set()
        print(f"Wine prefix ({PREFIX_ARCH}) {self.ensure_template()} in "
              f"{time.monotonic() - started:.1f} s")
        for s in RUNS:
            started, note = time.monotonic(), ""
            title = f"{s.key}. {s.name}, {LOCALES[s.locale].lang}"
            try:
                try:
                    self.run_scenario(s)
                except WineStalled as error:
                    # Now and then, mostly under qemu, Wine stalls; once is tolerated.
                    note = f" (second attempt; first: {error})"
                    self.run_scenario(s)
                print(f"ok   {title} ({time.monotonic() - started:.1f} s){note}")
            except (Failed, OSError) as failure:
                failed.add(s.key)
                with contextlib.suppress(Failed):
                    self.screenshot(f"{s.key}-failure.png")
                print(f"FAIL {title} ({time.monotonic() - started:.1f} s): {failure}{note}")
            sys.stdout.flush()
        # Keep the prefixes of failed scenarios (and those they continued in) to look into.
        for key in set(self.prefixes) - failed - {s.prefix_from for s in RUNS if s.key in failed}:
            shutil.rmtree(self.work / key, ignore_errors=True)
        return len(failed)


def main():
    if PREFIX_ARCH not in ("win32", "win64"):
        sys.exit(f"KARTOL_WINE_ARCH is win32 or win64, not {PREFIX_ARCH!r}")
    try:
        with contextlib.closing(Suite(Path(sys.argv[1]).resolve())) as suite:
            failed = suite.run_all()
    except (Failed, check_setup_exe.FormatError, OSError, KeyError) as error:
        print(f"FAIL Wine desktop: {error}")  # nothing could run: every scenario counts as failed
        failed = len(RUNS)
    print(f"{len(RUNS) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
