// The cmp value layer: pairs of small differences packed into one digit.
#include <algorithm>
#include <optional>

#include "bend/codec_stream.h"
#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"

namespace kestrand {

namespace {

// A three-bit two's complement number.
int signedThreeBits(int bits) { return bits >= 4 ? bits - 8 : bits; }

}  // namespace

std::vector<std::int16_t> decodeCmpValues(CharSource& source, int order) {
    std::vector<std::int16_t> values;
    Integrator integrator(values, order);
    wchar_t c = 0;
    while (!integrator.full() && source.next(c)) {
        const int e = pitchDigitValue(c);
        if (e >= 0) {
            integrator.push(signedThreeBits(e >> 3));
            integrator.push(signedThreeBits(e & 7));
        } else if (c == L'\'') {
            const int f = readDigit(source);
            if (f < 0) break;
            integrator.push(f < 32 ? f : f - 64);
        } else if (c == L'!') {
            const int f = readDigit(source);
            if (f < 0) break;
            integrator.push(bangCodeValue(f));
        } else if (c == L'@') {
            const int g = readDigit(source);
            const int h = g < 0 ? -1 : readDigit(source);
            if (h < 0) break;
            integrator.push(atCodeValue(g, h));
        } else {
            break;  // a character the layer does not know ends the text
        }
    }
    return values;
}

std::optional<PitchCurve> decodeCmp(std::wstring_view text, int order) {
    TextSource source(untilTerminator(text));
    PitchCurve curve{decodeCmpValues(source, order)};
    if (curve.values.empty()) return std::nullopt;
    return curve;
}

std::wstring cmpValueCode(int value) {
    const int v = std::clamp<int>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)), -2048, 2047);
    if (v >= -32 && v <= 31) return std::wstring{L'\'', pitchDigitChar(v)};
    return encValueCode(v);  // "!" and "@" codes are those of enc
}

std::optional<std::wstring> encodeCmp(const PitchCurve& curve, int order) {
    if (curve.values.empty()) return std::nullopt;
    std::wstring text;
    std::optional<int> pending;  // a small difference waiting for its partner
    const auto threeBits = [](int difference) { return difference < 0 ? difference + 8 : difference; };
    for (std::size_t i = 0; i < curve.values.size(); ++i) {
        const std::int32_t difference = orderDifference(curve.values, i, order);
        if (difference >= -4 && difference <= 3) {
            if (pending) {
                text += pitchDigitChar(8 * threeBits(*pending) + threeBits(difference));
                pending.reset();
            } else {
                pending = difference;
            }
            continue;
        }
        // The pending difference itself goes to the value code, not its
        // three-bit form, which would read back as a different number.
        if (pending) text += cmpValueCode(*pending);
        pending.reset();
        text += cmpValueCode(difference);
    }
    if (pending) text += cmpValueCode(*pending);
    return text;
}

}  // namespace kestrand
