#!/usr/bin/env bash
# A whole native install (line mode, default target, fresh drive each run) against `tar -xf`
# of an archive holding exactly the tree that the install leaves behind. Both run the same
# number of times in this one run; the figures are milliseconds per run and their ratio.
# Usage: bench/install_vs_tar.sh [runs]   (builds the native preset first)
set -euo pipefail

runs=${1:-50}
top=$(cd "$(dirname "$0")/.." && pwd)
cmake --preset native >/dev/null
cmake --build --preset native --target setup >/dev/null
setup="$top/build/native/setup"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Enter on the path dialog's default, then Enter on the outcome box.
printf '\n\n' >"$work/answers"

fresh_drive() {
    rm -rf "$work/drive" && mkdir "$work/drive"
}

install_once() {
    XDG_RUNTIME_DIR="$work/no-program-manager" XDG_CONFIG_HOME="$work/config" \
        KARTOL_DRIVE_C="$work/drive" "$setup" <"$work/answers" >/dev/null || [ $? -eq 1 ]
}

# The peer's input: the tree one install produces.
fresh_drive
install_once
tar -C "$work/drive" -cf "$work/tree.tar" .
entries=$(tar -tf "$work/tree.tar" | wc -l)

now_ns() { date +%s%N; }

start=$(now_ns)
for ((i = 0; i < runs; i++)); do
    fresh_drive
    install_once
done
setup_ns=$(($(now_ns) - start))

start=$(now_ns)
for ((i = 0; i < runs; i++)); do
    fresh_drive
    tar -C "$work/drive" -xf "$work/tree.tar"
done
tar_ns=$(($(now_ns) - start))

awk -v s="$setup_ns" -v t="$tar_ns" -v n="$runs" -v e="$entries" 'BEGIN {
    printf "tree: %d entries; %d runs each\n", e, n
    printf "setup (line mode): %.2f ms per install\n", s / n / 1e6
    printf "tar -xf:           %.2f ms per extraction\n", t / n / 1e6
    printf "ratio setup/tar:   %.2f\n", s / t
}'
