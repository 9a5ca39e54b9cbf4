#!/usr/bin/env python3
"""The native setup's unpacking in line mode: whole, it shows each file it writes and leaves the
full log and the files as extracted. Killed (SIGKILL) at random entries, the log is a prefix of the full log, the files on disk are the
listed ones, complete (the last may still be its temporary file), and the uninstaller then
removes every one of them.
Usage: unpack.py <setup> <kartol-payload> <payload.szdd> <uninst> [kill runs]"""
import hashlib, os, random, shutil, subprocess, sys, tempfile, time
from pathlib import Path

TEMPORARY_FILES = {"deinst.log", "kartol.un_", "kartol.un2", "kartol.un3"}
PATH_DIALOG = ["=== Vemo Kartol Setup ===", "Bitte geben Sie das Verzeichnis ein, in das Vemo "
               "Kartol installiert werden soll.", "Pfad: [C:\\KARTOL\\]", "<OK> <Cancel>"]
PROGRESS = ["=== Vemo Kartol Setup ===", "Geduld", "Datei", "Bitte haben Sie etwas Geduld.",
            "Bereite Installation vor."]
# The generated sample files, all but the build's own two programs, are the same on every host
# and run; a deliberate change of the generator changes this digest.
SAMPLE_DIGEST = "1f8c47be54ac9e889eaeb85f16d39a19b2de0604a81e8ae0e91c1e290a886987"
BUILT_PROGRAMS = {"KARTOL.EXE", "UNINST.EXE"}


def tree(folder, skipped=TEMPORARY_FILES):
    """The files below the folder but the skipped, by their names folded to upper case."""
    return {str(path.relative_to(folder)).replace("/", "\\").upper(): path.read_bytes()
            for path in folder.rglob("*") if path.is_file() and path.name not in skipped}


setup, tool, payload, uninst = sys.argv[1:5]
with tempfile.TemporaryDirectory() as work:
    work = Path(work)
    ENV = dict(os.environ, XDG_CONFIG_HOME=str(work / "config"))  # the drive map of this test
    subprocess.run([tool, "extract", payload, work / "expected"], check=True)
    listing = subprocess.run([tool, "list", payload], check=True, capture_output=True).stdout
    names = [line.split(None, 2)[2] for line in listing.decode("cp1252").splitlines()[1:]]
    expected = tree(work / "expected")
    lines = [b"1 1\r\n"] + [b"NC %s\r\n" % name.encode("cp1252") for name in names]
    logs = [b"".join(lines[:count + 1]) for count in range(len(names) + 1)]
    digest = hashlib.sha256(b"".join(name.encode("cp1252") + b"\0" + data for name, data in
                                     sorted(expected.items()) if name not in BUILT_PROGRAMS))
    if digest.hexdigest() != SAMPLE_DIGEST:
        sys.exit(f"FAIL: the sample product's contents changed: {digest.hexdigest()}")
    installed = (PATH_DIALOG + PROGRESS + [f"Schreibe C:\\KARTOL\\{name}." for name in names] +
                 ["*** Vemo Kartol Setup ***", "Die Installation wurde erfolgreich durchgeführt."])
    # Exit code, output lines, the files (no temporary file stays) and the log.
    drive = work / "whole"
    drive.mkdir()
    run = subprocess.run([setup], input=b"\n\n", capture_output=True,
                         env=dict(ENV, KARTOL_DRIVE_C=str(drive)))
    if (run.returncode, run.stdout.decode().splitlines(), tree(drive / "KARTOL", {"deinst.log"}),
            (drive / "KARTOL" / "deinst.log").read_bytes()) != (1, installed, expected, logs[-1]):
        sys.exit(f"FAIL: exit code {run.returncode}: {run.stdout[-300:]!r}")
    killed = []
    for run in range(int(sys.argv[5]) if len(sys.argv) > 5 else 5):
        drive = work / f"c{run}"
        drive.mkdir()
        entry = random.randint(1, len(names) - 1)
        # Killed within a millisecond of showing the entry's status text: while it writes that
        # file, or just after.
        with subprocess.Popen([setup], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT,
                              env=dict(ENV, KARTOL_DRIVE_C=str(drive))) as process:
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
        on_disk = tree(drive / "KARTOL")
        want = {name.upper(): expected[name.upper()] for name in names[:listed]}
        # Killed between its line and its move, the last listed entry is the temporary file yet.
        if listed and names[listed - 1].upper() not in on_disk:
            del want[names[listed - 1].upper()]
        if on_disk != want:
            differ = sorted({name for name, _ in on_disk.items() ^ want.items()})
            sys.exit(f"FAIL: {listed} entries logged, but these files differ: {differ}")
        # The uninstaller from the folder; one that the setup did not get to is put there, and
        # stays unless the log lists it.
        program = drive / "KARTOL" / "uninst.exe"
        stays = not program.exists() and "uninst.exe" not in names[:listed]
        if not program.exists():
            shutil.copy(uninst, program)
        removal = subprocess.run([program], input=b"j\n\n", capture_output=True,
                                 env=dict(ENV, KARTOL_DRIVE_C=str(drive)))
        left = sorted(str(path.relative_to(drive)) for path in drive.rglob("*"))
        if left != (["KARTOL", "KARTOL/uninst.exe"] if stays else []):
            sys.exit(f"FAIL: left after the removal: {left}: {removal.stdout[-300:]!r}")
        killed.append(f"{entry}->{listed}")
    print("killed at entry -> entries logged:", ", ".join(killed))
