#include <windows.h>

#include <vector>

#include "platform/files.h"
#include "platform/program_folder.h"

namespace kestrand {

std::optional<std::wstring> programFolder() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return std::nullopt;
    const std::wstring program(buffer.data(), length);
    const std::size_t separator = program.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return std::nullopt;
    return canonicalPath(program.substr(0, separator + 1));
}

}  // namespace kestrand
