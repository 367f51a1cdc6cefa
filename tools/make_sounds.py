#!/usr/bin/env python3
"""Makes the sounds the feedback plug-in ships: the click (pi.wav) and the
background noise (snoise.wav). Both are computed here, so the repository
holds no recorded audio and the build needs only Python's standard library.

    make_sounds.py --out-dir DIR [--stamp FILE]

DIR receives pi.wav and snoise.wav (PCM, 16-bit, mono).
"""

import argparse
import math
import os
import random
import struct
import sys

CLICK_RATE = 44100
NOISE_RATE = 22050


def wave_bytes(samples, rate):
    """A canonical PCM RIFF/WAVE file: "fmt " first, then "data"."""
    data = struct.pack("<%dh" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def to_pcm16(values):
    return [max(-32767, min(32767, int(round(v * 32767)))) for v in values]


def click():
    """A short, bright tick: a 1.76 kHz tone with a soft octave, 1 ms rise,
    then an exponential fall that reaches silence inside 30 ms."""
    length = int(CLICK_RATE * 0.030)
    out = []
    for n in range(length):
        t = n / CLICK_RATE
        rise = min(1.0, t / 0.001)
        fall = math.exp(-t / 0.0055)
        tone = math.sin(2 * math.pi * 1760 * t) + 0.3 * math.sin(2 * math.pi * 3520 * t)
        out.append(0.55 * rise * fall * tone / 1.3)
    # The last samples fade to exactly zero so that the end does not tick.
    tail = int(CLICK_RATE * 0.003)
    for i in range(tail):
        out[length - tail + i] *= 1.0 - (i + 1) / tail
    return to_pcm16(out)


def circular_lowpass(values, coefficient, passes):
    """One-pole low-pass run around the loop: the second lap starts from the
    state the first lap ended in, so the result is periodic and the loop
    point is as smooth as any other sample."""
    for _ in range(passes):
        state = 0.0
        for _lap in range(2):
            filtered = []
            for v in values:
                state += coefficient * (v - state)
                filtered.append(state)
        values = filtered
    return values


def noise():
    """Two seconds of soft, darkened noise that loops without a seam."""
    rng = random.Random(0x7155)  # fixed, so every build ships the same file
    length = NOISE_RATE * 2
    values = [rng.uniform(-1.0, 1.0) for _ in range(length)]
    values = circular_lowpass(values, 0.25, 2)
    mean = sum(values) / length
    values = [v - mean for v in values]
    rms = math.sqrt(sum(v * v for v in values) / length)
    gain = 0.05 / rms
    return to_pcm16([v * gain for v in values])


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out-dir", required=True)
    parser.add_argument("--stamp")
    args = parser.parse_args()
    write(os.path.join(args.out_dir, "pi.wav"), wave_bytes(click(), CLICK_RATE))
    write(os.path.join(args.out_dir, "snoise.wav"), wave_bytes(noise(), NOISE_RATE))
    if args.stamp:
        write(args.stamp, b"")
    return 0


if __name__ == "__main__":
    sys.exit(main())
