// The format of a loaded audio stream, laid out like the header and body of a
// WAV "fmt " chunk. The data size travels beside it, not in it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/sample_format.h"

namespace kestrand {

struct WaveInfo {
    std::array<char, 4> chunkId{};  // "fmt "
    std::uint32_t chunkSize = 0;
    std::uint16_t formatTag = 0;  // 1 integer PCM, 3 IEEE float, others passed through
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;  // bytes per frame, all channels
    std::uint16_t bitsPerSample = 0;
    // For WAVE_FORMAT_EXTENSIBLE (tag 0xFFFE) files: the first two bytes of the
    // subformat GUID (1 integer PCM, 3 IEEE float); 0 otherwise.
    std::uint16_t subFormat = 0;

    // Equal when every field is.
    bool operator==(const WaveInfo&) const = default;
};

inline constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;

// The tag that tells integer from float samples: the subformat for extensible files.
inline std::uint16_t effectiveFormatTag(const WaveInfo& info) {
    return info.formatTag == kWaveFormatExtensible && info.subFormat != 0 ? info.subFormat : info.formatTag;
}

// The stored encoding of a stream's samples.
inline SampleType sampleTypeOf(const WaveInfo& info) {
    return sampleTypeOf(effectiveFormatTag(info), info.bitsPerSample);
}

// What every loader returns: the raw interleaved PCM bytes of the stream in
// their stored sample type, followed by zero padding (the tail or slack the
// loader was asked for), the stream's format and the size of the sound data.
struct LoadedSample {
    std::vector<std::uint8_t> bytes;  // dataBytes of sound, then zeros
    WaveInfo info;
    std::uint32_t dataBytes = 0;
};

}  // namespace kestrand
