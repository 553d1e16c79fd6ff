#!/usr/bin/python3
"""Composes and renders one song of the game as a seamless loop.

  compose.py --songs songs.ini --song NAME --out NAME.wav

The song's section in songs.ini gives its tempo, key, mode, metre, form, seed and the styles
of its lead, accompaniment, bass and drums; the seed picks the melody, the rhythms and the
chord progressions. The result is 44100 Hz 16-bit stereo whose last sample runs on into its
first: whatever rings past the end (notes, echoes) is folded back onto the start.
"""

import argparse
import configparser
import math
import os
import random
import sys
import wave

import numpy as np

SR = 44100

NOTE_NAMES = {"C": 0, "C#": 1, "Db": 1, "D": 2, "D#": 3, "Eb": 3, "E": 4, "F": 5, "F#": 6,
              "Gb": 6, "G": 7, "G#": 8, "Ab": 8, "A": 9, "A#": 10, "Bb": 10, "B": 11}

MODES = {
    "major": [0, 2, 4, 5, 7, 9, 11],
    "minor": [0, 2, 3, 5, 7, 8, 10],
    "dorian": [0, 2, 3, 5, 7, 9, 10],
    "mixolydian": [0, 2, 4, 5, 7, 9, 10],
    "lydian": [0, 2, 4, 6, 7, 9, 11],
}

# Four-bar progressions as scale degrees (0 = the tonic chord), by mode.
PROGRESSIONS = {
    "major": [[0, 4, 5, 3], [0, 5, 3, 4], [0, 3, 1, 4], [5, 3, 0, 4], [0, 2, 3, 4],
              [3, 4, 2, 5], [0, 3, 0, 4]],
    "minor": [[0, 5, 2, 6], [0, 3, 6, 2], [0, 6, 5, 6], [0, 3, 4, 0], [5, 6, 0, 0],
              [0, 5, 3, 4]],
    "dorian": [[0, 3, 0, 3], [0, 3, 6, 0], [0, 1, 3, 0], [6, 3, 0, 0]],
    "mixolydian": [[0, 6, 3, 0], [0, 3, 6, 3], [0, 6, 0, 4], [3, 6, 0, 0]],
    "lydian": [[0, 1, 0, 1], [0, 1, 4, 0], [0, 1, 6, 4], [5, 1, 0, 0]],
}

# Melody rhythms of one bar as (onset, length) in sixteenths.
RHYTHMS = {
    16: [[(0, 4), (4, 2), (6, 2), (8, 4), (12, 4)],
         [(0, 2), (2, 2), (4, 4), (8, 2), (10, 2), (12, 4)],
         [(0, 6), (6, 2), (8, 4), (12, 2), (14, 2)],
         [(0, 3), (3, 3), (6, 2), (8, 3), (11, 3), (14, 2)],
         [(0, 2), (2, 2), (4, 2), (6, 2), (8, 8)],
         [(2, 2), (4, 4), (8, 2), (10, 2), (12, 4)],
         [(0, 4), (4, 4), (8, 4), (12, 4)],
         [(0, 2), (2, 4), (6, 2), (8, 2), (10, 4), (14, 2)]],
    12: [[(0, 4), (4, 4), (8, 4)],
         [(0, 6), (6, 2), (8, 4)],
         [(0, 4), (4, 2), (6, 2), (8, 4)],
         [(0, 2), (2, 2), (4, 4), (8, 4)],
         [(0, 8), (8, 2), (10, 2)]],
}
CADENCES = {
    16: [[(0, 4), (4, 4), (8, 8)], [(0, 6), (6, 2), (8, 8)], [(0, 2), (2, 2), (4, 12)]],
    12: [[(0, 12)], [(0, 8), (8, 4)], [(0, 4), (4, 8)]],
}

