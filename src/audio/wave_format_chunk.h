// The "fmt " chunk of a RIFF/WAVE file: reading its body into a WaveInfo and
// deciding whether the format can describe a data chunk safely.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "audio/wave_info.h"

namespace kestrand {

// Largest channel count and block align a data chunk is read with; beyond
// them the zero tail (tailFrames x blockAlign bytes) would grow without bound.
inline constexpr std::uint16_t kMaxWaveChannels = 256;
inline constexpr std::uint16_t kMaxWaveBlockAlign = 2048;

// Reads the body of a format chunk whose size field (`chunkSize`) was just
// read, leaving the stream behind the chunk. Sets chunkId and chunkSize, then
// the 16-byte body field by field; a field that the file ends inside keeps its
// earlier value. For an extensible format (tag 0xFFFE) of at least 40 bytes
// the first two bytes of the subformat GUID go to subFormat (else it is 0).
// A body shorter than 16 bytes is still read as 16 bytes.
void readFormatBody(std::FILE* file, std::uint32_t chunkSize, WaveInfo& info);

// Why the format seen so far cannot describe a data chunk: the one-line
// message to print on standard error, or nothing when it is usable.
// `formatSeen` tells whether a format chunk came before the data.
std::optional<std::string_view> formatProblem(bool formatSeen, const WaveInfo& info);

}  // namespace kestrand
