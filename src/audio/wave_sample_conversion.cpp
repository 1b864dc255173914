#include "audio/wave_sample_conversion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "base/little_endian.h"

namespace kestrand {

namespace {

// NaN cannot be limited to a range; it becomes silence at the integer depths.
double finiteOrZero(double v) { return std::isnan(v) ? 0.0 : v; }

// Converts to single precision; values beyond its range become infinities.
float toSingle(double x) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (x > kMax) return std::numeric_limits<float>::infinity();
    if (x < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(x);
}

void putBytes(std::uint8_t* p, std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) p[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
}

}  // namespace

std::size_t decodedSampleBytes(int bitsPerSample) {
    switch (bitsPerSample) {
        case 8: return 1;
        case 16: return 2;
        case 24: return 3;
        case 32: return 4;
        case 64: return 8;
        default: return 0;
    }
}

void decodeSamples(std::span<const std::uint8_t> raw, int bitsPerSample, std::uint16_t formatTag,
                   std::span<double> out) {
    const std::size_t size = decodedSampleBytes(bitsPerSample);
    if (size == 0) return;
    const std::size_t count = std::min(out.size(), raw.size() / size);
    const std::uint8_t* p = raw.data();
    switch (bitsPerSample) {
        case 8:
            for (std::size_t i = 0; i < count; ++i) out[i] = (static_cast<double>(p[i]) - 127.5) * 256.0;
            break;
        case 16:
            for (std::size_t i = 0; i < count; ++i) out[i] = loadS16(p + 2 * i);
            break;
        case 24:
            for (std::size_t i = 0; i < count; ++i) out[i] = loadS24(p + 3 * i) * 0.00390625;
            break;
        case 32:
            if (formatTag == 1) {
                for (std::size_t i = 0; i < count; ++i) out[i] = loadS32(p + 4 * i) * 0.0000152587890625;
            } else {
                for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<double>(loadF32(p + 4 * i)) * 32767.5;
            }
            break;
        case 64:
            for (std::size_t i = 0; i < count; ++i) out[i] = loadF64(p + 8 * i) * 32767.5;
            break;
        default: break;
    }
}

std::size_t encodedSampleBytes(int bitsPerSample) { return decodedSampleBytes(bitsPerSample); }

void encodeSamples(std::span<const double> in, int bitsPerSample, int formatTag, std::vector<std::uint8_t>& out) {
    const std::size_t size = encodedSampleBytes(bitsPerSample);
    if (size == 0 || in.empty()) return;
    const std::size_t start = out.size();
    out.resize(start + size * in.size());
    std::uint8_t* p = out.data() + start;
    switch (bitsPerSample) {
        case 8:
            for (std::size_t i = 0; i < in.size(); ++i) {
                const double r = std::clamp(finiteOrZero(in[i]) * 0.00390625 + 128.5, 0.0, 255.0);
                p[i] = static_cast<std::uint8_t>(r);
            }
            break;
        case 16:
            for (std::size_t i = 0; i < in.size(); ++i) {
                const double r = std::clamp(finiteOrZero(in[i]), -32768.0, 32767.0);
                putBytes(p + 2 * i, static_cast<std::uint16_t>(static_cast<std::int16_t>(r)), 2);
            }
            break;
        case 24:
            for (std::size_t i = 0; i < in.size(); ++i) {
                const double r = std::clamp(finiteOrZero(in[i]) * 256.0, -8388608.0, 8388607.0);
                putBytes(p + 3 * i, static_cast<std::uint32_t>(static_cast<std::int32_t>(r)), 3);
            }
            break;
        case 32:
            if (formatTag == 3) {
                for (std::size_t i = 0; i < in.size(); ++i)
                    putBytes(p + 4 * i, std::bit_cast<std::uint32_t>(toSingle(in[i] / 32767.5)), 4);
            } else {
                for (std::size_t i = 0; i < in.size(); ++i) {
                    const double r = std::clamp(finiteOrZero(in[i]) * 65536.0, -2147483648.0, 2147483647.0);
                    putBytes(p + 4 * i, static_cast<std::uint32_t>(static_cast<std::int32_t>(r)), 4);
                }
            }
            break;
        case 64:
            for (std::size_t i = 0; i < in.size(); ++i)
                putBytes(p + 8 * i, std::bit_cast<std::uint64_t>(in[i] / 32767.5), 8);
            break;
        default: break;
    }
}

}  // namespace kestrand
