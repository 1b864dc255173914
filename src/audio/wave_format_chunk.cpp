#include "audio/wave_format_chunk.h"

#include <array>

#include "audio/stream_reading.h"
#include "base/little_endian.h"

namespace kestrand {

namespace {

constexpr std::uint32_t kBodyBytes = 16;
constexpr std::uint32_t kExtensibleBytes = 40;
constexpr std::uint32_t kSubFormatOffset = 24;

}  // namespace

void readFormatBody(std::FILE* file, std::uint32_t chunkSize, WaveInfo& info) {
    info.chunkId = {'f', 'm', 't', ' '};
    info.chunkSize = chunkSize;

    std::array<std::uint8_t, kBodyBytes> body{};
    const std::size_t got = std::fread(body.data(), 1, body.size(), file);
    const std::uint8_t* p = body.data();
    if (got >= 2) info.formatTag = loadU16(p);
    if (got >= 4) info.channels = loadU16(p + 2);
    if (got >= 8) info.samplesPerSec = loadU32(p + 4);
    if (got >= 12) info.avgBytesPerSec = loadU32(p + 8);
    if (got >= 14) info.blockAlign = loadU16(p + 12);
    if (got >= 16) info.bitsPerSample = loadU16(p + 14);

    info.subFormat = 0;
    if (chunkSize <= kBodyBytes) return;
    std::uint64_t rest = chunkSize - kBodyBytes;
    if (info.formatTag == kWaveFormatExtensible && chunkSize >= kExtensibleBytes) {
        skipForward(file, kSubFormatOffset - kBodyBytes);
        std::array<std::uint8_t, 2> guid{};
        if (readExactly(file, guid.data(), guid.size())) info.subFormat = loadU16(guid.data());
        rest -= kSubFormatOffset - kBodyBytes + guid.size();
    }
    skipForward(file, rest);
}

std::optional<std::string_view> formatProblem(bool formatSeen, const WaveInfo& info) {
    if (!formatSeen) return "file format error: no format chunk before the data.\n";
    if (info.chunkSize < kBodyBytes) return "file format error: format chunk shorter than 16 bytes.\n";
    if (info.channels == 0 || info.blockAlign == 0)
        return "file format error: the format has no channels or a block align of 0.\n";
    if (info.channels > kMaxWaveChannels || info.blockAlign > kMaxWaveBlockAlign)
        return "file format error: too many channels or too large a block align.\n";
    if (info.blockAlign < info.channels) return "file format error: block align smaller than the channel count.\n";
    return std::nullopt;
}

}  // namespace kestrand
