// The fast readers are checked bit for bit against a literal, formula-by-formula
// twin kept here: one loop over every tap, the series written term by term,
// the numerator restricted to the stored samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "dsp/sinc_kernel.h"
#include "dsp/sinc_literal.h"

namespace kestrand {
namespace {

constexpr double kPi15 = 3.14159265358979;

double literalSeries(double h) {
    const double q = h * h;
    double terms[20];
    terms[0] = 1.0;
    for (int k = 1; k <= 19; ++k) {
        const double c = 1.0 / static_cast<double>((2 * k) * (2 * k + 1));
        terms[k] = terms[k - 1] * (q * c);
    }
    double sum = 0.0;
    const int last = std::fabs(h) > kPi15 ? 19 : 13;
    for (int k = 0; k <= last; ++k) sum = (k % 2 == 0) ? sum + terms[k] : sum - terms[k];
    return sum;
}

// values: the decoded stored samples that lie wholly inside the buffer.
double literalRead(double a, const std::vector<double>& values, double b, const std::function<double(double)>& scale) {
    const int hi = static_cast<int>(std::floor(a + 2 * b));
    const int lo = static_cast<int>(std::ceil(a - 2 * b));
    double num = 0.0;
    double den = 0.0;
    for (int i = lo; i <= hi; ++i) {
        const double h = (i - a) * (kPi15 / b);
        const double w = std::cos(h / 4) * literalSeries(h);
        if (i >= 0 && i < static_cast<int>(values.size())) num += w * values[static_cast<std::size_t>(i)];
        den += w;
    }
    if (lo > hi || den == 0.0) return 0.0;
    return scale(num / den);
}

using Reader = double (*)(double, std::span<const std::uint8_t>, double, int);

struct ReaderCase {
    const char* name;
    Reader read;
    int elementSize;
    std::function<double(const std::uint8_t*)> decode;
    std::function<double(double)> scale;
};

std::vector<ReaderCase> readerCases() {
    return {
        {"U8", readFractionalU8, 1, [](const std::uint8_t* p) { return double(p[0]); },
         [](double r) { return 256 * r - 32640; }},
        {"S16", readFractionalS16, 2,
         [](const std::uint8_t* p) {
             int v = p[0] + 256 * p[1];
             if (v >= 32768) v -= 65536;
             return double(v);
         },
         [](double r) { return r; }},
        {"S24", readFractionalS24, 3,
         [](const std::uint8_t* p) {
             long v = p[0] + 256L * p[1] + 65536L * p[2];
             if (v >= 8388608L) v -= 16777216L;
             return double(v);
         },
         [](double r) { return r / 256; }},
        {"S32", readFractionalS32, 4,
         [](const std::uint8_t* p) {
             long long v = p[0] + 256LL * p[1] + 65536LL * p[2] + 16777216LL * p[3];
             if (v >= 2147483648LL) v -= 4294967296LL;
             return double(v);
         },
         [](double r) { return r / 65536; }},
        {"F32", readFractionalF32, 4,
         [](const std::uint8_t* p) {
             float f;
             std::memcpy(&f, p, 4);
             return double(f);
         },
         [](double r) { return r * 32768; }},
        {"F64", readFractionalF64, 8,
         [](const std::uint8_t* p) {
             double d;
             std::memcpy(&d, p, 8);
             return d;
         },
         [](double r) { return r; }},
    };
}

// Stored samples of channel 0 that lie wholly inside the bytes.
std::vector<double> decodeChannel(const ReaderCase& rc, const std::vector<std::uint8_t>& bytes, int stride) {
    std::vector<double> values;
    const std::size_t step = static_cast<std::size_t>(stride * rc.elementSize);
    for (std::size_t off = 0; off + static_cast<std::size_t>(rc.elementSize) <= bytes.size(); off += step)
        values.push_back(rc.decode(bytes.data() + off));
    return values;
}

// Random bytes that decode to finite values of moderate size for every type.
std::vector<std::uint8_t> randomSamples(const ReaderCase& rc, std::size_t count, std::mt19937& rng) {
    std::vector<std::uint8_t> bytes(count * static_cast<std::size_t>(rc.elementSize));
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* p = bytes.data() + i * static_cast<std::size_t>(rc.elementSize);
        if (rc.elementSize == 4 && std::string(rc.name) == "F32") {
            const float f = static_cast<float>(unit(rng));
            std::memcpy(p, &f, 4);
        } else if (rc.elementSize == 8) {
            const double d = unit(rng) * 30000.0;
            std::memcpy(p, &d, 8);
        } else {
            for (int k = 0; k < rc.elementSize; ++k) p[k] = static_cast<std::uint8_t>(byte(rng));
        }
    }
    return bytes;
}

TEST(SincSeries, FollowsSinOverHOnTheWholeSupport) {
    for (int k = -2000; k <= 2000; ++k) {
        const double h = k * (2 * std::numbers::pi / 2000);
        const double exact = h == 0.0 ? 1.0 : std::sin(h) / h;
        // 14 terms leave < 1e-17 up to pi; 20 terms < 1e-17 at 2 pi. What remains
        // is rounding in the alternating sum, whose largest term is about 12.
        EXPECT_NEAR(sinc::series(h), exact, 1e-14) << "h=" << h;
    }
}

TEST(SincSeries, MatchesTheTermScheduleExactly) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> any(-7.0, 7.0);
    for (int k = 0; k < 20000; ++k) {
        const double h = any(rng);
        ASSERT_EQ(sinc::series(h), literalSeries(h)) << "h=" << h;
    }
    // Around the switch to twenty terms: pi itself takes fourteen.
    for (double h : {kPi15, -kPi15, std::nextafter(kPi15, 4.0), std::nextafter(-kPi15, -4.0), std::numbers::pi})
        EXPECT_EQ(sinc::series(h), literalSeries(h)) << "h=" << h;
    EXPECT_EQ(sinc::series(0.0), 1.0);
}

