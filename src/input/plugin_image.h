// The WAV image that a decoder plug-in module hands over: a canonical 44-byte
// header (format at bytes 12 to 35, data size at 40) followed by the data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "audio/wave_info.h"
#include "audio/wave_stream.h"

namespace kestrand {

// The number of bytes an image spans by its own header: the 44 header bytes
// plus the data size at byte 40 (nothing more for a negative size). The
// module vouches for that many bytes; the image's first 44 must be readable.
std::size_t pluginImageSize(std::span<const std::uint8_t, kCanonicalHeaderSize> header);

// Copies the sound out of an image: the format from the header and the data
// from byte 44, followed by tailFrames zero frames. A data size beyond the
// image's bytes is cut to what the image holds. Nothing (and no message) for
// an image shorter than the header or not RIFF/WAVE or when memory runs out;
// nothing, with a message on standard error, for a negative data size or a
// format that isUsableStreamFormat refuses.
std::optional<LoadedSample> loadedSampleFromImage(std::span<const std::uint8_t> image, std::int32_t tailFrames);

}  // namespace kestrand
