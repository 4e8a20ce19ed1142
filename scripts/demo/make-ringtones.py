#!/usr/bin/env python3
"""Synthesises the demo ringtones: short melodies, encoded to MP3 with lame.

    make-ringtones.py OUT_DIR [--book 1|2]

Book 1 and book 2 hold different tunes; book 2 also re-renders two tunes of book 1
(same names, new takes) so that a second release changes rows as well as adding them.
Deterministic: the same call writes the same WAV input every time.
"""
import argparse
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

RATE = 22050

# Note names to semitones from A4.
NOTES = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}


def freq(note):
    if note == "R":
        return 0.0
    name, octave = note[0], int(note[-1])
    semis = NOTES[name] + (1 if "#" in note else 0) + (octave - 4) * 12
    return 440.0 * 2 ** (semis / 12)


def render(melody, tempo, timbre, repeat):
    """melody: list of (note, beats). Returns 16-bit mono samples."""
    beat = 60.0 / tempo
    out = []
    for _ in range(repeat):
        for note, beats in melody:
            f = freq(note)
            n = int(beats * beat * RATE)
            for i in range(n):
                t = i / RATE
                env = min(1.0, t * 40) * math.exp(-3.0 * t / (beats * beat))
                if f == 0:
                    s = 0.0
                elif timbre == "bell":
                    s = math.sin(2 * math.pi * f * t) + 0.4 * math.sin(2 * math.pi * 2.76 * f * t) * math.exp(-6 * t)
                elif timbre == "square":
                    s = 0.6 * (1 if math.sin(2 * math.pi * f * t) >= 0 else -1)
                else:
                    s = math.sin(2 * math.pi * f * t) + 0.3 * math.sin(4 * math.pi * f * t)
                out.append(int(max(-1.0, min(1.0, 0.45 * env * s)) * 32767))
    return out


SCALES = [
    ["C5", "E5", "G5", "C6", "G5", "E5"],
    ["A4", "C5", "E5", "A5", "E5", "C5"],
    ["D5", "F#5", "A5", "D6", "A5", "F#5"],
    ["G4", "B4", "D5", "G5", "D5", "B4"],
    ["E5", "G5", "B5", "E6", "B5", "G5"],
]

TITLES_BOOK1 = [
    "晨光", "雨夜", "春风", "月光曲", "小星星", "海浪", "彩虹", "夏日", "Morning Bell", "Sunrise",
    "Don't Stop", "Echo", "River Song", "Night Drive", "Pocket Alarm", "Tiny Waltz",
]
TITLES_BOOK2 = [
    "花开", "秋叶", "北风", "雪花", "远方", "Coffee Break", "Blue Sky", "Marimba Walk",
    "Retro Phone", "Last Train", "100% Joy", "Good_News",
]


def tune(index, title):
    scale = SCALES[index % len(SCALES)]
    steps = [(index * 7 + k * 3) % len(scale) for k in range(8)]
    melody = [(scale[s], 0.5 if k % 3 else 1.0) for k, s in enumerate(steps)] + [("R", 0.5)]
    timbre = ["bell", "sine", "square"][index % 3]
    tempo = 110 + (index * 13) % 60
    return melody, tempo, timbre, 3 + index % 4


def encode(samples, target):
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "t.wav")
        with wave.open(wav, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(struct.pack("<%dh" % len(samples), *samples))
        part = target + ".part"
        subprocess.run(["lame", "--quiet", "-b", "128", wav, part], check=True)
        os.replace(part, target)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--book", type=int, default=1, choices=[1, 2])
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    if args.book == 1:
        items = [(i, t) for i, t in enumerate(TITLES_BOOK1)]
    else:
        items = [(100 + i, t) for i, t in enumerate(TITLES_BOOK2)]
        # New takes of two book-1 tunes: the same names, other content.
        items += [(200, TITLES_BOOK1[0]), (201, TITLES_BOOK1[9])]
    for index, title in items:
        melody, tempo, timbre, repeat = tune(index, title)
        encode(render(melody, tempo, timbre, repeat), os.path.join(args.out, title + ".mp3"))
    print("%d ringtones in %s" % (len(items), args.out))


if __name__ == "__main__":
    sys.exit(main())
