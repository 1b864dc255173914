#!/usr/bin/env python3
"""Prints a pitch-bend text for a sine vibrato: depth (cents), rate (Hz), tempo, length (ms).

Each value is two characters of the base64 alphabet, twelve-bit two's
complement, high digit first, one value per 1/96 beat.
"""
import math
import sys

ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def code(value: int) -> str:
    value &= 0xFFF
    return ALPHABET[value >> 6] + ALPHABET[value & 63]


def main() -> None:
    depth, rate, tempo, length_ms = (float(a) for a in sys.argv[1:5])
    step_s = 0.625 / tempo
    steps = int(length_ms / 1000.0 / step_s) + 1
    print("".join(code(round(depth * math.sin(2 * math.pi * rate * k * step_s))) for k in range(steps)))


if __name__ == "__main__":
    main()
