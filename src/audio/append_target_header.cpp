#include "audio/append_target_header.h"

#include <algorithm>
#include <cstring>

namespace kestrand {

namespace {

std::uint16_t u16At(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t u32At(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void putU32(std::array<std::uint8_t, kAppendHeaderBytes>& b, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool textAt(std::span<const std::uint8_t> b, std::size_t at, const char (&text)[5]) {
    return std::memcmp(b.data() + at, text, 4) == 0;
}

bool writtenFormat(std::uint16_t tag, std::uint16_t bits, AppendFormats formats) {
    if (formats == AppendFormats::Int16Only) return tag == 1 && bits == 16;
    if (tag == 1) return bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (tag == 3) return bits == 32 || bits == 64;
    return false;
}

}  // namespace

std::optional<AppendTargetHeader> parseAppendTargetHeader(std::span<const std::uint8_t> bytes, std::uint64_t fileLength,
                                                          AppendFormats formats, std::string& reason) {
    if (bytes.size() < kAppendHeaderBytes || !textAt(bytes, 0, "RIFF") || !textAt(bytes, 8, "WAVE")) {
        reason = "it is not a WAV file";
        return std::nullopt;
    }
    if (!textAt(bytes, 12, "fmt ") || u32At(bytes, 16) != 16 || !textAt(bytes, 36, "data")) {
        reason = "its header is not the plain 44-byte form this program writes";
        return std::nullopt;
    }
    AppendTargetHeader h;
    std::copy_n(bytes.begin(), kAppendHeaderBytes, h.bytes.begin());
    h.riffSize = u32At(bytes, 4);
    h.formatTag = u16At(bytes, 20);
    h.channels = u16At(bytes, 22);
    h.sampleRate = u32At(bytes, 24);
    const std::uint32_t byteRate = u32At(bytes, 28);
    h.blockAlign = u16At(bytes, 32);
    h.bitsPerSample = u16At(bytes, 34);
    h.dataBytes = u32At(bytes, 40);
    if (h.channels != 1) {
        reason = "it does not have exactly one channel";
        return std::nullopt;
    }
    if (!writtenFormat(h.formatTag, h.bitsPerSample, formats) || h.blockAlign != h.bitsPerSample / 8 ||
        static_cast<std::uint64_t>(byteRate) != static_cast<std::uint64_t>(h.sampleRate) * h.blockAlign) {
        reason = formats == AppendFormats::Int16Only ? "it is not a 16-bit integer PCM file"
                                                     : "its sample format is not one this program writes";
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(h.riffSize) != static_cast<std::uint64_t>(h.dataBytes) + 36 ||
        h.dataBytes % h.blockAlign != 0 || fileLength != static_cast<std::uint64_t>(h.dataBytes) + kAppendHeaderBytes) {
        reason = "its header sizes do not match its length";
        return std::nullopt;
    }
    return h;
}

std::array<std::uint8_t, kAppendHeaderBytes> withSizes(const AppendTargetHeader& header, std::uint32_t riffSize,
                                                       std::uint32_t dataBytes) {
    std::array<std::uint8_t, kAppendHeaderBytes> bytes = header.bytes;
    putU32(bytes, 4, riffSize);
    putU32(bytes, 40, dataBytes);
    return bytes;
}

}  // namespace kestrand
