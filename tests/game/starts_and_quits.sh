#!/usr/bin/env bash
# Starts the game executable with a fresh state folder; it must run its frames, write its log
# there and exit with status 0.
set -u
game="$1"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
XDG_DATA_HOME="$home" timeout 60 "$game"
status=$?
if [[ $status -ne 0 ]]; then
    echo "exit status $status"
    exit 1
fi
log="$home/Orvalle/TheBrambleWay/log.txt"
grep -q ': Start log: The Bramble Way ' "$log" || { echo "no start line in $log"; exit 1; }
grep -q ': Game: state path is ' "$log" || { echo "no state path line"; exit 1; }
grep -q ': End log$' "$log" || { echo "log not closed"; exit 1; }
