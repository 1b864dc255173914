#include "audio/aiff_reader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "audio/chunk_padding.h"
#include "base/little_endian.h"
#include "platform/console.h"
#include "platform/files.h"

namespace kestrand {

namespace {

// Default format before any "COMM" chunk is seen.
struct AiffFormat {
    std::int16_t channels = 1;
    std::uint32_t frames = 0;
    std::int16_t bits = 16;
    std::uint32_t rate = 44100;
};

std::uint16_t bigU16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

std::uint32_t bigU32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

// A four-byte id as the number the messages print (little-endian order).
unsigned idNumber(const std::uint8_t* p) { return loadU32(p); }

// Moves forward `count` bytes; false when the stream cannot get there, which
// ends the chunk walk like the end of the file would.
bool skipBytes(std::FILE* file, std::uint64_t count) {
    while (count > 0) {
        const std::uint64_t step = std::min<std::uint64_t>(count, LONG_MAX);
        if (std::fseek(file, static_cast<long>(step), SEEK_CUR) != 0) return false;
        count -= step;
    }
    return true;
}

// After a chunk's body: past its pad byte when the file has one.
void skipPad(std::FILE* file, std::uint32_t size) {
    skipPadByte(file, size, SizeOrder::BigEndian, {ChunkId{'C', 'O', 'M', 'M'}, ChunkId{'S', 'S', 'N', 'D'}});
}

// Reads up to `limit` bytes, growing the buffer only as data arrives.
std::vector<std::uint8_t> readUpTo(std::FILE* file, std::uint64_t limit) {
    constexpr std::size_t kBlock = 65536;
    std::vector<std::uint8_t> data;
    std::uint64_t total = 0;
    while (total < limit) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, limit - total));
        data.resize(static_cast<std::size_t>(total) + want);
        const std::size_t got = std::fread(data.data() + total, 1, want, file);
        total += got;
        if (got < want) break;
    }
    data.resize(static_cast<std::size_t>(total));
    return data;
}

// Reads the sound of an "SSND" chunk whose header (id and size) has been
// read: the offset and block-size fields, the offset's gap, then at most the
// frames that "COMM" declares and the chunk holds, converted to little-endian,
// followed by tailFrames zero frames.
std::optional<LoadedSample> readSoundChunk(std::FILE* file, std::uint32_t chunkSize, const AiffFormat& format,
                                           std::int32_t tailFrames) {
    const auto channels = static_cast<std::uint64_t>(format.channels);
    std::uint64_t available = chunkSize >= 8 ? chunkSize - 8u : 0u;
    std::uint8_t fields[8];
    if (std::fread(fields, 1, sizeof fields, file) == sizeof fields) {
        const std::uint32_t offset = bigU32(fields);
        available = available > offset ? available - offset : 0;
        if (!skipBytes(file, offset)) available = 0;
    } else {
        available = 0;
    }
    const std::uint64_t wantedSamples = std::min<std::uint64_t>(format.frames * channels, available / 2);
    const std::vector<std::uint8_t> raw = readUpTo(file, wantedSamples * 2);
    const std::uint64_t frames = raw.size() / 2 / channels;
    const std::uint64_t tail = tailFrames > 0 ? static_cast<std::uint64_t>(tailFrames) : 0;

    LoadedSample sample;
    sample.bytes.assign(static_cast<std::size_t>((frames + tail) * channels * 2), 0);
    const std::size_t soundBytes = static_cast<std::size_t>(frames * channels * 2);
    for (std::size_t i = 0; i < soundBytes; i += 2) {
        sample.bytes[i] = raw[i + 1];
        sample.bytes[i + 1] = raw[i];
    }
    sample.dataBytes = static_cast<std::uint32_t>(soundBytes);
    return sample;
}

}  // namespace

std::uint32_t aiffSampleRate(const std::uint8_t (&extended)[10]) {
    const int exponent = bigU16(extended) & 0x7FFF;
    const std::uint32_t mantissaTop = bigU32(extended + 2);
    const int shift = 16414 - exponent;
    if (shift < 0 || shift > 31) return 0;
    return mantissaTop >> shift;
}

std::optional<LoadedSample> readAiffStream(std::FILE* file, std::int32_t tailFrames) {
    std::uint8_t header[8] = {};
    if (std::fread(header, 1, sizeof header, file) < sizeof header || std::memcmp(header, "FORM", 4) != 0) {
        printOut("最初のchunkはFROMでなければなりません %x \n", idNumber(header));
        return std::nullopt;
    }
    std::uint8_t formType[4] = {};
    if (std::fread(formType, 1, sizeof formType, file) < sizeof formType || std::memcmp(formType, "AIFF", 4) != 0) {
        printOut("AIFFファイルではありません %x \n", idNumber(formType));
        return std::nullopt;
    }

    AiffFormat format;
    std::optional<LoadedSample> sample;
    try {
        std::uint8_t chunk[8];
        while (std::fread(chunk, 1, sizeof chunk, file) == sizeof chunk) {
            const std::uint32_t size = bigU32(chunk + 4);
            if (std::memcmp(chunk, "COMM", 4) == 0) {
                std::uint8_t body[18];
                if (std::fread(body, 1, sizeof body, file) < sizeof body) break;
                format.channels = static_cast<std::int16_t>(bigU16(body));
                format.frames = bigU32(body + 2);
                format.bits = static_cast<std::int16_t>(bigU16(body + 6));
                std::uint8_t extended[10];
                std::memcpy(extended, body + 8, sizeof extended);
                format.rate = aiffSampleRate(extended);
                if (size > 18 && !skipBytes(file, size - 18u)) break;
                // A shorter chunk was read as 18 bytes anyway; its pad is past.
                if (size >= 18) skipPad(file, size);
            } else if (std::memcmp(chunk, "SSND", 4) == 0) {
                // Samples of another depth are refused below, without reading them.
                if (format.bits != 16) break;
                if (format.channels < 1) {
                    printErr("AIFF file with %d channels; not loaded.\n", format.channels);
                    return std::nullopt;
                }
                sample = readSoundChunk(file, size, format, tailFrames);
                break;
            } else if (skipBytes(file, size)) {
                skipPad(file, size);
            } else {
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }

    if (format.bits != 16) {
        writeOut("16ビットフォーマットではありません\n");
        return std::nullopt;
    }
    if (!sample) return std::nullopt;

    const auto channels = static_cast<std::uint16_t>(format.channels);
    WaveInfo& info = sample->info;
    std::memcpy(info.chunkId.data(), "fmt ", 4);
    info.chunkSize = 16;
    info.formatTag = 1;
    info.channels = channels;
    info.samplesPerSec = format.rate;
    info.blockAlign = static_cast<std::uint16_t>(2 * channels);
    info.avgBytesPerSec = format.rate * info.blockAlign;
    info.bitsPerSample = 16;
    return sample;
}

std::optional<LoadedSample> readAiffBytes(const std::wstring& path, std::int32_t tailFrames) {
    FilePtr file = openFile(path, "rb");
    if (!file) {
        writeOut("ファイルが開けません\n");
        return std::nullopt;
    }
    return readAiffStream(file.get(), tailFrames);
}

}  // namespace kestrand
