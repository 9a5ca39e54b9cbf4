#!/bin/sh
# The native binary in line mode, as scripts drive it. The end of input is the close box: it
# cancels with exit code 0 and touches nothing. A whole install of the embedded default
# payload: the files are exactly what the payload tool extracts from the same payload, the
# status texts name them in directory order, the log holds line 1 and one "NC" line per entry
# in that order, and no temporary file stays.
# Usage: default_payload.sh <setup binary> <kartol-payload binary> <payload.szdd>
set -eu

setup=$1 tool=$2 payload=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

mkdir "$work/c" "$work/cancel"
status=0
KARTOL_DRIVE_C="$work/cancel" "$setup" </dev/null >"$work/cancel.out" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "cancel: exit code $status"
grep -qxF 'Die Installation wurde abgebrochen.' "$work/cancel.out" || fail "cancel: no message"
grep -qF 'Bereite Installation vor.' "$work/cancel.out" && fail "cancel: the sequence ran"
[ -z "$(ls -A "$work/cancel")" ] || fail "cancel: drive C: was touched"
printf '\n\n' | KARTOL_DRIVE_C="$work/c" "$setup" >"$work/out" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "exit code $status"
for line in '=== Vemo Kartol Setup ===' 'Pfad: [C:\KARTOL\]' 'Bereite Installation vor.' \
    'Die Installation wurde erfolgreich durchgeführt.'; do
    grep -qxF -- "$line" "$work/out" || fail "no line \"$line\""
done

"$tool" extract "$payload" "$work/expected"
"$tool" list "$payload" | tail -n +2 | sed 's/^ *[0-9]* *[0-9]* //' >"$work/names"
[ "$(wc -l <"$work/names")" -eq 181 ] || fail "the payload lists $(wc -l <"$work/names") entries"

sed -n 's/^Schreibe C:\\KARTOL\\\(.*\)\.$/\1/p' "$work/out" | diff - "$work/names" ||
    fail "status texts differ from the directory"
{ printf '1 1\r\n'; sed 's/^\(.*\)$/NC \1\r/' "$work/names"; } | cmp - "$work/c/KARTOL/deinst.log" ||
    fail "deinst.log differs"

# The installed tree, folder names folded as the program's file system matches them.
installed=$(cd "$work/c/KARTOL" && find . -type f ! -name deinst.log | tr 'a-z' 'A-Z' | sort)
expected=$(cd "$work/expected" && find . -type f | tr 'a-z' 'A-Z' | sort)
[ "$installed" = "$expected" ] || fail "installed files differ: $installed"
(cd "$work/expected" && find . -type f) | while read -r file; do
    installed_file=$(find "$work/c/KARTOL" -ipath "$work/c/KARTOL/${file#./}" -type f)
    cmp -s "$work/expected/$file" "$installed_file" || fail "$file differs"
done
echo "line mode: cancel touches nothing; default payload installed byte for byte"
