#include "pitch/pitch_codec.h"

namespace kestrand {

// Not built yet: the codecs arrive with the pitch-text work.
std::optional<PitchCurve> decodePitchCodec(std::wstring_view, int, CodecMode) { return std::nullopt; }

}  // namespace kestrand
