#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each on a copy of its checked-in corpus for a while.
#   run-fuzz.sh [seconds per target [target...]]   (default 20 s and every target; by hand,
#   600 or more)
# Ends with "N passed, M failed", one per target.
set -uo pipefail

seconds=${1:-20}
top=$(cd "$(dirname "$0")/.." && pwd)
out="$top/build/fuzz"
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
    -I "$top")
declare -A sources=(
    [archive_reader]="$top/fuzz/archive_reader_fuzz.cpp $top/payload/archive_reader.cpp $top/formats/payload_archive.cpp"
    [szdd_decoder]="$top/fuzz/szdd_decoder_fuzz.cpp $top/formats/szdd_decoder.cpp $top/formats/szdd_encoder.cpp $top/formats/szdd_format.cpp"
    [install_log]="$top/fuzz/install_log_fuzz.cpp $top/uninst/install_record.cpp $top/formats/payload_archive.cpp"
    [progman_command]="$top/fuzz/progman_command_fuzz.cpp $top/progman_server/command_parser.cpp $top/platform/posix/codepage.cpp"
)
passed=0
failed=0
targets=("${@:2}")
[ ${#targets[@]} -gt 0 ] || targets=(archive_reader szdd_decoder install_log progman_command)
for target in "${targets[@]}"; do
    corpus=$(mktemp -d)
    cp "$top/fuzz/corpus/$target"/* "$corpus/"
    # shellcheck disable=SC2086
    if clang++ "${flags[@]}" ${sources[$target]} -o "$out/$target" &&
        "$out/$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" \
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
