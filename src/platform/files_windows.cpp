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

bool isRegularFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool isAbsolutePath(std::wstring_view path) {
    const auto separator = [&](std::size_t i) { return i < path.size() && (path[i] == L'\\' || path[i] == L'/'); };
    const bool drive = path.size() >= 2 && path[1] == L':' &&
                       ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    return (drive && separator(2)) || (separator(0) && separator(1));
}

std::optional<std::wstring> canonicalPath(const std::wstring& path) {
    if (path.empty()) return std::nullopt;
    // Opening the file or folder itself (no access rights needed) lets the
    // system name it after links, short names and "..".
    HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<wchar_t> buffer(32768);
    const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    ::CloseHandle(handle);
    std::wstring result;
    if (length > 0 && length < buffer.size()) {
        result.assign(buffer.data(), length);
    } else {
        const DWORD full = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (full == 0 || full >= buffer.size()) return std::nullopt;
        result.assign(buffer.data(), full);
    }
    if (result.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + result.substr(8);
    if (result.rfind(L"\\\\?\\", 0) == 0) return result.substr(4);
    return result;
}

bool samePath(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
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
