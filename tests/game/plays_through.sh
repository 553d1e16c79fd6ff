#!/usr/bin/env bash
# Plays the game in its real window, as a player would with a mouse: starts bramble-way with a
# fresh state folder on the display the test runs on, opens the jukebox and picks a song, starts a
# game and steers from side to side until a stone or spikes end it, closes the game-over popup and
# asks the game to quit. A screenshot of each screen is kept in the output folder (start.png,
# jukebox.png, play1.png, play2.png, gameover.png, again.png), and a few pixels of each are
# checked. Places are given in the game's own 768 x 1024 and mapped into the window.
#   plays_through.sh GAME OUTPUT_DIR
set -u
game="$1"
out="$2"
mkdir -p "$out"
home=$(mktemp -d)
state="$home/Orvalle/TheBrambleWay"
log="$state/log.txt"
fail() {
    echo "FAIL: $*"
    [[ -f "$log" ]] && tail -n 40 "$log"
    exit 1
}
[[ -n "${DISPLAY:-}" ]] || fail "no display (run it under xvfb-run)"
for tool in xdotool import convert compare; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done

# The game runs in a session of its own (see starts_and_quits.sh); what is left of it is killed.
XDG_DATA_HOME="$home" setsid "$game" >/dev/null 2>&1 </dev/null &
pid=$!
trap 'kill -9 -- -"$pid" 2>/dev/null; rm -rf "$home"' EXIT

# Polls a condition every 0.2 s for up to the given seconds; fails when the game has ended.
wait_for() {
    local seconds="$1" what="$2"
    shift 2
    local end=$((SECONDS + seconds))
    while ((SECONDS < end)); do
        "$@" && return 0
        kill -0 "$pid" 2>/dev/null || fail "the game ended while waiting for $what"
        sleep 0.2
    done
    fail "no $what after $seconds s"
}
logged() { grep -q "$1" "$log" 2>/dev/null; }

wait_for 60 "window" logged 'OpenGL: game window successfully created'
wait_for 60 "play screen" logged 'Game: adjust for usable screen'
window=$(xdotool search --name '^The Bramble Way$' | head -n 1)
[[ -n "$window" ]] || fail "no window titled The Bramble Way"
eval "$(xdotool getwindowgeometry --shell "$window")"
# The design fitted into the window, letterboxed.
read -r scale ox oy < <(awk -v w="$WIDTH" -v h="$HEIGHT" 'BEGIN {
    s = (w / 768 < h / 1024) ? w / 768 : h / 1024
    printf "%f %f %f\n", s, (w - 768 * s) / 2, (h - 1024 * s) / 2 }')
wx() { awk -v v="$1" -v s="$scale" -v o="$ox" 'BEGIN { printf "%d\n", o + v * s }'; }
wy() { awk -v v="$1" -v s="$scale" -v o="$oy" 'BEGIN { printf "%d\n", o + v * s }'; }
ws() { awk -v v="$1" -v s="$scale" 'BEGIN { n = int(v * s); printf "%d\n", n < 1 ? 1 : n }'; }
echo "window $window: ${WIDTH}x$HEIGHT, scale $scale"

