#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each on a copy of its checked-in corpus for a while.
#   run-fuzz.sh [seconds per target [target...]]   (default 20 s and every target; by hand,
#   600 or more)
# Ends with "N passed, M failed", one per target.
set -uo pipefail

seconds=${1:-20}
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
out="$top/build/fuzz"
targets=("${@:2}")
[ ${#targets[@]} -gt 0 ] || targets=(archive_reader szdd_decoder uninstall_log progman_command)
if ! { cmake --preset fuzz >/dev/null && cmake --build --preset fuzz; }; then
    echo "0 passed, ${#targets[@]} failed"
    exit 1
fi
passed=0
failed=0
for target in "${targets[@]}"; do
    corpus=$(mktemp -d)
    cp "$top/fuzz/corpus/$target"/* "$corpus/"
    if "$out/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 "$corpus" \
        >"$out/$target.log" 2>&1; then
        echo "fuzz $target: $(grep -E 'stat::number_of_executed_units' "$out/$target.log")"
        passed=$((passed + 1))
    else
        tail -n 30 "$out/$target.log" 2>/dev/null
        echo "fuzz $target: FAILED (see $out/$target.log)"
        failed=$((failed + 1))
    fi
    rm -rf "$corpus"
done
echo "$passed passed, $failed failed"
