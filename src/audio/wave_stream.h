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

// True when a stream's format can be held: 1 to 256 channels and a block
// align of 1 to 2048 bytes, no smaller than the channel count (the limits of
// the WAV file reader). The zero tail is sized by the block align, so an
// unchecked header could make a few bytes of stream cost hundreds of
// megabytes.
bool isUsableStreamFormat(const WaveInfo& info);

// Appends tailFrames x blockAlign zero bytes (nothing for a negative count).
// False when the memory cannot be obtained.
bool appendZeroTail(LoadedSample& sample, std::int32_t tailFrames);

// Reads a canonical WAV stream to its end: the 44-byte header, then every
// following byte as sound data, whatever the header's data size says (read in
// blocks of 1024 bytes, so only what arrives is ever held). Prints "失敗" on
// standard output when the stream ends inside the header or is not RIFF/WAVE,
// and a message on standard error when its format is not usable (see above).
// The data is followed by tailFrames zero frames.
std::optional<LoadedSample> readCanonicalWaveStream(std::FILE* stream, std::int32_t tailFrames);

}  // namespace kestrand
