// Reading 16-bit AIFF samples as if they were 16-bit WAV samples.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/wave_info.h"

namespace kestrand {

// Returns the sound as little-endian 16-bit samples followed by tailFrames
// zero frames, and a WaveInfo as for a WAV file; nothing on failure.
std::optional<LoadedSample> readAiffBytes(const std::wstring& path, std::int32_t tailFrames);

}  // namespace kestrand
