#!/bin/sh
# Install and removal as a user does it: the menu's entries start the installed KARTOL.EXE and
# uninst.exe, and the removal leaves drive C and the menus as before, but for a file the user
# added, with its folders, which the outcome names; a parent folder that was there stays.
# Usage: round_trip.sh <setup binary> <kartol-progman binary>
. "$(dirname "$0")/lib.sh"
setup=$1 progman=$2
# The menu folders of a desktop, which stay when our entries go.
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_DATA_HOME/desktop-directories" \
    "$XDG_CONFIG_HOME/menus/applications-merged"
snapshot() { (cd "$work" && find c home | sort); }
# Fails unless drive C and the menus are the lines of $2.
expect_snapshot() {
    printf '%s\n' "$2" >"$work/expected"
    snapshot | diff "$work/expected" - || fail "$1: drive C or the menus differ"
}
# run_entry <name> <input> <exit code> <line>: runs the menu entry as a desktop does, its Exec
# in its Path, which must end with the exit code and show the line.
run_entry() {
    entry=$(grep -lx "Name=$1" "$XDG_DATA_HOME"/applications/vemo-kartol/*/*.desktop) ||
        fail "no menu entry $1"
    status=0
    (cd "$(sed -n 's/^Path=//p' "$entry")" && printf "$2" |
        "$(sed -n 's/^Exec="\(.*\)"$/\1/p' "$entry")") >"$work/out" 2>&1 || status=$?
    [ "$status" -eq "$3" ] && grep -qxF -- "$4" "$work/out" || fail "$1 $status: $(cat "$work/out")"
}

server=$("$progman" --background) || fail "the server did not start"
on_exit='kill "$server" 2>/dev/null'
before=$(snapshot)
run_setup default
run_entry "Vemo Kartol" '\n' 0 '=== Vemo Kartol ==='
run_entry Deinstallation 'j\n\n' 0 'Vemo Kartol wurde vollständig von Ihrem Computer entfernt.'
grep -q '^Möchten Sie Vemo Kartol' "$work/out" || fail "no question: $(cat "$work/out")"
expect_snapshot default "$before"

mkdir "$work/c/SPIELE"
before=$(snapshot)
run_setup parent 1 'c:\\spiele\\kartol\n\n'
run_entry "Vemo Kartol" '\n' 0 '=== Vemo Kartol ==='
echo mine >"$work/c/SPIELE/KARTOL/eis/MEIN.SAV"
run_entry Deinstallation 'j\n\n' 2 \
    'C:\SPIELE\KARTOL\eis: enthält Dateien, die nicht zu Vemo Kartol gehören'
expect_snapshot parent "$(printf '%s\n' "$before" c/SPIELE/KARTOL c/SPIELE/KARTOL/eis \
    c/SPIELE/KARTOL/eis/MEIN.SAV | sort)"
echo "installed, started from the menu, and removed through it"
