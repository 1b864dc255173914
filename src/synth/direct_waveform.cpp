#include "synth/direct_waveform.h"

#include <algorithm>
#include <cmath>

#include "synth/fast_sinc.h"

namespace kestrand {

namespace {

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
// for those from 2^52 up, which are whole.
inline double fractionOf(double V) {
    if (!(std::fabs(V) < 4503599627370496.0)) return 0.0;
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
            direct[static_cast<std::size_t>(j)] = (1.0 - W) * readLiteral(view, X - R, 1.0) + W * readLiteral(view, X, 1.0);
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

// The same loop with the divisions that do not depend on the running state
// taken out (a table of periods per list entry, products with reciprocals),
// and the reads of a hop gathered and done four at a time.
void fillFast(const DirectWaveformSetup& setup, DirectWaveformState& st, std::int64_t j0, std::int64_t j1,
              std::span<double> direct) {
    const TimeMap& map = setup.map;
    const FrequencyList& list = *setup.list;
    const double freqAvg = list.freqAvg;
    const double inverseFrameStep = 1.0 / list.frameStep;
    const double listEnd = list.listSize;
    const double* periods = st.periods.data();
    const double inverseStep = 1.0 / setup.curves->step;
    // bq = (freqAvg / (inputRate / R)) (1 - mod) + mod = R k1 + mod;
    // advance = S ratio bq / freqAvg - rate = S bq k2 - rate.
    const double k1 = freqAvg / setup.inputRate * (1.0 - setup.mod);
    const double k2 = setup.ratio / freqAvg;
    double I = st.I, U = st.U;
    std::size_t reads = 0;
    for (std::int64_t j = j0; j < j1; ++j) {
        const double rate = I < map.middleEnd ? (I < map.headEnd ? map.headRate : map.middleRate) : map.tailRate;
        const double q = I * inverseFrameStep;
        std::size_t p;
        double f;
        if (!(q < listEnd)) {
            p = static_cast<std::size_t>(list.listSize);
            f = 0.0;
        } else if (q < 0.0) {
            p = 0;
            f = 0.0;
        } else {
            p = static_cast<std::size_t>(q);
            f = q - static_cast<double>(p);
        }
        const double R = periods[p] * (1.0 - f) + periods[p + 1] * f;
        const double S = wantedFrequency(setup, j, inverseStep);
        const double bq = R * k1 + setup.mod;
        const double advance = S * bq * k2 - rate;
        if (j < setup.outCount && I + U >= 0.0 && I + U < setup.inputFrames) {
            const double X = I + R * U;
            st.fades[reads] = 1.0 - 3.0 * U * U + 2.0 * U * U * U;
            st.indices[reads] = static_cast<std::int32_t>(j);
            st.positions[2 * reads] = X - R;
            st.positions[2 * reads + 1] = X;
            ++reads;
        }
        I += rate;
        U = fractionOf(U + advance / R);
        if (j == j0 && j % setup.hop == 0) {
            st.previous = st.latch;
            st.latch = Latch{I, R, S * bq};
        }
    }
    st.I = I;
    st.U = U;
    readUnitBatch(*setup.sample, std::span<const double>(st.positions.data(), 2 * reads),
                  std::span<double>(st.reads.data(), 2 * reads));
    for (std::size_t k = 0; k < reads; ++k) {
        const double W = st.fades[k];
        direct[static_cast<std::size_t>(st.indices[k])] = (1.0 - W) * st.reads[2 * k] + W * st.reads[2 * k + 1];
    }
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
    const FrequencyList& list = *setup.list;
    const std::size_t size = static_cast<std::size_t>(list.listSize);
    st.periods.resize(size + 2);
    for (std::size_t p = 0; p <= size; ++p) {
        st.periods[p] = setup.inputRate / usableFrequency(list.frequencies[p], list.freqAvg, setup.nyquist);
    }
    st.periods[size + 1] = st.periods[size];
    return st;
}

void fillDirectWaveform(const DirectWaveformSetup& setup, DirectWaveformState& state, std::int64_t j0,
                        std::int64_t j1, std::span<double> direct) {
    if (setup.literal) {
        fillLiteral(setup, state, j0, j1, direct);
    } else {
        fillFast(setup, state, j0, j1, direct);
    }
    if (setup.noFormant) applyGains(setup, j0, j1, direct);
}

}  // namespace kestrand
