#!/bin/sh
# The native setup with the program manager server end to end, in a private XDG world: with a
# server running, a default install leaves the group and its two items in --list and as menu
# entries, and they are still there after a restart of the server; with no server the install
# still succeeds.
# Usage: progman_server.sh <setup binary> <kartol-progman binary>
set -u

setup=$1
progman=$2
work=$(mktemp -d)
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

XDG_RUNTIME_DIR=$work/run XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
KARTOL_DRIVE_C=$work/c
export XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME KARTOL_DRIVE_C
mkdir -m 700 "$work/run" && mkdir "$work/c"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Starts a server in the background and keeps its process id.
start_server() {
    server=$("$progman" --background) || fail "the server did not start"
    [ -n "$server" ] || fail "--background started no server"
}

stop_server() {
    kill "$server"
    while kill -0 "$server" 2>/dev/null; do sleep 0.1; done
    server=
}

install() {
    status=0
    printf '\n\n' | "$setup" >"$work/$1.out" 2>&1 || status=$?
    [ "$status" -eq 1 ] || fail "$1: exit code $status"
    grep -qxF 'Die Installation wurde erfolgreich durchgeführt.' "$work/$1.out" ||
        fail "$1: no success message"
}

expected_list='Vemo Kartol
  Vemo Kartol -> C:\KARTOL\kartol.exe
  Deinstallation -> C:\KARTOL\uninst.exe'

start_server
[ -z "$("$progman" --background)" ] || fail "a second server started"
install served
[ "$("$progman" --list)" = "$expected_list" ] || fail "--list: $("$progman" --list)"
entries=$(find "$work/data/applications" -name '*.desktop' | wc -l)
[ "$entries" -eq 2 ] || fail "$entries desktop entries"
grep -lqx "Exec=\"$work/c/KARTOL/kartol.exe\"" "$work"/data/applications/vemo-kartol/*/*.desktop ||
    fail "no entry starts kartol.exe"
for file in "$work"/data/applications/vemo-kartol/*/*.desktop "$work"/data/desktop-directories/*; do
    desktop-file-validate "$file" || fail "$file is not a valid desktop entry"
done
[ -f "$work"/config/menus/applications-merged/vemo-kartol-*.menu ] || fail "no merged menu"

stop_server
[ ! -e "$work/run/vemo-kartol-progman.socket" ] || fail "the socket outlived the server"
start_server
install again
[ "$("$progman" --list)" = "$expected_list" ] || fail "after a restart: $("$progman" --list)"

stop_server
install unserved
echo "program manager: group and items registered, kept across a restart; install without it"
