#include "bend/pitch_bend.h"

namespace kestrand {

int pitchDigitValue(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return c - L'A';
    if (c >= L'a' && c <= L'z') return c - L'a' + 26;
    if (c >= L'0' && c <= L'9') return c - L'0' + 52;
    if (c == L'+') return 62;
    if (c == L'/') return 63;
    return -1;
}

int pitchDigitValueOrZero(wchar_t c) {
    const int value = pitchDigitValue(c);
    return value < 0 ? 0 : value;
}

wchar_t pitchDigitChar(int value) { return kPitchAlphabet[static_cast<unsigned>(value) & 63u]; }

std::wstring pitchCodePair(int value) {
    const unsigned bits = static_cast<unsigned>(value);
    return std::wstring{pitchDigitChar(static_cast<int>(bits >> 6)), pitchDigitChar(static_cast<int>(bits))};
}

std::wstring pitchCodeChar(int value) { return std::wstring(1, pitchDigitChar(value)); }

std::optional<std::wstring> appendText(std::optional<std::wstring> text, std::wstring_view suffix) {
    if (suffix.empty()) return text;
    if (!text) return std::wstring(suffix);
    text->append(suffix);
    return text;
}

double samplesPerPitchStep(double tempo, double sampleRate) { return 0.625 / tempo * sampleRate + 0.5; }

std::wstring_view untilTerminator(std::wstring_view text) {
    const std::size_t end = text.find(L'\0');
    return end == std::wstring_view::npos ? text : text.substr(0, end);
}

}  // namespace kestrand
