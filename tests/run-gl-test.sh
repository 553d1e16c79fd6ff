#!/usr/bin/env bash
# Runs one display test program. LeakSanitizer's tracer now and then crashes while it stops the
# process for the leak check at exit ("LeakSanitizer has encountered a fatal error"): that says
# nothing about the test, so such a run is tried again, and when the tracer crashes every time
# the test runs once more without the leak check and its own result stands. A leak report or a
# failed test is never retried.
set -u
output=$(mktemp)
trap 'rm -f "$output"' EXIT
tracer_crashed() {
    grep -q 'LeakSanitizer has encountered a fatal error' "$output" &&
        ! grep -q 'detected memory leaks\|\[  FAILED  \]' "$output"
}
for attempt in 1 2 3; do
    "$@" >"$output" 2>&1
    status=$?
    if [[ $status -eq 0 ]] || ! tracer_crashed; then
        cat "$output"
        exit $status
    fi
    echo "(LeakSanitizer's tracer crashed at exit; running again)" >&2
done
echo "(the tracer crashed every time: running without the leak check)" >&2
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$@" >"$output" 2>&1
status=$?
cat "$output"
exit $status
