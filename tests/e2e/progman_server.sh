#!/bin/sh
# The setup with the program manager server: the group and its two items in --list and as
# menu entries, kept across a restart of the server; without a server the install succeeds.
# Usage: progman_server.sh <setup binary> <kartol-progman binary>
. "$(dirname "$0")/lib.sh"
setup=$1 progman=$2 data=$XDG_DATA_HOME
on_exit='kill "$server" 2>/dev/null'
start_server() { server=$("$progman" --background) && [ -n "$server" ] || fail "no server"; }
# stop_server [signal option]: ends the server and waits until it is gone.
stop_server() {
    kill ${1-} "$server"
    while kill -0 "$server" 2>/dev/null; do sleep 0.1; done
}
# lists <why> [env arguments]: --list, run through env with the arguments, shows the group.
lists() {
    why=$1 && shift
    [ "$(env "$@" "$progman" --list)" = 'Vemo Kartol
  Vemo Kartol -> C:\KARTOL\kartol.exe
  Deinstallation -> C:\KARTOL\uninst.exe' ] || fail "--list $why: $(env "$@" "$progman" --list)"
}

# The server makes the missing runtime folder; one server per socket.
start_server
[ -z "$("$progman" --background)" ] || fail "a second server started"
"$progman" 2>/dev/null && fail "a second server served in the foreground"
"$progman" --help | grep -q '^usage: kartol-progman' || fail "--help"
"$progman" --lists 2>/dev/null; [ $? -eq 2 ] || fail "an unknown option is no usage error"
env -u HOME -u XDG_CONFIG_HOME "$progman" --list 2>/dev/null && fail "--list without HOME"
run_setup served
lists served
[ "$(find "$data/applications" -name '*.desktop' | wc -l)" -eq 2 ] || fail "not 2 desktop entries"
grep -lqx "Exec=\"$work/c/KARTOL/KARTOL.EXE\"" "$data"/applications/vemo-kartol/*/*.desktop ||
    fail "no entry starts the installed KARTOL.EXE"
desktop-file-validate "$data"/applications/vemo-kartol/*/*.desktop "$data"/desktop-directories/* ||
    fail "no valid desktop entries"
[ -f "$XDG_CONFIG_HOME"/menus/applications-merged/vemo-kartol-*.menu ] || fail "no merged menu"

stop_server
[ ! -e "$work/run/vemo-kartol-progman.socket" ] || fail "the socket outlived the server"
start_server
run_setup again
lists "after a restart"
# Without the XDG settings, or with relative ones, which do not count, the folders are HOME's.
lists "without XDG settings" -u XDG_DATA_HOME -u XDG_CONFIG_HOME
lists "with relative XDG settings" XDG_DATA_HOME=data XDG_CONFIG_HOME=config
# A server that was killed leaves its socket file; the next one replaces it.
stop_server -9
start_server
run_setup after_kill
stop_server
# In the foreground the server serves until a signal ends it, as a success.
"$progman" & server=$!
while kill -0 "$server" 2>/dev/null && [ ! -S "$work/run/vemo-kartol-progman.socket" ]; do sleep 0.1; done
run_setup foreground
lists "from the foreground server"
kill "$server" && wait "$server" || fail "the foreground server ended with $?"
run_setup unserved
echo "program manager: group and items registered, kept across a restart; install without it"
