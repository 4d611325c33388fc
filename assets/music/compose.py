#!/usr/bin/env python3
"""The built-in songs of the screen saver, written as notes. Writes the note list of one
song for songsynth:  compose.py SONG NOTES.txt   (SONG: zephyr_dawn, harbour_lights,
slow_tide; "compose.py --list" names them). Only the standard library is used, and a fixed
seed for the small human timing, so every run prints the same list."""
import random
import sys

NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def midi(name):
    """'C4' is 60, 'F#3' 54, 'Bb4' 70."""
    letter, rest = name[0], name[1:]
    shift = 0
    while rest and rest[0] in "#b":
        shift += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + NAMES[letter] + shift


class Song:
    def __init__(self, bpm, beats_per_bar, seed):
        self.spb = 60.0 / bpm
        self.bar_beats = beats_per_bar
        self.lines = []
        self.rng = random.Random(seed)
        self.length = 0.0

    def note(self, beat, beats, pitch, vel, instr, pan=0.0, human=True):
        start = beat * self.spb
        if human and beat > 0:
            start += self.rng.uniform(-0.006, 0.006)
            vel *= self.rng.uniform(0.92, 1.04)
        dur = beats * self.spb * 0.97
        p = midi(pitch) if isinstance(pitch, str) else pitch
        self.lines.append("n %.4f %.4f %d %.3f %s %.2f" % (max(start, 0.0), dur, p, vel, instr, pan))

    def melody(self, bar, phrase, instr, vel, pan=0.0, octave_shift=0):
        """phrase: 'E5:1.5 D5:0.5 r:1 ...' starting at the given bar."""
        beat = bar * self.bar_beats
        for item in phrase.split():
            name, beats = item.split(":")
            beats = float(beats)
            if name != "r":
                self.note(beat, beats, midi(name) + 12 * octave_shift, vel, instr, pan)
            beat += beats

    def render(self, tail_seconds, reverb):
        bars_end = max(float(l.split()[1]) + float(l.split()[2]) for l in self.lines)
        out = ["song %.2f" % (bars_end + tail_seconds), "reverb %.2f %.2f %.2f" % reverb]
        return "\n".join(out + self.lines) + "\n"


def chord_notes(symbol):
    """Close voicings around middle C for the pad and keys."""
    table = {
        "C": ["C4", "E4", "G4"], "Am": ["A3", "C4", "E4"], "F": ["F3", "A3", "C4"],
        "G": ["G3", "B3", "D4"], "Dm": ["D4", "F4", "A4"], "Em": ["E4", "G4", "B4"],
        "Bb": ["Bb3", "D4", "F4"], "Gm": ["G3", "Bb3", "D4"], "A": ["A3", "C#4", "E4"],
        "C7": ["C4", "E4", "Bb4"],
    }
    return table[symbol]


def root(symbol, octave=2):
    letter = symbol[0] + (symbol[1] if len(symbol) > 1 and symbol[1] in "#b" else "")
    return letter + str(octave)


def zephyr_dawn():
    """C major, 80 beats a minute: a calm morning tune over I-vi-IV-V."""
    s = Song(80, 4, seed=11)
    prog = ["C", "Am", "F", "G", "C", "Am", "Dm", "G", "F", "G", "Em", "Am", "F", "G", "C", "C"]
    for bar, ch in enumerate(prog):
        b0 = bar * 4
        last = bar == len(prog) - 1
        for p in chord_notes(ch):
            s.note(b0, 4 if not last else 6, p, 0.16, "pad", 0.0, human=False)
        # Broken chord on the electric piano, eighth notes rising and falling.
        tones = [midi(p) for p in chord_notes(ch)]
        pattern = [tones[0], tones[1], tones[2], tones[0] + 12, tones[2], tones[1], tones[0] + 12, tones[2]]
        if not last:
            for i, p in enumerate(pattern):
                s.note(b0 + i * 0.5, 0.5, p, 0.20 if i % 2 == 0 else 0.15, "epiano", -0.35)
        s.note(b0, 3 if not last else 5, root(ch), 0.42, "bass")
        if not last:
            s.note(b0 + 3, 1, midi(root(ch)) + 7, 0.32, "bass")
        if 8 <= bar < 15:
            s.note(b0, 0.5, "C2", 0.30, "kick", 0.0)
            s.note(b0 + 2, 0.5, "C2", 0.24, "kick", 0.0)
        if 4 <= bar < 15:
            for i in range(4):
                s.note(b0 + i + 0.5, 0.25, "C6", 0.05, "shaker", 0.4)
    tune = [
        "E5:1.5 D5:0.5 C5:1 G4:1", "A4:1.5 C5:0.5 E5:2", "F5:1 E5:0.5 D5:0.5 C5:1 D5:1", "B4:1 D5:1 G5:2",
        "A5:1.5 G5:0.5 F5:1 C5:1", "D5:1 G5:1 F5:1 E5:0.5 D5:0.5", "E5:1.5 B4:0.5 G5:2", "A5:1 G5:0.5 E5:0.5 C5:2",
        "F5:1 A5:1 C6:1 A5:1", "B5:1.5 A5:0.5 G5:1 D5:1", "E5:2 D5:1 C5:1", "C5:5",
    ]
    for i, phrase in enumerate(tune):
        s.melody(4 + i, phrase, "flute", 0.30, 0.2)
    return s.render(4.0, (0.30, 0.70, 0.45))


