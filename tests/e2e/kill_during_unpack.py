#!/usr/bin/env python3
"""The setup killed (SIGKILL) while it unpacks, at random entries: the log is a prefix of the
full log, and the files on disk are the listed ones, complete, but for the entry after the
last listed, which the setup may have been writing when it died.
Usage: kill_during_unpack.py <setup> <kartol-payload> <payload.szdd> [kill runs]"""
import os, random, subprocess, sys, tempfile, time
from pathlib import Path

TEMPORARY_FILES = {"deinst.log", "kartol.un_", "kartol.un2", "kartol.un3"}


def tree(folder):
    """The files below the folder and their contents, by their names folded to upper case."""
    return {str(path.relative_to(folder)).replace("/", "\\").upper(): path.read_bytes()
            for path in folder.rglob("*") if path.is_file() and path.name not in TEMPORARY_FILES}


setup, tool, payload = sys.argv[1:4]
with tempfile.TemporaryDirectory() as work:
    work = Path(work)
    subprocess.run([tool, "extract", payload, work / "expected"], check=True)
    listing = subprocess.run([tool, "list", payload], check=True, capture_output=True).stdout
    names = [line.split(None, 2)[2] for line in listing.decode("cp1252").splitlines()[1:]]
    expected = tree(work / "expected")
    lines = [b"1 1\r\n"] + [b"NC %s\r\n" % name.encode("cp1252") for name in names]
    logs = [b"".join(lines[:count + 1]) for count in range(len(names) + 1)]
    killed = []
    for run in range(int(sys.argv[4]) if len(sys.argv) > 4 else 5):
        drive = work / f"c{run}"
        drive.mkdir()
        entry = random.randint(1, len(names) - 1)
        # Killed within a millisecond of showing the entry's status text: while it writes that
        # file, or just after.
        with subprocess.Popen([setup], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT,
                              env=dict(os.environ, KARTOL_DRIVE_C=str(drive))) as process:
            process.stdin.write(b"\n\n")
            process.stdin.close()
            shown = 0
            for line in process.stdout:
                shown += line.startswith(b"Schreibe ")
                if shown == entry:
                    time.sleep(random.random() / 1000)
                    process.kill()
                    break
        if (log := (drive / "KARTOL" / "deinst.log").read_bytes()) not in logs:
            sys.exit(f"FAIL: deinst.log is no prefix of the full log: {log[-40:]!r}")
        listed = logs.index(log)
        partial = (names + [""])[listed].upper()  # the entry that may be there in part
        on_disk = {name: data for name, data in tree(drive / "KARTOL").items() if name != partial}
        want = {name.upper(): expected[name.upper()] for name in names[:listed]}
        if on_disk != want:
            differ = sorted({name for name, _ in on_disk.items() ^ want.items()})
            sys.exit(f"FAIL: {listed} entries logged, but these files differ: {differ}")
        killed.append(f"{entry}->{listed}")
    print("killed at entry -> entries logged:", ", ".join(killed))
