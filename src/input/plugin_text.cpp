#include "input/plugin_text.h"

#include "input/input_text.h"

namespace kestrand {

std::optional<PluginInput> splitPluginInput(std::wstring_view text) {
    const std::size_t plain = text.find(L".dll ");
    const std::size_t quoted = text.find(L".dll\" ");
    if (plain == std::wstring_view::npos && quoted == std::wstring_view::npos) return std::nullopt;
    const bool isQuoted = quoted < plain;
    const std::size_t at = isQuoted ? quoted : plain;

    PluginInput input;
    std::wstring_view module = text.substr(0, at + 4);
    if (isQuoted && !module.empty() && module.front() == L'"') module.remove_prefix(1);
    input.modulePath = std::wstring(module);

    std::wstring_view argument = text.substr(at + (isQuoted ? 6 : 5));
    if (const auto extension = lastExtension(argument)) {
        if (equalsIgnoringCase(*extension, L".wav") || equalsIgnoringCase(*extension, L".aiff")) {
            argument.remove_suffix(extension->size());
        }
    }
    while (!argument.empty() && argument.front() == L' ') argument.remove_prefix(1);
    input.argument = std::wstring(argument);
    return input;
}

}  // namespace kestrand
