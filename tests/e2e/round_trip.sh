#!/bin/sh
# Install and removal of the native build as a user does it, with the program manager running
# in a private XDG world: the menu's entries really start the installed KARTOL.EXE and
# uninst.exe, and after the removal drive C and the menu folders are as they were before the
# install. A parent folder that existed before stays, and so does a file the user added, with
# its folders, which the outcome names.
# Usage: round_trip.sh <setup binary> <kartol-progman binary>
set -u

setup=$1 progman=$2
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT INT TERM
HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
XDG_RUNTIME_DIR=$work/run KARTOL_DRIVE_C=$work/c
export HOME XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME KARTOL_DRIVE_C
# The menu folders of a desktop, which stay when our entries go.
mkdir -p "$work/c" "$XDG_DATA_HOME/applications" "$XDG_DATA_HOME/desktop-directories" \
    "$XDG_CONFIG_HOME/menus/applications-merged"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
snapshot() {
    (cd "$work" && find c home | sort)
}
# Fails unless drive C and the menus are the lines of $2.
expect_snapshot() {
    printf '%s\n' "$2" >"$work/expected"
    snapshot | diff "$work/expected" - >"$work/diff" || fail "$1: $(cat "$work/diff")"
}
# Runs the menu entry named $1 as a desktop does: its Exec in its Path, with input $2.
run_entry() {
    entry=$(grep -lx "Name=$1" "$XDG_DATA_HOME"/applications/vemo-kartol/*/*.desktop) ||
        fail "no menu entry $1"
    program=$(sed -n 's/^Exec="\(.*\)"$/\1/p' "$entry")
    folder=$(sed -n 's/^Path=//p' "$entry")
    (cd "$folder" && printf "$2" | "$program") >"$work/out" 2>&1
}

server=$("$progman" --background) || fail "the server did not start"
for case in default parent; do
    before=$(snapshot)
    if [ "$case" = default ]; then
        input='\n\n' dir=c/KARTOL name='C:\KARTOL'
    else
        mkdir "$work/c/SPIELE"
        before=$(snapshot)
        input='c:\\spiele\\kartol\n\n' dir=c/SPIELE/KARTOL name='C:\SPIELE\KARTOL'
    fi
    printf "$input" | "$setup" >"$work/out" 2>&1
    grep -qxF 'Die Installation wurde erfolgreich durchgeführt.' "$work/out" ||
        fail "$case: no success: $(tail -n 3 "$work/out")"
    run_entry "Vemo Kartol" '\n' || fail "$case: KARTOL.EXE: $(cat "$work/out")"
    grep -qxF '=== Vemo Kartol ===' "$work/out" || fail "$case: no product window"

    if [ "$case" = default ]; then
        run_entry Deinstallation 'j\n\n' || fail "$case: uninst.exe failed: $(cat "$work/out")"
        grep -qxF 'Vemo Kartol wurde vollständig von Ihrem Computer entfernt.' "$work/out" &&
            grep -q '^Möchten Sie Vemo Kartol' "$work/out" || fail "$case: $(cat "$work/out")"
        expect_snapshot "$case" "$before"
    else
        echo mine >"$work/$dir/eis/MEIN.SAV"
        status=0
        run_entry Deinstallation 'j\n\n' || status=$?
        [ "$status" -eq 2 ] || fail "$case: exit code $status: $(cat "$work/out")"
        grep -qxF "$name\\eis: enthält Dateien, die nicht zu Vemo Kartol gehören" "$work/out" ||
            fail "$case: the added file is not named: $(cat "$work/out")"
        expected=$(printf '%s\n' "$before" c/SPIELE/KARTOL c/SPIELE/KARTOL/eis \
            c/SPIELE/KARTOL/eis/MEIN.SAV | sort)
        expect_snapshot "$case" "$expected"
    fi
done
echo "installed, started from the menu, and removed through it"
