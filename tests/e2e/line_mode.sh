#!/bin/sh
# The native setup end to end in line mode, as scripts drive it: OK on the default path
# installs and exits with 1; the end of input is the close box, which cancels with exit code 0
# and touches nothing. Each run gets its own temporary drive C:.
# Usage: line_mode.sh <setup binary>
set -u

setup=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# run <name> <input>: runs the setup on a fresh drive C: named after the run, with the
# input on stdin; leaves the output in $work/<name>.out and the exit code in $status.
run() {
    mkdir "$work/$1"
    status=0
    printf '%s' "$2" | KARTOL_DRIVE_C="$work/$1" "$setup" >"$work/$1.out" 2>&1 || status=$?
}

expect_line() {
    grep -qxF -- "$2" "$work/$1.out" || {
        cat "$work/$1.out" >&2
        fail "$1: no line \"$2\""
    }
}

run ok '
'
[ "$status" -eq 1 ] || fail "ok: exit code $status, expected 1"
expect_line ok '=== Vemo Kartol Setup ==='
expect_line ok 'Pfad: [C:\KARTOL\]'
expect_line ok 'Bereite Installation vor.'
expect_line ok 'Die Installation wurde erfolgreich durchgeführt.'
[ -d "$work/ok/KARTOL" ] || fail "ok: C:\\KARTOL was not made"
[ -f "$work/ok/KARTOL/deinst.log" ] || fail "ok: no uninstall log"

run cancel ''
[ "$status" -eq 0 ] || fail "cancel: exit code $status, expected 0"
expect_line cancel 'Die Installation wurde abgebrochen.'
grep -qF 'Bereite Installation vor.' "$work/cancel.out" && fail "cancel: the sequence ran"
[ -z "$(ls -A "$work/cancel")" ] || fail "cancel: drive C: was touched"

echo "line mode: OK and cancel as expected"
