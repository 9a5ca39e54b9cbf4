#!/usr/bin/env python3
"""The uninstall log stays true when the setup is killed (SIGKILL) while it unpacks, at random
entries: it is line 1 and the "NC" lines of a prefix of the directory, byte for byte; every
listed file is complete; no other file is there but the entry after the last listed, which the
setup may have been writing when it died.
Usage: kill_during_unpack.py <setup> <kartol-payload> <payload.szdd> [kill runs]"""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

TEMPORARY_FILES = {"deinst.log", "kartol.un_", "kartol.un2", "kartol.un3"}


def fail(message):
    sys.exit(f"FAIL: {message}")


def folded(relative):
    return str(relative).replace("/", "\\").upper()


def kill_at(setup, drive, entry):
    """Starts the setup and kills it within a millisecond of showing the given entry's status
    text: while it writes that file, or just after."""
    env = dict(os.environ, KARTOL_DRIVE_C=str(drive))
    process = subprocess.Popen([setup], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, env=env)
    process.stdin.write(b"\n\n")
    process.stdin.close()
    shown = 0
    for line in process.stdout:
        shown += line.startswith(b"Schreibe ")
        if shown == entry:
            time.sleep(random.random() / 1000)
            process.send_signal(signal.SIGKILL)
            break
    process.stdout.close()
    process.wait()


def check(target, names, expected):
    log = (target / "deinst.log").read_bytes()
    lines = [b"1 1\r\n"] + [b"NC " + name.encode("cp1252") + b"\r\n" for name in names]
    listed = 0
    while listed < len(names) and log.startswith(b"".join(lines[:listed + 2])):
        listed += 1
    if log != b"".join(lines[:listed + 1]):
        fail(f"deinst.log is no prefix of the full log after {listed} entries: {log[-40:]!r}")
    on_disk = {folded(path.relative_to(target)): path for path in target.rglob("*")
               if path.is_file() and path.name not in TEMPORARY_FILES}
    for index, name in enumerate(names):
        path = on_disk.pop(name.upper(), None)
        if index < listed and (path is None or path.read_bytes() != expected[name.upper()]):
            fail(f"{name} is listed but not complete on disk")
        if index > listed and path is not None:
            fail(f"{name} is on disk although the setup died before it")
    if on_disk:
        fail(f"files that are no entries: {sorted(on_disk)}")
    return listed


def main():
    setup, tool, payload = sys.argv[1:4]
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        subprocess.run([tool, "extract", payload, str(work / "expected")], check=True)
        listing = subprocess.run([tool, "list", payload], check=True, capture_output=True)
        names = [line.split(None, 2)[2] for line in
                 listing.stdout.decode("cp1252").splitlines()[1:]]
        expected = {folded(path.relative_to(work / "expected")): path.read_bytes()
                    for path in (work / "expected").rglob("*") if path.is_file()}
        killed = []
        for run in range(runs):
            drive = work / f"c{run}"
            drive.mkdir()
            entry = random.randint(1, len(names) - 1)
            kill_at(setup, drive, entry)
            killed.append(f"{entry}->{check(drive / 'KARTOL', names, expected)}")
        print("killed at entry -> entries logged:", ", ".join(killed))


if __name__ == "__main__":
    main()
