#!/usr/bin/python3
"""Frame-by-frame accuracy of kestrand's frequency lists.

  pitch_accuracy.py speech WORKDIR KESTRAND   low speech made by festival and
                                              espeak-ng, checked against praat
  pitch_accuracy.py tones  WORKDIR KESTRAND   sines and sawtooth waves 65..400 Hz
  pitch_accuracy.py voices WORKDIR KESTRAND   synthetic glottal-pulse voices

Each sample is analysed with `KESTRAND x.wav nul A4 100 G`, which writes
x_wav.frq beside it; the list is read back and compared with the reference.
Frame k is compared at the centre of the span whose difference function
chooses its period, sample position k x Step + Step / 4.
"""

import concurrent.futures
import math
import os
import struct
import subprocess
import sys
import wave

import numpy as np


# ---------------------------------------------------------------- lists

def read_list(path):
    """(frame step, rate, frequencies) of a .frq file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:7] != b"FREQ000":
        raise ValueError(path + ": not a frequency list")
    step = struct.unpack_from("<i", data, 8)[0]
    rate = struct.unpack_from("<i", data, 20)[0]
    count = struct.unpack_from("<i", data, 36)[0]
    freqs = [struct.unpack_from("<d", data, 40 + 16 * k)[0] for k in range(count)]
    return step, rate, freqs


def window_length(rate):
    if rate < 15000:
        return 512
    if rate < 30000:
        return 720
    if rate < 60000:
        return 1024
    return 2048


def analyse(program, wav):
    subprocess.run([program, wav, "nul", "A4", "100", "G"], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    return read_list(wav[:-4] + "_wav.frq")


def analyse_all(program, wavs):
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        return list(pool.map(lambda w: analyse(program, w), wavs))


def write_wav(path, rate, signal):
    """16-bit mono; `signal` in -1 .. 1."""
    data = np.clip(np.round(signal * 32767.0), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(data.tobytes())


def cents(a, b):
    return 1200.0 * math.log2(a / b)


class Tally:
    """Frames where the reference has a pitch: how ours compares."""

    def __init__(self):
        self.reference_voiced = 0
        self.both = 0
        self.within = 0
        self.halved = 0
        self.doubled = 0
        self.lost = 0
        self.within5 = 0

    def add(self, ours, reference):
        if reference <= 0:
            return
        self.reference_voiced += 1
        if ours <= 0:
            self.lost += 1
            return
        self.both += 1
        c = cents(ours, reference)
        if abs(c) <= 50:
            self.within += 1
        if abs(c) <= 5:
            self.within5 += 1
        if -1500 <= c <= -900:
            self.halved += 1
        if 900 <= c <= 1500:
            self.doubled += 1

    def merge(self, other):
        for key in vars(self):
            setattr(self, key, getattr(self, key) + getattr(other, key))

    def row(self, name):
        both = max(self.both, 1)
        ref = max(self.reference_voiced, 1)
        return "%-26s %7d %8.1f %%  %6.2f %%  %6.2f %%  %6.1f %%" % (
            name, self.reference_voiced, 100.0 * self.within / both, 100.0 * self.halved / both,
            100.0 * self.doubled / both, 100.0 * self.lost / ref)


HEADER = "%-26s %7s %10s %9s %9s %8s" % ("source", "frames", "in 50 ct", "halved", "doubled", "lost")


# ---------------------------------------------------------------- speech

SENTENCES = [
    "The quick brown fox jumps over the lazy dog near the river bank.",
    "A low voice carries well across a quiet room in the evening.",
    "We were away a year ago, and all the while the rain was falling.",
    "Nobody knew how long the old man would wait by the window.",
    "Many morning meetings ran long, and lunch was moved to noon.",
    "Our bravest hero rode along the valley, over the hills and home again.",
]

PRAAT_SCRIPT = """form Pitch at frame times
    real step 0.005
    real offset 0.0
    integer count 1
    sentence file x.wav
endform
Read from file: file$
To Pitch: 0, 60, 400
for k from 0 to count - 1
    f = Get value at time: offset + k * step, "Hertz", "linear"
    if f = undefined
        f = 0
    endif
    appendInfoLine: fixed$ (f, 3)
