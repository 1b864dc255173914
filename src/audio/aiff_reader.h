// Reading 16-bit AIFF samples as if they were 16-bit WAV samples.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "audio/wave_info.h"

namespace kestrand {

// Returns the sound as little-endian 16-bit samples followed by tailFrames
// zero frames, and a WaveInfo as for a 16-bit PCM WAV file; nothing on
// failure. Messages (file cannot be opened, not FORM/AIFF, not 16-bit) go to
// standard output. The sound is cut to what the file really holds: never more
// frames than "COMM" declares, than the "SSND" chunk declares after its
// offset field, or than the file delivers; dataBytes is the size of that sound.
std::optional<LoadedSample> readAiffBytes(const std::wstring& path, std::int32_t tailFrames);

// The same reader on an already open stream positioned at the start of the file.
std::optional<LoadedSample> readAiffStream(std::FILE* file, std::int32_t tailFrames);

// The integer sample rate of an 80-bit IEEE extended value as AIFF stores it
// (big-endian): the top 32 bits of the mantissa shifted right by
// 16414 - exponent; 0 when the shift is outside 0..31.
std::uint32_t aiffSampleRate(const std::uint8_t (&extended)[10]);

}  // namespace kestrand
