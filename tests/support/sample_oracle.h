// The sample conversions written formula by formula, one sample at a time,
// as the reference that the readers and writers of every convention are
// compared against: file reading (floats x 32767.5) and the analysis's
// amplitude (floats x 32768), the WAV writer and the appends.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kestrand::test {

// One stored sample (little-endian bytes at p) to sixteen-bit scale, floats
// times `floatScale`.
inline double oracleDecode(const std::uint8_t* p, int bits, int tag, double floatScale = 32767.5) {
    switch (bits) {
        case 8: return (p[0] - 127.5) * 256;
        case 16: return static_cast<std::int16_t>(p[0] | (p[1] << 8));
        case 24: {
            std::int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
            if (v & 0x800000) v -= 0x1000000;
            return v * 0.00390625;
        }
        case 32: {
            std::uint32_t u = 0;
            std::memcpy(&u, p, 4);
            if (tag == 1) return static_cast<std::int32_t>(u) * 0.0000152587890625;
            return static_cast<double>(std::bit_cast<float>(u)) * floatScale;
        }
        case 64: {
            std::uint64_t u = 0;
            std::memcpy(&u, p, 8);
            return std::bit_cast<double>(u) * floatScale;
        }
        default: return 0;
    }
}

// The integer code a value in sixteen-bit scale is written as at an integer
// depth (8 unsigned, 16, 24, 32 signed).
inline std::int64_t oracleIntegerCode(double v, int bits) {
    if (std::isnan(v)) v = 0;
    switch (bits) {
        case 8: {
            double r = v * 0.00390625 + 128.5;
            if (r > 255) r = 255;
            if (r < 0) r = 0;
            return static_cast<std::int64_t>(r);
        }
        case 16: {
            if (v > 32767) v = 32767;
            if (v < -32768) v = -32768;
            return static_cast<std::int64_t>(v);
        }
        case 24: return static_cast<std::int64_t>(std::clamp(v * 256, -8388608.0, 8388607.0));
        case 32: return static_cast<std::int64_t>(std::clamp(v * 65536, -2147483648.0, 2147483647.0));
        default: return 0;
    }
}

// The bytes one value is written as.
inline std::vector<std::uint8_t> oracleEncode(double v, int bits, int tag) {
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint64_t x, int n) {
        for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
    };
    if (bits == 32 && tag == 3) {
        put(std::bit_cast<std::uint32_t>(static_cast<float>(v / 32767.5)), 4);
    } else if (bits == 64) {
        put(std::bit_cast<std::uint64_t>(v / 32767.5), 8);
    } else if (bits == 8 || bits == 16 || bits == 24 || bits == 32) {
        put(static_cast<std::uint64_t>(oracleIntegerCode(v, bits)), bits / 8);
    }
    return out;
}

// The bytes one value is appended as: the integer depths (tag 1) truncate,
// then limit; floats (tag 3) v / 32767.5.
inline std::vector<std::uint8_t> oracleAppendEncode(double v, int tag, int bits) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(bits / 8));
    if (tag == 1 && bits == 8)
        out[0] = static_cast<std::uint8_t>(std::clamp(static_cast<long long>(v * 0.00390625 + 127.5), 0LL, 255LL));
    if (tag == 1 && bits == 16) {
        const auto x = static_cast<std::int16_t>(std::clamp(static_cast<long long>(v), -32768LL, 32767LL));
        std::memcpy(out.data(), &x, 2);
    }
    if (tag == 1 && bits == 24) {
        const long long x = std::clamp(static_cast<long long>(v * 256), -8388608LL, 8388607LL);
        for (int i = 0; i < 3; ++i) out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((x >> (8 * i)) & 0xFF);
    }
    if (tag == 1 && bits == 32) {
        const auto x = static_cast<std::int32_t>(std::clamp(v * 65536, -2147483648.0, 2147483647.0));
        std::memcpy(out.data(), &x, 4);
    }
    if (tag == 3 && bits == 32) {
        const auto f = static_cast<float>(v / 32767.5);
        std::memcpy(out.data(), &f, 4);
    }
    if (tag == 3 && bits == 64) {
        const double d = v / 32767.5;
        std::memcpy(out.data(), &d, 8);
    }
    return out;
}

}  // namespace kestrand::test
