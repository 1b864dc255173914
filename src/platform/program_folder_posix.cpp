#include <unistd.h>

#include <vector>

#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/text.h"

namespace kestrand {

std::optional<std::wstring> programFolder() {
    // The kernel's link to the program file is already free of other links.
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
    const std::wstring program = widen(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
    const std::size_t separator = program.rfind(L'/');
    if (separator == std::wstring::npos) return std::nullopt;
    return canonicalPath(separator == 0 ? L"/" : program.substr(0, separator));
}

}  // namespace kestrand
