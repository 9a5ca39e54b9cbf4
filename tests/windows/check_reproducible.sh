#!/usr/bin/env bash
# check_reproducible.sh path/to/setup.exe: builds setup.exe once more into a fresh build folder
# of another path length and compares the two byte for byte: no time stamp, build path or
# anything else that varies may reach the program.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
name="setup.exe identical from a second, fresh build folder"
built=$1 dir="$top/build/reproducible/second-with-a-longer-path"
rm -rf "$dir" && mkdir -p "$dir"
if ! { cmake --preset win32 -S "$top" -B "$dir" && cmake --build "$dir" --target setup; } >"$dir.log" 2>&1; then
    echo "FAIL $name: the build in $dir failed (log: $dir.log)" && echo "0 passed, 1 failed" && exit 1
fi
if cmp "$built" "$dir/setup.exe"; then echo "ok   $name" && echo "1 passed, 0 failed"; else echo "FAIL $name" && echo "0 passed, 1 failed" && exit 1; fi
