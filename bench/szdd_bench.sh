#!/usr/bin/env bash
# SZDD compression and expansion against the format's other programs, on a corpus of real
# files of this system: 32-bit Windows programs and libraries that Wine installs, texts, a
# font and a sound file (about 4 MB), and one 30 MB case of concatenated libraries.
# Prints, per corpus: compressed bytes of ours and mscompress's; whole-process times for
# compressing (ours) and expanding into /dev/shm (ours, libmspack's, msexpand's), with ratios,
# the user and system time beside each expansion, and the peak memory of compressing and of
# expanding (ours also against what the tool takes to print its help). Given another build's kartol-payload as a baseline, its
# compression is measured in the same run, and its output must be byte for byte ours.
# Usage: bench/szdd_bench.sh [baseline kartol-payload]   (builds the native preset first;
# needs hyperfine and GNU time)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cmake --preset native >/dev/null
cmake --build --preset native --target kartol-payload >/dev/null
tool="$top/build/native/kartol-payload"
baseline=${1:-}
work=$(mktemp -d)
out=$(mktemp -d /dev/shm/kartol-bench-XXXXXX)
trap 'rm -rf "$work" "$out"' EXIT
c++ -O2 -o "$work/mspack_expand" "$top/tests/interop/mspack_expand.cpp" -lmspack

# The corpus takes what this system has; a missing folder or a cut pipe is no failure here.
set +o pipefail
wine=/usr/lib/i386-linux-gnu/wine/i386-windows
mkdir "$work/corpus"
cp "$wine"/{user32,gdi32,comctl32,msvcrt,shell32}.dll /usr/share/common-licenses/GPL-3 \
    "$work/corpus/"
find /usr/share/fonts /usr/share/sounds -type f \( -name '*.ttf' -o -name '*.wav' \) 2>/dev/null |
    head -n 2 | xargs -r cp -t "$work/corpus/"
cat "$work/corpus"/* | head -c 4000000 >"$work/c4.bin"
find "$wine" -name '*.dll' | sort | head -n 200 | xargs cat | head -c 30000000 >"$work/c30.bin"
set -o pipefail

# Peak resident memory in KiB of a command, the largest of three runs.
peak() {
    for _ in 1 2 3; do /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1 || true
        cat "$work/peak"; done | grep -E '^[0-9]+$' | sort -n | tail -n 1
}

for case in c4 c30; do
    input="$work/$case.bin"
    "$tool" compress "$input" "$work/$case.ours"
    cp "$input" "$work/$case.copy" && mscompress "$work/$case.copy"
    ours=$(stat -c %s "$work/$case.ours")
    theirs=$(stat -c %s "$work/$case.copy_")
    echo "$case: $(stat -c %s "$input") bytes; ours $ours, mscompress $theirs, ratio $(
        awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.4f", a / b }')"
    echo "  compress peak memory: ours $(($(peak "$tool" compress "$input" "$out/m") / 1024)) MiB"
    echo "  expand peak memory: ours $(peak "$tool" expand "$work/$case.ours" "$out/m") KiB" \
        "(help: $(peak "$tool" help) KiB), libmspack" \
        "$(peak "$work/mspack_expand" "$work/$case.ours" "$out/m") KiB"
    baseline_runs=()
    if [ -n "$baseline" ]; then
        "$baseline" compress "$input" "$work/$case.baseline"
        cmp "$work/$case.ours" "$work/$case.baseline"
        echo "  compress peak memory: baseline" \
            "$(($(peak "$baseline" compress "$input" "$out/m") / 1024)) MiB"
        baseline_runs=(-n "compress baseline" "$baseline compress $input $out/b")
    fi
    hyperfine --warmup 2 --runs 10 --export-json "$work/$case.json" \
        -n "compress ours" "$tool compress $input $out/c" "${baseline_runs[@]}" \
        -n "expand ours" "$tool expand $work/$case.ours $out/e1" \
        -n "expand libmspack" "$work/mspack_expand $work/$case.ours $out/e2" >/dev/null
    # msexpand takes about a minute for the 30 MB case: three runs say enough.
    hyperfine --runs 3 --export-json "$work/$case.slow.json" \
        -n "expand msexpand" "msexpand < $work/$case.ours > $out/e3" >/dev/null
    python3 - "$work/$case.json" "$work/$case.slow.json" "$(stat -c %s "$input")" <<'PY'
import json, sys
runs = {r["command"]: r for run in sys.argv[1:3] for r in json.load(open(run))["results"]}
results = {name: r["mean"] for name, r in runs.items()}
size = int(sys.argv[3])
for name in ("compress ours", "compress baseline"):
    if name in results:
        print(f"  {name}: {results[name] * 1000:.1f} ms, {size / results[name] / 1e6:.1f} MB/s "
              f"({results[name] / results['compress ours']:.2f} x ours)")
ours = results["expand ours"]
for name in ("expand ours", "expand libmspack", "expand msexpand"):
    print(f"  {name}: {results[name] * 1000:.2f} ms ({results[name] / ours:.2f} x ours), "
          f"user {runs[name]['user'] * 1000:.1f} ms, system {runs[name]['system'] * 1000:.1f} ms")
PY
done
