#include "audio/wave_stream.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "audio/wave_format_chunk.h"
#include "base/little_endian.h"
#include "platform/console.h"

namespace kestrand {

namespace {

// dataBytes is 32-bit: a stream is never read beyond what it can count.
constexpr std::size_t kMaxStreamBytes = 0xFFFFFFFFu - 1023u;
constexpr std::size_t kBlockSize = 1024;

}  // namespace

bool isRiffWaveHeader(std::span<const std::uint8_t, kCanonicalHeaderSize> header) {
    return std::memcmp(header.data(), "RIFF", 4) == 0 && std::memcmp(header.data() + 8, "WAVE", 4) == 0;
}

WaveInfo waveInfoFromHeader(std::span<const std::uint8_t, kCanonicalHeaderSize> header) {
    WaveInfo info;
    std::memcpy(info.chunkId.data(), header.data() + 12, 4);
    info.chunkSize = loadU32(header.data() + 16);
    info.formatTag = loadU16(header.data() + 20);
    info.channels = loadU16(header.data() + 22);
    info.samplesPerSec = loadU32(header.data() + 24);
    info.avgBytesPerSec = loadU32(header.data() + 28);
    info.blockAlign = loadU16(header.data() + 32);
    info.bitsPerSample = loadU16(header.data() + 34);
    return info;
}

bool isUsableStreamFormat(const WaveInfo& info) {
    return info.channels >= 1 && info.channels <= kMaxWaveChannels && info.blockAlign >= info.channels &&
           info.blockAlign <= kMaxWaveBlockAlign;
}

bool appendZeroTail(LoadedSample& sample, std::int32_t tailFrames) {
    if (tailFrames <= 0) return true;
    const std::size_t tailBytes = static_cast<std::size_t>(tailFrames) * sample.info.blockAlign;
    try {
        sample.bytes.resize(sample.bytes.size() + tailBytes, 0);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

std::optional<LoadedSample> readCanonicalWaveStream(std::FILE* stream, std::int32_t tailFrames) {
    std::uint8_t headerBytes[kCanonicalHeaderSize];
    const std::span<const std::uint8_t, kCanonicalHeaderSize> header(headerBytes);
    if (std::fread(headerBytes, 1, kCanonicalHeaderSize, stream) < kCanonicalHeaderSize || !isRiffWaveHeader(header)) {
        writeOut("失敗\n");
        return std::nullopt;
    }
    LoadedSample sample;
    sample.info = waveInfoFromHeader(header);
    if (!isUsableStreamFormat(sample.info)) {
        printErr("The decoder's WAV stream has %u channels and a block align of %u; not loaded.\n",
                 static_cast<unsigned>(sample.info.channels), static_cast<unsigned>(sample.info.blockAlign));
        return std::nullopt;
    }
    try {
        std::size_t total = 0;
        while (total <= kMaxStreamBytes - kBlockSize) {
            sample.bytes.resize(total + kBlockSize);
            const std::size_t got = std::fread(sample.bytes.data() + total, 1, kBlockSize, stream);
            total += got;
            if (got < kBlockSize) break;
        }
        sample.bytes.resize(total);
        sample.dataBytes = static_cast<std::uint32_t>(total);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!appendZeroTail(sample, tailFrames)) return std::nullopt;
    return sample;
}

}  // namespace kestrand
