#include "support/test_signals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand::test {

namespace {

constexpr double kTwoPi = 6.283185307179586;

struct Formant {
    double frequency;
    double bandwidth;
};

// Formants of a low male voice.
const Formant* formantsOf(Vowel vowel) {
    static const Formant a[] = {{730, 90}, {1090, 110}, {2440, 170}, {3400, 250}};
    static const Formant i[] = {{270, 60}, {2290, 100}, {3010, 170}, {3500, 250}};
    static const Formant u[] = {{300, 60}, {870, 90}, {2240, 170}, {3300, 250}};
    static const Formant o[] = {{570, 80}, {840, 90}, {2410, 170}, {3400, 250}};
    static const Formant e[] = {{530, 80}, {1840, 100}, {2480, 170}, {3400, 250}};
    switch (vowel) {
        case Vowel::A: return a;
        case Vowel::I: return i;
        case Vowel::U: return u;
        case Vowel::O: return o;
        case Vowel::E: return e;
    }
    return a;
}

// A two-pole resonator of unit gain at 0 Hz, in place.
void resonate(std::vector<double>& signal, std::uint32_t rate, Formant formant) {
    const double r = std::exp(-3.141592653589793 * formant.bandwidth / rate);
    const double a1 = 2.0 * r * std::cos(kTwoPi * formant.frequency / rate);
    const double a2 = -r * r;
    const double gain = 1.0 - a1 - a2;
    double y1 = 0.0;
    double y2 = 0.0;
    for (double& x : signal) {
        const double y = gain * x + a1 * y1 + a2 * y2;
        y2 = y1;
        y1 = y;
        x = y;
    }
}

}  // namespace

std::vector<double> sineSignal(double frequency, std::uint32_t rate, int frames, double level) {
    std::vector<double> out(static_cast<std::size_t>(std::max(frames, 0)));
    for (std::size_t n = 0; n < out.size(); ++n) out[n] = level * std::sin(kTwoPi * frequency * n / rate);
    return out;
}

std::vector<double> sawtoothSignal(double frequency, std::uint32_t rate, int frames, double level) {
    std::vector<double> out(static_cast<std::size_t>(std::max(frames, 0)), 0.0);
    for (int k = 1; k * frequency < rate / 2.0; ++k) {
        // sin(k w n) by rotation, restarted from the exact value every 256 samples.
        const double step = kTwoPi * k * frequency / rate;
        const double c = std::cos(step);
        const double s = std::sin(step);
        double re = 1.0;
        double im = 0.0;
        for (std::size_t n = 0; n < out.size(); ++n) {
            if (n % 256 == 0) {
                re = std::cos(step * static_cast<double>(n));
                im = std::sin(step * static_cast<double>(n));
            }
            out[n] += level / k * im;
            const double next = re * c - im * s;
            im = re * s + im * c;
            re = next;
        }
    }
    return out;
}

GlottalVoice glottalVoice(double base, Vowel vowel, std::uint32_t rate, int frames, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    GlottalVoice voice;
    const auto count = static_cast<std::size_t>(std::max(frames, 0));
    voice.truth.resize(count);
    for (std::size_t n = 0; n < count; ++n)
        voice.truth[n] = base * std::pow(2.0, 40.0 / 1200.0 * std::sin(kTwoPi * 5.5 * n / rate));

    std::vector<double> flow(count + 1, 0.0);
    double position = 0.0;
    while (position < static_cast<double>(count)) {
        const auto start = static_cast<std::size_t>(position);
        const double period = rate / voice.truth[start] * (1.0 + 0.01 * normal(random));
        const double amplitude = 1.0 + 0.1 * normal(random);
        const auto opening = static_cast<std::size_t>(0.45 * period);
        const auto closing = static_cast<std::size_t>(0.15 * period);
        for (std::size_t i = 0; i < opening + closing && start + i < count; ++i) {
            const double shape = i < opening ? 0.5 - 0.5 * std::cos(3.141592653589793 * i / opening)
                                             : std::cos(0.5 * 3.141592653589793 * (i - opening) / closing);
            flow[start + i] += amplitude * shape;
        }
        position += period;
    }
    std::vector<double> signal(count);
    double phase = 0.0;
    for (std::size_t n = 0; n < count; ++n) {
        phase += kTwoPi * voice.truth[n] / rate;
        signal[n] = flow[n] - (n > 0 ? flow[n - 1] : 0.0) + 0.02 * std::sin(2.0 * phase);
    }
    const Formant* formants = formantsOf(vowel);
    for (int f = 0; f < 4; ++f) resonate(signal, rate, formants[f]);
    double peak = 0.0;
    for (const double v : signal) peak = std::max(peak, std::fabs(v));
    for (double& v : signal) v += 0.002 * peak * normal(random);
    peak = 0.0;
    for (const double v : signal) peak = std::max(peak, std::fabs(v));
    for (double& v : signal) v *= peak > 0.0 ? 16000.0 / peak : 0.0;
    voice.samples = std::move(signal);
    return voice;
}

std::vector<double> noiseSignal(std::uint32_t rate, int frames, double level, double lowPass, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> out(static_cast<std::size_t>(std::max(frames, 0)));
    const double a = lowPass > 0.0 ? std::exp(-kTwoPi * lowPass / rate) : 0.0;
    double state = 0.0;
    for (double& v : out) {
        state = a * state + (1.0 - a) * normal(random);
        v = state;
    }
    double energy = 0.0;
    for (const double v : out) energy += v * v;
    const double scale = energy > 0.0 ? level / std::sqrt(energy / out.size()) : 0.0;
    for (double& v : out) v *= scale;
    return out;
}

namespace {

std::vector<std::uint8_t> pcm16(const std::vector<double>& signal) {
    std::vector<std::uint8_t> data(signal.size() * 2);
    for (std::size_t n = 0; n < signal.size(); ++n) {
        const auto value = static_cast<std::int16_t>(std::clamp(std::lround(signal[n]), -32768L, 32767L));
        std::memcpy(&data[2 * n], &value, 2);
    }
    return data;
}

}  // namespace

LoadedSample sampleOf(const std::vector<double>& signal, std::uint32_t rate) {
    LoadedSample sample;
    sample.info.chunkId = {'f', 'm', 't', ' '};
    sample.info.chunkSize = 16;
    sample.info.formatTag = 1;
    sample.info.channels = 1;
    sample.info.samplesPerSec = rate;
    sample.info.avgBytesPerSec = rate * 2;
    sample.info.blockAlign = 2;
    sample.info.bitsPerSample = 16;
    sample.bytes = pcm16(signal);
    sample.dataBytes = static_cast<std::uint32_t>(sample.bytes.size());
    sample.bytes.resize(sample.bytes.size() + 4096 * 2, 0);
    return sample;
}

std::vector<std::uint8_t> waveImageOf(const std::vector<double>& signal, std::uint32_t rate) {
    return makeWaveImage(1, 1, rate, 16, pcm16(signal));
}

double repetitionDifference(const std::vector<double>& signal, int start, int length, int lag) {
    double difference = 0.0;
    double energy = 0.0;
    for (int n = start; n < start + length; ++n) {
        const double a = signal[static_cast<std::size_t>(n)];
        const double b = signal[static_cast<std::size_t>(n + lag)];
        difference += (a - b) * (a - b);
        energy += a * a + b * b;
    }
    return energy > 0.0 ? difference / energy : 1.0;
}

}  // namespace kestrand::test
