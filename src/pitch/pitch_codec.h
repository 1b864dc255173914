// The compact pitch-text codecs enc, cmp and hff.
#pragma once

#include <optional>
#include <string_view>

#include "pitch/pitch_curve.h"

namespace kestrand {

// 1 enc, 2 cmp, 3 hff; any other value selects enc.
enum class CodecMode : int { Other = 0, Enc = 1, Cmp = 2, Hff = 3 };

// Decodes a codec text with its parameter (the differencing order, or the hff parameter).
std::optional<PitchCurve> decodePitchCodec(std::wstring_view text, int parameter, CodecMode codec);

}  // namespace kestrand
