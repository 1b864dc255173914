#include "synth/direct_waveform.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "dsp/sinc_fast.h"
#include "dsp/sinc_literal.h"
#include "dsp/vector_lanes.h"

namespace kestrand {

namespace {

using namespace lanes;

// Adding and taking away 1.5 * 2^52 rounds to a whole number (|x| < 2^51).
constexpr double kRoundingShift = 6755399441055744.0;

// A frequency-list entry that can be used as a pitch: entries at or below
// 21.5 Hz and exactly 55 Hz stand for the average.
inline double usableFrequency(double f, double freqAvg, double nyquist) {
    if (!(f > 21.5) || f == 55.0 || !std::isfinite(f)) f = freqAvg;
    return std::clamp(f, 1.0, nyquist);
}

// The recorded pitch period at input frame `position`, literally: two
// divisions per read.
double literalPeriod(const DirectWaveformSetup& setup, double position) {
    const FrequencyList& list = *setup.list;
    const double q = position / list.frameStep;
    std::size_t p;
    double f;
    if (!(q < list.listSize)) {
        p = static_cast<std::size_t>(list.listSize);
        f = 0.0;
    } else if (q < 0.0) {
        p = 0;
        f = 0.0;
    } else {
        const double fl = std::floor(q);
        p = static_cast<std::size_t>(fl);
        f = q - fl;
    }
    const double f0a = usableFrequency(list.frequencies[p], list.freqAvg, setup.nyquist);
    const double f0b = usableFrequency(list.frequencies[std::min(p + 1, static_cast<std::size_t>(list.listSize))],
                                       list.freqAvg, setup.nyquist);
    return (setup.inputRate / f0a) * (1.0 - f) + (setup.inputRate / f0b) * f;
}

// The wanted frequency at output sample j.
inline double wantedFrequency(const DirectWaveformSetup& setup, std::int64_t j, double inverseStep) {
    const NoteCurves& curves = *setup.curves;
    if (curves.targets.empty()) return setup.target;
    const std::int32_t nP = curves.bendCount;
    const double q = setup.literal ? static_cast<double>(j) / curves.step : static_cast<double>(j) * inverseStep;
    const double p = std::floor(q);
    if (p >= 0 && p < nP) {
        const std::size_t k = static_cast<std::size_t>(p);
        const double f = q - p;
        return std::max(16.0, curves.targets[k] * (1.0 - f) + curves.targets[k + 1] * f);
    }
    return std::max(16.0, curves.targets[static_cast<std::size_t>(nP)]);
}

// V - floor(V) without a library call; 0 for values that are not finite and
// for those from 2^52 up, which are whole. The wide copy has an instruction
// for floor; the baseline rounds toward zero and steps down.
template <class Lanes>
[[gnu::always_inline]] inline double fractionOf(double V) {
    if (!(std::fabs(V) < 4503599627370496.0)) return 0.0;
#ifdef KESTRAND_WIDE_VECTORS
    if constexpr (std::is_same_v<Lanes, Wide>) return V - std::floor(V);
#endif
    const double t = static_cast<double>(static_cast<std::int64_t>(V));
    return V - (t > V ? t - 1.0 : t);
}

// Applies the intensity gains of a note without frames to samples j0 .. j1 - 1.
void applyGains(const DirectWaveformSetup& setup, std::int64_t j0, std::int64_t j1, std::span<double> direct) {
    const NoteCurves& curves = *setup.curves;
    if (curves.gains.empty()) return;
    const std::int32_t nI = curves.gainCount;
    for (std::int64_t j = j0; j < std::min<std::int64_t>(j1, setup.outCount); ++j) {
        const double q = static_cast<double>(j) / curves.step;
        const double p = std::floor(q);
        if (p > 0 && p < nI) {
            const std::size_t k = static_cast<std::size_t>(p);
            const double f = q - p;
            direct[static_cast<std::size_t>(j)] *= curves.gains[k] * (1.0 - f) + curves.gains[k + 1] * f;
        }
    }
}

void fillLiteral(const DirectWaveformSetup& setup, DirectWaveformState& st, std::int64_t j0, std::int64_t j1,
                 std::span<double> direct) {
    const TimeMap& map = setup.map;
    const double freqAvg = setup.list->freqAvg;
    const SampleView& view = setup.sample->view;
    for (std::int64_t j = j0; j < j1; ++j) {
        const double I = st.I, U = st.U;
        const double rate = I < map.middleEnd ? (I < map.headEnd ? map.headRate : map.middleRate) : map.tailRate;
        const double R = literalPeriod(setup, I);
        const double src = setup.inputRate / R;
        const double S = wantedFrequency(setup, j, 0.0);
        const double bq = (freqAvg / src) * (1.0 - setup.mod) + setup.mod;
        const double advance = S * setup.ratio * bq / freqAvg - rate;
        if (j < setup.outCount && I + U >= 0.0 && I + U < setup.inputFrames) {
            const double W = 1.0 - 3.0 * U * U + 2.0 * U * U * U;
            const double X = I + R * U;
            direct[static_cast<std::size_t>(j)] =
                (1.0 - W) * readLiteral(view, X - R, 1.0) + W * readLiteral(view, X, 1.0);
        } else if (j < setup.outCount) {
            direct[static_cast<std::size_t>(j)] = 0.0;
        }
        st.I = I + rate;
        const double V = U + advance / R;
        st.U = std::isfinite(V) ? V - std::floor(V) : 0.0;
        if (j % setup.hop == 0) {
            st.previous = st.latch;
            st.latch = Latch{st.I, R, S * bq};
        }
    }
}

// The same loop in passes over the hop, with every value that stays fixed in
// a local: the read positions (each depends on the one before); the recorded
// period and the phase step of every sample (independent of one another, four
// at a time; the divisions by constants are taken out and the periods per
// list entry come from a table); the phase (each depends on the one before);
// then the two read positions of every sample, the reads and the cross-fade,
// four at a time.
template <class Lanes>
KESTRAND_VECTOR_BODY void fillFastBody(const DirectWaveformSetup& setup, DirectWaveformState& st, std::int64_t j0,
                                       std::int64_t j1, std::span<double> direct) {
    const TimeMap map = setup.map;
    const FrequencyList& list = *setup.list;
    const double freqAvg = list.freqAvg;
    const double inverseFrameStep = 1.0 / list.frameStep;
    const double listEnd = list.listSize;
    const std::size_t lastEntry = static_cast<std::size_t>(list.listSize);
    const double* __restrict periods = st.periods.data();
    const double inverseStep = 1.0 / setup.curves->step;
    const bool bend = !setup.curves->targets.empty();
    const double target = setup.target;
    // bq = (freqAvg / (inputRate / R)) (1 - mod) + mod = R k1 + mod;
    // advance = S ratio bq / freqAvg - rate = S bq k2 - rate.
    const double mod = setup.mod;
    const double k1 = freqAvg / setup.inputRate * (1.0 - mod);
    const double k2 = setup.ratio / freqAvg;
    const double inputFrames = setup.inputFrames;
    const std::int64_t count = j1 - j0;
    double* __restrict spots = st.spots.data();
    double* __restrict rates = st.rates.data();
    double* __restrict lengths = st.lengths.data();
    double* __restrict steps = st.steps.data();

    // The read positions. The part of the region (head, middle, tail), and
    // so the rate, is a step function of the position that never falls as
    // the position grows: positions that move by one rate all lie in one part
    // when the first and the last do. So the hop is first walked at the rate
    // of its first position, and walked again sample by sample only when its
    // last position lies in another part.
    const auto part = [&map](double I) { return I < map.middleEnd ? (I < map.headEnd ? 0 : 1) : 2; };
    const auto rateOf = [&map](double I) {
        return I < map.middleEnd ? (I < map.headEnd ? map.headRate : map.middleRate) : map.tailRate;
    };
    double I = st.I;
    if (count > 0) {
        const double rate = rateOf(I);
        for (std::int64_t k = 0; k < count; ++k) {
            spots[k] = I;
            I += rate;
        }
        if (part(spots[count - 1]) == part(spots[0])) {
            for (std::int64_t k = 0; k < count; ++k) rates[k] = rate;
        } else {
            I = st.I;
            for (std::int64_t k = 0; k < count; ++k) {
                const double r = rateOf(I);
                spots[k] = I;
                rates[k] = r;
                I += r;
            }
        }
    }
    st.I = I;

    // Periods and phase steps, four samples at a time.
    double latchedTarget = 0.0;
    std::int64_t k = 0;
    if (!bend) {
        const Lanes zero = broadcast<Lanes>(0.0);
        const Lanes end = broadcast<Lanes>(listEnd);
        for (; k + 4 <= count; k += 4) {
            const Lanes q = load<Lanes>(spots + k) * inverseFrameStep;
            const auto inside = (q < listEnd) & (q >= 0.0);
            Lanes whole = (q + kRoundingShift) - kRoundingShift;
            whole = select(whole > q, whole - 1.0, whole);
            // Before the list: entry 0; behind it (or not a number): the last.
            whole = select(inside, whole, select(q < 0.0, zero, end));
            const Lanes f = select(inside, q - whole, zero);
            const Int4 entry = truncatedInts(whole);
            const Lanes a = make<Lanes>(periods[entry[0]], periods[entry[1]], periods[entry[2]], periods[entry[3]]);
            const Lanes b =
                make<Lanes>(periods[entry[0] + 1], periods[entry[1] + 1], periods[entry[2] + 1], periods[entry[3] + 1]);
            const Lanes R = a * (1.0 - f) + b * f;
            const Lanes bq = R * k1 + mod;
            store(lengths + k, R);
            store(steps + k, (target * bq * k2 - load<Lanes>(rates + k)) / R);
            if (k == 0) latchedTarget = target * bq[0];
        }
    }
    for (; k < count; ++k) {
        const double q = spots[k] * inverseFrameStep;
        std::size_t p;
        double f;
        if (!(q < listEnd)) {
            p = lastEntry;
            f = 0.0;
        } else if (q < 0.0) {
            p = 0;
            f = 0.0;
        } else {
            p = static_cast<std::size_t>(q);
            f = q - static_cast<double>(p);
        }
        const double R = periods[p] * (1.0 - f) + periods[p + 1] * f;
        const double S = bend ? wantedFrequency(setup, j0 + k, inverseStep) : target;
        const double bq = R * k1 + mod;
        lengths[k] = R;
        steps[k] = (S * bq * k2 - rates[k]) / R;
        if (k == 0) latchedTarget = S * bq;
    }
    if (j0 % setup.hop == 0 && count > 0) {
        st.previous = st.latch;
        st.latch = Latch{spots[0] + rates[0], lengths[0], latchedTarget};
    }

    // The phase of every sample, then whether every read lies inside the
    // recording (four at a time).
    double* __restrict phases = st.phases.data();
    double U = st.U;
    for (k = 0; k < count; ++k) {
        phases[k] = U;
        U = fractionOf<Lanes>(U + steps[k]);
    }
    st.U = U;
    const Lanes none = broadcast<Lanes>(0.0);
    auto insideLanes = none == none;
    for (k = 0; k + 4 <= count; k += 4) {
        const Lanes at = load<Lanes>(spots + k) + load<Lanes>(phases + k);
        insideLanes = insideLanes & (at >= 0.0) & (at < inputFrames);
    }
    bool inside = allSet(insideLanes);
    for (; k < count; ++k) {
        const double at = spots[k] + phases[k];
        inside = inside && at >= 0.0 && at < inputFrames;
    }

    const std::int64_t written = std::clamp<std::int64_t>(setup.outCount - j0, 0, count);
    double* __restrict fades = st.fades.data();
    double* __restrict early = st.positions.data();
    double* __restrict late = early + count;
    double* __restrict values = st.reads.data();
    double* __restrict out = direct.data();
    if (inside) {
        // Every sample of the hop reads inside the recording: positions, reads
        // and the cross-fade four at a time, straight into the note.
        for (k = 0; k + 4 <= written; k += 4) {
            const Lanes u = load<Lanes>(phases + k), R = load<Lanes>(lengths + k);
            const Lanes X = load<Lanes>(spots + k) + R * u;
            store(early + k, X - R);
            store(late + k, X);
            store(fades + k, 1.0 - 3.0 * u * u + 2.0 * u * u * u);
        }
        for (; k < written; ++k) {
            const double u = phases[k], R = lengths[k];
            const double X = spots[k] + R * u;
            early[k] = X - R;
            late[k] = X;
            fades[k] = 1.0 - 3.0 * u * u + 2.0 * u * u * u;
        }
        const std::size_t n = static_cast<std::size_t>(written);
        readUnitBatch(*setup.sample, std::span<const double>(early, n), std::span<double>(values, n));
        readUnitBatch(*setup.sample, std::span<const double>(late, n), std::span<double>(values + count, n));
        out += j0;
        for (k = 0; k + 4 <= written; k += 4) {
            const Lanes W = load<Lanes>(fades + k);
            store(out + k, (1.0 - W) * load<Lanes>(values + k) + W * load<Lanes>(values + count + k));
        }
        for (; k < written; ++k) out[k] = (1.0 - fades[k]) * values[k] + fades[k] * values[count + k];
        return;
    }
    // Some samples read outside: they are 0, and only the others are read.
    std::fill(out + j0, out + j0 + written, 0.0);
    std::int32_t* __restrict indices = st.indices.data();
    std::size_t reads = 0;
    for (k = 0; k < written; ++k) {
        const double at = spots[k], u = phases[k];
        if (at + u >= 0.0 && at + u < inputFrames) {
            const double R = lengths[k];
            const double X = at + R * u;
            fades[reads] = 1.0 - 3.0 * u * u + 2.0 * u * u * u;
            indices[reads] = static_cast<std::int32_t>(j0 + k);
            early[2 * reads] = X - R;
            early[2 * reads + 1] = X;
            ++reads;
        }
    }
    readUnitBatch(*setup.sample, std::span<const double>(early, 2 * reads), std::span<double>(values, 2 * reads));
    for (std::size_t r = 0; r < reads; ++r) {
        const double W = fades[r];
        out[indices[r]] = (1.0 - W) * values[2 * r] + W * values[2 * r + 1];
    }
}

void fillFast(const DirectWaveformSetup& setup, DirectWaveformState& st, std::int64_t j0, std::int64_t j1,
              std::span<double> direct) {
    return KESTRAND_VECTOR_CALL(fillFastBody, setup, st, j0, j1, direct);
}

}  // namespace

DirectWaveformState startDirectWaveform(const DirectWaveformSetup& setup) {
    DirectWaveformState st;
    st.I = setup.map.startPosition;
    const std::size_t hop = static_cast<std::size_t>(std::max(setup.hop, 1));
    st.positions.assign(2 * hop, 0.0);
    st.reads.assign(2 * hop, 0.0);
    st.fades.assign(hop, 0.0);
    st.indices.assign(hop, 0);
    for (auto* array : {&st.spots, &st.rates, &st.lengths, &st.steps, &st.phases}) array->assign(hop, 0.0);
    const FrequencyList& list = *setup.list;
    const std::size_t size = static_cast<std::size_t>(list.listSize);
    st.periods.resize(size + 2);
    for (std::size_t p = 0; p <= size; ++p) {
        st.periods[p] = setup.inputRate / usableFrequency(list.frequencies[p], list.freqAvg, setup.nyquist);
    }
    st.periods[size + 1] = st.periods[size];
    return st;
}

void fillDirectWaveform(const DirectWaveformSetup& setup, DirectWaveformState& state, std::int64_t j0, std::int64_t j1,
                        std::span<double> direct) {
    if (setup.literal) {
        fillLiteral(setup, state, j0, j1, direct);
    } else {
        fillFast(setup, state, j0, j1, direct);
    }
    if (setup.noFormant) applyGains(setup, j0, j1, direct);
}

}  // namespace kestrand
