// The host's standard pitch-bend text: two base64 digits per value (twelve-bit
// two's complement, high digit first) and "#n#" runs that repeat the last value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pitch/pitch_curve.h"

namespace kestrand {

// The 64-character base64 alphabet every pitch text uses.
inline constexpr std::wstring_view kPitchAlphabet =
    L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Six-bit value of an alphabet character, -1 for any other character.
int pitchDigitValue(wchar_t c);
// Six-bit value of an alphabet character, 0 for any other character.
int pitchDigitValueOrZero(wchar_t c);
// Two-character code of v (twelve low bits, high digit first).
std::wstring pitchCodePair(int value);
// The one character of the low six bits of v.
std::wstring pitchCodeChar(int value);

// Appends a suffix to a text that may be absent; an empty suffix leaves it as it is.
std::optional<std::wstring> appendText(std::optional<std::wstring> text, std::wstring_view suffix);

// 0.625 / tempo x sampleRate + 0.5 (the caller truncates).
double samplesPerPitchStep(double tempo, double sampleRate);

// Decodes a standard pitch text. An empty text gives no curve; decoding stops
// at kMaxPitchCurveValues values.
std::optional<PitchCurve> decodePitchBend(std::wstring_view text);

// The exact inverse of decodePitchBend; no text for an empty curve.
std::optional<std::wstring> encodePitchBend(const PitchCurve& curve);

}  // namespace kestrand
