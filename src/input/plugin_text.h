// Splitting a plug-in input text into the module path and the module's argument.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrand {

struct PluginInput {
    std::wstring modulePath;  // ends in ".dll", without surrounding quotes
    std::wstring argument;    // what the module is asked for
};

// The text is a module path, ".dll ", and the argument; the module path may
// also be written in double quotes (".dll" followed by a quote and a blank).
// The first such marker splits the text. A ".wav" or ".aiff" extension of the
// argument (any case) is cut off, other extensions stay; blanks at the start
// of the argument are skipped. Nothing when the text has no marker.
std::optional<PluginInput> splitPluginInput(std::wstring_view text);

}  // namespace kestrand
