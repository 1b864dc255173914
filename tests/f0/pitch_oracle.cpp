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

    // The frame signal, the difference function, the strict
    // local minima and the candidate with the greatest score.
    struct Stages {
        std::vector<double> x;
        std::vector<double> D;
        std::vector<int> candidates;
        int u = 0;
    };
    Stages stages(std::int64_t a, int lowest, int highest) const {
        Stages st;
        const double g = (1.5 * N - 0.5 * Step) * 0.5;
        const double width = sample.info.bitsPerSample == 8 ? 1.0 : static_cast<double>(rate / 920);
        std::vector<double>& x = st.x;
        x.assign(static_cast<std::size_t>(L), 0.0);
        for (int i = 0; i < L; ++i) {
            const auto p = static_cast<std::int64_t>(std::trunc(i - g + static_cast<double>(a)));
            x[i] = p >= 0 && p < frames ? read(static_cast<double>(p), data, width, channels) : 0.0;
        }
        std::vector<double> y(static_cast<std::size_t>(N));
        for (int i = 0; i < N; ++i) y[i] = x[q + i] * frameWindow[i];

        st.D.assign(static_cast<std::size_t>(highest + 2), 0.0);
        for (int j = lowest; j <= highest; ++j) {
            const int s = e + q - (j >> 1);
            double sum = 0.0;
            for (int i = 0; i < q + h; ++i)
                sum += (x[s + i] - x[s + i + j]) * (x[s + i] - x[s + i + j]) * spanWindow[2 * i];
            st.D[j] = sum;
            if (j >= lowest + 2 && st.D[j - 2] > st.D[j - 1] && st.D[j] > st.D[j - 1]) st.candidates.push_back(j - 1);
        }

        double best = -1.0;
        for (const int tau : st.candidates) {
            double re = 0.0;
            double im = 0.0;
            for (int i = 0; i < N; ++i) {
                re += y[i] * std::cos((kTwoPi * i) / tau);
                im += y[i] * std::sin((kTwoPi * i) / tau);
            }
            const double score = std::sqrt((re * re + im * im) / (st.D[tau] + 1e-7));
            if (score >= best) {
                best = score;
                st.u = tau;
            }
        }
        return st;
    }

    // E(tau) of the refinement and the energy of both reads.
    std::pair<double, double> E(std::int64_t a, double tau) const {
        const double base = static_cast<double>(a + e);
        double sum = 0.0;
        double energy = 0.0;
        for (int m = 0; m < q + h; ++m) {
            const double first = read(base - tau / 2 + m, data, 1.0, channels);
            const double second = read(base - tau / 2 + m + tau, data, 1.0, channels);
            const double d = first - second;
            sum += d * d * spanWindow[2 * m];
            energy += (first * first + second * second) * spanWindow[2 * m];
        }
        return {sum, energy};
    }

    // The refinement written out once more, as a state that can stop at a step
    // width and go on: the steps run while B exceeds both u / 80000 and stop.
    struct Refinement {
        double u = 0, z = 0, B = 1.0, Ebest = 1e30, energyBest = 0, Eu = 0, energyU = 0;
        int steps = 0;
        bool strayed = false;
        double lag() const { return strayed ? u : z; }
        double normalised() const {
            const double value = strayed ? Eu : Ebest;
            const double energy = strayed ? energyU : energyBest;
            return energy > 0 ? value / energy : 1.0;
        }
    };
    void refine(std::int64_t a, Refinement& r, double stop) const {
        const double tol = r.u / 80000.0;
        while (!r.strayed && (r.steps == 0 || (r.B > tol && r.B > stop))) {
            double choice = r.z;
            const double lags[3] = {r.z - r.B, r.z, r.z + r.B};
            for (int k = 0; k < 3; ++k) {
                if (k == 1 && r.B < 1.0) continue;
                const auto [value, energy] = E(a, lags[k]);
                if (k == 1 && r.steps == 0) {
                    r.Eu = value;
                    r.energyU = energy;
                }
                if (value < r.Ebest) {
                    choice = lags[k];
                    r.Ebest = value;
                    r.energyBest = energy;
                }
            }
            if (choice != r.z) {
                if (std::fabs(choice - r.u) > 1.0) {
                    r.strayed = true;
                    return;
                }
                r.z = choice;
            }
            r.B /= 2.0;
            ++r.steps;
        }
    }
    Refinement startRefinement(int u) const {
        Refinement r;
        r.u = u;
        r.z = u;
        return r;
    }

    double pitch(std::int64_t a, int lowest, int highest, int mode) const {
        const Stages st = stages(a, lowest, highest);
        const int c = static_cast<int>(st.candidates.size());
        const bool accepted = mode == 1 ? c >= 1 && (highest - lowest + 1) / c > lowest : c >= 1;
        if (!accepted) return 0.0;
        Refinement r = startRefinement(st.u);
        refine(a, r, 0.0);
        const double lag = r.lag();
        return lag > 0.0 ? rate / lag : 0.0;
    }

    // The level of the frame at a: the windowed energy's root over the span
    // that starts N/4 before it, samples inside the data only.
    double level(std::int64_t a) const {
        double sum = 0.0;
        for (int j = 0; j < L; ++j) {
            const std::int64_t pos = a - q + j;
            if (pos < 0 || pos >= frames) continue;
            const double v = read(static_cast<double>(pos), data, 1.0, channels) * spanWindow[j];
            sum += v * v;
        }
        return std::sqrt(sum);
    }

    double loudest() const {
        double most = 0.0;
        for (std::int64_t a = 0; a <= frames; a += Step) most = std::max(most, level(a));
        return most;
    }

    // The coarse difference at a whole lag: the smallest D at the lag and
    // its neighbours within the range, over the energy the lag compares.
    double coarse(const Stages& st, int lag, int lowest, int highest) const {
        if (lag < lowest || lag > highest) return 2.0;
        double smallest = st.D[lag];
        if (lag - 1 >= lowest) smallest = std::min(smallest, st.D[lag - 1]);
        if (lag + 1 <= highest) smallest = std::min(smallest, st.D[lag + 1]);
        const int s = e + q - (lag >> 1);
        double energy = 0.0;
        for (int i = 0; i < q + h; ++i)
            energy += (st.x[s + i] * st.x[s + i] + st.x[s + i + lag] * st.x[s + i + lag]) * spanWindow[2 * i];
        return energy > 0.0 ? smallest / energy : 1.0;
    }

    // The frame estimate with the period decision and the voicing of loud
    // periodic frames, every rule written out in the plainest way.
    double decidedPitch(std::int64_t a, int lowest, int highest, int mode, double loudestLevel) const {
        const Stages st = stages(a, lowest, highest);
        const int c = static_cast<int>(st.candidates.size());
        if (c == 0) return 0.0;
        const bool few = mode != 1 || (highest - lowest + 1) / c > lowest;
        const double lvl = level(a);
        const bool loud = lvl > 0.0 && lvl >= 0.0316 * loudestLevel;
        if (!few && !loud) return 0.0;

        std::vector<Refinement> judged{startRefinement(st.u)};
        refine(a, judged[0], 0.25);
        if (loud) {
            const double chosen = judged[0].lag();
            std::vector<int> parts;
            std::vector<int> multiples;
            for (int k = 2; chosen / k >= std::max(lowest, 1); ++k)
                parts.push_back(static_cast<int>(std::lround(chosen / k)));
            for (int k = 2; std::lround(chosen * k) <= highest; ++k)
                multiples.push_back(static_cast<int>(std::lround(chosen * k)));
            const double coarseU = coarse(st, st.u, lowest, highest);
            double bestCoarse = coarseU;
            for (const int lag : parts) bestCoarse = std::min(bestCoarse, coarse(st, lag, lowest, highest));
            for (const int lag : multiples) bestCoarse = std::min(bestCoarse, coarse(st, lag, lowest, highest));
            std::vector<int> promising;
            for (const int lag : parts)
                if (coarse(st, lag, lowest, highest) <= bestCoarse + 0.15) promising.push_back(lag);
            for (const int lag : multiples)
                if (coarse(st, lag, lowest, highest) < coarseU) promising.push_back(lag);
            for (const int lag : promising) {
                judged.push_back(startRefinement(lag));
                refine(a, judged.back(), 0.25);
            }
        }
        double smallest = 1e30;
        for (const Refinement& r : judged) smallest = std::min(smallest, r.normalised());
        std::size_t pick = 0;
        if (smallest <= 0.5) {
            // Among the lags within 0.02 of the best, the shortest; the first on a tie.
            double shortest = 1e30;
            for (std::size_t i = 0; i < judged.size(); ++i) {
                if (judged[i].normalised() <= smallest + 0.02 && judged[i].lag() < shortest) {
                    shortest = judged[i].lag();
                    pick = i;
                }
            }
        }
        if (!few && !(judged[pick].normalised() <= 0.2 && judged[0].normalised() <= 0.2)) return 0.0;
        Refinement winner = judged[pick];
        refine(a, winner, 0.0);
        const double lag = winner.lag();
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

LiteralChoice literalChoice(const LoadedSample& sample, std::int64_t a, int lowest, int highest, int windowLength,
                            int frameStep) {
    const Literal lit(sample, windowLength, frameStep);
    const auto st = lit.stages(a, lowest, highest);
    return {static_cast<int>(st.candidates.size()), st.u};
}

double literalRefinement(const LoadedSample& sample, std::int64_t a, int lag, int windowLength, int frameStep) {
    const Literal lit(sample, windowLength, frameStep);
    auto r = lit.startRefinement(lag);
    lit.refine(a, r, 0.0);
    return r.lag();
}

double slowLoudestLevel(const LoadedSample& sample, int windowLength, int frameStep) {
    return Literal(sample, windowLength, frameStep).loudest();
}

double slowFramePitch(const LoadedSample& sample, std::int64_t a, int lowest, int highest, int mode, int windowLength,
                      int frameStep, double loudestLevel) {
    return Literal(sample, windowLength, frameStep).decidedPitch(a, lowest, highest, mode, loudestLevel);
}

FrequencyList slowAnalysis(const LoadedSample& sample, int N, int Step) {
    const Literal lit(sample, N, Step);
    const int rate = lit.rate;
    const int q = lit.q;
    const int h = lit.h;
    const int minLag = rate / 900;
    const int maxLag = std::min(rate / 52, q + h);
    const auto S = static_cast<int>(lit.frames / Step + 1);
    std::vector<double> freq(S + 1, 0.0);
    std::vector<double> amp(S + 1, 0.0);
    const double loudest = lit.loudest();
    for (std::int64_t p = 0; p < lit.frames; p += Step)
        freq[p / Step] = lit.decidedPitch(p, minLag, maxLag, 1, loudest);

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
        freq[k] = lit.decidedPitch(static_cast<std::int64_t>(k) * Step, lo, hi, 2, loudest);
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
        } else if (prevA > 0 && (ratio(freq[k], 2 * prevA) > 0.9091 || ratio(freq[k], 0.5 * prevA) > 0.9091)) {
            // A run of at most N / Step frames an octave away from the frame before it,
            // followed by one that agrees with that frame: each frame an octave off the
            // straight line between the two is tried near it, kept if nothing is found.
            auto octave = [&](double f, double g) { return ratio(f, 2 * g) > 0.9091 || ratio(f, 0.5 * g) > 0.9091; };
            int end = k;
            while (end < S && end - k < std::max(1, N / Step) && freq[end] > 0 && octave(freq[end], prevA)) ++end;
            const double after = end < S ? freq[end] : 0;
            if (after > 0 && ratio(after, prevA) > 0.9091) {
                for (int j = k; j < end; ++j) {
                    const double guide = prevA + (after - prevA) * (j - k + 1) / (end - k + 1.0);
                    if (!octave(freq[j], guide)) continue;
                    const double before = freq[j];
                    const double found = redo(j, rate / guide);
                    const std::int64_t a = static_cast<std::int64_t>(j) * Step;
                    auto normalised = [&](double f) {
                        const auto [value, energy] = lit.E(a, rate / f);
                        return energy > 0 ? value / energy : 1.0;
                    };
                    // Taken only when its period repeats the frame nearly as well as the old one.
                    if (found < 1 || normalised(found) > normalised(before) + 0.1) freq[j] = before;
                }
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
