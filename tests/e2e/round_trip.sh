#!/bin/sh
# Install and removal as a user does it, in one transcript compared with its .expected file:
# the menu's entries start KARTOL.EXE and uninst.exe, and the removal leaves drive C and the
# menus as before, but for a file the user added and its folders; a parent that was there stays.
# Usage: round_trip.sh <setup binary> <kartol-progman binary>
. "$(dirname "$0")/lib.sh"
setup=$1
server=$("$2" --background) || fail "the server did not start"
on_exit='kill "$server" 2>/dev/null'
# The menu folders of a desktop, which stay when our entries go.
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_DATA_HOME/desktop-directories" \
    "$XDG_CONFIG_HOME/menus/applications-merged"
tree() { (cd "$work" && find c home | LC_ALL=C sort); }
# entry <name> <input>: runs the menu entry as a desktop does, its Exec in its Path.
entry() {
    file=$(grep -lx "Name=$1" "$XDG_DATA_HOME"/applications/vemo-kartol/*/*.desktop) ||
        fail "no menu entry $1"
    (cd "$(sed -n 's/^Path=//p' "$file")" && printf "$2" | "$(sed -n 's/^Exec="\(.*\)"$/\1/p' "$file")")
}
{
    run tree
    run_setup default
    run entry "Vemo Kartol" '\n'
    run entry Deinstallation 'j\n\n'
    run tree
    mkdir "$work/c/SPIELE"
    run_setup parent 1 'c:\\spiele\\kartol\n\n'
    run entry "Vemo Kartol" '\n'
    echo mine >"$work/c/SPIELE/KARTOL/eis/MEIN.SAV"
    run entry Deinstallation 'j\n\n'
    run tree
} >"$work/transcript"
diff "$(dirname "$0")/round_trip.expected" "$work/transcript" || fail "the transcript differs"
echo "installed, started from the menu, and removed through it"
