#!/usr/bin/env python3
"""The program manager server under abuse, in a private XDG world: each row of ABUSE sends raw
bytes and expects the server's replies, after which (the abuser still connected, and again when
it has gone) a new client must be answered at once; then a hundred clients at once, a server
hung with a full backlog and one killed mid-conversation. The setup still ends with 1, and the
menu files stay whole. Usage: progman_abuse.py <setup> <kartol-progman>"""
import os
import random
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree
from pathlib import Path

SUCCESS = "Die Installation wurde erfolgreich durchgeführt."
# A reply must come well within the setup's own 1000 ms.
PROMPT = 0.5


def frame(kind, data):
    return kind + struct.pack("<H", len(data)) + data


def execute(text):
    return frame(b"X", text)


CONNECT = frame(b"C", b"PROGMAN\0PROGMAN")
GARBAGE = b"\0" + random.Random(1).randbytes(70000)

# name, bytes sent, replies expected (1 accepted, 0 refused) before the server ends the link
# or the bytes run out.
ABUSE = [
    ("malformed commands", CONNECT + execute(b"[DeleteGroup(") + execute(b'[Foo("x")]') +
     execute(b"\xff" * 10) + execute(b""), [1, 0, 0, 0, 0]),
    ("control character, and text after a NUL", CONNECT + execute(b'[CreateGroup("A\tB")]') +
     execute(b'[CreateGroup("Abuse")]\0[garbage'), [1, 0, 1]),
    ("group name longer than a file name", CONNECT + execute(b'[CreateGroup("' +
                                                               b"G" * 65000 + b'")]'), [1, 0]),
    ("command line of 64 KB", CONNECT + execute(b'[ShowGroup("Abuse",1)]') +
     execute(b'[AddItem("C:\\' + b"A\\" * 32000 + b'a.exe","Lang")]'), [1, 1, 1]),
    ("another service", frame(b"C", b"FOO\0BAR") + execute(b'[CreateGroup("x")]'), [0]),
    ("execute before connect", execute(b'[CreateGroup("x")]'), [0]),
    ("unknown frame kind", CONNECT + frame(b"Z", b"abc") + execute(b'[CreateGroup("x")]'), [1]),
    ("cut off in a header", CONNECT + b"X\x10", [1]),
    ("cut off in the data", CONNECT + b"X\x10\x00[Crea", [1]),
    ("random bytes", GARBAGE, [0]),
    ("silent client", b"", []),
    ("silent after connecting", CONNECT, [1]),
]


def fail(message):
    sys.exit(f"FAIL: {message}")


def replies(link, count, timeout):
    """The replies that arrive within the timeout, up to count."""
    link.settimeout(timeout)
    got = []
    try:
        while len(got) < count and len(link.recv(3, socket.MSG_WAITALL)) == 3:
            got.append(link.recv(1)[0])
    except (socket.timeout, ConnectionError):
        pass
    return got


class World:
    def __init__(self, work, setup, progman):
        self.work, self.setup, self.progman = work, setup, progman
        self.env = dict(os.environ, HOME=str(work / "home"), XDG_RUNTIME_DIR=str(work / "run"),
                        XDG_DATA_HOME=str(work / "data"), XDG_CONFIG_HOME=str(work / "config"),
                        KARTOL_DRIVE_C=str(work / "c"))
        (work / "c").mkdir()
        self.socket_path = str(work / "run" / "vemo-kartol-progman.socket")
        self.server = 0

    def start_server(self):
        self.server = int(self.run_progman("--background"))

    def connect(self):
        link = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        link.connect(self.socket_path)
        return link

    def check_answers(self, why):
        """A new client gets its CreateGroup done at once, and the menu files are whole."""
        os.kill(self.server, 0)
        with self.connect() as link:
            link.sendall(CONNECT + execute(b'[CreateGroup("Probe")]'))
            if replies(link, 2, PROMPT) != [1, 1]:
                fail(f"{why}: a new client was not answered at once")
        self.check_menu_files(why)

    def check_menu_files(self, why):
        for path in (self.work / "config").rglob("*.menu"):
            ElementTree.parse(path)
        for path in (self.work / "data").rglob("*"):
            if ".tmp-" in path.name or path.suffix in (".desktop", ".directory") and \
                    subprocess.run(["desktop-file-validate", str(path)]).returncode != 0:
                fail(f"{why}: {path} left behind or no valid desktop entry")

    def install(self, why, meanwhile=lambda: None):
        """Runs the setup to its end, doing meanwhile while it runs; the seconds it took."""
        started = time.monotonic()
        setup = subprocess.Popen([self.setup], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 env=self.env)
        meanwhile()
        out = setup.communicate(b"\n\n", timeout=30)[0].decode()
        if setup.returncode != 1 or SUCCESS not in out:
            fail(f"{why}: exit code {setup.returncode}, {out[-200:]}")
        return time.monotonic() - started

    def run_progman(self, option):
        return subprocess.run([self.progman, option], env=self.env, check=True,
                              capture_output=True, text=True).stdout


def abuse(world):
    for name, sent, expected in ABUSE:
        with world.connect() as link:
            link.sendall(sent)
            got = replies(link, len(expected), PROMPT)
            if got != expected:
                fail(f"{name}: replies {got}, expected {expected}")
            world.check_answers(name)
        world.check_answers(f"{name}, after it left")


def hundred_clients(world):
    links = [world.connect() for _ in range(100)]
    for number, link in enumerate(links):
        link.sendall(CONNECT + execute(b'[CreateGroup("Schar %d")]' % number))
    for number, link in enumerate(links):
        if replies(link, 2, 2) != [1, 1]:
            fail(f"client {number} of a hundred was not served")
        link.close()
    groups = world.run_progman("--list").count("\nSchar ")
    if groups != 100:
        fail(f"{groups} of a hundred groups made")
    world.check_answers("a hundred clients")


def hung_server(world):
    """A stopped server with its backlog full: the setup sees no server and goes on."""
    os.kill(world.server, signal.SIGSTOP)
    waiting = []
    while True:
        link = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        link.setblocking(False)
        try:
            link.connect(world.socket_path)
        except BlockingIOError:
            link.close()
            break
        waiting.append(link)
    if (took := world.install("a hung server")) > 5:
        fail(f"the setup waited {took:.1f} s for a hung server")
    os.kill(world.server, signal.SIGKILL)
    for link in waiting:
        link.close()


def server_killed_mid_conversation(world):
    """The setup's first conversation waits in the stopped server's backlog when it dies."""
    world.start_server()
    os.kill(world.server, signal.SIGSTOP)
    world.install("a server killed mid-conversation",
                  lambda: time.sleep(PROMPT) or os.kill(world.server, signal.SIGKILL))


def main():
    setup, progman = sys.argv[1:3]
    with tempfile.TemporaryDirectory() as work:
        world = World(Path(work), setup, progman)
        world.start_server()
        try:
            abuse(world)
            hundred_clients(world)
            world.install("served")
            if "  Deinstallation -> C:\\KARTOL\\uninst.exe" not in world.run_progman("--list"):
                fail(f"the setup's group is missing: {world.run_progman('--list')}")
            hung_server(world)
            server_killed_mid_conversation(world)
            world.check_menu_files("after the kills")
        finally:
            subprocess.run(["kill", "-9", str(world.server)], stderr=subprocess.DEVNULL)
    print(f"program manager: {len(ABUSE)} abuse cases, a hundred clients, a hung and a killed "
          "server withstood")


if __name__ == "__main__":
    main()
