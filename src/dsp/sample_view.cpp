#include "dsp/sample_view.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "dsp/fractional_readers.h"

namespace kestrand {

SampleView makeSampleView(std::span<const std::uint8_t> bytes, SampleType type, int channels) {
    SampleView view;
    view.bytes = bytes;
    view.type = type;
    view.stride = std::max(1, channels);
    const std::size_t size = static_cast<std::size_t>(sampleTypeBytes(view.type));
    if (size == 0 || bytes.size() < size) return view;
    const std::size_t step = size * static_cast<std::size_t>(view.stride);
    view.frames = static_cast<std::int64_t>((bytes.size() - size) / step) + 1;
    return view;
}

double sampleTypePadValue(SampleType type) { return type == SampleType::U8 ? -32640.0 : 0.0; }

double decodeFrame(const SampleView& view, std::int64_t k) {
    if (k < 0 || k >= view.frames) return sampleTypePadValue(view.type);
    const std::size_t size = static_cast<std::size_t>(sampleTypeBytes(view.type));
    const std::uint8_t* p =
        view.bytes.data() + static_cast<std::size_t>(k) * size * static_cast<std::size_t>(view.stride);
    switch (view.type) {
        case SampleType::U8: return 256.0 * p[0] - 32640.0;
        case SampleType::S16: return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
        case SampleType::S24: {
            std::int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
            if (v & 0x800000) v -= 0x1000000;
            return v / 256.0;
        }
        case SampleType::S32: {
            const std::uint32_t u = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
            return static_cast<std::int32_t>(u) / 65536.0;
        }
        case SampleType::F32: {
            const std::uint32_t u = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
            return static_cast<double>(std::bit_cast<float>(u)) * 32768.0;
        }
        case SampleType::F64: {
            std::uint64_t u = 0;
            for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
            return std::bit_cast<double>(u) * 32768.0;
        }
        case SampleType::None: break;
    }
    return 0.0;
}

double readLiteral(const SampleView& view, double position, double width) {
    switch (view.type) {
        case SampleType::U8: return readFractionalU8(position, view.bytes, width, view.stride);
        case SampleType::S16: return readFractionalS16(position, view.bytes, width, view.stride);
        case SampleType::S24: return readFractionalS24(position, view.bytes, width, view.stride);
        case SampleType::S32: return readFractionalS32(position, view.bytes, width, view.stride);
        case SampleType::F32: return readFractionalF32(position, view.bytes, width, view.stride);
        case SampleType::F64: return readFractionalF64(position, view.bytes, width, view.stride) * 32768.0;
        case SampleType::None: break;
    }
    return 0.0;
}

}  // namespace kestrand