click() { xdotool mousemove --window "$window" "$(wx "$1")" "$(wy "$2")" click 1; }
shoot() { import -window "$window" "$1" 2>/dev/null; }
# The colour (RRGGBB) at a design place of a screenshot.
pixel() {
    convert "$1" -format "%[hex:p{$(wx "$2"),$(wy "$3")}]" info: 2>/dev/null | cut -c1-6
}
# Whether two colours are within the tolerance on each channel.
near() {
    local a="$1" b="$2" tolerance="${3:-16}" i
    for i in 0 2 4; do
        local d=$((16#${a:i:2} - 16#${b:i:2}))
        ((d < 0)) && d=$((-d))
        ((d <= tolerance)) || return 1
    done
}
# Checks samples "what x y colour" of a screenshot; prints what it read.
expect() {
    local shot="$1" ok=0
    shift
    while (($#)); do
        local what="$1" x="$2" y="$3" colour="$4" got
        shift 4
        got=$(pixel "$shot" "$x" "$y")
        echo "  $(basename "$shot") $what ($x, $y): $got, expected $colour"
        near "$got" "$colour" || ok=1
    done
    return $ok
}
# Takes a screenshot until its samples match (the screen may still be moving in).
shoot_until() {
    local seconds="$1" shot="$2"
    shift 2
    local end=$((SECONDS + seconds))
    while ((SECONDS < end)); do
        shoot "$shot" && expect "$shot" "$@" >/dev/null && { expect "$shot" "$@"; return 0; }
        kill -0 "$pid" 2>/dev/null || fail "the game ended"
        sleep 0.3
    done
    expect "$shot" "$@"
    fail "$(basename "$shot") does not show what it should"
}

# Text pixels of a colour in a design rectangle that differ between two screenshots.
changed() {
    local a="$1" b="$2" x="$3" y="$4" w="$5" h="$6" colour="$7" shot
    for shot in "$a" "$b"; do
        convert "$shot" -crop "$(ws "$w")x$(ws "$h")+$(wx "$x")+$(wy "$y")" +repage -alpha off \
            -fuzz 10% -fill black -opaque "#$colour" -fill white +opaque black "$shot.mask.png"
    done
    compare -metric AE "$a.mask.png" "$b.mask.png" null: 2>&1 | cut -d' ' -f1
    rm -f "$a.mask.png" "$b.mask.png"
}
scores() { grep -c 'System: publish score' "$log"; }

# The start screen: sky, the HUD's coin, the start message's plate, the jukebox button.
start_samples=(sky 762 6 88C0D9 "HUD coin" 36 51 FFD650 "message plate" 200 530 F0F7FC
    "jukebox button" 610 740 B88AF4)
shoot_until 30 "$out/start.png" "${start_samples[@]}"

# The jukebox: its button opens it over the start screen; the first song lights its row and
# names itself on the jukebox's screen.
click 610 740
juke_samples=(backdrop 20 300 432672 cover 384 600 F4E0B8 "row A1" 249 474 F3E4C7)
shoot_until 20 "$out/jukebox-closed-row.png" "${juke_samples[@]}"
click 249 474
# The name shows a frame or more after the press: shoot again until it is there.
end=$((SECONDS + 20))
while :; do
    shoot_until 10 "$out/jukebox.png" backdrop 20 300 432672 cover 384 600 F4E0B8 >/dev/null
    named=$(changed "$out/jukebox-closed-row.png" "$out/jukebox.png" 170 200 430 120 C8F7FF)
    ((named > $(ws 100) || SECONDS >= end)) && break
    sleep 0.3
done
echo "  jukebox screen: $named text pixels changed"
((named > $(ws 100))) || fail "the jukebox does not name the song"
rm -f "$out/jukebox-closed-row.png"
# A press on the backdrop beside the cover closes it again.
click 20 1000
shoot_until 20 "$out/start-after-jukebox.png" "${start_samples[@]}"
rm -f "$out/start-after-jukebox.png"

# A tap in the open sky starts a game: the start message goes, and within a second or two the
# meters grow (the first drop comes two seconds in at the soonest, so nothing ends the game yet).
played=$(scores)
click 384 230
shoot "$out/play1.png"
# Only the HUD is sampled in play: the cloud tile scrolls with the fall and crosses every patch of sky.
play_samples=("HUD coin" 36 51 FFD650)
end=$((SECONDS + 20))
while :; do
    shoot "$out/play2.png"
    grown=$(changed "$out/play1.png" "$out/play2.png" 396 20 288 60 3B2410)
    ((grown > $(ws 30))) && expect "$out/play2.png" "${play_samples[@]}" >/dev/null && break
    ((SECONDS < end)) || fail "the HUD's meters did not change ($grown pixels)"
    kill -0 "$pid" 2>/dev/null || fail "the game ended"
    sleep 0.3
done
expect "$out/play2.png" "${play_samples[@]}"
echo "  HUD meters: $grown outline pixels changed"
right=1
steer() {
    local x=60
    ((right)) && x=700
    click "$x" 230
    click "$x" 230
    right=$((1 - right))
}

# Left alone in the middle the character is hit by most drops (the lanes lie 30 to 130 pixels
# either side of it), but the first leaf, some 11 s into a game, reaches it from either side and
# stops the scroll and the drops for good. Steered from side to side it leaves each leaf and meets
# the drops of both lanes until a stone or spikes end the game: the first drop comes 2 to 3 s in,
# falls to the character in about 0.9 s, and a hit character falls out of the window in about
# 0.8 s. A tap while the popup shows would close it, so the log's score line (written as the
# popup opens) is looked for before each steer.
end=$((SECONDS + 180))
while (($(scores) == played)); do
    ((SECONDS < end)) || fail "no game over after 180 s"
    kill -0 "$pid" 2>/dev/null || fail "the game ended"
    steer
    sleep 0.5
done
# The blanket is sampled over the HUD's coin: the sky behind it differs from game to game
# (clouds drift through it).
popup_samples=(panel 200 530 FDF3DD ribbon 200 300 8E1E38 "coin behind the blanket" 36 51 726944)
shoot_until 20 "$out/gameover.png" "${popup_samples[@]}"

# Its close button fades to black and back to the start screen.
click 648 282
shoot_until 20 "$out/again.png" "${start_samples[@]}"

kill -TERM "$pid"
for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running after the quit request"
wait "$pid"
status=$?
((status == 0)) || fail "exit status $status"
echo "screenshots in $out"
