#include <windows.h>

#include "platform/text.h"

namespace kestrand {

// Modules and the command processor take the ANSI code page's text.
std::string narrowForSystem(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr,
                              nullptr);
    }
    return out;
}

}  // namespace kestrand
