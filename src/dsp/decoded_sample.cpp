#include "dsp/decoded_sample.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/sinc_kernel.h"
#include "dsp/vector_lanes.h"

namespace kestrand {

namespace {

using namespace lanes;

// Positions beyond this are far outside any sample; they take the byte path.
constexpr double kPositionLimit = 1e15;

// floor for |x| < 2^62 by a truncating conversion, without a library call.
inline std::int64_t floorToInt(double x) {
    const auto t = static_cast<std::int64_t>(x);
    return static_cast<double>(t) > x ? t - 1 : t;
}

// One width-1 read whose four taps lie at p[0 .. 3] (frames n - 1 .. n + 2).
inline double unitRead(const double* p, double f) {
    double u0, u1, u2, u3;
    sinc::unitTapWeights(f, u0, u1, u2, u3);
    return (u0 * p[0] + u1 * p[1] + u2 * p[2] + u3 * p[3]) / (u0 + u1 + u2 + u3);
}

// Index into `values` of the tap n - 1 of a read at a, or -1 when the four
// taps are not all decoded (or a is not a usable position).
inline std::int64_t tapIndex(const DecodedSample& s, double a, double& f, std::int64_t limit) {
    if (!(std::fabs(a) < kPositionLimit)) return -1;
    const std::int64_t n = floorToInt(a);
    f = a - static_cast<double>(n);
    const std::int64_t i = n - 1 - s.first;
    return i >= 0 && i <= limit ? i : -1;
}

const SincWidth& unitWidth() {
    static const SincWidth width = makeSincWidth(1.0);
    return width;
}

// Reads four positions at once, one read per lane; positions whose taps are
// not all decoded go one by one through the byte path.
template <class Lanes, class Positions>
[[gnu::always_inline]] inline void unitReads(const DecodedSample& s, Positions positionsAt, std::size_t count,
                                             double* out) {
    const double* values = s.values.data();
    const std::int64_t limit = static_cast<std::int64_t>(s.values.size()) - 4;
    std::size_t i = 0;
    // Floors by rounding to the nearest whole number (adding and taking away
    // 1.5 * 2^52) and stepping down where that went up: exact for |a| < 2^50.
    const Lanes magic = broadcast<Lanes>(6755399441055744.0);
    const double firstTap = static_cast<double>(s.first) + 1.0;
    const double lastTap = static_cast<double>(std::min<std::int64_t>(limit, 0x7FFFFFF0));  // places fit 32 bits
    for (; i + 4 <= count; i += 4) {
        const Lanes a = positionsAt.four(i);
        Lanes whole = (a + magic) - magic;
        whole = select(whole > a, whole - 1.0, whole);
        const Lanes at = whole - firstTap;  // place of tap n - 1 in `values`
        const auto inside = (at >= 0.0) & (at <= lastTap) & (a < 1e15) & (a > -1e15);
        if (!allSet(inside)) {
            for (std::size_t k = i; k < i + 4; ++k) {
                double f;
                const double position = positionsAt.one(k);
                const std::int64_t tap = tapIndex(s, position, f, limit);
                out[k] = tap >= 0 ? unitRead(values + tap, f) : readFast(s.view, position, unitWidth());
            }
            continue;
        }
        const Int4 place = truncatedInts(at);
        Lanes v[4] = {load<Lanes>(values + place[0]), load<Lanes>(values + place[1]), load<Lanes>(values + place[2]),
                      load<Lanes>(values + place[3])};
        transpose(v);
        Lanes u0, u1, u2, u3;
        sinc::unitTapWeights(a - whole, u0, u1, u2, u3);
        store(out + i, (u0 * v[0] + u1 * v[1] + u2 * v[2] + u3 * v[3]) / (u0 + u1 + u2 + u3));
    }
    for (; i < count; ++i) {
        double f;
        const double position = positionsAt.one(i);
        const std::int64_t at = tapIndex(s, position, f, limit);
        out[i] = at >= 0 ? unitRead(values + at, f) : readFast(s.view, position, unitWidth());
    }
}

// Positions from a list.
template <class Lanes>
struct ListedPositions {
    const double* positions;
    double one(std::size_t i) const { return positions[i]; }
    [[gnu::always_inline]] Lanes four(std::size_t i) const { return load<Lanes>(positions + i); }
};

// Positions along a line, start + i * step.
template <class Lanes>
struct LinePositions {
    double start, step;
    double one(std::size_t i) const { return start + static_cast<double>(i) * step; }
    [[gnu::always_inline]] Lanes four(std::size_t i) const {
        const double base = static_cast<double>(i);
        const Lanes index = make<Lanes>(base, base + 1.0, base + 2.0, base + 3.0);
        return start + index * step;
    }
};

template <class Lanes>
KESTRAND_VECTOR_BODY void unitReadsFromPositionsBody(const DecodedSample& s, const double* positions, std::size_t count,
                                                     double* out) {
    unitReads<Lanes>(s, ListedPositions<Lanes>{positions}, count, out);
}

void unitReadsFromPositions(const DecodedSample& s, const double* positions, std::size_t count, double* out) {
    return KESTRAND_VECTOR_CALL(unitReadsFromPositionsBody, s, positions, count, out);
}

template <class Lanes>
KESTRAND_VECTOR_BODY void unitReadsAlongLineBody(const DecodedSample& s, double start, double step, std::size_t count,
                                                 double* out) {
    unitReads<Lanes>(s, LinePositions<Lanes>{start, step}, count, out);
}

void unitReadsAlongLine(const DecodedSample& s, double start, double step, std::size_t count, double* out) {
    return KESTRAND_VECTOR_CALL(unitReadsAlongLineBody, s, start, step, count, out);
}

// Reads one whole frame apart all share the fraction of the first: their
// four weights are worked out once and the run is a four-tap filter.
template <class Lanes>
KESTRAND_VECTOR_BODY void unitFilterBody(const double* taps, double f, std::size_t count, double* out) {
    double u0, u1, u2, u3;
    sinc::unitTapWeights(f, u0, u1, u2, u3);
    const double sum = u0 + u1 + u2 + u3;
    const double w0 = u0 / sum, w1 = u1 / sum, w2 = u2 / sum, w3 = u3 / sum;
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Lanes a = load<Lanes>(taps + i), b = load<Lanes>(taps + i + 1);
        const Lanes c = load<Lanes>(taps + i + 2), d = load<Lanes>(taps + i + 3);
        store(out + i, w0 * a + w1 * b + w2 * c + w3 * d);
    }
    for (; i < count; ++i) out[i] = w0 * taps[i] + w1 * taps[i + 1] + w2 * taps[i + 2] + w3 * taps[i + 3];
}

void unitFilter(const double* taps, double f, std::size_t count, double* out) {
    return KESTRAND_VECTOR_CALL(unitFilterBody, taps, f, count, out);
}

}  // namespace

