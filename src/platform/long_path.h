// Windows path names beyond the classic length limit.
#pragma once

#include <cstddef>
#include <string>

namespace kestrand {

// Paths this long or longer are handed to Windows in the long form. Folders
// are limited to 247 characters and files to 259 in the classic form.
inline constexpr std::size_t kLongPathThreshold = 248;

// The form of a path that Windows' file functions accept at any length: an
// absolute drive path "C:\a\..." becomes "\\?\C:\a\...", a network path
// "\\server\share\..." becomes "\\?\UNC\server\share\...". The long form is
// taken literally by Windows, so the path is normalised first: "/" becomes
// "\", repeated separators collapse, "." parts are dropped and ".." parts
// remove the part before them (never the drive or share). Paths shorter than
// kLongPathThreshold, relative paths, and paths already in a "\\?\" or "\\.\"
// form are returned unchanged. A pure function, so it is tested on every system.
std::wstring longPathForm(const std::wstring& path);

}  // namespace kestrand
