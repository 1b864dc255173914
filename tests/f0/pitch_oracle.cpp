#include "f0/pitch_oracle.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "dsp/sinc_literal.h"
#include "support/sample_oracle.h"

namespace kestrand::test {

namespace {

constexpr double kTwoPi = 6.28318530717958;

using Reader = double (*)(double, std::span<const std::uint8_t>, double, int);

Reader readerFor(const WaveInfo& info) {
    switch (info.bitsPerSample) {
        case 8: return readFractionalU8;
        case 16: return readFractionalS16;
        case 24: return readFractionalS24;
        case 32: return effectiveFormatTag(info) == 1 ? readFractionalS32 : readFractionalF32;
        default: return readFractionalF64;
    }
}

struct Literal {
    explicit Literal(const LoadedSample& s, int n, int step) : sample(s), N(n), Step(step) {
        const std::size_t available = std::min<std::size_t>(s.bytes.size(), s.dataBytes);
        data = std::span<const std::uint8_t>(s.bytes.data(), available);
        frames = static_cast<std::int64_t>(available / s.info.blockAlign);
        rate = static_cast<int>(s.info.samplesPerSec);
        channels = s.info.channels;
        read = readerFor(s.info);
        h = N / 2;
        q = N / 4;
        e = N / 8;
        L = N + h;
        for (int i = 0; i < N; ++i) frameWindow.push_back(0.5 - 0.5 * std::cos(kTwoPi * i / N));
        for (int i = 0; i <= L; ++i) spanWindow.push_back(0.5 - 0.5 * std::cos(kTwoPi * i / L));
    }

    double pitch(std::int64_t a, int lowest, int highest, int mode) const {
        const double g = (1.5 * N - 0.5 * Step) * 0.5;
        const double width = sample.info.bitsPerSample == 8 ? 1.0 : static_cast<double>(rate / 920);
        std::vector<double> x(static_cast<std::size_t>(L));
        for (int i = 0; i < L; ++i) {
            const auto p = static_cast<std::int64_t>(std::trunc(i - g + static_cast<double>(a)));
            x[i] = p >= 0 && p < frames ? read(static_cast<double>(p), data, width, channels) : 0.0;
        }
        std::vector<double> y(static_cast<std::size_t>(N));
        for (int i = 0; i < N; ++i) y[i] = x[q + i] * frameWindow[i];

        std::vector<double> D(static_cast<std::size_t>(highest + 1), 0.0);
        std::vector<int> candidates;
        for (int j = lowest; j <= highest; ++j) {
            const int s = e + q - (j >> 1);
            double sum = 0.0;
            for (int i = 0; i < q + h; ++i)
                sum += (x[s + i] - x[s + i + j]) * (x[s + i] - x[s + i + j]) * spanWindow[2 * i];
            D[j] = sum;
            if (j >= lowest + 2 && D[j - 2] > D[j - 1] && D[j] > D[j - 1]) candidates.push_back(j - 1);
        }

        int u = 0;
        double best = -1.0;
        for (const int tau : candidates) {
            double re = 0.0;
            double im = 0.0;
            for (int i = 0; i < N; ++i) {
                re += y[i] * std::cos((kTwoPi * i) / tau);
                im += y[i] * std::sin((kTwoPi * i) / tau);
            }
            const double score = std::sqrt((re * re + im * im) / (D[tau] + 1e-7));
            if (score >= best) {
                best = score;
                u = tau;
            }
        }
        const int c = static_cast<int>(candidates.size());
        const bool accepted = mode == 1 ? c >= 1 && (highest - lowest + 1) / c > lowest : c >= 1;
        if (!accepted) return 0.0;

        const double base = static_cast<double>(a + e);
        auto E = [&](double tau) {
            double sum = 0.0;
            for (int m = 0; m < q + h; ++m) {
                const double d =
                    read(base - tau / 2 + m, data, 1.0, channels) - read(base - tau / 2 + m + tau, data, 1.0, channels);
                sum += d * d * spanWindow[2 * m];
            }
            return sum;
        };
        const double tol = u / 80000.0;
        double B = 1.0;
        double z = u;
        double Ebest = 1e30;
        double choice = z;
        double lag = -1.0;
        do {
            const double lags[3] = {z - B, z, z + B};
            for (int k = 0; k < 3; ++k) {
                const double value = (k == 1 && B < 1.0) ? Ebest : E(lags[k]);
                if (value < Ebest) {
                    choice = lags[k];
                    Ebest = value;
                }
            }
            if (choice != z) {
                if (std::fabs(choice - u) > 1.0) {
                    lag = u;
                    break;
                }
                z = choice;
            }
            choice = z;
            B /= 2.0;
        } while (B > tol);
        if (lag < 0.0) lag = z;
        return lag > 0.0 ? rate / lag : 0.0;
    }

