#include "input/input_text.h"

namespace kestrand {

namespace {

wchar_t asciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

std::optional<std::wstring_view> lastExtension(std::wstring_view text) {
    const std::size_t dot = text.rfind(L'.');
    if (dot == std::wstring_view::npos) return std::nullopt;
    return text.substr(dot);
}

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

bool endsWithIgnoringCase(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

bool hasExtension(std::wstring_view text, std::wstring_view extension) {
    const auto found = lastExtension(text);
    return found && equalsIgnoringCase(*found, extension);
}

}  // namespace kestrand
