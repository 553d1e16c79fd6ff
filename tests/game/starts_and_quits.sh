#!/usr/bin/env bash
# Starts the game executable with a fresh state folder on the display the test runs on, waits
# for its window, then asks it to quit as the desktop would. It must end its frame loop, close
# its log and exit with status 0.
set -u
game="$1"
home=$(mktemp -d)
log="$home/Orvalle/TheBrambleWay/log.txt"

# The game runs in a session of its own with no hold on this script's output, so that nothing it
# leaves behind (a leak checker's helper process, say) keeps the test from ending; whatever of
# that session is left at the end is killed.
XDG_DATA_HOME="$home" setsid "$game" >/dev/null 2>&1 </dev/null &
pid=$!
trap 'kill -9 -- -"$pid" 2>/dev/null; rm -rf "$home"' EXIT
for _ in $(seq 1 300); do
    grep -q 'OpenGL: game window successfully created' "$log" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
grep -q 'OpenGL: game window successfully created' "$log" || {
    echo "no window"; cat "$log"; kill -9 "$pid" 2>/dev/null; exit 1; }
sleep 0.5
kill -TERM "$pid"
for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "still running after the quit request"; kill -9 "$pid"; exit 1
fi
wait "$pid"
status=$?
[[ $status -eq 0 ]] || { echo "exit status $status"; cat "$log"; exit 1; }
grep -q ': Start log: The Bramble Way ' "$log" || { echo "no start line"; exit 1; }
grep -q ': Game: state path is ' "$log" || { echo "no state path line"; exit 1; }
grep -q ': End log$' "$log" || { echo "log not closed"; cat "$log"; exit 1; }