    double amplitudeValue(std::int64_t position) const {
        const std::size_t bytes = sample.info.bitsPerSample / 8;
        const std::size_t offset = static_cast<std::size_t>(position) * channels * bytes;
        std::uint8_t raw[8] = {};
        for (std::size_t b = 0; b < bytes; ++b)
            raw[b] = offset + b < data.size() && offset + bytes <= data.size() ? data[offset + b] : 0;
        // The analysis's amplitude: floats x 32768, doubles contribute 0.
        if (sample.info.bitsPerSample == 64) return 0.0;
        return test::oracleDecode(raw, sample.info.bitsPerSample, effectiveFormatTag(sample.info), 32768.0);
    }

    const LoadedSample& sample;
    int N;
    int Step;
    std::span<const std::uint8_t> data;
    std::int64_t frames = 0;
    int rate = 0;
    int channels = 0;
    Reader read = nullptr;
    int h = 0, q = 0, e = 0, L = 0;
    std::vector<double> frameWindow;
    std::vector<double> spanWindow;
};

}  // namespace

double literalFramePitch(const LoadedSample& sample, std::int64_t a, int lowest, int highest, int mode,
                         int windowLength, int frameStep) {
    return Literal(sample, windowLength, frameStep).pitch(a, lowest, highest, mode);
}

FrequencyList literalAnalysis(const LoadedSample& sample, int N, int Step) {
    const Literal lit(sample, N, Step);
    const int rate = lit.rate;
    const int q = lit.q;
    const int h = lit.h;
    const int minLag = rate / 900;
    const int maxLag = std::min(rate / 52, q + h);
    const auto S = static_cast<int>(lit.frames / Step + 1);
    std::vector<double> freq(S + 1, 0.0);
    std::vector<double> amp(S + 1, 0.0);
    for (std::int64_t p = 0; p < lit.frames; p += Step) freq[p / Step] = lit.pitch(p, minLag, maxLag, 1);

    double sumW = 0.0;
    double sumWf = 0.0;
    for (int k = 0; k < S; ++k) {
        double sum = 0.0;
        for (int j = 0; j < lit.L; ++j) {
            const std::int64_t pos = static_cast<std::int64_t>(k) * Step - q + j;
            if (pos < 0) continue;
            const double v = lit.amplitudeValue(pos) * lit.spanWindow[j];
            sum += v * v;
        }
        amp[k] = 0.125 * std::sqrt(sum);
        const double f = freq[k];
        if (f > 1) {
            double W = amp[k] + 1;
            for (int d = 1; d <= 11; ++d) {
                if (k - d >= 0 && freq[k - d] > 1) {
                    const double c = f / (15 * std::fabs(freq[k - d] - f) + f);
                    W *= c * c;
                } else {
                    W *= 1 / (f + 1);
                }
            }
            sumW += W;
            sumWf += W * f;
        }
    }
    const double avg = sumW == 0 ? static_cast<double>(rate) / maxLag : sumWf / sumW;

    auto ratio = [](double a, double b) { return std::min(a, b) / std::max(a, b); };
    auto redo = [&](int k, double G) {
        const int lo = static_cast<int>(std::floor(0.9091 * G));
        const int hi = std::min(static_cast<int>(std::ceil(1.1 * G)), q + h);
        freq[k] = lit.pitch(static_cast<std::int64_t>(k) * Step, lo, hi, 2);
        return freq[k];
    };
    double prevA = 0;
    double prevB = 0;
    for (int k = 0; k < S; ++k) {
        if (freq[k] < 1) {
            double nextA = k >= S - 1 ? 0 : freq[k + 1];
            double nextB = k >= S - 2 ? 0 : freq[k + 2];
            for (int j = k; j >= 0 && freq[j] < 1 && nextA > 0 && nextB > 0 && ratio(nextA, nextB) > 0.9091; --j) {
                const double r = redo(j, rate / (2 * nextA - nextB));
                if (r < 1) break;
                nextB = nextA;
                nextA = r;
            }
            if (freq[k] < 1 && prevA > 0 && prevB > 0 && ratio(prevA, prevB) > 0.9091)
                redo(k, rate / (2 * prevA - prevB));
            if (freq[k] < 1) {
                nextA = k == S - 1 ? 0 : freq[k + 1];
                if (prevA > 0 && nextA > 0 && ratio(prevA, nextA) > 0.9091) redo(k, rate / ((nextA + prevA) * 0.5));
            }
        }
        prevB = prevA;
        prevA = freq[k];
    }
    freq[S] = freq[S - 1];
    amp[S] = amp[S - 1];

    FrequencyList list;
    list.frameStep = Step;
    list.sampleRate = rate;
    list.listSize = S;
    list.freqAvg = avg;
    list.frequencies = freq;
    list.amplitudes = amp;
    return list;
}

LoadedSample toneSample(double frequency, std::uint32_t rate, int bits, int frames, double level,
                        std::uint16_t formatTag) {
    LoadedSample sample;
    const int bytes = bits / 8;
    sample.info.chunkId = {'f', 'm', 't', ' '};
    sample.info.chunkSize = 16;
    sample.info.formatTag = formatTag;
    sample.info.channels = 1;
    sample.info.samplesPerSec = rate;
    sample.info.blockAlign = static_cast<std::uint16_t>(bytes);
    sample.info.avgBytesPerSec = rate * static_cast<std::uint32_t>(bytes);
    sample.info.bitsPerSample = static_cast<std::uint16_t>(bits);
    sample.dataBytes = static_cast<std::uint32_t>(frames * bytes);
    sample.bytes.assign(static_cast<std::size_t>((frames + 4096) * bytes), 0);
    for (int n = 0; n < frames; ++n) {
        const double v = level * std::sin(6.283185307179586 * frequency * n / rate);  // sixteen-bit scale
        std::uint8_t* out = sample.bytes.data() + static_cast<std::size_t>(n) * bytes;
        switch (bits) {
            case 8: out[0] = static_cast<std::uint8_t>(std::lround(v / 256.0 + 127.5)); break;
            case 16: {
                const auto s = static_cast<std::int16_t>(std::lround(v));
                std::memcpy(out, &s, 2);
                break;
            }
            case 24: {
                const auto s = static_cast<std::int32_t>(std::lround(v * 256.0));
                out[0] = static_cast<std::uint8_t>(s & 0xFF);
                out[1] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
                out[2] = static_cast<std::uint8_t>((s >> 16) & 0xFF);
                break;
            }
            case 32:
                if (formatTag == 1) {
                    const auto s = static_cast<std::int32_t>(std::lround(v * 65536.0));
                    std::memcpy(out, &s, 4);
                } else {
                    const auto f = static_cast<float>(v / 32768.0);
                    std::memcpy(out, &f, 4);
                }
                break;
            case 64: {
                const double d = v / 32768.0;
                std::memcpy(out, &d, 8);
                break;
            }
            default: break;
        }
    }
    return sample;
}

}  // namespace kestrand::test
