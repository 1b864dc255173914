#include "audio/append_sample_codec.h"

#include <algorithm>
#include <bit>
#include <cfloat>

#include "base/number_text.h"

namespace kestrand {

namespace {

std::uint64_t readLittle(std::span<const std::uint8_t> bytes, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    return value;
}

void writeLittle(std::uint64_t value, std::size_t width, std::span<std::uint8_t> out) {
    for (std::size_t i = 0; i < width; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Sign-extends the low `bits` bits of a value.
std::int64_t signExtend(std::uint64_t value, unsigned bits) {
    const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
    return static_cast<std::int64_t>((value ^ sign) - sign);
}

}  // namespace

double decodeAppendSample(std::span<const std::uint8_t> bytes, std::uint16_t formatTag, std::uint16_t bits) {
    switch (bits) {
        case 8: return (static_cast<double>(bytes[0]) - 127.5) * 256.0;
        case 16: return static_cast<double>(signExtend(readLittle(bytes, 2), 16));
        case 24: return static_cast<double>(signExtend(readLittle(bytes, 3), 24)) * 0.00390625;
        case 32: {
            const auto raw = static_cast<std::uint32_t>(readLittle(bytes, 4));
            if (formatTag == 1) return static_cast<double>(signExtend(raw, 32)) * 0.0000152587890625;
            return static_cast<double>(std::bit_cast<float>(raw)) * 32767.5;
        }
        case 64: return std::bit_cast<double>(readLittle(bytes, 8)) * 32767.5;
        default: return 0.0;
    }
}

void encodeAppendSample(double value, std::uint16_t formatTag, std::uint16_t bits, std::span<std::uint8_t> out) {
    if (formatTag == 1) {
        switch (bits) {
            case 8:
                out[0] = static_cast<std::uint8_t>(std::clamp(truncateToInt32(value * 0.00390625 + 127.5), 0, 255));
                return;
            case 16:
                writeLittle(static_cast<std::uint16_t>(std::clamp(truncateToInt32(value), -32768, 32767)), 2, out);
                return;
            case 24:
                writeLittle(static_cast<std::uint32_t>(std::clamp(truncateToInt32(value * 256.0), -8388608, 8388607)),
                            3, out);
                return;
            case 32:
                // truncateToInt32 limits to the 32-bit range before it truncates.
                writeLittle(static_cast<std::uint32_t>(truncateToInt32(value * 65536.0)), 4, out);
                return;
            default: return;
        }
    }
    if (bits == 32) {
        // Kept inside the float range so that the narrowing is always defined.
        const double scaled = std::clamp(value / 32767.5, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX));
        writeLittle(std::bit_cast<std::uint32_t>(static_cast<float>(scaled)), 4, out);
    } else if (bits == 64) {
        writeLittle(std::bit_cast<std::uint64_t>(value / 32767.5), 8, out);
    }
}

}  // namespace kestrand
