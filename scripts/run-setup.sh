#!/usr/bin/env bash
# Builds the native setup with its embedded payload and starts it. In a terminal it shows the
# dialogs full screen; with input or output redirected it runs in line mode. Drive C: is
# ~/.local/share/vemo-kartol/drive_c unless KARTOL_DRIVE_C names another folder.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/scripts/install-deps.sh" native
cmake --preset native >/dev/null
cmake --build --preset native --target setup >/dev/null
exec "$top/build/native/setup" "$@"
