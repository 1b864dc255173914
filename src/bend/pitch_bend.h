// The host's standard pitch-bend text: two base64 digits per value (twelve-bit
// two's complement, high digit first) and "#n#" runs that repeat the last value.
// Also the small alphabet routines every pitch-text codec shares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bend/pitch_curve.h"

namespace kestrand {

// The 64-character base64 alphabet every pitch text uses.
inline constexpr std::wstring_view kPitchAlphabet = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Six-bit value of an alphabet character, -1 for any other character.
int pitchDigitValue(wchar_t c);
// Six-bit value of an alphabet character, 0 for any other character.
int pitchDigitValueOrZero(wchar_t c);
// Two-character code of a value: the digit of bits 6 to 11, then that of bits 0 to 5.
std::wstring pitchCodePair(int value);
// The one alphabet character of the low six bits of a value.
std::wstring pitchCodeChar(int value);
// The alphabet character of the low six bits of a value.
wchar_t pitchDigitChar(int value);

// Appends a suffix to a text that may be absent and returns the grown text. An
// empty suffix returns the text as it is (still absent when it was absent).
std::optional<std::wstring> appendText(std::optional<std::wstring> text, std::wstring_view suffix);

// Samples per pitch step (1/96 beat): 0.625 / tempo x sampleRate + 0.5, which
// the caller truncates. The caller handles a tempo that is not positive.
double samplesPerPitchStep(double tempo, double sampleRate);

// The part of a text before its first zero character (texts from C-style
// sources end there).
std::wstring_view untilTerminator(std::wstring_view text);

// Decodes a standard pitch text into a curve. An empty text, or one that yields
// no value, gives no curve; decoding stops at kMaxPitchCurveValues values.
// Characters outside the alphabet count as digit 0; a "#n#" run repeats the last
// value n times.
std::optional<PitchCurve> decodePitchBend(std::wstring_view text);

// The exact inverse of decodePitchBend (values are written modulo 4096); no text
// for an empty curve.
std::optional<std::wstring> encodePitchBend(const PitchCurve& curve);

}  // namespace kestrand
