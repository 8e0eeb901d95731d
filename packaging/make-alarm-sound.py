#!/usr/bin/python3
"""Writes the sample alarm sound: three two-tone chimes (880 Hz then 660 Hz), 16-bit mono WAV.

Every sample comes from a formula, so the same command writes the same bytes on every machine.
   make-alarm-sound.py OUTPUT.wav
"""
import math
import struct
import sys
import wave

RATE = 22050
TONE_S = 0.16   # each tone
GAP_S = 0.06    # silence after each pair of tones
FADE_S = 0.012  # rise and fall of each tone, so that it starts and stops without a click
LEVEL = 0.45    # of full scale: loud enough to notice, not harsh


def tone(freq):
    n = int(RATE * TONE_S)
    fade = int(RATE * FADE_S)
    out = []
    for i in range(n):
        envelope = min(1.0, i / fade, (n - 1 - i) / fade)
        out.append(LEVEL * envelope * math.sin(2 * math.pi * freq * i / RATE))
    return out


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-alarm-sound.py OUTPUT.wav")
    samples = []
    for _ in range(3):
        samples += tone(880.0) + tone(660.0) + [0.0] * int(RATE * GAP_S)
    with wave.open(sys.argv[1], "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", round(s * 32767)) for s in samples))


if __name__ == "__main__":
    main()
