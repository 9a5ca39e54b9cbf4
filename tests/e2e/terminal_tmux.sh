#!/bin/sh
# The native setup in a tmux pane of known size, read back with capture-pane: the path
# dialog's texts, styles and cursor, the dialog shrunk to small screens, upper case while typing, Cancel with its message (both
# after a resize; the box is centred anew at the next) which an Enter typed ahead does not
# close, Enter ending with exit code 0 and the screen given back as it was.
# Usage: terminal_tmux.sh <setup binary>
command -v tmux >/dev/null 2>&1 || { echo "tmux is not installed: skipped"; exit 77; }
. "$(dirname "$0")/lib.sh"
setup=$1
# A server of our own on a private socket: nothing of the user's tmux is touched.
on_exit='pane kill-server >/dev/null 2>&1'
pane() { tmux -S "$work/tmux.sock" "$@"; }
# screen [-e]: the pane's text, with -e also its styles as escape sequences.
screen() { pane capture-pane -p ${1-} -t kartol 2>/dev/null; }
fail() { printf 'FAIL: %s\n--- screen ---\n' "$*" >&2; screen >&2; exit 1; }
# Runs the command every 0.1 s until it succeeds, for up to 10 s.
wait_until() {
    tries=0 && until "$@"; do [ $((tries += 1)) -le 100 ] || fail "in vain: $*"; sleep 0.1; done
}
shows() { screen | grep -qF -- "$1"; }

pane -u -f /dev/null new-session -d -s kartol -x 100 -y 30 \
    "echo Vorher; KARTOL_DRIVE_C='$work/c' '$setup'; echo \$? >'$work/status.tmp'; mv '$work/status.tmp' '$work/status'; sleep 60" ||
    fail "tmux did not start"
# The dialog with its styles: the caption bold and reversed, the field underlined with its text
# selected, OK bold as the default button.
styled() { screen -e | grep -qF -- "$(printf "$1")"; }
for text in '\033[1;7m Vemo Kartol Setup ' 'Pfad:  \033[4;7mC:\\KARTOL\\\033[0;4m' '\033[1m<    OK     >' Cancel; do
    wait_until styled "$text"
done
[ "$(pane display -p -t kartol '#{cursor_x},#{cursor_y}')" = 48,14 ] || fail "no cursor at the caret"
# On a small screen the dialog shrinks to fit: its caption, field and buttons stay whole.
while IFS='|' read -r width height text; do
    pane resize-window -t kartol -x "$width" -y "$height" && wait_until shows "$text"
done <<'ROWS'
40|10|│ Vemo Kartol Setup                    │
40|10|│          < OK >  [ Cancel ]          │
30|8|│ Pfad:  C:\KARTOL\          │
30|8|│     < OK >  [ Cancel ]     │
ROWS
pane resize-window -t kartol -x 100 -y 30
pane send-keys -t kartol -l 'd:\spiele'
wait_until shows 'D:\SPIELE'
shows 'C:\KARTOL' && fail "the typed text did not replace the default"
pane resize-window -t kartol -x 80 -y 24 && sleep 0.3 && pane send-keys -t kartol Tab Tab Enter Enter
centred() { screen | grep -q "^ \{$1\}│ Die Installation wurde abgebrochen. │"; }
wait_until centred 20
pane resize-window -t kartol -x 100 -y 30 && wait_until centred 30
pane send-keys -t kartol Enter
wait_until test -s "$work/status"
[ "$(cat "$work/status")" = 0 ] || fail "exit code $(cat "$work/status"), expected 0"
shows Vorher || fail "the setup did not give back the screen it found"
[ -z "$(ls -A "$work/c")" ] || fail "drive C: was touched"
echo "terminal: dialog, typing, Escape and exit code as expected"
