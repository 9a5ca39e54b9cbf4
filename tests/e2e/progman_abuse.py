#!/usr/bin/env python3
"""The program manager server under abuse: the rows of ABUSE, each followed by a new client
answered at once, a hundred clients, a server hung with a full backlog and one killed
mid-conversation. The setup still ends with 1; the menu files stay whole.
Usage: progman_abuse.py <setup> <kartol-progman>"""
import fcntl, os, random, signal, socket, struct, subprocess, sys, tempfile, time
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
    ("another service", frame(b"C", b"FOO\0BAR") + execute(b'[CreateGroup("x")]'), [0]),
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


def connect(blocking=True):
    link = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    link.setblocking(blocking)
    link.connect(str(WORK / "run" / "vemo-kartol-progman.socket"))
    return link


def progman(option):
    return subprocess.run([PROGMAN, option], env=ENV, check=True, capture_output=True,
                          text=True).stdout


def check_menu_files(why):
    for path in (WORK / "config").rglob("*.menu"):
        ElementTree.parse(path)
    for path in (WORK / "data").rglob("*"):
        if ".tmp-" in path.name or path.suffix in (".desktop", ".directory") and \
                subprocess.run(["desktop-file-validate", str(path)]).returncode != 0:
            sys.exit(f"FAIL: {why}: {path} left behind or no valid desktop entry")


def check_answers(why):
    """A new client gets its CreateGroup done at once, and the menu files are whole."""
    with connect() as link:
        link.sendall(CONNECT + execute(b'[CreateGroup("Probe")]'))
        if replies(link, 2, PROMPT) != [1, 1]:
            sys.exit(f"FAIL: {why}: a new client was not answered at once")
    check_menu_files(why)


def install(why, meanwhile=lambda: None):
    """Runs the setup to its end, doing meanwhile while it runs; the seconds it took."""
    started = time.monotonic()
    setup = subprocess.Popen([SETUP], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=ENV)
    meanwhile()
    out = setup.communicate(b"\n\n", timeout=30)[0].decode()
    if setup.returncode != 1 or "Die Installation wurde erfolgreich durchgeführt." not in out:
        sys.exit(f"FAIL: {why}: exit code {setup.returncode}, {out[-200:]}")
    return time.monotonic() - started


def main():
    global server
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
    install("served")
    if "  Deinstallation -> C:\\KARTOL\\uninst.exe" not in progman("--list"):
        sys.exit(f"FAIL: the setup's group is missing: {progman('--list')}")

    # A stopped server with its backlog full: the setup sees no server and goes on.
    os.kill(server, signal.SIGSTOP)
    waiting = []
    try:
        while True:
            waiting.append(connect(blocking=False))
    except BlockingIOError:
        pass
    if (took := install("a hung server")) > 5:
        sys.exit(f"FAIL: the setup waited {took:.1f} s for a hung server")
    os.kill(server, signal.SIGKILL)
    for link in waiting:
        link.close()
    with open(WORK / "run" / "vemo-kartol-progman.socket.lock") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)  # once the kernel has closed the killed server's files

    # The setup's first conversation waits in the stopped server's backlog when it dies.
    server = int(progman("--background"))
    os.kill(server, signal.SIGSTOP)
    install("a server killed mid-conversation",
            lambda: time.sleep(PROMPT) or os.kill(server, signal.SIGKILL))
    check_menu_files("after the kills")


if __name__ == "__main__":
    SETUP, PROGMAN = sys.argv[1:3]
    with tempfile.TemporaryDirectory() as work:
        WORK = Path(work)
        ENV = dict(os.environ, HOME=str(WORK / "home"), XDG_RUNTIME_DIR=str(WORK / "run"),
                   XDG_DATA_HOME=str(WORK / "data"), XDG_CONFIG_HOME=str(WORK / "config"),
                   KARTOL_DRIVE_C=str(WORK / "c"))
        (WORK / "c").mkdir()
        server = int(progman("--background"))
        try:
            main()
        finally:
            subprocess.run(["kill", "-9", str(server)], stderr=subprocess.DEVNULL)
    print(f"program manager: {len(ABUSE)} abuse cases, a hundred clients, a hung and a killed "
          "server withstood")
