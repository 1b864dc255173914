#include <direct.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

FilePtr openFile(const std::wstring& path, const char* mode) {
    if (path.empty()) return nullptr;
    const std::wstring wideMode = widen(mode);
    return FilePtr(_wfopen(path.c_str(), wideMode.c_str()));
}

std::optional<std::uint64_t> openFileLength(std::FILE* file) {
    if (::_fseeki64(file, 0, SEEK_END) != 0) return std::nullopt;
    const __int64 length = ::_ftelli64(file);
    if (length < 0 || ::_fseeki64(file, 0, SEEK_SET) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(length);
}

bool fileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool makeDirectory(const std::wstring& path) {
    if (_wmkdir(path.c_str()) == 0) return true;
    return errno == EEXIST;
}

std::optional<std::wstring> currentDirectory() {
    std::vector<wchar_t> buffer(32768);
    if (_wgetcwd(buffer.data(), static_cast<int>(buffer.size())) == nullptr) return std::nullopt;
    return std::wstring(buffer.data());
}

bool changeDirectory(const std::wstring& path) { return _wchdir(path.c_str()) == 0; }

bool replaceFile(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::wstring& path) { return _wremove(path.c_str()) == 0; }

}  // namespace kestrand
