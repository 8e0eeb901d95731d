#!/usr/bin/python3
"""Writes the breathing guide's cue: one soft tone (528 Hz with a quiet octave), 16-bit mono WAV.

It sounds at the start of each phase of the guide when "Sound cues" is ticked. Every sample comes
from a formula, so the same command writes the same bytes on every machine.
   make-breath-cue.py OUTPUT.wav
"""
import math
import struct
import sys
import wave

RATE = 22050
LENGTH_S = 0.45
ATTACK_S = 0.03  # a soft start, then a slow fade: a chime, not a beep
LEVEL = 0.25     # of full scale: heard, never startling


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-breath-cue.py OUTPUT.wav")
    n = int(RATE * LENGTH_S)
    attack = int(RATE * ATTACK_S)
    samples = []
    for i in range(n):
        t = i / RATE
        envelope = min(1.0, i / attack) * math.exp(-5.0 * t) * min(1.0, (n - 1 - i) / attack)
        tone = math.sin(2 * math.pi * 528.0 * t) + 0.2 * math.sin(2 * math.pi * 1056.0 * t)
        samples.append(LEVEL * envelope * tone / 1.2)
    with wave.open(sys.argv[1], "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", round(s * 32767)) for s in samples))


if __name__ == "__main__":
    main()
