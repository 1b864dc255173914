#include <direct.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/files.h"
#include "platform/long_path.h"
#include "platform/text.h"

namespace kestrand {

// Every path below goes through longPathForm, so that absolute paths past the
// classic length limit work (the programs declare themselves long-path aware
// in their manifest as well).

FilePtr openFile(const std::wstring& path, const char* mode) {
    if (path.empty()) return nullptr;
    const std::wstring wideMode = widen(mode);
    return FilePtr(_wfopen(longPathForm(path).c_str(), wideMode.c_str()));
}

std::optional<std::uint64_t> openFileLength(std::FILE* file) {
    if (::_fseeki64(file, 0, SEEK_END) != 0) return std::nullopt;
    const __int64 length = ::_ftelli64(file);
    if (length < 0 || ::_fseeki64(file, 0, SEEK_SET) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(length);
}

bool fileExists(const std::wstring& path) {
    return ::GetFileAttributesW(longPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool makeDirectory(const std::wstring& path) {
    if (::CreateDirectoryW(longPathForm(path).c_str(), nullptr)) return true;
    return ::GetLastError() == ERROR_ALREADY_EXISTS;
}

std::optional<std::wstring> currentDirectory() {
    std::vector<wchar_t> buffer(32768);
    if (_wgetcwd(buffer.data(), static_cast<int>(buffer.size())) == nullptr) return std::nullopt;
    return std::wstring(buffer.data());
}

bool changeDirectory(const std::wstring& path) { return _wchdir(path.c_str()) == 0; }

bool replaceFile(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(longPathForm(from).c_str(), longPathForm(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::wstring& path) { return ::DeleteFileW(longPathForm(path).c_str()) != 0; }

std::optional<std::int64_t> fileModifiedTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(longPathForm(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                     data.ftLastWriteTime.dwLowDateTime);
}

std::optional<std::vector<FolderEntry>> listFolder(const std::wstring& path) {
    std::wstring pattern = path;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    HANDLE handle = ::FindFirstFileW(longPathForm(pattern).c_str(), &found);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<FolderEntry> entries;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        FolderEntry entry;
        entry.name = name;
        const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // Links to folders (junctions, symbolic links) are not followed, so
        // that a loop of links cannot trap the walk.
        entry.isFolder = folder && !link;
        entry.isFile = !folder && (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
        entries.push_back(std::move(entry));
    } while (::FindNextFileW(handle, &found));
    ::FindClose(handle);
    return entries;
}

}  // namespace kestrand
