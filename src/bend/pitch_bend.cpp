#include "bend/pitch_bend.h"

#include <algorithm>
#include <cstdio>

#include "base/number_text.h"

namespace kestrand {

std::optional<PitchCurve> decodePitchBend(std::wstring_view input) {
    const std::wstring_view text = untilTerminator(input);
    PitchCurve curve;
    std::int16_t last = 0;
    std::size_t pos = 0;
    while (pos < text.size() && curve.values.size() < kMaxPitchCurveValues) {
        if (text[pos] == L'#') {
            // "#n#": n more copies of the last value. The closing "#" is skipped
            // without being checked; with no digits the walk resumes two further on.
            std::size_t consumed = 0;
            const std::int32_t count = parseInteger(text.substr(pos + 1), &consumed);
            if (count > 0) {
                const std::size_t room = kMaxPitchCurveValues - curve.values.size();
                curve.values.insert(curve.values.end(), std::min<std::size_t>(static_cast<std::size_t>(count), room),
                                    last);
            }
            pos += consumed + 2;
            continue;
        }
        // A pair of digits; the character after the last one of an odd-length
        // text is the terminator, which counts as digit 0 like every other stranger.
        const int high = pitchDigitValueOrZero(text[pos]);
        const int low = pos + 1 < text.size() ? pitchDigitValueOrZero(text[pos + 1]) : 0;
        int value = 64 * high + low;
        if (value > 2047) value -= 4096;
        last = static_cast<std::int16_t>(value);
        curve.values.push_back(last);
        pos += 2;
    }
    if (curve.values.empty()) return std::nullopt;
    return curve;
}

std::optional<std::wstring> encodePitchBend(const PitchCurve& curve) {
    std::optional<std::wstring> text;
    std::size_t repeats = 0;
    std::int16_t previous = 0;
    const auto flush = [&] {
        if (repeats == 1) {
            text = appendText(std::move(text), pitchCodePair(previous));
        } else if (repeats >= 2) {
            wchar_t run[32];
            std::swprintf(run, 32, L"#%zu#", repeats);
            text = appendText(std::move(text), run);
        }
        repeats = 0;
    };
    for (std::size_t i = 0; i < curve.values.size(); ++i) {
        const std::int16_t value = curve.values[i];
        if (i > 0 && value == previous) {
            ++repeats;
            continue;
        }
        flush();
        text = appendText(std::move(text), pitchCodePair(value));
        previous = value;
    }
    flush();
    return text;
}

}  // namespace kestrand
