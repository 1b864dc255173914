// Reading RIFF/WAVE files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/wave_info.h"

namespace kestrand {

// Reads the data chunk's bytes exactly as stored, followed by
// tailFrames x blockAlign zero bytes, and the format into `result.info`.
// Nothing when the file cannot be opened (no message), has no RIFF/WAVE
// header (message on standard error) or has no data chunk.
std::optional<LoadedSample> readWaveBytes(const std::wstring& path, std::int32_t tailFrames);

// Reads every sample converted to a double in sixteen-bit scale, interleaved,
// followed by tailFrames x channels zeros. `info` receives the format and
// `frameCount` the number of frames of the data chunk (set only when a data
// chunk is found). Nothing on failure.
std::optional<std::vector<double>> readWaveSamples(const std::wstring& path, WaveInfo& info,
                                                   std::uint32_t& frameCount, std::int32_t tailFrames);

}  // namespace kestrand
