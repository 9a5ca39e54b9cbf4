#!/bin/sh
# The native setup once in a real terminal: tmux runs it in a pane of known size, and the
# screen is read back with capture-pane. Checks the path dialog's texts, the upper-case
# conversion while typing, Escape as Cancel with its message, and Enter ending the program
# with exit code 0. Exits with 77 (skipped) when tmux is not installed.
# Usage: terminal_tmux.sh <setup binary>
set -u

setup=$1
command -v tmux >/dev/null 2>&1 || {
    echo "tmux is not installed: skipped"
    exit 77
}

# Every wait polls the screen this often, up to this many times.
poll_interval=0.1
poll_limit=100

work=$(mktemp -d)
# A server of our own on a private socket: nothing of the user's tmux is touched.
socket="$work/tmux.sock"
session=kartol
mkdir "$work/drive_c"

cleanup() {
    tmux -S "$socket" kill-server >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

screen() {
    tmux -S "$socket" capture-pane -p -t "$session" 2>/dev/null
}

fail() {
    echo "FAIL: $*" >&2
    echo "--- screen ---" >&2
    screen >&2
    exit 1
}

# wait_until <what failed> <command...>: runs the command until it succeeds.
wait_until() {
    what=$1
    shift
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ "$tries" -le "$poll_limit" ] || fail "$what"
        sleep "$poll_interval"
    done
}

shows() {
    screen | grep -qF -- "$1"
}

tmux -u -S "$socket" -f /dev/null new-session -d -s "$session" -x 100 -y 30 \
    "KARTOL_DRIVE_C='$work/drive_c' '$setup'; echo \$? >'$work/status.tmp'; mv '$work/status.tmp' '$work/status'" ||
    fail "tmux did not start"

for text in 'Vemo Kartol Setup' 'Pfad:' 'C:\KARTOL\' 'OK' 'Cancel'; do
    wait_until "\"$text\" did not appear" shows "$text"
done

tmux -S "$socket" send-keys -t "$session" -l 'd:\spiele'
wait_until 'the typed text did not appear' shows 'D:\SPIELE'
shows 'C:\KARTOL' && fail "the typed text did not replace the default"

tmux -S "$socket" send-keys -t "$session" Escape
wait_until 'no cancel message' shows 'Die Installation wurde abgebrochen.'

tmux -S "$socket" send-keys -t "$session" Enter
wait_until "the program did not end" test -s "$work/status"
exit_code=$(cat "$work/status")
[ "$exit_code" = 0 ] || fail "exit code $exit_code, expected 0"
[ -z "$(ls -A "$work/drive_c")" ] || fail "drive C: was touched"

echo "terminal: dialog, typing, Escape and exit code as expected"