def harbour_lights():
    """D minor, 88 beats a minute: harp patterns and a bell tune, a little darker."""
    s = Song(88, 4, seed=23)
    prog = ["Dm", "Bb", "F", "C", "Dm", "Bb", "Gm", "A", "Dm", "Bb", "F", "C", "Gm", "Bb", "A", "Dm"]
    for bar, ch in enumerate(prog):
        b0 = bar * 4
        last = bar == len(prog) - 1
        for p in chord_notes(ch):
            s.note(b0, 4 if not last else 6, p, 0.14, "pad", 0.0, human=False)
        tones = [midi(p) - 12 for p in chord_notes(ch)]
        up = [tones[0], tones[1], tones[2], tones[0] + 12, tones[1] + 12, tones[2] + 12, tones[0] + 24, tones[2] + 12]
        if not last:
            for i, p in enumerate(up):
                s.note(b0 + i * 0.5, 1.0, p, 0.22, "harp", 0.35)
        else:
            for i, p in enumerate(up):
                s.note(b0 + i * 0.25, 3.0, p, 0.2, "harp", 0.35)
        bass_root = midi(root(ch))
        if not last:
            for i in range(4):
                s.note(b0 + i, 0.9, bass_root, 0.40 if i % 2 == 0 else 0.30, "bass")
            s.note(b0, 0.5, "C2", 0.28, "kick")
            s.note(b0 + 2.5, 0.5, "C2", 0.18, "kick")
        else:
            s.note(b0, 5, bass_root, 0.40, "bass")
        if 4 <= bar < 15:
            for i in range(8):
                s.note(b0 + i * 0.5, 0.25, "C6", 0.06 if i % 2 else 0.035, "shaker", -0.4)
    tune = [
        "D5:1 F5:1 A5:1.5 G5:0.5", "F5:2 D5:1 Bb4:1", "Bb4:1 D5:1 G5:1 F5:1", "E5:2 C#5:1 A4:1",
        "D5:1.5 E5:0.5 F5:1 A5:1", "Bb5:1.5 A5:0.5 F5:2", "A5:1 C6:1 A5:1 F5:1", "G5:1.5 E5:0.5 C5:2",
        "D5:1 G5:1 Bb5:1 A5:1", "F5:1.5 G5:0.5 F5:1 D5:1", "E5:1 C#5:1 E5:1 A5:1", "D5:5",
    ]
    for i, phrase in enumerate(tune):
        s.melody(4 + i, phrase, "bell", 0.26, -0.15)
    return s.render(4.5, (0.32, 0.75, 0.5))


def slow_tide():
    """F major waltz, 72 beats a minute: bass on one, soft chords on two and three."""
    s = Song(72, 3, seed=37)
    prog = ["F", "Dm", "Bb", "C", "F", "Am", "Bb", "C", "Dm", "Am", "Bb", "F", "Gm", "C7", "F", "F"]
    for bar, ch in enumerate(prog):
        b0 = bar * 3
        last = bar == len(prog) - 1
        for p in chord_notes(ch):
            s.note(b0, 3 if not last else 5, p, 0.15, "pad", 0.0, human=False)
        s.note(b0, 1 if not last else 5, root(ch), 0.46, "bass")
        if not last:
            for beat in (1, 2):
                for p in chord_notes(ch):
                    s.note(b0 + beat, 0.8, midi(p) + 12, 0.13, "epiano", 0.3)
        if bar >= 12:
            tones = [midi(p) for p in chord_notes(ch)]
            for i, p in enumerate(tones + [tones[0] + 12, tones[1] + 12, tones[2] + 12]):
                s.note(b0 + i * 0.5, 2.0, p + 12, 0.14, "harp", -0.45)
    tune = [
        "D5:1.5 C5:0.5 Bb4:1", "C5:2 E5:1", "F5:2 A5:1", "G5:1 E5:1 C5:1",
        "D5:1.5 F5:0.5 Bb5:1", "A5:1 G5:1 E5:1", "F5:2 D5:1", "E5:1.5 C5:0.5 A4:1",
        "Bb4:1 D5:1 F5:1", "A5:3", "G5:1.5 F5:0.5 D5:1", "E5:1 G5:1 Bb5:1", "A5:2 G5:1", "F5:5",
    ]
    for i, phrase in enumerate(tune):
        s.melody(2 + i, phrase, "flute", 0.30, -0.1)
    return s.render(4.0, (0.34, 0.78, 0.4))


SONGS = {"zephyr_dawn": zephyr_dawn, "harbour_lights": harbour_lights, "slow_tide": slow_tide}

if __name__ == "__main__":
    if len(sys.argv) == 2 and sys.argv[1] == "--list":
        print("\n".join(SONGS))
    elif len(sys.argv) == 3 and sys.argv[1] in SONGS:
        with open(sys.argv[2], "w") as out:
            out.write(SONGS[sys.argv[1]]())
    else:
        sys.stderr.write("usage: compose.py SONG NOTES.txt | compose.py --list\n")
        sys.exit(2)
