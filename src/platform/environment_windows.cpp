#include <cstdlib>

#include "platform/environment.h"

namespace kestrand {

std::optional<std::wstring> getEnvironment(const std::wstring& name) {
    const wchar_t* value = _wgetenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::wstring(value);
}

}  // namespace kestrand