DecodedSample decodeSample(const SampleView& view, std::int64_t from, std::int64_t to) {
    DecodedSample s;
    s.view = view;
    s.first = from;
    if (!(to > from)) return s;
    s.values.resize(static_cast<std::size_t>(to - from));
    const double pad = sampleTypePadValue(view.type);
    const std::int64_t inFrom = std::clamp<std::int64_t>(from, 0, std::max<std::int64_t>(view.frames, 0));
    const std::int64_t inTo = std::clamp<std::int64_t>(to, inFrom, std::max<std::int64_t>(view.frames, 0));
    double* values = s.values.data();  // values[k - from] for frame k, each written once
    for (std::int64_t k = from; k < inFrom; ++k) values[k - from] = pad;
    // One loop per encoding, without a switch per frame.
    const std::size_t step =
        static_cast<std::size_t>(sampleTypeBytes(view.type)) * static_cast<std::size_t>(view.stride);
    const std::uint8_t* bytes = view.bytes.data();
    withSampleType(view.type, [&]<SampleType T>() {
        for (std::int64_t k = inFrom; k < inTo; ++k) {
            values[k - from] = readSixteenBit<T>(bytes + static_cast<std::size_t>(k) * step, kEngineScales);
        }
    });
    for (std::int64_t k = inTo; k < to; ++k) values[k - from] = pad;
    return s;
}

void readUnitBatch(const DecodedSample& sample, std::span<const double> positions, std::span<double> out) {
    unitReadsFromPositions(sample, positions.data(), std::min(positions.size(), out.size()), out.data());
}

void readUnitRun(const DecodedSample& sample, double start, double step, std::span<double> out) {
    const std::size_t count = out.size();
    if (count == 0) return;
    if (step == 1.0 && std::fabs(start) < kPositionLimit) {
        const std::int64_t n = floorToInt(start);
        const std::int64_t at = n - 1 - sample.first;
        if (at >= 0 && at + static_cast<std::int64_t>(count) + 3 <= static_cast<std::int64_t>(sample.values.size())) {
            unitFilter(sample.values.data() + at, start - static_cast<double>(n), count, out.data());
            return;
        }
    }
    unitReadsAlongLine(sample, start, step, count, out.data());
}

void readRun(const DecodedSample& sample, double start, double step, const SincWidth& width, std::span<double> out) {
    if (width.width == 1.0) {
        readUnitRun(sample, start, step, out);
    } else {
        readFastRun(sample.view, start, step, width, out);
    }
}

const double* decodedFrames(const DecodedSample& sample, std::int64_t first, std::size_t count) {
    const std::int64_t size = static_cast<std::int64_t>(sample.values.size());
    const std::int64_t at = first - sample.first;
    if (first >= 0 && at >= 0 && count <= static_cast<std::size_t>(size) &&
        at <= size - static_cast<std::int64_t>(count)) {
        return sample.values.data() + at;
    }
    return nullptr;
}

void readWholeFrames(const DecodedSample& sample, std::int64_t first, std::span<double> out) {
    const std::int64_t size = static_cast<std::int64_t>(sample.values.size());
    const std::int64_t count = static_cast<std::int64_t>(out.size());
    if (const double* values = decodedFrames(sample, first, out.size())) {
        std::memcpy(out.data(), values, out.size() * sizeof(double));
        return;
    }
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t k = first + i;
        const std::int64_t j = k - sample.first;
        out[static_cast<std::size_t>(i)] =
            k < 0 ? 0.0
                  : (j >= 0 && j < size ? sample.values[static_cast<std::size_t>(j)] : decodeFrame(sample.view, k));
    }
}

}  // namespace kestrand
