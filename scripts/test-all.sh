#!/usr/bin/env bash
# Installs what the tests need, builds the native, sanitizer and Windows builds, and runs
# every test: the in-process and end-to-end tests of the native build (also under ASan and
# UBSan), the checks of setup.exe, and setup.exe itself under Wine on Xvfb.
# Ends with one line "N passed, M failed" and a non-zero exit when anything failed.
set -uo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/scripts/install-deps.sh" || exit 1

passed=0
failed=0
failures=()

# Names the next phase with the seconds since the start, so a log shows where the time goes.
phase() {
    echo "== $1 (at ${SECONDS} s)"
}

# Adds a suite's counts; a suite that could not run at all counts as one failure.
count() {
    local name=$1 ok=$2 bad=$3
    passed=$((passed + ok))
    failed=$((failed + bad))
    if [ "$bad" -gt 0 ]; then
        failures+=("$name")
    fi
}

# Runs ctest for a preset and takes its counts from its summary line.
run_ctest() {
    local preset=$1 log
    phase "ctest $preset"
    log=$(mktemp)
    ctest --preset "$preset" -j2 2>&1 | tee "$log"
    local summary total bad
    summary=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    if [ -z "$summary" ]; then
        count "ctest $preset" 0 1
        return
    fi
    bad=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
    total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$summary")
    count "ctest $preset" $((total - bad)) "$bad"
}

# Runs a script that ends with its own "N passed, M failed" line.
run_counted() {
    local name=$1 log line
    shift
    phase "$name"
    log=$(mktemp)
    "$@" 2>&1 | tee "$log"
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
    rm -f "$log"
    if [ -z "$line" ]; then
        count "$name" 0 1
        return
    fi
    count "$name" "$(cut -d' ' -f1 <<<"$line")" "$(cut -d' ' -f3 <<<"$line")"
}

build() {
    local preset=$1
    phase "build $preset"
    if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; then
        return 0
    fi
    count "build $preset" 0 1
    return 1
}

if build native; then
    run_ctest native
fi
if build sanitize; then
    run_ctest sanitize
fi
# The libFuzzer targets, briefly, on their checked-in corpora.
run_counted "fuzz" "$top/scripts/run-fuzz.sh" "${KARTOL_FUZZ_SECONDS:-15}"
if build win32; then
    setup_exe="$top/build/win32/setup.exe"
    run_counted "setup.exe checks" /usr/bin/python3 "$top/tests/windows/check_setup_exe.py" "$setup_exe"
    run_counted "reproducible build" "$top/tests/windows/check_reproducible.sh" "$setup_exe"
    run_counted "signed build" "$top/tests/windows/check_signing.sh"
    run_counted "setup.exe under Wine" /usr/bin/python3 "$top/tests/windows/wine_scenarios.py" "$setup_exe"
fi

echo
if [ "${#failures[@]}" -gt 0 ]; then
    echo "failed: ${failures[*]}"
fi
phase "done"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
