#!/bin/sh
# The setup with the program manager server, in one transcript compared with its .expected
# file: the options; a socket folder that cannot be made; the group as --list and menu entries,
# across restarts, kills and settings; a drive the server was not told of, and one missing as
# it starts; what a killed server leaves; which installation's uninstaller removes the group.
# Usage: progman_server.sh <setup binary> <kartol-progman binary>
. "$(dirname "$0")/lib.sh"
setup=$1 socket=$work/run/vemo-kartol-progman.socket
mkdir "$work/bin" && ln -s "$2" "$work/bin/kartol-progman" && PATH=$work/bin:$PATH
on_exit='kill "$server" 2>/dev/null'
start_server() { server=$(kartol-progman --background 2>&1) && [ -n "$server" ] || fail "no server"; }
# uninstall <folder>: the uninstaller in C:\<folder>, answered Yes.
uninstall() { printf 'j\n\n' | "$work/c/$1/uninst.exe"; }
# stop_server [signal option]: ends the server and waits until it is gone.
stop_server() { kill ${1-} "$server" && while kill -0 "$server" 2>/dev/null; do sleep 0.1; done; }
{
    start_server
    run kartol-progman --background
    run kartol-progman
    run kartol-progman --help
    run kartol-progman --lists
    run kartol-progman --list --help
    run env XDG_RUNTIME_DIR="$work/none/run" kartol-progman
    run env -u HOME -u XDG_CONFIG_HOME kartol-progman --list
    run kartol-progman --list
    run_setup served
    run kartol-progman --list
    (cd "$work/home" && find .local .config -type f | LC_ALL=C sort)
    run grep -h ^Exec= "$XDG_DATA_HOME"/applications/vemo-kartol/*/*.desktop
    stop_server
    run test -e "$socket"
    # Started with another folder for D:, the server follows the drives that the setup sends.
    server=$(KARTOL_DRIVE_D="$work/c" kartol-progman --background) || fail "no server"
    mkdir "$work/d" && export KARTOL_DRIVE_D="$work/d"
    run_setup on_d 1 'd:\\kartol\n\n'
    unset KARTOL_DRIVE_D
    run kartol-progman --list
    run grep -h ^Exec= "$XDG_DATA_HOME"/applications/vemo-kartol/VEMO_20KARTOL/item-1.desktop
    # A server that was killed leaves its socket file and what it was writing; the next one
    # replaces the one and removes the other (once it serves). It starts while the folder of
    # D: is missing (a disk not mounted), and keeps the group on D: for when it is back.
    stop_server -9
    mv "$work/d" "$work/d.off" && start_server && mv "$work/d.off" "$work/d"
    run kartol-progman --list
    run_setup after_kill
    stop_server
    for file in "$XDG_CONFIG_HOME/menus/applications-merged/vemo-kartol-VEMO_20KARTOL.menu" \
        "$XDG_DATA_HOME/applications/vemo-kartol/VEMO_20KARTOL/item-1.desktop"; do
        : >"$file.tmp-$server"
    done
    kartol-progman & server=$!
    while kill -0 "$server" 2>/dev/null && [ ! -S "$socket" ]; do sleep 0.1; done
    run_setup foreground
    run find "$work/home" -name '*.tmp-*'
    run kartol-progman --list
    # Two installations in two folders, set up in either order: the group is the last one's,
    # which the other's uninstaller leaves.
    for folders in "zwei drei" "drei zwei"; do
        for folder in $folders; do run_setup "$folder" 1 "c:\\\\$folder\\n\\n"; done
        run uninstall ZWEI
        run kartol-progman --list
        run uninstall DREI
    done
    run kartol-progman --list
    kill "$server" && wait "$server"
    echo "foreground server -> $?"
} >"$work/transcript"
diff "$(dirname "$0")/progman_server.expected" "$work/transcript" || fail "the transcript differs"
echo "program manager: group and items registered, kept across a restart and a kill"
