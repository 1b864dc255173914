#include "dsp/real_fft.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace kestrand {
namespace {

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// The transforms work on the first tables.n elements; a table of another size
// than the data, or an empty one, leaves the data untouched.
bool usable(std::span<double> data, const FftTables& tables) {
    return tables.n >= 2 && isPowerOfTwo(tables.n) && data.size() >= static_cast<std::size_t>(tables.n) &&
           tables.twiddleTable.size() == static_cast<std::size_t>(tables.n);
}

}  // namespace

FftTables makeFftTables(int n) {
    FftTables tables;
    if (n < 2 || n > 65536 || !isPowerOfTwo(n)) return tables;
    tables.n = n;

    // Angles from the full-precision pi, so the table is as exact as a double allows.
    tables.twiddleTable.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double angle = 2.0 * std::numbers::pi * i / n;
        tables.twiddleTable[static_cast<std::size_t>(i)] = Twiddle{std::cos(angle), std::sin(angle)};
    }

    // Bit-reversed values of the first indices, doubled block by block:
    // each pass halves l and appends the earlier entries plus l.
    tables.bitReverseTable.push_back(0);
    if (n > 2) {
        std::size_t m = 1;
        int c = 2;
        int l = n;
        do {
            l /= 2;
            for (std::size_t i = 0; i < m; ++i) tables.bitReverseTable.push_back(tables.bitReverseTable[i] + l);
            m *= 2;
            c *= 2;
        } while (c < l);
    }
    return tables;
}

void bitReversePermute(std::span<double> data, const FftTables& tables) {
    if (!usable(data, tables)) return;
    const std::size_t n = static_cast<std::size_t>(tables.n);
    const std::size_t m = tables.bitReverseTable.size();
    int bits = 0;
    while ((std::size_t{1} << bits) < n) ++bits;
    int half = 0;
    while ((std::size_t{1} << half) < m) ++half;

    if (m == (std::size_t{1} << half) && (bits == 2 * half || bits == 2 * half + 1)) {
        // Split an index into a high digit a and a low digit b of `half` bits,
        // with one middle bit c when the bit count is odd. Reversal maps
        // (a, c, b) to (rev b, c, rev a), where rev of a digit is its table
        // entry shifted down. Every pair with a < rev b is visited once, so the
        // loops swap without testing which index is the smaller.
        const int shift = bits - half;
        const std::size_t low = m;                                // weight of the middle bit
        const std::size_t high = (bits == 2 * half) ? m : 2 * m;  // weight of the high digit
        const std::size_t middles = (bits == 2 * half) ? 1 : 2;
        const std::int32_t* entry = tables.bitReverseTable.data();
        for (std::size_t c = 0; c < middles; ++c) {
            for (std::size_t b = 0; b < m; ++b) {
                const std::size_t rb = static_cast<std::size_t>(entry[b] >> shift);
                for (std::size_t a = 0; a < rb; ++a) {
                    const std::size_t ra = static_cast<std::size_t>(entry[a] >> shift);
                    std::swap(data[a * high + c * low + b], data[rb * high + c * low + ra]);
                }
            }
        }
        return;
    }

    // A table of another shape: j runs through the bit reversals of i by a
    // reversed increment.
    std::size_t j = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i < j) std::swap(data[i], data[j]);
        std::size_t bit = n >> 1;
        while (bit != 0 && (j & bit) != 0) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
}

void realFft(std::span<double> data, const FftTables& tables) {
    if (!usable(data, tables)) return;
    const int n = tables.n;
    const Twiddle* tw = tables.twiddleTable.data();
    double* d = data.data();
    bitReversePermute(data, tables);
    for (int m = 2; m <= n; m *= 2) {
        const int h = m / 2;
        const int s = n / m;
        for (int g = 0; g < n; g += m) {
            const double x0 = d[g];
            const double x1 = d[g + h];
            d[g] = x0 + x1;
            d[g + h] = x0 - x1;
            // The quarter-point elements g + h/2 and g + h + h/2 pass unchanged.
            for (int t = 1; t < h / 2; ++t) {
                const double c = tw[s * t].c;
                const double sn = tw[s * t].s;
                // The four places are distinct (t < h/2), so reading them
                // all first changes nothing and spares reloads.
                const double a = d[g + m - t];
                const double b = d[g + h + t];
                const double lowMirror = d[g + h - t];
                const double low = d[g + t];
                const double u = a * c + b * sn;
                const double v = b * c - a * sn;
                d[g + h + t] = u - lowMirror;
                d[g + m - t] = u + lowMirror;
                d[g + h - t] = low - v;
                d[g + t] = low + v;
            }
        }
    }
}

void inverseRealFft(std::span<double> data, const FftTables& tables) {
    if (!usable(data, tables)) return;
    const int n = tables.n;
    const Twiddle* tw = tables.twiddleTable.data();
    double* d = data.data();
    d[0] /= 2.0;
    d[n / 2] /= 2.0;
    for (int m = n; m >= 2; m /= 2) {
        const int h = m / 2;
        const int q = h / 2;
        const int s = n / m;
        for (int g = 0; g < n; g += m) {
            const double x0 = d[g];
            const double x1 = d[g + h];
            d[g] = x0 + x1;
            d[g + h] = x0 - x1;
            for (int t = 1; t < q; ++t) {
                const double c = tw[s * t].c;
                const double sn = tw[s * t].s;
                const double p = d[g + h - t];
                const double low = d[g + t];
                const double upper = d[g + h + t];
                const double top = d[g + m - t];
                const double e = upper + top;
                const double diff = low - p;
                d[g + t] = low + p;
                d[g + h - t] = top - upper;
                d[g + h + t] = e * sn + diff * c;
                d[g + m - t] = e * c - diff * sn;
            }
        }
    }
    bitReversePermute(data, tables);
}

}  // namespace kestrand
