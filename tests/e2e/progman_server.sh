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

# The menu goes to the default folders below HOME, named explicitly as well.
HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
XDG_RUNTIME_DIR=$work/run KARTOL_DRIVE_C=$work/c
export HOME XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME KARTOL_DRIVE_C
data=$XDG_DATA_HOME
mkdir "$work/c"

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

# The server makes the missing runtime folder; one server per socket.
start_server
[ -z "$("$progman" --background)" ] || fail "a second server started"
"$progman" 2>/dev/null && fail "a second server served in the foreground"
"$progman" --help | grep -q '^usage: kartol-progman' || fail "--help"
"$progman" --lists 2>/dev/null; [ $? -eq 2 ] || fail "an unknown option is no usage error"
env -u HOME -u XDG_CONFIG_HOME "$progman" --list 2>/dev/null && fail "--list without HOME"
install served
[ "$("$progman" --list)" = "$expected_list" ] || fail "--list: $("$progman" --list)"
entries=$(find "$data/applications" -name '*.desktop' | wc -l)
[ "$entries" -eq 2 ] || fail "$entries desktop entries"
grep -lqx "Exec=\"$work/c/KARTOL/KARTOL.EXE\"" "$data"/applications/vemo-kartol/*/*.desktop ||
    fail "no entry starts the installed KARTOL.EXE"
for file in "$data"/applications/vemo-kartol/*/*.desktop "$data"/desktop-directories/*; do
    desktop-file-validate "$file" || fail "$file is not a valid desktop entry"
done
[ -f "$XDG_CONFIG_HOME"/menus/applications-merged/vemo-kartol-*.menu ] || fail "no merged menu"

stop_server
[ ! -e "$work/run/vemo-kartol-progman.socket" ] || fail "the socket outlived the server"
start_server
install again
[ "$("$progman" --list)" = "$expected_list" ] || fail "after a restart: $("$progman" --list)"

# Without the XDG settings, or with relative ones, which do not count, the folders are HOME's.
[ "$(env -u XDG_DATA_HOME -u XDG_CONFIG_HOME "$progman" --list)" = "$expected_list" ] ||
    fail "--list without XDG settings"
[ "$(XDG_DATA_HOME=data XDG_CONFIG_HOME=config "$progman" --list)" = "$expected_list" ] ||
    fail "--list with relative XDG settings"

# A server that was killed leaves its socket file; the next one replaces it.
kill -9 "$server"
while kill -0 "$server" 2>/dev/null; do sleep 0.1; done
start_server
install after_kill
stop_server
install unserved
echo "program manager: group and items registered, kept across a restart; install without it"
