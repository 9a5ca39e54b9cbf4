"""The desktop the end-to-end tests drive setup.exe on: an Xvfb display of our own, private
32-bit Wine prefixes (one template made once, a copy per scenario), Wine processes, our
list_windows.exe helper for reading windows, xdotool for input and screenshots.

Every process here is started by us and ended by its own handle or through the prefix's own
wineserver; nothing is looked up or killed by name. Every wait has a time limit.
"""
import hashlib
import json
import os
import shutil
import subprocess
import tempfile
from pathlib import Path

SCREEN_GEOMETRY = "1024x768x24"

# Windows of a prefix's X11 driver: not managed by a window manager (there is none), so Wine
# draws title bars itself and the X window covers the whole Win32 window rectangle; focus
# follows Wine's own activation instead of X focus events. No crash dialog waits for input.
# The services that a session starts by itself (event log, mount manager, network drivers,
# plug and play) start on demand only: setup.exe needs none of them, and each one is another
# emulated process that slows every session's start.
DEMAND_STARTED_SERVICES = ("Eventlog", "MountMgr", "NDIS", "nsiproxy", "PlugPlay")
SERVICE_DEMAND_START = 3
PREFIX_SETTINGS = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"
"UseTakeFocus"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000
""" + "".join(f"""
[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\{service}]
"Start"=dword:{SERVICE_DEMAND_START:08x}
""" for service in DEMAND_STARTED_SERVICES)

# No Mono or Gecko installation prompts, no menu entries or file associations on the host.
DLL_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"

# Where the kernel cannot run i386 code, qemu-user runs Wine's 32-bit side. Wine's loader
# then has no preloader and probes the address space above 2 GiB with tens of thousands of
# mmap calls; qemu answers each of them slowly while it manages a 4 GiB guest space (about
# a minute per process start). A 2 GiB guest space, all that a 32-bit Windows process uses,
# makes those probes fail at once. Native i386 execution ignores the variable.
QEMU_GUEST_SPACE = "0x7fff0000"

TEMPLATE_STAMP = ".kartol-template"
SESSION_END_TIMEOUT = 120
PREFIX_BOOT_TIMEOUT = 240
PREFIX_ATTEMPTS = 3
HELPER_START_ALLOWANCE = 120


class DesktopError(Exception):
    """The desktop could not do what a scenario asked; the message says what and why."""


def run(command, timeout, env=None, check=True):
    """Runs a command to its end within the time limit; its output as text.

    Output goes through files, not pipes: the first Wine process of a session starts the
    session's services, which inherit its output handles and would hold a pipe open until
    the session ends."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen(command, env=env, stdout=out, stderr=err)
        try:
            returncode = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired as error:
            process.kill()
            process.wait()
            raise DesktopError(f"{command[0]} did not finish within {timeout} s") from error
        out.seek(0)
        err.seek(0)
        stdout = out.read().decode("utf-8", errors="replace")
        stderr = err.read().decode("utf-8", errors="replace")
    if check and returncode != 0:
        raise DesktopError(f"{' '.join(command)} failed ({returncode}): {stderr.strip()[-500:]}")
    return returncode, stdout


class Display:
    """An Xvfb server on a display number that Xvfb picks itself among the free ones."""

    def __init__(self, log_path):
        self.log_path = log_path
        self.process = None
        self.name = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN_GEOMETRY,
                 "-nolisten", "tcp", "-noreset"],
                stdout=log, stderr=log, pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            # Xvfb writes the number once it accepts clients, or closes the pipe on failure.
            number = numbers.readline().strip()
        if not number:
            self.__exit__(None, None, None)
            raise DesktopError(f"Xvfb did not start (log: {self.log_path})")
        self.name = f":{number}"
        return self

    def __exit__(self, *_):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def xdotool(self, *arguments):
        run(["xdotool", *arguments], timeout=30, env={**os.environ, "DISPLAY": self.name})

    def screenshot(self, path):
        path.parent.mkdir(parents=True, exist_ok=True)
        run(["import", "-display", self.name, "-window", "root", str(path)], timeout=60)