# Drum patterns of one bar: instrument -> list of (step, velocity).
DRUMS = {
    "pop": {"kick": [(0, 1), (8, 1), (10, 0.6)], "snare": [(4, 1), (12, 1)],
            "hat": [(s, 0.7 if s % 4 else 1) for s in range(0, 16, 2)]},
    "disco": {"kick": [(0, 1), (4, 1), (8, 1), (12, 1)], "snare": [(4, 0.9), (12, 0.9)],
              "open": [(2, 0.7), (6, 0.7), (10, 0.7), (14, 0.7)],
              "hat": [(s, 0.35) for s in range(0, 16)]},
    "halftime": {"kick": [(0, 1), (10, 0.8)], "snare": [(8, 1)],
                 "hat": [(s, 0.8 if s % 4 == 0 else 0.5) for s in range(0, 16, 2)]},
    "shuffle": {"kick": [(0, 1), (8, 1)], "snare": [(4, 1), (12, 1)],
                "hat": [(s, 0.8 if s % 4 == 0 else 0.5) for s in range(0, 16, 2)]},
    "breakbeat": {"kick": [(0, 1), (6, 0.8), (10, 0.9)], "snare": [(4, 1), (12, 1), (15, 0.35)],
                  "hat": [(s, 0.7) for s in range(0, 16, 2)]},
    "soft": {"kick": [(0, 0.6), (8, 0.4)], "snare": [(8, 0.35)],
             "hat": [(s, 0.4) for s in range(0, 16, 4)]},
    "polka": {"kick": [(0, 1), (8, 1)], "snare": [(4, 0.9), (12, 0.9)],
              "hat": [(2, 0.6), (6, 0.6), (10, 0.6), (14, 0.6)]},
    "waltz": {"kick": [(0, 1)], "snare": [(4, 0.6), (8, 0.6)],
              "hat": [(s, 0.5) for s in range(0, 12, 2)]},
    "lullaby": {"kick": [(0, 0.5)], "hat": [(4, 0.3), (8, 0.3)]},
}

# Instruments: oscillator, envelope (attack, decay, sustain, release in seconds), gain.
INSTRUMENTS = {
    "pulse12": dict(wave="pulse", duty=0.125, env=(0.004, 0.12, 0.55, 0.06), gain=0.55),
    "pulse25": dict(wave="pulse", duty=0.25, env=(0.004, 0.15, 0.6, 0.08), gain=0.6),
    "pulse50": dict(wave="pulse", duty=0.5, env=(0.006, 0.2, 0.55, 0.08), gain=0.5),
    "bell": dict(wave="fm", ratio=3.0, index=2.2, env=(0.003, 0.5, 0.25, 0.25), gain=0.8),
    "flute": dict(wave="soft", env=(0.03, 0.2, 0.8, 0.1), gain=0.75),
    "triangle": dict(wave="triangle", env=(0.004, 0.1, 0.85, 0.04), gain=1.0),
    "pad": dict(wave="pad", env=(0.12, 0.3, 0.7, 0.3), gain=0.55),
    "pluck": dict(wave="pulse", duty=0.25, env=(0.002, 0.09, 0.0, 0.05), gain=0.5),
}


def midi_freq(m):
    return 440.0 * 2 ** ((m - 69) / 12.0)


def polyblep(t, dt):
    out = np.zeros_like(t)
    lo = t < dt
    x = t[lo] / dt[lo]
    out[lo] = x + x - x * x - 1
    hi = t > 1 - dt
    x = (t[hi] - 1) / dt[hi]
    out[hi] = x * x + x + x + 1
    return out


def oscillator(inst, freq, n):
    """freq: per-sample frequency in Hz."""
    dt = freq / SR
    phase = np.cumsum(dt) % 1.0
    kind = inst["wave"]
    if kind == "pulse":
        duty = inst["duty"]
        y = np.where(phase < duty, 1.0, -1.0)
        y += polyblep(phase, dt) - polyblep((phase - duty) % 1.0, dt)
        return y - (2 * duty - 1)
    if kind == "triangle":
        return 4 * np.abs(phase - 0.5) - 1
    if kind == "soft":
        return np.sin(2 * np.pi * phase) + 0.18 * np.sin(4 * np.pi * phase)
    if kind == "pad":
        tri = 4 * np.abs(phase - 0.5) - 1
        phase2 = np.cumsum(dt * 1.004) % 1.0
        return 0.6 * tri + 0.4 * (4 * np.abs(phase2 - 0.5) - 1)
    if kind == "fm":
        t = np.arange(n) / SR
        index = inst["index"] * np.exp(-t * 6.0)
        mod = np.sin(2 * np.pi * np.cumsum(dt * inst["ratio"]))
        return np.sin(2 * np.pi * np.cumsum(dt) + index * mod)
    raise ValueError(kind)


