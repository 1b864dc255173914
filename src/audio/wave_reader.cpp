#include "audio/wave_reader.h"

#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "audio/chunk_padding.h"
#include "audio/stream_reading.h"
#include "audio/wave_format_chunk.h"
#include "audio/wave_sample_conversion.h"
#include "base/little_endian.h"
#include "platform/console.h"
#include "platform/files.h"

namespace kestrand {

namespace {

constexpr ChunkId kFormatId{'f', 'm', 't', ' '};
constexpr ChunkId kDataId{'d', 'a', 't', 'a'};

// After a chunk's body: past its pad byte when the file has one.
void skipPad(std::FILE* file, std::uint32_t size) {
    skipPadByte(file, size, SizeOrder::LittleEndian, {kFormatId, kDataId});
}

// The zero tail is a caller's request, not the file's; past this size it is
// refused instead of allocated.
constexpr std::uint64_t kMaxTailBytes = std::uint64_t{1} << 30;
constexpr std::uint32_t kOpenEndedSize = 0xFFFFFFFFu;
constexpr std::string_view kShortFormat = "file format error: format chunk shorter than 16 bytes.\n";
constexpr std::string_view kTailTooLarge = "file format error: the zero tail behind the data would be too large.\n";

bool idIs(const ChunkId& id, const char (&text)[5]) { return std::memcmp(id.data(), text, 4) == 0; }

bool readId(std::FILE* file, ChunkId& id) { return readExactly(file, id.data(), id.size()); }

bool readSize(std::FILE* file, std::uint32_t& size) {
    std::array<std::uint8_t, 4> bytes{};
    if (!readExactly(file, bytes.data(), bytes.size())) return false;
    size = loadU32(bytes.data());
    return true;
}

struct RiffHeader {
    bool isRiff = false;
    bool isWave = false;
};

// Reads the 12-byte RIFF header; the RIFF size is ignored.
RiffHeader readRiffHeader(std::FILE* file) {
    ChunkId riff{}, form{};
    std::array<std::uint8_t, 4> size{};
    const bool complete = readId(file, riff) && readExactly(file, size.data(), size.size()) && readId(file, form);
    RiffHeader header;
    header.isRiff = idIs(riff, "RIFF");
    header.isWave = complete && idIs(form, "WAVE");
    return header;
}

std::uint64_t nonNegative(std::int32_t value) { return value > 0 ? static_cast<std::uint64_t>(value) : 0; }

// The data chunk of readWaveBytes, its size field just read: the bytes that
// are present, then tailFrames x blockAlign zeros.
std::optional<LoadedSample> readDataBytes(std::FILE* file, std::uint32_t size, const WaveInfo& info,
                                          std::int32_t tailFrames) {
    const std::uint64_t tailBytes = nonNegative(tailFrames) * info.blockAlign;
    if (tailBytes > kMaxTailBytes) {
        writeErr(kTailTooLarge);
        return std::nullopt;
    }
    LoadedSample result;
    result.info = info;
    std::uint64_t present = 0;
    if (size == kOpenEndedSize) {
        // Streamed files do not know their length: everything up to the end
        // of the file is sound, trailing chunks included.
        present = appendToEnd(file, std::numeric_limits<std::uint32_t>::max(), result.bytes);
    } else {
        present = appendUpTo(file, size, result.bytes);
    }
    result.dataBytes = static_cast<std::uint32_t>(present);
    try {
        result.bytes.resize(result.bytes.size() + tailBytes, 0);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return result;
}

}  // namespace

std::optional<LoadedSample> readWaveBytes(const std::wstring& path, std::int32_t tailFrames) {
    FilePtr file = openFile(path, "rb");
    if (!file) return std::nullopt;
    const RiffHeader header = readRiffHeader(file.get());
    if (!header.isRiff) {
        writeErr("file format error.\n");
        return std::nullopt;
    }
    if (!header.isWave) {
        writeErr("file format error(2).\n");
        return std::nullopt;
    }

    WaveInfo info;
    bool formatSeen = false;
    // An empty data chunk stands only when no other follows it.
    std::optional<LoadedSample> emptyData;
    ChunkId id{};
    while (readId(file.get(), id)) {
        std::uint32_t size = 0;
        if (!readSize(file.get(), size)) break;
        if (idIs(id, "fmt ")) {
            if (size < 16) {
                writeErr(kShortFormat);
                return std::nullopt;
            }
            readFormatBody(file.get(), size, info);
            formatSeen = true;
        } else if (idIs(id, "data")) {
            if (const auto problem = formatProblem(formatSeen, info)) {
                writeErr(*problem);
                return std::nullopt;
            }
            if (size != 0) return readDataBytes(file.get(), size, info, tailFrames);
            if (!emptyData) emptyData = readDataBytes(file.get(), 0, info, tailFrames);
        } else {
            skipForward(file.get(), size);
        }
        skipPad(file.get(), size);
    }
    return emptyData;
}

std::optional<std::vector<double>> readWaveSamples(const std::wstring& path, WaveInfo& info, std::uint32_t& frameCount,
                                                   std::int32_t tailFrames) {
    FilePtr file = openFile(path, "rb");
    if (!file) return std::nullopt;
    const RiffHeader header = readRiffHeader(file.get());
    if (!header.isRiff || !header.isWave) {
        writeErr("file format error(2).\n");
        return std::nullopt;
    }

    bool formatSeen = false;
    ChunkId id{};
    std::uint32_t size = 0;
    while (readId(file.get(), id) && readSize(file.get(), size)) {
        if (idIs(id, "fmt ")) {
            if (size < 16) {
                writeErr(kShortFormat);
                return std::nullopt;
            }
            readFormatBody(file.get(), size, info);
            formatSeen = true;
        } else if (idIs(id, "data") && size != 0) {
            if (const auto problem = formatProblem(formatSeen, info)) {
                writeErr(*problem);
                return std::nullopt;
            }
            const std::uint64_t tail = nonNegative(tailFrames);
            if (tail * info.channels * sizeof(double) > kMaxTailBytes) {
                writeErr(kTailTooLarge);
                return std::nullopt;
            }
            // Frames come from the bytes the file holds, not from the declared size.
            std::vector<std::uint8_t> raw;
            appendUpTo(file.get(), size, raw);
            const std::uint64_t frames = raw.size() / info.blockAlign;
            // Samples are read one after another, bitsPerSample / 8 bytes each;
            // a block align smaller than that reads on past the declared size.
            const std::uint64_t wanted = frames * info.channels * decodedSampleBytes(info.bitsPerSample);
            if (wanted > raw.size() && raw.size() == size) appendUpTo(file.get(), wanted - raw.size(), raw);
            frameCount = static_cast<std::uint32_t>(frames);
            std::vector<double> samples;
            try {
                samples.assign((frames + tail) * info.channels, 0.0);
            } catch (const std::bad_alloc&) {
                return std::nullopt;
            }
            decodeSamples(raw, info.bitsPerSample, effectiveFormatTag(info),
                          std::span<double>(samples.data(), frames * info.channels));
            return samples;
        } else {
            // Other chunks, and an empty data chunk that a real one may follow.
            skipForward(file.get(), size);
        }
        skipPad(file.get(), size);
    }
    return std::nullopt;
}

}  // namespace kestrand
