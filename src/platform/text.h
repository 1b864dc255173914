// Wide text to and from the operating system's own encoding.
// On POSIX systems arguments, environment values and file names are UTF-8;
// on Windows they are UTF-16 and these conversions are used only for console
// bytes and for narrow texts handed to other code.
#pragma once

#include <string>
#include <string_view>

namespace kestrand {

// UTF-8 bytes in, wide text out. Malformed sequences become U+FFFD.
std::wstring widen(std::string_view utf8);

// Wide text in, UTF-8 bytes out. Unpaired surrogates become U+FFFD.
std::string narrow(std::wstring_view wide);

// The number of characters (Unicode code points) in wide text: a surrogate
// pair on Windows counts once. Length limits on texts count this, never
// bytes or UTF-16 units.
std::size_t characterCount(std::wstring_view wide);

// Wide text in, the narrow text that a loaded module or a command processor
// expects out (UTF-8 on POSIX, the ANSI code page on Windows).
std::string narrowForSystem(std::wstring_view wide);

}  // namespace kestrand