def envelope(env, gate, n):
    a, d, s, r = env
    t = np.arange(n) / SR
    out = np.where(t < a, t / max(a, 1e-6), s + (1 - s) * np.exp(-(t - a) / max(d, 1e-6)))
    if gate < n / SR:
        at_gate = np.interp(gate, t, out)
        tail = t >= gate
        out[tail] = at_gate * np.exp(-(t[tail] - gate) / max(r, 1e-6) * 3)
    return out


class Track:
    def __init__(self, length, pan):
        self.buf = np.zeros(length)
        self.pan = pan


class Song:
    def __init__(self, cfg, name):
        self.name = name
        self.tempo = cfg.getfloat("tempo")
        self.root = NOTE_NAMES[cfg.get("key")]
        self.mode = cfg.get("mode")
        self.scale = MODES[self.mode]
        self.steps = 4 * cfg.getint("beats")
        self.form = cfg.get("form")
        self.rng = random.Random(cfg.getint("seed"))
        self.lead = cfg.get("lead")
        self.harmony = cfg.get("harmony")
        self.bass = cfg.get("bass")
        self.drums = cfg.get("drums")
        self.swing = cfg.getfloat("swing", fallback=0.0)
        self.echo = cfg.getboolean("echo", fallback=True)
        self.step_s = 60.0 / self.tempo / 4.0
        self.bars = 8 * len(self.form)
        self.loop = int(round(self.bars * self.steps * self.step_s * SR))
        self.tail = int(4 * SR)
        n = self.loop + self.tail
        self.tracks = {
            "lead": Track(n, -0.12), "harmony": Track(n, 0.35), "bass": Track(n, 0.0),
            "kick": Track(n, 0.0), "snare": Track(n, 0.08), "hat": Track(n, 0.3),
        }
        self.kit = drum_kit()

    # ------------------------------------------------------------ time and pitch

    def time(self, bar, step):
        s = step
        if self.swing and step % 4 == 2:
            # Swung eighths: the off-beat eighth moves towards the next beat.
            s = step - 2 + 4 * self.swing
        return (bar * self.steps + s) * self.step_s

    def pitch(self, degree, octave):
        """MIDI note of a scale degree (may run past 0..6) around the given octave."""
        o, d = divmod(degree, 7)
        return 12 * (octave + o + 1) + self.root + self.scale[d]

    def chord(self, degree):
        return [degree, degree + 2, degree + 4]

    # ------------------------------------------------------------ rendering

    def note(self, track, inst_name, t0, gate, midi, vel, vibrato=False, slide=0.0):
        inst = INSTRUMENTS[inst_name]
        release = inst["env"][3]
        n = int((gate + release * 1.5 + 0.01) * SR)
        start = int(t0 * SR)
        f = np.full(n, midi_freq(midi))
        if vibrato and gate > 0.22:
            t = np.arange(n) / SR
            depth = np.clip((t - 0.18) / 0.2, 0, 1) * 0.25
            f *= 2 ** (depth * np.sin(2 * np.pi * 5.5 * t) / 12.0)
        if slide:
            t = np.arange(n) / SR
            f *= 2 ** (slide * np.exp(-t / 0.03) / 12.0)
        y = oscillator(inst, f, n) * envelope(inst["env"], gate, n) * vel * inst["gain"]
        buf = self.tracks[track].buf
        end = min(start + n, len(buf))
        buf[start:end] += y[:end - start]

    def drum(self, name, t0, vel):
        sample = self.kit[name]
        track = {"kick": "kick", "snare": "snare", "tom": "snare"}.get(name, "hat")
        buf = self.tracks[track].buf
        start = int(t0 * SR)
        end = min(start + len(sample), len(buf))
        buf[start:end] += sample[:end - start] * vel

    # ------------------------------------------------------------ composition

    def compose(self):
        rng = self.rng
        progs = PROGRESSIONS[self.mode][:]
        rng.shuffle(progs)
        letters = sorted(set(self.form))
        self.prog = {l: progs[i % len(progs)] for i, l in enumerate(letters)}
        self.melody = {l: self.make_melody(l, i) for i, l in enumerate(letters)}
        for section, letter in enumerate(self.form):
            for bar in range(8):
                b = section * 8 + bar
                chord = self.prog[letter][bar % 4]
                self.play_melody(letter, bar, b)
                self.play_harmony(b, chord)
                self.play_bass(b, chord, self.prog[letter][(bar + 1) % 4])
                self.play_drums(b, fill=(bar == 7), first=(bar == 0))

    def make_melody(self, letter, index):
        rng = self.rng
        rhythms = RHYTHMS[self.steps]
        r1, r2 = rng.sample(range(len(rhythms)), 2)
        cad = rng.choice(CADENCES[self.steps])
        bars = [rhythms[r1], rhythms[r2], rhythms[r1], rng.choice(rhythms),
                rhythms[r1], rhythms[r2], rhythms[r1], cad]
        lo, hi = (-1, 9) if index == 0 else (1, 11)
        prog = self.prog[letter]
        notes = []
        prev = rng.choice([2, 4]) if index == 0 else rng.choice([4, 6])
        for bar, rhythm in enumerate(bars):
            chord_tones = self.chord(prog[bar % 4])
            reuse = bar in (4, 5)
            for k, (onset, length) in enumerate(rhythm):
                if reuse:
                    # The phrase comes back as it was, the call and then its answer.
                    src = [m for m in notes if m[0] == bar - 4]
                    if k < len(src):
                        notes.append((bar, onset, length, src[k][3]))
                        prev = src[k][3]
                        continue
                strong = onset % (self.steps // 2 if self.steps == 16 else 4) == 0
                step = rng.choices([-2, -1, 0, 1, 2, 3, -3], [2, 4, 1, 4, 2, 1, 1])[0]
                target = prev + step
                if strong or length >= 4:
                    target = nearest_chord_tone(target, chord_tones)
                if target < lo:
                    target = lo + (lo - target)
                if target > hi:
                    target = hi - (target - hi)
                if bar == 7 and k == len(rhythm) - 1:
                    target = nearest_chord_tone(target, [0, 7] if letter == self.form[-1]
                                                else chord_tones)
                notes.append((bar, onset, length, target))
                prev = target
        return notes

    def play_melody(self, letter, bar, absolute_bar):
        # The lead's tonic lies between F4 and E5 whatever the key.
        octave = 5 if self.root < 5 else 4
        for (b, onset, length, degree) in self.melody[letter]:
            if b != bar:
                continue
            t0 = self.time(absolute_bar, onset)
            gate = length * self.step_s * 0.92
            vel = 0.9 if onset % 4 == 0 else 0.75
            self.note("lead", self.lead, t0, gate, self.pitch(degree, octave), vel,
                      vibrato=True, slide=-0.6 if self.lead.startswith("pulse") else 0)

    def play_harmony(self, bar, chord):
        tones = [self.pitch(d, 3) for d in self.chord(chord)]
        style = self.harmony
        steps = self.steps
        if style == "arp":
            seq = tones + [tones[0] + 12]
            for s in range(steps):
                self.note("harmony", "pulse12", self.time(bar, s), self.step_s * 0.6,
                          seq[s % 4] + 12, 0.32 if s % 4 else 0.42)
        elif style == "stabs":
            for s in range(2, steps, 4):
                for m in tones:
                    self.note("harmony", "pluck", self.time(bar, s), self.step_s * 1.2, m + 12, 0.3)
        elif style == "pad":
            for m in tones:
                self.note("harmony", "pad", self.time(bar, 0), steps * self.step_s * 0.98, m + 12,
                          0.33)
        elif style == "waltz":
            for s in (4, 8):
                for m in tones:
                    self.note("harmony", "pluck", self.time(bar, s), self.step_s * 2.5, m + 12, 0.3)
        elif style == "polka":
            for s in (2, 6, 10, 14):
                for m in tones:
                    self.note("harmony", "pluck", self.time(bar, s), self.step_s * 1.0, m + 12, 0.3)
        else:
            raise ValueError(style)

    def play_bass(self, bar, chord, next_chord):
        root = self.pitch(chord, 2)
        fifth = self.pitch(chord + 4, 2)
        third = self.pitch(chord + 2, 2)
        steps = self.steps
        style = self.bass
        notes = []
        if style == "root8":
            notes = [(s, 2, root) for s in range(0, steps, 2)]
        elif style == "rootfifth":
            notes = [(s, 4, root if (s // 4) % 2 == 0 else fifth) for s in range(0, steps, 4)]
        elif style == "octave":
            notes = [(s, 2, root + (12 if (s // 2) % 2 else 0)) for s in range(0, steps, 2)]
        elif style == "walk":
            nxt = self.pitch(next_chord, 2)
            approach = nxt - 1 if nxt > root else nxt + 1
            notes = [(0, 4, root), (4, 4, third), (8, 4, fifth), (12, 4, approach)]
        elif style == "arp":
            seq = [root, fifth, root + 12, fifth]
            notes = [(s, 2, seq[(s // 2) % 4]) for s in range(0, steps, 2)]
        elif style == "waltz":
            notes = [(0, 4, root), (8, 4, fifth)]
        elif style == "polka":
            notes = [(0, 4, root), (8, 4, fifth)]
        else:
            raise ValueError(style)
        for s, length, m in notes:
            self.note("bass", "triangle", self.time(bar, s), length * self.step_s * 0.85, m,
                      0.95 if s == 0 else 0.85)

    def play_drums(self, bar, fill, first):
        pattern = DRUMS[self.drums]
        for name, hits in pattern.items():
            for step, vel in hits:
                if fill and name in ("snare", "kick") and step >= self.steps - 4:
                    continue
                self.drum(name, self.time(bar, step), vel)
        if fill and self.drums not in ("soft", "lullaby"):
            for i, s in enumerate(range(self.steps - 4, self.steps)):
                self.drum("tom" if i < 2 else "snare", self.time(bar, s), 0.5 + 0.12 * i)
        if first and self.drums not in ("soft", "lullaby"):
            self.drum("open", self.time(bar, 0), 0.9)

    # ------------------------------------------------------------ mixing

    def mix(self):
        gains = {"lead": 0.30, "harmony": 0.16, "bass": 0.34, "kick": 0.55, "snare": 0.24,
                 "hat": 0.10}
        left = np.zeros(self.loop)
        right = np.zeros(self.loop)
        for name, tr in self.tracks.items():
            mono = fold(tr.buf, self.loop) * gains[name]
            if name == "lead" and self.echo:
                l_echo, r_echo = ping_pong(mono, int(round(3 * self.step_s * SR)), 0.38, 0.3)
            else:
                l_echo = r_echo = 0
            left += mono * (1 - max(0, tr.pan)) + l_echo
            right += mono * (1 + min(0, tr.pan)) + r_echo
        out = np.stack([left, right], axis=1)
        # A gentle limiter, then the peak at -2.5 dBFS so that MP3 encoding keeps clear of
        # full scale.
        peak = np.max(np.abs(out))
        out = out / peak
        out = np.tanh(out * 1.1) / np.tanh(1.1)
        out *= 10 ** (-2.5 / 20) / np.max(np.abs(out))
        return out


def nearest_chord_tone(degree, chord):
    best = None
    for c in chord:
        for o in (-14, -7, 0, 7, 14):
            cand = c + o
            if best is None or abs(cand - degree) < abs(best - degree):
                best = cand
    return best


def fold(buf, loop):
    out = buf[:loop].copy()
    tail = buf[loop:]
    while len(tail):
        k = min(len(tail), loop)
        out[:k] += tail[:k]
        tail = tail[k:]
    return out


def ping_pong(x, delay, feedback, wet):
    """Echoes that bounce between the channels, wrapped round the loop."""
    left = np.zeros_like(x)
    right = np.zeros_like(x)
    g = wet
    for k in range(1, 9):
        echo = np.roll(x, k * delay) * g
        if k % 2:
            right += echo
        else:
            left += echo
        g *= feedback
    return left, right


def drum_kit():
    rng = np.random.default_rng(1234)
    t = np.arange(int(0.3 * SR)) / SR
    kit = {}
    f = 45 + 110 * np.exp(-t / 0.03)
    kick = np.sin(2 * np.pi * np.cumsum(f) / SR) * np.exp(-t / 0.09)
    kick[:80] += rng.uniform(-0.5, 0.5, 80) * np.linspace(1, 0, 80)
    kit["kick"] = kick
    ts = t[:int(0.2 * SR)]
    noise = rng.uniform(-1, 1, len(ts))
    noise = noise - np.concatenate([[0], noise[:-1]]) * 0.6
    kit["snare"] = (noise * 0.7 * np.exp(-ts / 0.05)
                    + np.sin(2 * np.pi * 190 * ts) * 0.6 * np.exp(-ts / 0.03))
    tt = t[:int(0.22 * SR)]
    ft = 90 + 80 * np.exp(-tt / 0.05)
    kit["tom"] = np.sin(2 * np.pi * np.cumsum(ft) / SR) * np.exp(-tt / 0.1)
    th = t[:int(0.06 * SR)]
    hn = rng.uniform(-1, 1, len(th))
    hn = hn - np.concatenate([[0], hn[:-1]])
    kit["hat"] = hn * 0.5 * np.exp(-th / 0.012)
    to = t[:int(0.3 * SR)]
    on = rng.uniform(-1, 1, len(to))
    on = on - np.concatenate([[0], on[:-1]])
    kit["open"] = on * 0.4 * np.exp(-to / 0.07)
    return kit


def write_wav(path, data):
    pcm = np.clip(np.round(data * 32767), -32768, 32767).astype("<i2")
    tmp = path + ".tmp"
    with wave.open(tmp, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(SR)
        w.writeframes(pcm.tobytes())
    os.replace(tmp, path)


def analyse(data):
    peak = np.max(np.abs(data))
    rms = np.sqrt(np.mean(data ** 2))
    steps = np.abs(np.diff(data, axis=0))
    join = np.abs(data[0] - data[-1])
    return dict(peak_db=20 * math.log10(peak), rms_db=20 * math.log10(rms),
                join=float(np.max(join)), step99=float(np.percentile(steps, 99.99)),
                seconds=len(data) / SR)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--songs", required=True)
    parser.add_argument("--song", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    ini = configparser.ConfigParser(interpolation=None)
    if not ini.read(args.songs):
        sys.exit("compose.py: cannot read %s" % args.songs)
    if not ini.has_section(args.song):
        sys.exit("compose.py: no song %s in %s" % (args.song, args.songs))
    song = Song(ini[args.song], args.song)
    song.compose()
    data = song.mix()
    a = analyse(data)
    if not 45 <= a["seconds"] <= 90:
        sys.exit("compose.py: %s lasts %.1f s, outside 45 to 90 s" % (args.song, a["seconds"]))
    write_wav(args.out, data)
    print("compose.py: %s %.1f s, peak %.1f dBFS, RMS %.1f dBFS, loop join %.4f (99.99%% of "
          "steps below %.4f)" % (args.song, a["seconds"], a["peak_db"], a["rms_db"], a["join"],
                                  a["step99"]))


if __name__ == "__main__":
    main()