endfor
"""


def make_speech(workdir):
    """Festival's two male diphone voices and espeak-ng at two low pitches."""
    text = os.path.join(workdir, "speech.txt")
    with open(text, "w") as f:
        f.write(" ".join(SENTENCES) + "\n")
    made = []
    for voice in ("kal_diphone", "ked_diphone"):
        if not os.path.isdir("/usr/share/festival/voices/english/" + voice):
            print("festival voice %s is not installed; skipped" % voice, file=sys.stderr)
            continue
        out = os.path.join(workdir, "festival_" + voice + ".wav")
        subprocess.run(["text2wave", "-eval", "(voice_%s)" % voice, text, "-o", out], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        made.append(("festival " + voice, out))
    for voice, pitch in (("en-us", 15), ("en", 0)):
        out = os.path.join(workdir, "espeak_%s_p%d.wav" % (voice, pitch))
        subprocess.run(["espeak-ng", "-v", voice, "-p", str(pitch), "-w", out, " ".join(SENTENCES)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        made.append(("espeak-ng %s p%d" % (voice, pitch), out))
    return made


def praat_pitch(workdir, wav, step, offset, count):
    script = os.path.join(workdir, "frame_pitch.praat")
    with open(script, "w") as f:
        f.write(PRAAT_SCRIPT)
    out = subprocess.run(["praat", "--run", script, str(step), str(offset), str(count), wav], check=True,
                         capture_output=True, text=True).stdout
    return [float(v) for v in out.split()]


def run_speech(workdir, program):
    made = make_speech(workdir)
    lists = analyse_all(program, [wav for _, wav in made])
    total = Tally()
    print(HEADER)
    for (name, wav), (step, rate, ours) in zip(made, lists):
        offset = step / 4 / rate
        reference = praat_pitch(workdir, wav, step / rate, offset, len(ours))
        tally = Tally()
        for o, r in zip(ours, reference):
            tally.add(o, r)
        print(tally.row(name))
        total.merge(tally)
    print(total.row("total"))


# ---------------------------------------------------------------- tones

def sweep():
    """(rate, frequency, shape): every whole Hz 65..400 at 44.1 kHz, every 5 Hz at 48 and 96 kHz."""
    cases = []
    for shape in ("sine", "saw"):
        cases += [(44100, f, shape) for f in range(65, 401)]
        for rate in (48000, 96000):
            cases += [(rate, f, shape) for f in range(65, 401, 5)]
    return cases


def tone(rate, frequency, shape, seconds=0.3):
    t = np.arange(int(seconds * rate)) / rate
    if shape == "sine":
        return 0.5 * np.sin(2 * np.pi * frequency * t)
    signal = np.zeros_like(t)
    for k in range(1, int(rate / 2 / frequency) + 1):
        signal += np.sin(2 * np.pi * k * frequency * t) / k
    return 0.3 * signal


def run_tones(workdir, program):
    cases = sweep()
    wavs = []
    for rate, frequency, shape in cases:
        wav = os.path.join(workdir, "%s_%d_%d.wav" % (shape, rate, frequency))
        write_wav(wav, rate, tone(rate, frequency, shape))
        wavs.append(wav)
    lists = analyse_all(program, wavs)
    off50 = []
    frames = voiced = within5 = 0
    for (rate, frequency, shape), (step, _, ours) in zip(cases, lists):
        n = window_length(rate)
        length = int(0.3 * rate)
        worst = 0.0
        for k, f in enumerate(ours):
            if k * step < n or k * step + 2 * n > length:
                continue
            frames += 1
            if f > 0:
                voiced += 1
                c = cents(f, frequency)
                within5 += abs(c) <= 5
                if abs(c) > abs(worst):
                    worst = c
        if abs(worst) > 50:
            off50.append("%s %d Hz at %d: %+.0f ct" % (shape, frequency, rate, worst))
    print("tones %d, frames inside the tones %d, voiced %.2f %%, voiced frames within 5 cents %.2f %%" %
          (len(cases), frames, 100.0 * voiced / frames, 100.0 * within5 / max(voiced, 1)))
    print("tones with a frame more than 50 cents off: %d" % len(off50))
    for line in off50:
        print("  " + line)


# ---------------------------------------------------------------- synthetic voices

FORMANTS = {  # vowel: (frequency, bandwidth) of four formants, male speaker
    "a": ((730, 90), (1090, 110), (2440, 170), (3400, 250)),
    "i": ((270, 60), (2290, 100), (3010, 170), (3500, 250)),
    "u": ((300, 60), (870, 90), (2240, 170), (3300, 250)),
    "o": ((570, 80), (840, 90), (2410, 170), (3400, 250)),
    "e": ((530, 80), (1840, 100), (2480, 170), (3400, 250)),
}


def resonator(signal, rate, frequency, bandwidth):
    r = math.exp(-math.pi * bandwidth / rate)
    a1 = 2 * r * math.cos(2 * math.pi * frequency / rate)
    a2 = -r * r
    gain = 1 - a1 - a2
    out = np.zeros_like(signal)
    y1 = y2 = 0.0
    for n, x in enumerate(signal):
        y = gain * x + a1 * y1 + a2 * y2
        out[n] = y
        y2, y1 = y1, y
    return out


def glottal_voice(rate, base, vowel, seed, seconds=0.6):
    """A glottal-pulse train around `base` Hz with 5.5 Hz vibrato of 40 cents,
    1 % jitter, 10 % shimmer and a second harmonic as strong as the first,
    through the formants of `vowel`. Returns the signal and the true
    frequency at every sample."""
    rng = np.random.default_rng(seed)
    count = int(seconds * rate)
    t = np.arange(count) / rate
    truth = base * 2 ** (40 / 1200 * np.sin(2 * np.pi * 5.5 * t))
    source = np.zeros(count)
    position = 0.0
    while True:
        n = int(position)
        if n >= count:
            break
        period = rate / truth[n] * (1 + 0.01 * rng.standard_normal())
        amplitude = 1 + 0.1 * rng.standard_normal()
        opening, closing = int(0.45 * period), int(0.15 * period)
        for i in range(opening + closing):
            if n + i >= count:
                break
            if i < opening:
                flow = 0.5 - 0.5 * math.cos(math.pi * i / opening)
            else:
                flow = math.cos(0.5 * math.pi * (i - opening) / closing)
            source[n + i] += amplitude * flow
        position += period
    source = np.diff(source, prepend=0.0)
    phase = 2 * np.pi * np.cumsum(truth) / rate
    source += 0.02 * np.sin(2 * phase)  # the second harmonic, about as strong as the first after the formants
    signal = source
    for frequency, bandwidth in FORMANTS[vowel]:
        signal = resonator(signal, rate, frequency, bandwidth)
    signal += 0.002 * rng.standard_normal(count) * np.abs(signal).max()
    return 0.5 * signal / np.abs(signal).max(), truth


def run_voices(workdir, program):
    cases = []
    wavs = []
    truths = []
    seed = 1
    for base in range(70, 161, 10):
        for vowel in FORMANTS:
            rate = 44100
            signal, truth = glottal_voice(rate, base, vowel, seed)
            seed += 1
            wav = os.path.join(workdir, "voice_%d_%s.wav" % (base, vowel))
            write_wav(wav, rate, signal)
            cases.append((base, vowel, rate, len(signal)))
            wavs.append(wav)
            truths.append(truth)
    lists = analyse_all(program, wavs)
    total = Tally()
    print(HEADER)
    by_base = {}
    for (base, vowel, rate, length), truth, (step, _, ours) in zip(cases, truths, lists):
        n = window_length(rate)
        tally = by_base.setdefault(base, Tally())
        for k, f in enumerate(ours):
            if k * step < n or k * step + 2 * n > length:
                continue
            tally.add(f, truth[k * step + step // 4])
    for base in sorted(by_base):
        print(by_base[base].row("glottal %d Hz (5 vowels)" % base))
        total.merge(by_base[base])
    print(total.row("total"))


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("speech", "tones", "voices"):
        print(__doc__, file=sys.stderr)
        return 2
    what, workdir, program = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
    os.makedirs(workdir, exist_ok=True)
    {"speech": run_speech, "tones": run_tones, "voices": run_voices}[what](workdir, program)
    return 0


if __name__ == "__main__":
    sys.exit(main())
