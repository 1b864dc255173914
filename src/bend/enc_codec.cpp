// The enc value layer: one difference per code, runs of zeros as "$" and "#".
#include <algorithm>

#include "bend/codec_stream.h"
#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"
#include "platform/console.h"

namespace kestrand {

namespace {

bool pushZeros(Integrator& integrator, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!integrator.push(0)) return false;
    }
    return true;
}

}  // namespace

std::vector<std::int16_t> decodeEncValues(CharSource& source, int order) {
    std::vector<std::int16_t> values;
    Integrator integrator(values, order);
    wchar_t c = 0;
    while (!integrator.full() && source.next(c)) {
        const int e = pitchDigitValue(c);
        if (e >= 0) {
            integrator.push(e < 32 ? e : e - 64);
        } else if (c == L'!') {
            const int f = readDigit(source);
            if (f < 0) break;
            integrator.push(bangCodeValue(f));
        } else if (c == L'@') {
            wchar_t first = 0;
            if (!source.next(first)) break;
            const int g = pitchDigitValue(first);
            if (g < 0) continue;  // skipped together with the stranger after it
            const int h = readDigit(source);
            if (h < 0) break;
            integrator.push(atCodeValue(g, h));
        } else if (c == L'$') {
            const int f = readDigit(source);
            if (f < 0) break;
            pushZeros(integrator, static_cast<std::size_t>(f) + 3);
        } else if (c == L'#') {
            const int f = readDigit(source);
            const int h = f < 0 ? -1 : readDigit(source);
            if (h < 0) break;
            pushZeros(integrator, static_cast<std::size_t>(f + 64 * h + 67));
        }
        // Any other character is ignored.
    }
    return values;
}

std::optional<PitchCurve> decodeEnc(std::wstring_view text, int order) {
    TextSource source(untilTerminator(text));
    PitchCurve curve{decodeEncValues(source, order)};
    if (curve.values.empty()) return std::nullopt;
    return curve;
}

std::wstring encValueCode(int value) {
    const int v = std::clamp<int>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)), -2048, 2047);
    if (v >= -32 && v <= 31) return std::wstring(1, pitchDigitChar(v));
    if (v >= 32 && v <= 63) return std::wstring{L'!', pitchDigitChar(v - 32)};
    if (v >= -64 && v <= -33) return std::wstring{L'!', pitchDigitChar(v + 96)};
    const int w = (v > 0 ? v - 64 : v + 64) & 4095;
    return std::wstring{L'@', pitchDigitChar(w), pitchDigitChar(w >> 6)};
}

std::optional<std::wstring> encpitch(const PitchCurve& curve, int order) {
    if (order > 4) {
        printErr("encpitch: Argument 2 ist anomal.\n");
        return std::nullopt;
    }
    if (curve.values.empty()) return std::nullopt;
    std::wstring text;
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < curve.values.size(); ++i) {
        const auto difference =
            static_cast<std::int16_t>(static_cast<std::uint16_t>(orderDifference(curve.values, i, order)));
        if (difference == 0) {
            ++zeros;
            continue;
        }
        appendRunCode(text, zeros);
        zeros = 0;
        text += encValueCode(difference);
    }
    appendRunCode(text, zeros);
    return text;
}

}  // namespace kestrand
