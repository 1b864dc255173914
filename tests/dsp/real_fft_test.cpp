// The real FFT against a direct DFT in long double, plus the packed layout,
// the inverse's scale and the two tables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/real_fft.h"

namespace kestrand {
namespace {

std::vector<int> sizes() {
    std::vector<int> out;
    for (int n = 4; n <= 2048; n *= 2) out.push_back(n);
    return out;
}

// X_k = sum x_j e^(-2 pi i jk/n), packed: place k = Re X_k (0 <= k <= n/2), place n-k = -Im X_k.
std::vector<double> directPackedDft(const std::vector<double>& x) {
    const std::size_t n = x.size();
    std::vector<double> out(n);
    const long double pi = 3.141592653589793238462643383279502884L;
    for (std::size_t k = 0; k <= n / 2; ++k) {
        long double re = 0, im = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const long double angle = -2 * pi * static_cast<long double>((j * k) % n) / n;
            re += x[j] * std::cos(angle);
            im += x[j] * std::sin(angle);
        }
        out[k] = static_cast<double>(re);
        if (k > 0 && k < n / 2) out[n - k] = static_cast<double>(-im);
    }
    return out;
}

std::vector<double> randomSignal(std::size_t n, std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x) v = unit(rng);
    return x;
}

TEST(RealFft, ForwardMatchesDirectDftForEverySize) {
    std::mt19937 rng(2024);
    for (int n : sizes()) {
        const FftTables tables = makeFftTables(n);
        ASSERT_EQ(tables.n, n);
        const std::vector<double> x = randomSignal(static_cast<std::size_t>(n), rng);
        const std::vector<double> expected = directPackedDft(x);
        std::vector<double> data = x;
        realFft(data, tables);
        for (int k = 0; k < n; ++k) ASSERT_NEAR(data[k], expected[k], 1e-11 * n) << "n=" << n << " place " << k;
    }
}

TEST(RealFft, InverseOfForwardIsHalfNTimesTheSignal) {
    std::mt19937 rng(77);
    for (int n : sizes()) {
        const FftTables tables = makeFftTables(n);
        const std::vector<double> x = randomSignal(static_cast<std::size_t>(n), rng);
        std::vector<double> data = x;
        realFft(data, tables);
        inverseRealFft(data, tables);
        for (int j = 0; j < n; ++j) ASSERT_NEAR(data[j], x[j] * n / 2, 1e-12 * n * n) << "n=" << n << " at " << j;
    }
}

TEST(RealFft, InverseTakesAnyPackedSpectrum) {
    // A spectrum that is not the forward transform of anything at hand: the
    // inverse must still be the inverse of the forward layout.
    std::mt19937 rng(5);
    for (int n : {8, 256, 1024}) {
        const FftTables tables = makeFftTables(n);
        const std::vector<double> spectrum = randomSignal(static_cast<std::size_t>(n), rng);
        std::vector<double> data = spectrum;
        inverseRealFft(data, tables);
        realFft(data, tables);
        for (int k = 0; k < n; ++k) ASSERT_NEAR(data[k], spectrum[k] * n / 2, 1e-12 * n * n) << n << " " << k;
    }
}

TEST(RealFft, ImpulseEdgeCases) {
    for (int n : {4, 16, 1024}) {
        const FftTables tables = makeFftTables(n);
        std::vector<double> data(static_cast<std::size_t>(n), 0.0);
        data[0] = 1.0;
        realFft(data, tables);
        for (int k = 0; k < n; ++k) EXPECT_EQ(data[k], k <= n / 2 ? 1.0 : 0.0) << n << " " << k;
        inverseRealFft(data, tables);
        for (int k = 0; k < n; ++k) EXPECT_NEAR(data[k], k == 0 ? n / 2.0 : 0.0, 1e-12 * n) << n << " " << k;

        std::fill(data.begin(), data.end(), 0.0);
        data[1] = 1.0;
        realFft(data, tables);
        for (int k = 0; k <= n / 2; ++k) EXPECT_NEAR(data[k], std::cos(2 * std::numbers::pi * k / n), 1e-14) << k;
        for (int k = 1; k < n / 2; ++k) EXPECT_NEAR(data[n - k], std::sin(2 * std::numbers::pi * k / n), 1e-14) << k;
    }
}

std::int32_t reverseBits(std::int32_t value, int bits) {
    std::int32_t out = 0;
    for (int b = 0; b < bits; ++b) out |= ((value >> b) & 1) << (bits - 1 - b);
    return out;
}

TEST(RealFftTables, TwiddlesAndBitReversedIndices) {
    const FftTables t1024 = makeFftTables(1024);
    ASSERT_EQ(t1024.twiddleTable.size(), 1024u);
    for (int i = 0; i < 1024; ++i) {
        EXPECT_NEAR(t1024.twiddleTable[i].c, std::cos(2 * std::numbers::pi * i / 1024), 1e-15);
        EXPECT_NEAR(t1024.twiddleTable[i].s, std::sin(2 * std::numbers::pi * i / 1024), 1e-15);
    }
    // For 1024 the table holds entries 0 .. 31: the 10-bit reversals.
    ASSERT_EQ(t1024.bitReverseTable.size(), 32u);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(t1024.bitReverseTable[i], reverseBits(i, 10)) << i;
    const FftTables t2048 = makeFftTables(2048);
    ASSERT_EQ(t2048.bitReverseTable.size(), 32u);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(t2048.bitReverseTable[i], reverseBits(i, 11)) << i;
    EXPECT_EQ(makeFftTables(8).bitReverseTable, (std::vector<std::int32_t>{0, 4}));

    EXPECT_EQ(makeFftTables(1000).n, 0);
    EXPECT_EQ(makeFftTables(0).n, 0);
    EXPECT_EQ(makeFftTables(-8).n, 0);
}

TEST(RealFftTables, PermuteReordersIntoBitReversedOrder) {
    for (int n = 2; n <= 2048; n *= 2) {
        int bits = 0;
        while ((1 << bits) < n) ++bits;
        FftTables tables = makeFftTables(n);
        // With the built table, and with an empty one (the generic reversal).
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) tables.bitReverseTable.clear();
            std::vector<double> data(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) data[i] = i;
            bitReversePermute(data, tables);
            for (int i = 0; i < n; ++i) ASSERT_EQ(data[i], reverseBits(i, bits)) << n << " " << i << " pass " << pass;
        }
    }
}

TEST(RealFft, MismatchedSizesLeaveDataAlone) {
    const FftTables tables = makeFftTables(64);
    std::vector<double> shortData(32, 1.0);
    realFft(shortData, tables);
    inverseRealFft(shortData, tables);
    EXPECT_EQ(shortData, std::vector<double>(32, 1.0));
    std::vector<double> data(64, 1.0);
    realFft(data, FftTables{});
    EXPECT_EQ(data, std::vector<double>(64, 1.0));
}

}  // namespace
}  // namespace kestrand
