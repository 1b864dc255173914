#include "f0/frame_energy.h"

#include <cmath>
#include <limits>

#include "f0/wide_vectors.h"

namespace kestrand {

namespace {

using wide::Quad;

double oneSum(const StoredChannel& channel, double scale, double offset, std::int64_t end, std::int64_t start,
              const double* window, int span) {
    double sum = 0.0;
    for (int j = 0; j < span; ++j) {
        const std::int64_t n = start + j;
        if (n < 0 || n >= end) continue;
        const double value = (scale * channel.at(n) + offset) * window[j];
        sum += value * value;
    }
    return sum;
}

// A sum that is not a number is the last of its terms that is not a number
// (sign and payload included), as the amplitudes have always carried it.
double lastNotANumber(const StoredChannel& channel, double scale, double offset, std::int64_t end, std::int64_t start,
                      const double* window, int span) {
    double last = std::numeric_limits<double>::quiet_NaN();
    for (int j = 0; j < span; ++j) {
        const std::int64_t n = start + j;
        if (n < 0 || n >= end) continue;
        const double value = (scale * channel.at(n) + offset) * window[j];
        const double term = value * value;
        if (std::isnan(term)) last = term;
    }
    return last;
}

// Four frames whose spans lie wholly inside the stored values at once, one
// frame per lane: the squared terms of four neighbouring j of each frame are
// turned so that each lane adds its own frame's terms in order of j.
[[gnu::always_inline]] inline void allSums(const StoredChannel& channel, double scale, double offset, std::int64_t end,
                                           std::int64_t first, std::int64_t step, std::int64_t count,
                                           const double* window, int span, double* sums) {
    const Quad s = wide::splat(scale);
    const Quad o = wide::splat(offset);
    std::int64_t k = 0;
    while (k < count) {
        const std::int64_t start = first + k * step;
        if (k + 4 > count || start < 0 || start + 3 * step + span > end) {
            sums[k] = oneSum(channel, scale, offset, end, start, window, span);
            ++k;
            continue;
        }
        const double* v = channel.pointer(start);
        Quad acc = {0.0, 0.0, 0.0, 0.0};
        int j = 0;
        for (; j + 4 <= span; j += 4) {
            const Quad w = wide::load(window + j);
            Quad a = (s * wide::load(v + j) + o) * w;
            Quad b = (s * wide::load(v + step + j) + o) * w;
            Quad c = (s * wide::load(v + 2 * step + j) + o) * w;
            Quad d = (s * wide::load(v + 3 * step + j) + o) * w;
            a *= a;
            b *= b;
            c *= c;
            d *= d;
            wide::transpose(a, b, c, d);
            acc += a;
            acc += b;
            acc += c;
            acc += d;
        }
        for (int lane = 0; lane < 4; ++lane) {
            double sum = acc[lane];
            for (int t = j; t < span; ++t) {
                const double value = (scale * v[lane * step + t] + offset) * window[t];
                sum += value * value;
            }
            sums[k + lane] = sum;
        }
        k += 4;
    }
}

void sumsGeneric(const StoredChannel& channel, double scale, double offset, std::int64_t end, std::int64_t first,
                 std::int64_t step, std::int64_t count, const double* window, int span, double* sums) {
    allSums(channel, scale, offset, end, first, step, count, window, span, sums);
}

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_WIDE_TARGET void sumsWide(const StoredChannel& channel, double scale, double offset, std::int64_t end,
                                      std::int64_t first, std::int64_t step, std::int64_t count, const double* window,
                                      int span, double* sums) {
    allSums(channel, scale, offset, end, first, step, count, window, span, sums);
}
#endif

}  // namespace

void windowedSquareSums(const StoredChannel& channel, double scale, double offset, std::int64_t end, std::int64_t first,
                        std::int64_t step, std::int64_t count, const double* window, int span, double* sums) {
    bool done = false;
#ifdef KESTRAND_F0_WIDE
    if (wideVectorPath()) {
        sumsWide(channel, scale, offset, end, first, step, count, window, span, sums);
        done = true;
    }
#endif
    if (!done) sumsGeneric(channel, scale, offset, end, first, step, count, window, span, sums);
    for (std::int64_t k = 0; k < count; ++k)
        if (std::isnan(sums[k])) sums[k] = lastNotANumber(channel, scale, offset, end, first + k * step, window, span);
}

}  // namespace kestrand
