#!/usr/bin/env bash
# Builds the native setup with its embedded payload and starts it. In a terminal it shows the
# dialogs full screen; with input or output redirected it runs in line mode. Drive C: is
# ~/.local/share/vemo-kartol/drive_c unless KARTOL_DRIVE_C names another folder; the drive
# settings are kept in ~/.config/vemo-kartol/drives for the installed programs (docs/drives.md).
#
# The program manager (kartol-progman) is started in the background first unless one is
# running already, so that the program group lands in the desktop's menu.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/scripts/install-deps.sh" native
cmake --preset native >/dev/null
cmake --build --preset native --target setup kartol-progman >/dev/null
"$top/build/native/kartol-progman" --background >/dev/null ||
    echo "run-setup: no program manager started; the program group is not registered" >&2
exec "$top/build/native/setup" "$@"
