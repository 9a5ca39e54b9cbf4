#!/bin/sh
# The target volume runs full during an install: the abort text, and the uninstaller removes
# what was written. C:\KARTOL is a small tmpfs in a private mount namespace, so the free-space
# check of drive C passes and the writes fail with ENOSPC; else a file-size limit stands in.
# Usage: volume_full.sh <setup binary> <uninst binary> <the setup's payload.szdd>
. "$(dirname "$0")/lib.sh"
setup=$1 uninst=$2 payload=$3 target=$work/c/KARTOL
# The volume holds the uninstaller, the stored payload and the expanded archive (its size is
# in the SZDD header) with a page to spare: stage 2 succeeds, and the unpacked files, as
# large as the archive, then do not fit beside it.
size=$(($(wc -c <"$uninst") + $(wc -c <"$payload") + $(od -An -tu4 -j10 -N4 "$payload") + 65536))
mkdir "$target"
# Installs until the volume is full and removes, listing what is left; $1 limits the setup.
steps='cp "$uninst" "$target/uninst.exe"
(eval "$1"; printf "\n\n" | "$setup") >"$work/out" 2>&1
grep -c "^NC " "$target/deinst.log" >"$work/written"
printf "j\n\n" | "$target/uninst.exe" >"$work/removal" 2>&1
cd "$target" && find . -mindepth 1 >"$work/left"'
export work setup uninst target
if unshare -rm true 2>/dev/null; then
    limit=tmpfs
    unshare -rm sh -c "mount -t tmpfs -o size=$size tmpfs \"\$target\" || exit 1
$steps" sh :
else
    # No file may be larger than a quarter of the volume (in blocks of 512 bytes): the payload
    # cannot be written whole.
    limit=fsize
    sh -c "$steps" sh "trap '' XFSZ; ulimit -f $((size / 2048))"
fi
grep -qxF 'Die Installation wurde abgebrochen.' "$work/out" && ! grep -q erfolgreich "$work/out" ||
    fail "no abort: $(tail -n 3 "$work/out")"
[ "$(cat "$work/left")" = ./uninst.exe ] ||
    fail "left after the removal: $(cat "$work/left") ($(cat "$work/removal"))"
echo "volume full ($limit) after $(cat "$work/written") files; the uninstaller removed them"
