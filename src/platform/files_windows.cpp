#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/long_path.h"
#include "platform/process.h"
#include "platform/temporary_name.h"
#include "platform/text.h"
#include "platform/whole_file.h"

namespace kestrand {

// Every path below goes through longPathForm, so that absolute paths past the
// classic length limit work (the programs declare themselves long-path aware
// in their manifest as well).

namespace {

thread_local std::string lastError;

void noteErrno(int error) { lastError = std::generic_category().message(error); }

// Keeps the system's text of the error and sets errno to the C library's
// number for it, so that callers that explain a failure from errno (a
// read-only folder, a missing folder, a name too long, a full disk) say the
// same on Windows as elsewhere.
void noteSystemError(DWORD error) {
    lastError = std::system_category().message(static_cast<int>(error));
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE: errno = ENOENT; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: errno = EACCES; break;
        case ERROR_FILENAME_EXCED_RANGE: errno = ENAMETOOLONG; break;
        // What the system says of a name part longer than the file system
        // takes, and of characters it does not allow.
        case ERROR_INVALID_NAME: errno = EINVAL; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS: errno = EEXIST; break;
        default: errno = EIO; break;
    }
}

// Turns an open handle into a stdio stream; the handle is closed on failure.
FilePtr streamOf(HANDLE handle, int flags, const char* mode) {
    const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), flags);
    if (fd < 0) {
        noteErrno(errno);
        ::CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = ::_fdopen(fd, mode);
    if (file == nullptr) {
        noteErrno(errno);
        ::_close(fd);
    }
    return FilePtr(file);
}

FileKind kindOfHandle(HANDLE handle) {
    switch (::GetFileType(handle)) {
        case FILE_TYPE_DISK: {
            BY_HANDLE_FILE_INFORMATION information{};
            if (::GetFileInformationByHandle(handle, &information) &&
                (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                return FileKind::Folder;
            }
            return FileKind::Regular;
        }
        case FILE_TYPE_CHAR: return FileKind::Device;
        case FILE_TYPE_PIPE: return FileKind::Pipe;
        default: return FileKind::Other;
    }
}

// Opens a regular file for reading (and writing when the mode has "+"),
// sharing it with readers, writers and renames, so that a list or note
// replaced by another process while it is read is no obstacle. Devices
// (CON, COM1), pipes and folders are refused by the open file's type.
InputFile openRegular(const std::wstring& path, const char* mode) {
    InputFile result;
    const bool update = std::strchr(mode, '+') != nullptr;
    HANDLE handle = ::CreateFileW(longPathForm(path).c_str(), GENERIC_READ | (update ? GENERIC_WRITE : 0),
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        noteSystemError(::GetLastError());
        result.kind = fileKind(path);
        return result;
    }
    result.kind = kindOfHandle(handle);
    if (result.kind != FileKind::Regular) {
        noteErrno(EINVAL);
        ::CloseHandle(handle);
        return result;
    }
    const int flags = (update ? _O_RDWR : _O_RDONLY) | (std::strchr(mode, 'b') != nullptr ? _O_BINARY : _O_TEXT);
    result.file = streamOf(handle, flags, mode);
    return result;
}

std::int64_t fileTimeTicks(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

}  // namespace

FilePtr openFile(const std::wstring& path, const char* mode) {
    if (path.empty()) return nullptr;
    if (mode[0] == 'r' && path != L"nul") return openRegular(path, mode).file;
    const std::wstring wideMode = widen(mode);
    std::FILE* file = _wfopen(longPathForm(path).c_str(), wideMode.c_str());
    if (file == nullptr) noteErrno(errno);
    return FilePtr(file);
}

FilePtr openStreamForWriting(const std::wstring& path) {
    // Devices and pipes take no long-path form; opening them does not wait.
    std::FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) noteErrno(errno);
    return FilePtr(file);
}

