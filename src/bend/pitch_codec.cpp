#include "bend/pitch_codec.h"

#include "bend/codec_stream.h"
#include "bend/hff_codec.h"
#include "bend/pitch_bend.h"

namespace kestrand {

std::optional<PitchCurve> decodePitchCodec(std::wstring_view text, int parameter, CodecMode codec) {
    // The outer layers expand lazily: the value layer pulls characters only
    // until it has decoded as many values as a curve can hold.
    TextSource source(untilTerminator(text));
    CopyExpander copies(source);
    RunExpander runs(copies);
    PitchCurve curve;
    switch (codec) {
        case CodecMode::Cmp: curve.values = decodeCmpValues(runs, parameter); break;
        case CodecMode::Hff: curve.values = decodeHffValues(runs, parameter < 0 ? 0 : parameter); break;
        default: curve.values = decodeEncValues(runs, parameter); break;
    }
    if (curve.values.empty()) return std::nullopt;
    return curve;
}

std::optional<std::wstring> encodePitchCodec(const PitchCurve& curve, int parameter, CodecMode codec) {
    std::optional<std::wstring> values;
    switch (codec) {
        case CodecMode::Cmp: values = encodeCmp(curve, parameter); break;
        case CodecMode::Hff: values = encodeHff(curve, parameter); break;
        default: values = encpitch(curve, parameter); break;
    }
    if (!values) return std::nullopt;
    const auto runs = packRuns(*values);
    if (!runs) return std::nullopt;
    return packCopies(*runs);
}

}  // namespace kestrand
