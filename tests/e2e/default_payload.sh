#!/bin/sh
# The native binary in line mode. The end of input is the close box: exit code 0, nothing
# touched. A default install: the files the payload tool extracts and no other, the status
# texts and the log's "NC" lines in directory order.
# Usage: default_payload.sh <setup binary> <kartol-payload binary> <payload.szdd>
. "$(dirname "$0")/lib.sh"
setup=$1 tool=$2 payload=$3

run_setup cancel 0 ''
grep -qxF 'Die Installation wurde abgebrochen.' "$work/cancel.out" && [ -z "$(ls -A "$work/c")" ] &&
    ! grep -qF 'Bereite Installation vor.' "$work/cancel.out" || fail "cancel ran or wrote"
run_setup install
for line in '=== Vemo Kartol Setup ===' 'Pfad: [C:\KARTOL\]' 'Bereite Installation vor.'; do
    grep -qxF -- "$line" "$work/install.out" || fail "no line \"$line\""
done

"$tool" extract "$payload" "$work/expected" || fail "extract"
"$tool" list "$payload" | tail -n +2 | sed 's/^ *[0-9]* *[0-9]* //' >"$work/names"
[ "$(wc -l <"$work/names")" -eq 181 ] || fail "the payload lists $(wc -l <"$work/names") entries"
sed -n 's/^Schreibe C:\\KARTOL\\\(.*\)\.$/\1/p' "$work/install.out" | diff - "$work/names" ||
    fail "status texts differ from the directory"
{ printf '1 1\r\n'; sed 's/.*/NC &\r/' "$work/names"; } | cmp - "$work/c/KARTOL/deinst.log" ||
    fail "deinst.log differs"
# Names and contents of the installed tree, its names folded as the program's file system
# matches them.
tree() { (cd "$1" && find . -type f ! -name deinst.log -exec sha256sum {} + | tr a-z A-Z | sort); }
tree "$work/expected" >"$work/expected.sums"
# The generated files, all but the build's own two programs, are the same on every host and run.
grep -v -e '/KARTOL.EXE$' -e '/UNINST.EXE$' "$work/expected.sums" | sha256sum |
    grep -q '^c62bc10035504fdedff54982a409bee1b358e9f65326cc76b206353db2dc8600 ' ||
    fail "the sample product's contents changed"
tree "$work/c/KARTOL" | diff "$work/expected.sums" - || fail "the installed files differ"
echo "line mode: cancel touches nothing; default payload installed byte for byte"
