#!/usr/bin/env python3
"""The program manager server under abuse: the rows of ABUSE, each followed by a new client
answered at once, then a hundred clients; the menu files stay whole.
Usage: progman_abuse.py <setup, unused> <kartol-progman>"""
import os, random, socket, struct, subprocess, sys, tempfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

PROMPT = 0.5  # a reply must come well within the setup's own 1000 ms


def frame(kind, data):
    return kind + struct.pack("<H", len(data)) + data


def execute(text):
    return frame(b"X", text)


CONNECT = frame(b"C", b"PROGMAN\0PROGMAN")
# name, bytes sent, replies expected (1 accepted, 0 refused) before the server ends the link
# or the bytes run out.
ABUSE = [
    ("malformed commands", CONNECT + execute(b"[DeleteGroup(") + execute(b'[Foo("x")]') +
     execute(b"\xff" * 10) + execute(b""), [1, 0, 0, 0, 0]),
    ("control character, and text after a NUL", CONNECT + execute(b'[CreateGroup("A\tB")]') +
     execute(b'[CreateGroup("Abuse")]\0[garbage'), [1, 0, 1]),
    ("group name too long", CONNECT + execute(b'[CreateGroup("' + b"G" * 65000 + b'")]'), [1, 0]),
    ("command line of 64 KB", CONNECT + execute(b'[ShowGroup("Abuse",1)]') +
     execute(b'[AddItem("C:\\' + b"A\\" * 32000 + b'a.exe","Lang")]'), [1, 1, 1]),
    ("another topic", frame(b"C", b"PROGMAN\0BAR\0C=/") + execute(b'[CreateGroup("x")]'), [0]),
    ("execute before connect", execute(b'[CreateGroup("x")]'), [0]),
    ("unknown frame kind", CONNECT + frame(b"Z", b"abc") + execute(b'[CreateGroup("x")]'), [1]),
    ("cut off in a header", CONNECT + b"X\x10", [1]),
    ("cut off in the data", CONNECT + b"X\x10\x00[Crea", [1]),
    ("random bytes", b"\0" + random.Random(1).randbytes(70000), [0]),
    ("silent client", b"", []),
    ("silent after connecting", CONNECT, [1]),
]


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


def connect():
    link = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    link.connect(str(WORK / "run" / "vemo-kartol-progman.socket"))
    return link


def progman(option):
    return subprocess.run([PROGMAN, option], env=ENV, check=True, capture_output=True,
                          text=True).stdout


def check_answers(why):
    """A new client gets its CreateGroup done at once, and the menu files are whole."""
    with connect() as link:
        link.sendall(CONNECT + execute(b'[CreateGroup("Probe")]'))
        if replies(link, 2, PROMPT) != [1, 1]:
            sys.exit(f"FAIL: {why}: a new client was not answered at once")
    for path in (WORK / "config").rglob("*.menu"):
        ElementTree.parse(path)
    for path in (WORK / "data").rglob("*"):
        if ".tmp-" in path.name or path.suffix in (".desktop", ".directory") and \
                subprocess.run(["desktop-file-validate", str(path)]).returncode != 0:
            sys.exit(f"FAIL: {why}: {path} left behind or no valid desktop entry")


def main():
    for name, sent, expected in ABUSE:
        with connect() as link:
            link.sendall(sent)
            if (got := replies(link, len(expected), PROMPT)) != expected:
                sys.exit(f"FAIL: {name}: replies {got}, expected {expected}")
            check_answers(name)
        check_answers(f"{name}, after it left")

    links = [connect() for _ in range(100)]
    for number, link in enumerate(links):
        link.sendall(CONNECT + execute(b'[CreateGroup("Schar %d")]' % number))
    for number, link in enumerate(links):
        if replies(link, 2, 2) != [1, 1]:
            sys.exit(f"FAIL: client {number} of a hundred was not served")
        link.close()
    if (groups := progman("--list").count("\nSchar ")) != 100:
        sys.exit(f"FAIL: {groups} of a hundred groups made")
    check_answers("a hundred clients")


if __name__ == "__main__":
    PROGMAN = sys.argv[2]
    with tempfile.TemporaryDirectory() as work:
        WORK = Path(work)
        ENV = dict(os.environ, HOME=str(WORK / "home"), XDG_RUNTIME_DIR=str(WORK / "run"),
                   XDG_DATA_HOME=str(WORK / "data"), XDG_CONFIG_HOME=str(WORK / "config"))
        server = int(progman("--background"))
        try:
            main()
        finally:
            subprocess.run(["kill", "-9", str(server)], stderr=subprocess.DEVNULL)
    print(f"program manager: {len(ABUSE)} abuse cases and a hundred clients withstood")