TEST(FractionalReaders, MatchLiteralTwinBitForBit) {
    std::mt19937 rng(12345);
    for (const ReaderCase& rc : readerCases()) {
        for (int stride : {1, 2, 3}) {
            // Bytes cut mid-element at the end, so the last partial element must be ignored.
            std::vector<std::uint8_t> bytes = randomSamples(rc, 150 * static_cast<std::size_t>(stride), rng);
            bytes.resize(bytes.size() - static_cast<std::size_t>(rc.elementSize / 2));
            const std::vector<double> values = decodeChannel(rc, bytes, stride);
            const double count = static_cast<double>(values.size());
            for (double width : {1.0, 1.3, 2.5, 4.0, 11.7, 47.0}) {
                std::uniform_real_distribution<double> where(-2 * width - 3, count + 2 * width + 3);
                for (int k = 0; k < 60; ++k) {
                    const double a = k < 5 ? std::floor(where(rng)) : where(rng);
                    const double expected = literalRead(a, values, width, rc.scale);
                    ASSERT_EQ(rc.read(a, bytes, width, stride), expected)
                        << rc.name << " stride=" << stride << " width=" << width << " position=" << a;
                }
            }
        }
    }
}

TEST(FractionalReaders, BoundedDoubleReaderMatchesLiteralTwin) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<double> values(333);
    for (double& v : values) v = unit(rng) * 1000.0;
    for (double width : {1.0, 2.5, 47.0}) {
        std::uniform_real_distribution<double> where(-2 * width - 2, 333 + 2 * width + 2);
        for (int k = 0; k < 200; ++k) {
            const double a = where(rng);
            ASSERT_EQ(readFractionalF64Bounded(a, values, width),
                      literalRead(a, values, width, [](double r) { return r; }))
                << "width=" << width << " position=" << a;
        }
    }
}

// Reads that share a fraction and a width reuse one set of weights; the
// results must still be those of the literal sum at every integer part, on
// every buffer, including supports cut by either end of the buffer.
TEST(FractionalReaders, RepeatedFractionsMatchLiteralTwin) {
    std::mt19937 rng(31);
    const std::vector<ReaderCase> cases = readerCases();
    const ReaderCase& u8 = cases[0];
    const ReaderCase& s16 = cases[1];
    const std::vector<std::uint8_t> a = randomSamples(u8, 300, rng);
    const std::vector<std::uint8_t> b = randomSamples(s16, 300, rng);
    const std::vector<double> va = decodeChannel(u8, a, 1);
    const std::vector<double> vb = decodeChannel(s16, b, 1);
    for (double fraction : {0.0, 0.375, 0.9999999}) {
        for (double width : {1.0, 2.5, 47.0, 300.0}) {
            for (int n = -130; n < 430; n += 3) {
                const double position = n + fraction;
                ASSERT_EQ(readFractionalU8(position, a, width, 1), literalRead(position, va, width, u8.scale))
                    << fraction << " " << width << " " << n;
                ASSERT_EQ(readFractionalS16(position, b, width, 1), literalRead(position, vb, width, s16.scale))
                    << fraction << " " << width << " " << n;
            }
        }
    }
}

