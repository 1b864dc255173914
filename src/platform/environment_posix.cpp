#include <cstdlib>

#include "platform/environment.h"
#include "platform/text.h"

namespace kestrand {

std::optional<std::wstring> getEnvironment(const std::wstring& name) {
    const char* value = std::getenv(narrow(name).c_str());
    if (value == nullptr) return std::nullopt;
    return widen(value);
}

}  // namespace kestrand
