#!/bin/sh
# Install and removal as a user does it, in one transcript compared with its .expected file
# (each program's --help line first, which changes nothing):
# the menu's entries start KARTOL.EXE and uninst.exe, also with no terminal and no environment,
# and from a shell without the drive settings; the removal leaves drive C and the menus as
# before, but for a file the user added and its folders; a parent that was there stays; a group
# that no server could remove goes when the next one starts; a folder of drive C that links to
# another place takes the product and gives it back; a setup stopped halfway can be removed.
# Usage: round_trip.sh <setup binary> <kartol-progman binary>
. "$(dirname "$0")/lib.sh"
setup=$1 progman=$2
start_server() { server=$("$progman" --background 2>"$work/started") || fail "no server"; }
start_server
on_exit='kill "$server" 2>/dev/null'
# The menu folders of a desktop, which stay when our entries go.
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_DATA_HOME/desktop-directories" \
    "$XDG_CONFIG_HOME/menus/applications-merged"
tree() { (cd "$work" && find c home | LC_ALL=C sort); }
# entry <name> <input>: runs the menu entry as a desktop does, its Exec in its Path; menu
# <name>: so, but with no terminal, no input and no environment.
entry() {
    file=$(grep -lx "Name=$1" "$XDG_DATA_HOME"/applications/vemo-kartol/*/*.desktop) ||
        fail "no menu entry $1"
    grep -qx Terminal=true "$file" || fail "$1 opens no terminal"
    (cd "$(sed -n 's/^Path=//p' "$file")" && printf "$2" | eval "${3-} $(sed -n 's/^Exec=//p' "$file")")
}
menu() { entry "$1" '' 'setsid env -i' </dev/null; }
setup() { "$setup" "$@"; }
# Another shell, which knows the drives only from the drive map.
shell() { (cd / && printf "$2" | env -u KARTOL_DRIVE_C "$work/c/$1"); }
{
    run tree
    run setup --help
    run_setup default
    run "$work/c/KARTOL/uninst.exe" --help
    run "$work/c/KARTOL/KARTOL.EXE" --help
    run menu "Vemo Kartol"
    run menu Deinstallation
    run shell KARTOL/uninst.exe 'j\n\n'
    run tree
    mkdir "$work/c/SPIELE"
    run_setup parent 1 'c:\\spiele\\kartol\n\n'
    run entry "Vemo Kartol" '\n'
    echo mine >"$work/c/SPIELE/KARTOL/eis/MEIN.SAV"
    kill "$server" && while kill -0 "$server" 2>/dev/null; do sleep 0.1; done
    run entry Deinstallation 'j\n\n'
    start_server
    cat "$work/started"
    run tree
    mkdir "$work/elsewhere" && ln -s "$work/elsewhere" "$work/c/OUT"
    run_setup linked 1 'c:\\out\\kartol\n\n'
    run shell OUT/KARTOL/uninst.exe 'j\n\n'
    run ls -A "$work/elsewhere"
    # A setup stopped halfway by a file it may not replace has installed its uninstaller first.
    mkdir "$work/c/KARTOL" && echo mine >"$work/c/KARTOL/KARTOL.HLP" && chmod a-w "$work/c/KARTOL/KARTOL.HLP"
    printf '\n\n' | "$setup" >"$work/stopped.out" 2>&1
    run tail -n 1 "$work/stopped.out"
    run shell KARTOL/uninst.exe 'j\n\n'
    run tree
    # Drive C: in one folder, then in another, which is then deleted: the first install's
    # uninstaller, started from anywhere, still finds its folder and leaves the other's group,
    # and a setup with no setting installs into the default drive C: and removes it again.
    mkdir "$work/a" "$work/b"
    (KARTOL_DRIVE_C=$work/a && run_setup first && KARTOL_DRIVE_C=$work/b && run_setup second) ||
        fail "the installs into two drives C: failed"
    rm -r "$work/b"
    (cd / && printf 'j\n\n' | env -u KARTOL_DRIVE_C "$work/a/KARTOL/uninst.exe" | tail -n 2)
    run ls -A "$work/a"
    (unset KARTOL_DRIVE_C && run_setup plain && cd / && printf 'j\n\n' |
        "$HOME/.local/share/vemo-kartol/drive_c/KARTOL/uninst.exe" | tail -n 1)
    run ls -A "$HOME/.local/share/vemo-kartol/drive_c"
} >"$work/transcript"
diff "$(dirname "$0")/round_trip.expected" "$work/transcript" || fail "the transcript differs"
echo "installed, started from the menu, and removed through it"
