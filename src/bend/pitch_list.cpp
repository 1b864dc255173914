// Text-to-text pitch codec entries for tools.
#include <algorithm>
#include <cmath>
#include <cwchar>

#include "base/number_text.h"
#include "bend/pitch_codec.h"

namespace kestrand {

namespace {

// Copies a result into a caller's buffer the way a bounded string copy does:
// at most the buffer's size, zeros behind a shorter result.
std::size_t copyResult(std::wstring_view result, std::span<wchar_t> buffer) {
    const std::size_t copied = std::min(result.size(), buffer.size());
    std::copy_n(result.begin(), copied, buffer.begin());
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(copied), buffer.end(), L'\0');
    return result.size();
}

}  // namespace

std::size_t encodePitchList(std::wstring_view numbers, std::span<wchar_t> buffer, int parameter, CodecMode mode) {
    PitchCurve curve;
    std::size_t position = 0;
    while (curve.values.size() < kMaxPitchCurveValues) {
        std::size_t consumed = 0;
        const double value = parseDecimal(numbers.substr(position), &consumed);
        if (consumed == 0) break;
        position += consumed;
        const double rounded = std::clamp(std::floor(value + 0.5), -32768.0, 32767.0);
        curve.values.push_back(static_cast<std::int16_t>(rounded));
    }
    const auto text = encodePitchCodec(curve, parameter, mode);
    return copyResult(text ? std::wstring_view(*text) : std::wstring_view(), buffer);
}

std::size_t decodePitchList(std::wstring_view text, std::span<wchar_t> buffer, int parameter, CodecMode mode) {
    const auto curve = decodePitchCodec(text, parameter, mode);
    std::wstring result;
    if (curve) {
        for (std::size_t i = 0; i < curve->values.size(); ++i) {
            if (i > 0) result += L' ';
            result += std::to_wstring(curve->values[i]);
        }
    }
    return copyResult(result, buffer);
}

}  // namespace kestrand
