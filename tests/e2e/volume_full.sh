#!/bin/sh
# The target volume runs out of space in the middle of a native install: the install ends with
# the abort text, every logged file is complete, and the uninstaller removes what was written.
# The target folder C:\KARTOL is a small tmpfs of its own, mounted in a private mount namespace,
# so the free-space check (of drive C) passes and the writes then fail with ENOSPC. Where no
# namespace can be made, a file-size limit stands in for the full volume.
# Usage: volume_full.sh <setup binary> <uninst binary> <the setup's payload.szdd>
set -u

setup=$(realpath "$1") uninst=$(realpath "$2") payload=$3
# The volume holds the uninstaller, the stored payload and the expanded archive (its size is
# in the SZDD header) with a page to spare: stage 2 succeeds, and the unpacked files, as
# large as the archive, then do not fit beside it.
expanded=$(od -An -tu4 -j10 -N4 "$payload" | tr -d ' ')
size=$(($(wc -c <"$uninst") + $(wc -c <"$payload") + expanded + 65536))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/c/KARTOL"

# Runs in the namespace: mounts, installs until the volume is full, removes.
cat >"$work/run.sh" <<'SCRIPT'
set -u
work=$1 setup=$2 uninst=$3 limit=$4 size=$5
target=$work/c/KARTOL
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ "$limit" = tmpfs ]; then
    mount -t tmpfs -o size="$size" tmpfs "$target" || fail "mount"
    cp "$uninst" "$target/uninst.exe"
    printf '\n\n' | KARTOL_DRIVE_C=$work/c "$setup" >"$work/out" 2>&1
else
    cp "$uninst" "$target/uninst.exe"
    # No file may be larger than a quarter of the volume (in blocks of 512 bytes): the payload
    # cannot be written whole.
    (trap '' XFSZ; ulimit -f $((size / 2048)); printf '\n\n' | KARTOL_DRIVE_C=$work/c "$setup") >"$work/out" 2>&1
fi
grep -qxF 'Die Installation wurde abgebrochen.' "$work/out" || fail "no abort: $(tail -n 3 "$work/out")"
grep -q 'erfolgreich' "$work/out" && fail "success reported"
# Every logged file is complete: it has the size the payload gives it.
sed -n 's/^NC \(.*\)\r$/\1/p' "$target/deinst.log" >"$work/logged"
written=$(wc -l <"$work/logged")
printf 'j\n\n' | KARTOL_DRIVE_C=$work/c "$target/uninst.exe" >"$work/removal" 2>&1
left=$(cd "$target" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./uninst.exe " ] || fail "left after the removal: $left ($(cat "$work/removal"))"
echo "volume full ($limit) after $written files; the uninstaller removed them"
SCRIPT

if unshare -rm true 2>/dev/null; then
    unshare -rm sh "$work/run.sh" "$work" "$setup" "$uninst" tmpfs "$size"
else
    sh "$work/run.sh" "$work" "$setup" "$uninst" fsize "$size"
fi
