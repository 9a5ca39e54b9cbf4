#!/usr/bin/env bash
# Builds the native setup with its embedded payload and starts it. In a terminal it shows the
# dialogs full screen; with input or output redirected it runs in line mode. Drive C: is
# ~/.local/share/vemo-kartol/drive_c unless KARTOL_DRIVE_C names another folder; the menu's
# entries start the installed programs with the same setting (docs/drives.md).
#
# The program manager (kartol-progman) is started in the background first unless one is
# running already, so that the program group lands in the desktop's menu. Afterwards the script
# says where the product went, how to start and remove it, and how to stop the program manager
# that it started.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

say() {
    echo "run-setup: $*" >&2
}

"$top/scripts/install-deps.sh" native
say "building the native setup (the first build takes a few minutes)"
cmake --preset native >/dev/null
# The build's progress and any error as the build prints them.
if ! cmake --build --preset native --target setup kartol-progman >&2; then
    say "the build failed (above); nothing was started"
    exit 1
fi

progman_pid=""
if progman_pid=$("$top/build/native/kartol-progman" --background); then
    [ -n "$progman_pid" ] && say "started the program manager (process $progman_pid)"
else
    say "no program manager started; the program group is not registered"
fi

# The product's folder is the one whose log this run writes.
drive_c=${KARTOL_DRIVE_C:-${XDG_DATA_HOME:-$HOME/.local/share}/vemo-kartol/drive_c}
stamp=$(mktemp)
trap 'rm -f "$stamp"' EXIT
status=0
"$top/build/native/setup" "$@" || status=$?

log=$(find "$drive_c" -name deinst.log -newer "$stamp" -print -quit 2>/dev/null || true)
if [ -n "$log" ]; then
    folder=$(dirname "$log")
    say "the product is in $folder"
    say "start it: the entry \"Vemo Kartol\" in the desktop's menu, or $folder/KARTOL.EXE"
    say "remove it: \"Deinstallation\" in that menu, or $folder/uninst.exe"
else
    say "nothing was installed on drive C: ($drive_c)"
fi
if [ -n "$progman_pid" ]; then
    say "the program manager keeps running for the menu's entries; stop it with: kill $progman_pid"
fi
exit "$status"
