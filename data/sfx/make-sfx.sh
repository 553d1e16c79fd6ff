#!/usr/bin/env bash
# Synthesises one sound effect of the game with sox.
#   make-sfx.sh NAME OUT.wav
# Every effect is 44100 Hz, 16-bit, mono, peak-normalised below full scale.
set -euo pipefail

name=$1
out=$2
sox=${SOX:-sox}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fmt=(-r 44100 -c 1 -b 16)

# tone FILE LENGTH WAVE FREQ[:FREQ] ATTACK DECAY-END [effects...]: one shaped note.
tone() {
    local file=$1 len=$2 wave=$3 freq=$4 attack=$5
    shift 5
    "$sox" -n "${fmt[@]}" "$work/$file" synth "$len" "$wave" "$freq" \
        fade h "$attack" "$len" "$(awk "BEGIN{print $len - $attack}")" "$@"
}

# delayed FILE SECONDS: the file with silence in front.
delayed() {
    "$sox" "$work/$1" "$work/d_$1" pad "$2" 0
    mv "$work/d_$1" "$work/$1"
}

mix() {
    local target=$1
    shift
    local inputs=()
    for f in "$@"; do inputs+=("$work/$f"); done
    if [[ ${#inputs[@]} -eq 1 ]]; then
        cp "${inputs[0]}" "$work/$target"
    else
        "$sox" -m "${inputs[@]}" "$work/$target"
    fi
}

finish() {
    # Peak at -3 dBFS (-6 for the ones heard often), a fade to silence at the very end.
    local source=$1 peak=$2
    shift 2
    "$sox" "$work/$source" "${fmt[@]}" "$work/final.wav" "$@" gain -n "$peak"
    local len
    len=$("$sox" --i -D "$work/final.wav")
    "$sox" "$work/final.wav" "$out.tmp.wav" fade t 0 "$len" 0.01
    mv "$out.tmp.wav" "$out"
}

case "$name" in
tap)
    # A soft rising bloop.
    tone a.wav 0.09 sine 420:900 0.003
    tone b.wav 0.06 sine 840:1800 0.002 vol 0.25
    mix m.wav a.wav b.wav
    finish m.wav -6
    ;;
click)
    # A short wooden tick.
    tone a.wav 0.035 sine 2100:1500 0.001
    "$sox" -n "${fmt[@]}" "$work/n.wav" synth 0.012 pinknoise fade h 0 0.012 0.011 \
        highpass 2500 vol 0.5
    mix m.wav a.wav n.wav
    finish m.wav -8
    ;;
hit_obstacle_2)
    # A thud with a little rattle.
    tone a.wav 0.32 sine 170:48 0.002
    "$sox" -n "${fmt[@]}" "$work/n.wav" synth 0.16 brownnoise fade h 0.001 0.16 0.15 \
        vol 0.7 lowpass 1100
    tone c.wav 0.08 square 240:120 0.001 vol 0.25 lowpass 1500
    mix m.wav a.wav n.wav c.wav
    finish m.wav -3
    ;;
catch_coin)
    # Two bright notes, the second ringing.
    tone a.wav 0.075 square 988 0.002 vol 0.6 lowpass 4500 lowpass 4500
    tone b.wav 0.34 square 1319 0.002 vol 0.6 lowpass 4500 lowpass 4500
    tone c.wav 0.34 sine 2638 0.002 vol 0.2
    delayed b.wav 0.075
    delayed c.wav 0.075
    mix m.wav a.wav b.wav c.wav
    finish m.wav -5 pad 0 0.15 reverb 20 50 30
    ;;
catch_chest)
    # A quick rising arpeggio that ends in a shimmer.
    parts=()
    i=0
    for f in 1047 1319 1568 2093 2637; do
        tone "n$i.wav" 0.3 triangle "$f" 0.002 vol 0.8
        delayed "n$i.wav" "$(awk "BEGIN{print $i * 0.055}")"
        parts+=("n$i.wav")
        i=$((i + 1))
    done
    tone s.wav 0.55 sine 3136 0.05 tremolo 18 60 vol 0.25
    delayed s.wav 0.25
    parts+=(s.wav)
    mix m.wav "${parts[@]}"
    finish m.wav -4 pad 0 0.2 reverb 35 50 50
    ;;
catch_heart)
    # A warm chime in G major, note on note.
    parts=()
    i=0
    for f in 784 988 1175 1568; do
        tone "n$i.wav" 0.6 sine "$f" 0.008 vol 0.8
        tone "h$i.wav" 0.4 triangle "$((f * 2))" 0.004 vol 0.15
        delayed "n$i.wav" "$(awk "BEGIN{print $i * 0.08}")"
        delayed "h$i.wav" "$(awk "BEGIN{print $i * 0.08}")"
        parts+=("n$i.wav" "h$i.wav")
        i=$((i + 1))
    done
    mix m.wav "${parts[@]}"
    finish m.wav -4 pad 0 0.25 reverb 45 50 60
    ;;
death)
    # A sad falling three-note sigh; the last note wobbles down.
    tone a.wav 0.2 sawtooth 392:380 0.01 vol 0.7 lowpass 1800
    tone b.wav 0.2 sawtooth 370:356 0.01 vol 0.7 lowpass 1800
    tone c.wav 0.7 sawtooth 349:262 0.01 vol 0.7 tremolo 7 45 lowpass 1500
    delayed b.wav 0.22
    delayed c.wav 0.44
    mix m.wav a.wav b.wav c.wav
    finish m.wav -4 pad 0 0.15 reverb 25 50 40
    ;;
*)
    echo "make-sfx.sh: unknown effect $name" >&2
    exit 1
    ;;
esac