TEST(FractionalReaders, NearbyPositionsJustBeforeTheStartKeepTheirOwnWeights) {
    // -0.43015285129790337 and the next double toward 0 give one tap weight
    // that differs in its last bits, though 1 + position rounds to the same
    // value for both.
    std::mt19937 rng(4);
    const ReaderCase s16 = readerCases()[1];
    const std::vector<std::uint8_t> bytes = randomSamples(s16, 20, rng);
    const std::vector<double> values = decodeChannel(s16, bytes, 1);
    std::vector<double> positions;
    for (double p : {-0.43015285129790337, -0.19676367783270965, -0.3, -1e-17, -0.999999999, 0.3}) {
        positions.push_back(p);
        positions.push_back(std::nextafter(p, 0.0));
        positions.push_back(std::nextafter(p, -2.0));
    }
    for (double width : {1.0, 2.5})
        for (double p : positions)
            ASSERT_EQ(readFractionalS16(p, bytes, width, 1), literalRead(p, values, width, s16.scale))
                << p << " " << width;
}

TEST(FractionalReaders, ThreadsReadIndependently) {
    std::mt19937 rng(8);
    const ReaderCase s16 = readerCases()[1];
    const std::vector<std::uint8_t> bytes = randomSamples(s16, 500, rng);
    const std::vector<double> values = decodeChannel(s16, bytes, 1);
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            // Each thread alternates its own fraction and width with another's.
            for (int k = 0; k < 400; ++k) {
                const double position = 60 + k + 0.1 * t;
                const double width = (k % 2 == 0) ? 1.0 + t : 47.0;
                if (readFractionalS16(position, bytes, width, 1) != literalRead(position, values, width, s16.scale))
                    ++mismatches[static_cast<std::size_t>(t)];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(FractionalReaders, IntegerPositionAtWidthOneReturnsStoredValueInScale) {
    std::mt19937 rng(3);
    for (const ReaderCase& rc : readerCases()) {
        const std::vector<std::uint8_t> bytes = randomSamples(rc, 40, rng);
        const std::vector<double> values = decodeChannel(rc, bytes, 1);
        for (int i = 2; i < 38; ++i) {
            const double expected = rc.scale(values[static_cast<std::size_t>(i)]);
            EXPECT_NEAR(rc.read(i, bytes, 1.0, 1), expected, 1e-9 * std::max(1.0, std::fabs(expected)))
                << rc.name << " at " << i;
        }
    }
}

std::vector<std::uint8_t> bytesOf(std::initializer_list<int> list) {
    std::vector<std::uint8_t> out;
    for (int v : list) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

TEST(FractionalReaders, ScaleOfEachType) {
    // Unsigned 8-bit: the zero of the scale lies between 127 and 128.
    EXPECT_NEAR(readFractionalU8(2, bytesOf({0, 0, 128, 0, 0}), 1.0, 1), 128.0, 1e-9);
    EXPECT_NEAR(readFractionalU8(2, bytesOf({0, 0, 127, 0, 0}), 1.0, 1), -128.0, 1e-9);
    // 24-bit: sign bit 23.
    EXPECT_NEAR(readFractionalS24(1, bytesOf({0, 0, 0, 0x00, 0x00, 0x80, 0, 0, 0, 0, 0, 0}), 1.0, 1), -32768.0, 1e-9);
    EXPECT_NEAR(readFractionalS24(1, bytesOf({0, 0, 0, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0}), 1.0, 1), 8388607.0 / 256.0,
                1e-9);
    // Float 1.0 is full scale.
    std::vector<std::uint8_t> f32(16, 0);
    const float one = 1.0f;
    std::memcpy(f32.data() + 4, &one, 4);
    EXPECT_NEAR(readFractionalF32(1, f32, 1.0, 1), 32768.0, 1e-9);
    // 32-bit integers shift down by sixteen bits.
    EXPECT_NEAR(readFractionalS32(1, bytesOf({0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0}), 1.0, 1), -32768.0, 1e-9);
    // Stride picks the first channel of each frame.
    EXPECT_NEAR(readFractionalS16(1, bytesOf({0, 0, 9, 9, 0x10, 0, 9, 9, 0, 0, 9, 9}), 1.0, 2), 16.0, 1e-9);
}

TEST(FractionalReaders, TapsBeforeTheBufferPullTowardStoredZero) {
    // At position -0.5 with width 1 the taps are -2 .. 1, symmetric about the
    // buffer start: half the kernel's weight falls outside, so a constant
    // buffer reads half way to stored zero.
    const std::vector<std::uint8_t> s16 = bytesOf({0xE8, 0x03, 0xE8, 0x03, 0xE8, 0x03, 0xE8, 0x03});  // 1000
    EXPECT_NEAR(readFractionalS16(-0.5, s16, 1.0, 1), 500.0, 1e-9);
    // For unsigned 8-bit stored zero is the most negative level, not silence.
    const std::vector<std::uint8_t> u8(8, 128);
    EXPECT_NEAR(readFractionalU8(-0.5, u8, 1.0, 1), (128.0 - 32640.0) / 2.0, 1e-9);
    EXPECT_NEAR(readFractionalU8(-40.0, u8, 1.0, 1), -32640.0, 1e-9);
}

TEST(FractionalReaders, TapRangeIsCeilToFloorOfTheSupport) {
    // Width 2.5 at 10.25 takes taps 6 .. 15: a spike at 5 or 16 is ignored.
    for (int spike = 4; spike <= 17; ++spike) {
        std::vector<double> values(20, 0.0);
        values[static_cast<std::size_t>(spike)] = 1000.0;
        const double r = readFractionalF64Bounded(10.25, values, 2.5);
        if (spike >= 6 && spike <= 15)
            EXPECT_NE(r, 0.0) << spike;
        else
            EXPECT_EQ(r, 0.0) << spike;
    }
}

TEST(FractionalReaders, ReadsNearTheEndStayInsideTheSpan) {
    // Exactly sized heap blocks: a read past the end would trip the address sanitizer.
    for (const ReaderCase& rc : readerCases()) {
        for (std::size_t extra = 0; extra < static_cast<std::size_t>(rc.elementSize); ++extra) {
            const std::size_t size = 5 * static_cast<std::size_t>(rc.elementSize) + extra;
            auto block = std::make_unique<std::uint8_t[]>(size);
            for (std::size_t k = 0; k < size; ++k) block[k] = static_cast<std::uint8_t>(0x11 * (k % 7));
            const std::span<const std::uint8_t> bytes(block.get(), size);
            const std::vector<double> values =
                decodeChannel(rc, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), 1);
            for (double a = -3.0; a <= 9.0; a += 0.125)
                for (double width : {1.0, 47.0})
                    ASSERT_EQ(rc.read(a, bytes, width, 1), literalRead(a, values, width, rc.scale))
                        << rc.name << " size=" << size << " position=" << a;
        }
        EXPECT_EQ(rc.read(0.0, {}, 1.0, 1), 0.0 + rc.scale(0.0)) << rc.name;  // empty span: nothing stored
    }
    const std::vector<double> three{1.0, 2.0, 3.0};
    EXPECT_EQ(readFractionalF64Bounded(100.0, three, 1.0), 0.0);
    EXPECT_EQ(readFractionalF64Bounded(-10.0, three, 1.0), 0.0);
    EXPECT_EQ(readFractionalF64Bounded(0.0, {}, 1.0), 0.0);
}

TEST(FractionalReaders, DegenerateArgumentsGiveZero) {
    const std::vector<std::uint8_t> u8(64, 200);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // No integer in [0.3, 0.7]: no taps at all.
    EXPECT_EQ(readFractionalU8(0.5, u8, 0.1, 1), 0.0);
    EXPECT_EQ(readFractionalU8(10.0, u8, 0.0, 1), 0.0);
    EXPECT_EQ(readFractionalU8(10.0, u8, -1.0, 1), 0.0);
    EXPECT_EQ(readFractionalU8(nan, u8, 1.0, 1), 0.0);
    EXPECT_EQ(readFractionalU8(inf, u8, 1.0, 1), 0.0);
    EXPECT_EQ(readFractionalU8(10.0, u8, inf, 1), 0.0);
    EXPECT_EQ(readFractionalU8(10.0, u8, nan, 1), 0.0);
    EXPECT_EQ(readFractionalU8(10.0, u8, 1.0, 0), 0.0);
    EXPECT_EQ(readFractionalU8(10.0, u8, 1.0, -2), 0.0);
    EXPECT_EQ(readFractionalF64Bounded(nan, std::vector<double>{1.0}, 1.0), 0.0);
    // Positions far beyond any int: the support lies outside, the sum is that of stored zero.
    EXPECT_EQ(readFractionalS16(1e300, u8, 1.0, 1), 0.0);
    EXPECT_EQ(readFractionalS16(-1e300, u8, 1.0, 1), 0.0);
    EXPECT_EQ(readFractionalU8(1e19, u8, 1.0, 1), -32640.0);
    // A tiny width at an integer position: the single tap's angle is not a number.
    EXPECT_EQ(readFractionalS16(3.0, u8, 1e-320, 1), 0.0);
}

}  // namespace
}  // namespace kestrand
