#!/usr/bin/env bash
# Builds setup.exe twice from the same sources into two fresh build folders of different path
# lengths and compares the two byte for byte: no time stamp, no build path and nothing else
# that varies between builds may reach the executable.
# Prints one line for the check and "N passed, M failed"; exits non-zero on a failure.
set -uo pipefail

top=$(cd "$(dirname "$0")/../.." && pwd)
work="$top/build/reproducible"
first="$work/first"
second="$work/second-with-a-longer-path"

build() {
    local dir=$1
    rm -rf "$dir"
    cmake --preset win32 -S "$top" -B "$dir" >"$dir.log" 2>&1 &&
        cmake --build "$dir" --target setup >>"$dir.log" 2>&1
}

mkdir -p "$work"
name="setup.exe identical from two fresh build folders"
if ! build "$first" || ! build "$second"; then
    echo "FAIL $name: a build failed (logs: $first.log, $second.log)"
    echo "0 passed, 1 failed"
    exit 1
fi
if cmp -s "$first/setup.exe" "$second/setup.exe"; then
    echo "ok   $name"
    echo "1 passed, 0 failed"
    exit 0
fi
echo "FAIL $name: $(cmp -l "$first/setup.exe" "$second/setup.exe" | wc -l) bytes differ," \
    "first at offset $(cmp "$first/setup.exe" "$second/setup.exe" | awk '{print $5}')"
echo "0 passed, 1 failed"
exit 1
