#include "audio/append_target_header.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"

namespace kestrand {

namespace {

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
    if (!textAt(bytes, 12, "fmt ") || loadU32(bytes.data() + 16) != 16 || !textAt(bytes, 36, "data")) {
        reason = "its header is not the plain 44-byte form this program writes";
        return std::nullopt;
    }
    AppendTargetHeader h;
    std::copy_n(bytes.begin(), kAppendHeaderBytes, h.bytes.begin());
    h.riffSize = loadU32(bytes.data() + 4);
    h.formatTag = loadU16(bytes.data() + 20);
    h.channels = loadU16(bytes.data() + 22);
    h.sampleRate = loadU32(bytes.data() + 24);
    const std::uint32_t byteRate = loadU32(bytes.data() + 28);
    h.blockAlign = loadU16(bytes.data() + 32);
    h.bitsPerSample = loadU16(bytes.data() + 34);
    h.dataBytes = loadU32(bytes.data() + 40);
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
    storeU32(bytes.data() + 4, riffSize);
    storeU32(bytes.data() + 40, dataBytes);
    return bytes;
}

}  // namespace kestrand
