#!/usr/bin/env bash
# The end-to-end tests of setup.exe under Wine on a private Xvfb display.
#
#   run_wine_tests.sh path/to/setup.exe
#
# list_windows.exe must lie beside setup.exe (the win32 build makes both). Prints one line per
# scenario and "N passed, M failed"; exits non-zero on any failure.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
if [ $# -ne 1 ]; then
    echo "usage: $0 path/to/setup.exe" >&2
    exit 2
fi

# Wine, Xvfb and the tools, and i386 execution through qemu where the kernel lacks it.
"$here/../../scripts/install-deps.sh"
# python3-pefile belongs to the system interpreter.
exec /usr/bin/python3 "$here/wine_scenarios.py" "$1"
