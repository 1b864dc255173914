// Feeds arbitrary bytes to the compact pitch codecs: the first byte is the
// parameter, the rest the text (one character per byte), decoded in every
// mode. A decoded curve whose differences a code can hold must survive
// re-encoding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "bend/codec_stream.h"
#include "bend/pitch_codec.h"

namespace {

bool differencesFit(const kestrand::PitchCurve& curve, int order) {
    for (std::size_t i = 0; i < curve.values.size(); ++i) {
        const auto d =
            static_cast<std::int16_t>(static_cast<std::uint16_t>(kestrand::orderDifference(curve.values, i, order)));
        if (d < -2048 || d > 2047) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int parameter = static_cast<std::int8_t>(data[0]);
    const std::wstring text(data + 1, data + size);
    for (const auto mode :
         {kestrand::CodecMode::Other, kestrand::CodecMode::Enc, kestrand::CodecMode::Cmp, kestrand::CodecMode::Hff}) {
        const auto curve = kestrand::decodePitchCodec(text, parameter, mode);
        if (!curve) continue;
        if (curve->values.empty() || curve->values.size() > kestrand::kMaxPitchCurveValues) __builtin_trap();
        const int order = kestrand::effectiveOrder(parameter);
        if (mode != kestrand::CodecMode::Hff && !differencesFit(*curve, order)) continue;
        const auto encoded = kestrand::encodePitchCodec(*curve, order, mode);
        if (!encoded) __builtin_trap();
        const auto again = kestrand::decodePitchCodec(*encoded, order, mode);
        if (!again || again->values != curve->values) __builtin_trap();
    }
    return 0;
}