FileKind fileKind(const std::wstring& path) {
    if (path.empty()) return FileKind::Missing;
    // Opening with no access rights reads nothing and never waits; backup
    // semantics let it open folders too.
    HANDLE handle = ::CreateFileW(longPathForm(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD attributes = ::GetFileAttributesW(longPathForm(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder : FileKind::Other;
    }
    const FileKind kind = kindOfHandle(handle);
    ::CloseHandle(handle);
    return kind;
}

InputFile openInputFile(const std::wstring& path) {
    if (path.empty()) return {};
    return openRegular(path, "rb");
}

FilePtr createNewFile(const std::wstring& path) {
    // Not shared for deletion: no other process can remove it while it is written.
    HANDLE handle = ::CreateFileW(longPathForm(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        noteSystemError(::GetLastError());
        return nullptr;
    }
    return streamOf(handle, _O_WRONLY | _O_BINARY, "wb");
}

std::optional<std::uint64_t> openFileLength(std::FILE* file) {
    if (::_fseeki64(file, 0, SEEK_END) != 0) return std::nullopt;
    const __int64 length = ::_ftelli64(file);
    if (length < 0 || ::_fseeki64(file, 0, SEEK_SET) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(length);
}

std::optional<std::uint64_t> filePosition(std::FILE* file) {
    const __int64 position = ::_ftelli64(file);
    if (position < 0) return std::nullopt;
    return static_cast<std::uint64_t>(position);
}

bool seekFile(std::FILE* file, std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(INT64_MAX)) return false;
    return ::_fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
}

bool fileExists(const std::wstring& path) {
    return ::GetFileAttributesW(longPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isRegularFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(longPathForm(path).c_str());
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
    const DWORD error = ::GetLastError();
    noteSystemError(error);
    return error == ERROR_ALREADY_EXISTS;
}

std::optional<std::wstring> currentDirectory() {
    std::vector<wchar_t> buffer(32768);
    if (_wgetcwd(buffer.data(), static_cast<int>(buffer.size())) == nullptr) return std::nullopt;
    return std::wstring(buffer.data());
}

bool changeDirectory(const std::wstring& path) { return _wchdir(path.c_str()) == 0; }

bool replaceFile(const std::wstring& from, const std::wstring& to) {
    if (::MoveFileExW(longPathForm(from).c_str(), longPathForm(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    noteSystemError(::GetLastError());
    return false;
}

bool removeFile(const std::wstring& path) { return ::DeleteFileW(longPathForm(path).c_str()) != 0; }

std::optional<std::int64_t> fileModifiedTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(longPathForm(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return fileTimeTicks(data.ftLastWriteTime);
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

std::uint64_t folderListingBytes(const std::wstring& path) {
    // NTFS gives folders no size; the search below is filtered by the system.
    const std::wstring prefix = folderPrefix(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(longPathForm(prefix.empty() ? L"." : prefix).c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void removeStaleTemporaryFiles(const std::wstring& path) {
    const std::wstring prefix = folderPrefix(path);
    // The system matches the pattern, so other names cost nothing here.
    const std::wstring pattern = prefix + std::wstring(kTemporaryPrefix) + L"*" + std::wstring(kTemporarySuffix);
    WIN32_FIND_DATAW found{};
    HANDLE handle = ::FindFirstFileW(longPathForm(pattern).c_str(), &found);
    if (handle == INVALID_HANDLE_VALUE) return;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
        const std::optional<std::uint32_t> process = temporaryFileProcess(found.cFileName);
        if (!process) continue;
        const std::int64_t ageSeconds = (fileTimeTicks(now) - fileTimeTicks(found.ftLastWriteTime)) / 10000000;
        if (isStaleTemporaryFile(processRuns(*process), ageSeconds)) {
            ::DeleteFileW(longPathForm(prefix + found.cFileName).c_str());
        }
    } while (::FindNextFileW(handle, &found));
    ::FindClose(handle);
}

bool writeAllBytes(std::FILE* file, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return true;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size()) return true;
    noteErrno(errno != 0 ? errno : EIO);
    return false;
}

bool flushFile(std::FILE* file, Durability durability) {
    errno = 0;
    if (std::fflush(file) != 0 || std::ferror(file) != 0) {
        noteErrno(errno != 0 ? errno : EIO);
        return false;
    }
    if (durability == Durability::Durable) {
        const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
        if (handle == INVALID_HANDLE_VALUE || !::FlushFileBuffers(handle)) {
            noteSystemError(::GetLastError());
            return false;
        }
    }
    return true;
}

bool closeFile(FilePtr file, Durability durability) {
    if (!file) return false;
    const bool flushed = flushFile(file.get(), durability);
    errno = 0;
    if (std::fclose(file.release()) != 0) {
        if (flushed) noteErrno(errno != 0 ? errno : EIO);
        return false;
    }
    return flushed;
}

// Renames are made with write-through (replaceFile), so the folder needs nothing more.
bool syncFolderOf(const std::wstring&) { return true; }

std::string lastFileError() { return lastError; }

void ignoreFileSizeLimitSignal() {}

FileResult writeStandardOutput(std::span<const std::uint8_t> bytes) {
    std::fflush(stdout);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    if (writeAllBytes(stdout, bytes) && flushFile(stdout, Durability::Cache)) return {};
    return FileResult{false, lastFileError()};
}

}  // namespace kestrand