class Prefix:
    """One private win32 Wine prefix and the environment for the processes that use it."""

    def __init__(self, path, display, home):
        self.path = Path(path)
        self.drive_c = self.path / "drive_c"
        self.env = {
            **os.environ,
            "WINEPREFIX": str(self.path),
            "WINEARCH": "win32",
            "WINEDEBUG": "-all",
            # The C locale makes Wine's ANSI code page 1252, the program's own.
            "LANG": "C.UTF-8",
            "DISPLAY": display.name,
            "WINEDLLOVERRIDES": DLL_OVERRIDES,
            "QEMU_RESERVED_VA": QEMU_GUEST_SPACE,
            # Wine links the user's folders into the prefix: keep the real home out of it.
            "HOME": str(home),
        }
        self.env.pop("LC_ALL", None)
        home.mkdir(parents=True, exist_ok=True)

    def start(self, *command):
        """Starts a Windows program in the prefix; the caller waits for it or ends it."""
        return subprocess.Popen(["wine", *command], env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def wine(self, *command, timeout, check=True):
        return run(["wine", *command], timeout=timeout, env=self.env, check=check)

    def end_session(self):
        """Ends every process of this prefix through its own wineserver and waits for it."""
        run(["wineserver", "-k"], timeout=SESSION_END_TIMEOUT, env=self.env, check=False)
        run(["wineserver", "-w"], timeout=SESSION_END_TIMEOUT, env=self.env, check=False)


def wine_version():
    return run(["wine", "--version"], timeout=120)[1].strip()


def ensure_template(path, display, home, log):
    """Makes the template prefix unless one made by this Wine with these settings exists.

    The first Wine process on a missing prefix creates it (wine.inf, services, the desktop);
    running regedit as that process also writes our settings, in one session, without a
    separate wineboot run that would start the session's services a second time. Under qemu
    a Wine service now and then spins instead of finishing the first boot: such an attempt
    is ended and made again."""
    stamp = hashlib.sha256((wine_version() + PREFIX_SETTINGS).encode()).hexdigest()
    stamp_file = Path(path) / TEMPLATE_STAMP
    if stamp_file.is_file() and stamp_file.read_text() == stamp:
        return False
    settings = Path(path).parent / "prefix-settings.reg"
    Path(path).parent.mkdir(parents=True, exist_ok=True)
    settings.write_text(PREFIX_SETTINGS)
    for attempt in range(1, PREFIX_ATTEMPTS + 1):
        shutil.rmtree(path, ignore_errors=True)
        prefix = Prefix(path, display, home)
        log(f"creating the Wine prefix {path} (attempt {attempt})")
        try:
            # Wine waits at most five minutes for the first boot before it runs regedit
            # anyway; a limit below that tells a finished boot from one that hung.
            prefix.wine("regedit", "/S", str(settings), timeout=PREFIX_BOOT_TIMEOUT)
            # The registry reaches the disk when the session's wineserver ends.
            run(["wineserver", "-w"], timeout=SESSION_END_TIMEOUT, env=prefix.env)
        except DesktopError as error:
            log(f"the first boot of the prefix failed: {error}")
            prefix.end_session()
            continue
        if "UseTakeFocus" not in (Path(path) / "user.reg").read_text(errors="replace"):
            raise DesktopError("the prefix's X11 driver settings did not reach user.reg")
        stamp_file.write_text(stamp)
        return True
    raise DesktopError(f"no usable Wine prefix after {PREFIX_ATTEMPTS} attempts")


def copy_prefix(template, path, display, home):
    shutil.rmtree(path, ignore_errors=True)
    run(["cp", "-a", "--reflink=auto", str(template), str(path)], timeout=300)
    (Path(path) / TEMPLATE_STAMP).unlink()
    return Prefix(path, display, home)


class WindowLister:
    """Runs list_windows.exe in a prefix and reads its JSON listing."""

    def __init__(self, helper_path):
        self.helper_path = str(helper_path)

    def list(self, prefix, until=None, timeout=60):
        command = [self.helper_path]
        if until is not None:
            command += ["--until", until, "--timeout-ms", str(int(timeout * 1000))]
        # The helper's own limit comes first; the process limit adds its start under Wine.
        returncode, output = prefix.wine(*command, timeout=timeout + HELPER_START_ALLOWANCE,
                                         check=False)
        try:
            listing = json.loads(output)
        except json.JSONDecodeError as error:
            raise DesktopError(f"list_windows printed no listing ({returncode}): "
                               f"{output[:200]!r}") from error
        if returncode != 0:
            raise DesktopError(f"no window showed {until!r} within {timeout} s; windows: "
                               f"{describe(listing)}")
        return listing


def describe(listing):
    """A short account of the visible windows, for failure messages."""
    parts = []
    for window in listing["windows"]:
        if window["visible"]:
            texts = [c["text"] for c in window["controls"] if c["visible"] and c["text"]]
            parts.append(f"{window['title']!r} {texts}")
    return "; ".join(parts) or "none visible"


def wait_for_exit(process, timeout):
    """The process's exit code; a process that outlives the limit is ended and reported."""
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired as error:
        process.kill()
        process.wait()
        raise DesktopError(f"setup.exe did not end within {timeout} s") from error


def click_and_press(display, control, *keys):
    """Brings a window forward by clicking one of its labels (a click on a label triggers
    nothing), then sends keys. Wine reads the X events of the click and the keys in order,
    so the keys reach the window that the click activated."""
    left, top, right, bottom = control["rect"]
    # No --sync: it waits for a motion event, and there is none when the pointer is already
    # there. The server handles the move before the click anyway.
    display.xdotool("mousemove", str((left + right) // 2), str((top + bottom) // 2), "click",
                    "1")
    if keys:
        display.xdotool("key", "--delay", "50", *keys)


def type_text(display, text):
    display.xdotool("type", "--delay", "50", text)
