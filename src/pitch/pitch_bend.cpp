#include "pitch/pitch_bend.h"

namespace kestrand {

int pitchDigitValue(wchar_t) { return -1; }
int pitchDigitValueOrZero(wchar_t) { return 0; }
std::wstring pitchCodePair(int) { return {}; }
std::wstring pitchCodeChar(int) { return {}; }
std::optional<std::wstring> appendText(std::optional<std::wstring> text, std::wstring_view) { return text; }
double samplesPerPitchStep(double, double) { return 0.0; }
std::optional<PitchCurve> decodePitchBend(std::wstring_view) { return std::nullopt; }
std::optional<std::wstring> encodePitchBend(const PitchCurve&) { return std::nullopt; }

}  // namespace kestrand
