// Small text tests shared by the input loaders and the loader choice.
#pragma once

#include <optional>
#include <string_view>

namespace kestrand {

// The text from the last "." to the end ("a.b.WAV" -> ".WAV"), or nothing when
// the text has no ".".
std::optional<std::wstring_view> lastExtension(std::wstring_view text);

// True when both texts are equal, ASCII letters compared without regard to case.
bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b);

// True when the text ends with `suffix`, ASCII letters compared without regard to case.
bool endsWithIgnoringCase(std::wstring_view text, std::wstring_view suffix);

// True when the last extension of the text is one of the given ones (ignoring case).
bool hasExtension(std::wstring_view text, std::wstring_view extension);

}  // namespace kestrand
