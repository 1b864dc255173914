// Reading the canonical 44-byte-header WAV stream that decoder programs write
// and that plug-in modules hand over as a memory image.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>

#include "audio/wave_info.h"

namespace kestrand {

inline constexpr std::size_t kCanonicalHeaderSize = 44;

// True when the 44 header bytes start with "RIFF" and hold "WAVE" at offset 8.
bool isRiffWaveHeader(std::span<const std::uint8_t, kCanonicalHeaderSize> header);

// The format fields at header bytes 12 to 35 ("fmt ", chunk size and the 16
// bytes of format), taken as they stand.
WaveInfo waveInfoFromHeader(std::span<const std::uint8_t, kCanonicalHeaderSize> header);

// Appends tailFrames x blockAlign zero bytes (nothing for a negative count).
// False when the memory cannot be obtained.
bool appendZeroTail(LoadedSample& sample, std::int32_t tailFrames);

// Reads a canonical WAV stream to its end: the 44-byte header, then every
// following byte as sound data, whatever the header's data size says (read in
// blocks of 1024 bytes, so only what arrives is ever held). Prints "失敗" on
// standard output when the stream ends inside the header or is not RIFF/WAVE.
// The data is followed by tailFrames zero frames.
std::optional<LoadedSample> readCanonicalWaveStream(std::FILE* stream, std::int32_t tailFrames);

}  // namespace kestrand
