#!/usr/bin/env bash
# Runs one display test program. LeakSanitizer's tracer now and then crashes while it stops the
# threads the display libraries leave behind at exit ("LeakSanitizer has encountered a fatal
# error"): that says nothing about the test, so such a run is tried once more. A leak report or
# a failed test is never retried.
set -u
output=$(mktemp)
trap 'rm -f "$output"' EXIT
for attempt in 1 2; do
    "$@" >"$output" 2>&1
    status=$?
    if [[ $status -eq 0 ]] || ! grep -q 'LeakSanitizer has encountered a fatal error' "$output" ||
        grep -q 'detected memory leaks\|\[  FAILED  \]' "$output"; then
        break
    fi
    echo "(LeakSanitizer's tracer crashed at exit; running again)" >&2
done
cat "$output"
exit $status
