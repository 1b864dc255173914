// Synthetic test signals with a known pitch: tones, band-limited sawtooth
// waves, glottal-pulse voices through vowel formants, and noise; and the
// 16-bit sample (or WAV image) that holds one.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/wave_info.h"

namespace kestrand::test {

// `frames` samples of level x sin(2 pi f t) at `rate`, in sixteen-bit scale.
std::vector<double> sineSignal(double frequency, std::uint32_t rate, int frames, double level);

// `frames` samples of a sawtooth wave of fundamental `frequency` made of its
// harmonics below half the rate (amplitude level / k for harmonic k).
std::vector<double> sawtoothSignal(double frequency, std::uint32_t rate, int frames, double level);

// A vowel for glottalVoice, by its first four formants.
enum class Vowel { A, I, U, O, E };

// A voice with a known contour: glottal pulses (a raised-cosine opening and
// a quarter-cosine closing of the flow, differentiated) at `base` Hz with a
// 5.5 Hz vibrato of +-40 cents, 1 % period jitter, 10 % pulse-to-pulse
// shimmer and an added second harmonic as strong as the source's first,
// through the formant resonators of the vowel, with a little breath noise.
// Deterministic for a seed. `truth` holds the contour's frequency at every
// sample; the peak level of `samples` is 16000.
struct GlottalVoice {
    std::vector<double> samples;
    std::vector<double> truth;
};
GlottalVoice glottalVoice(double base, Vowel vowel, std::uint32_t rate, int frames, std::uint32_t seed);

// White noise of the given RMS level, or (lowPass > 0) that noise through a
// one-pole low-pass at that frequency, deterministic for a seed.
std::vector<double> noiseSignal(std::uint32_t rate, int frames, double level, double lowPass, std::uint32_t seed);

// A mono 16-bit loaded sample of the signal with the zero tail of 4096
// frames the WAV reader appends.
LoadedSample sampleOf(const std::vector<double>& signal, std::uint32_t rate);

// A mono 16-bit WAV file image of the signal.
std::vector<std::uint8_t> waveImageOf(const std::vector<double>& signal, std::uint32_t rate);

// The difference between a signal and itself `lag` samples later over
// frames start .. start + length - 1, divided by the energy of both parts:
// 0 when the signal repeats after the lag, about 1 when it is unrelated.
double repetitionDifference(const std::vector<double>& signal, int start, int length, int lag);

}  // namespace kestrand::test
