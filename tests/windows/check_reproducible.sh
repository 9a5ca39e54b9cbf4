#!/usr/bin/env bash
# Builds setup.exe twice into fresh build folders of different path lengths and compares the two
# byte for byte: no time stamp, build path or anything else that varies may reach the program.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
name="setup.exe identical from two fresh build folders"
for dir in "$top/build/reproducible/first" "$top/build/reproducible/second-with-a-longer-path"; do
    rm -rf "$dir" && mkdir -p "$dir"
    if ! { cmake --preset win32 -S "$top" -B "$dir" && cmake --build "$dir" --target setup; } >"$dir.log" 2>&1; then
        echo "FAIL $name: the build in $dir failed (log: $dir.log)" && echo "0 passed, 1 failed" && exit 1
    fi
    set -- "$@" "$dir/setup.exe"
done
if cmp "$@"; then echo "ok   $name" && echo "1 passed, 0 failed"; else echo "FAIL $name" && echo "0 passed, 1 failed" && exit 1; fi
