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
// `result.dataBytes` is the number of sound bytes the file holds: the declared
// size, cut to what is present when the file ends early; for an open-ended
// data chunk (size 0xFFFFFFFF) everything up to the end of the file.
// Nothing when the file cannot be opened (no message), has no RIFF/WAVE
// header ("file format error.\n" / "file format error(2).\n" on standard
// error), has no data chunk (no message), or when the format in force at the
// data chunk is missing, shorter than 16 bytes, has no channels, a block
// align of 0, more than 256 channels, a block align above 2048 or below the
// channel count (a one-line "file format error: ..." message).
std::optional<LoadedSample> readWaveBytes(const std::wstring& path, std::int32_t tailFrames);

// Reads every sample converted to a double in sixteen-bit scale, interleaved,
// followed by tailFrames x channels zeros. `info` receives the format and
// `frameCount` the number of whole frames of the data chunk that the file
// holds (set only when a data chunk is read). Depths other than 8, 16, 24, 32
// and 64 bits read as zeros. A chunk whose size is 0 ends the walk, so an
// empty data chunk gives nothing. Nothing on failure, with the same messages
// as readWaveBytes except that any header fault is "file format error(2).\n".
std::optional<std::vector<double>> readWaveSamples(const std::wstring& path, WaveInfo& info, std::uint32_t& frameCount,
                                                   std::int32_t tailFrames);

}  // namespace kestrand
