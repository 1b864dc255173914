// Files and folders by wide path.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrand {

// The separator that splits and joins paths on this system ("/" on POSIX, "\" on Windows).
#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

// The separator between the folders of a path list in an environment
// variable (";" on Windows, ":" elsewhere).
#ifdef _WIN32
inline constexpr wchar_t kPathListSeparator = L';';
#else
inline constexpr wchar_t kPathListSeparator = L':';
#endif

struct FileCloser {
    void operator()(std::FILE* file) const noexcept {
        if (file != nullptr) std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file by wide path with a stdio mode ("rb", "wb", ...). The name "nul"
// (exactly) is the null device on every system. Returns null on failure.
FilePtr openFile(const std::wstring& path, const char* mode);

// The length in bytes of an open file, its position left at the start;
// nothing when it cannot be told (a pipe). Right for files past 2 GiB on
// every build, including those whose `long` has 32 bits.
std::optional<std::uint64_t> openFileLength(std::FILE* file);

// True when something exists at the path.
bool fileExists(const std::wstring& path);

// True when the path names an existing regular file (links followed): not a
// folder, device or pipe.
bool isRegularFile(const std::wstring& path);

// True when the path is absolute: starts with "/" on POSIX; starts with a
// drive letter and a separator, or with two separators, on Windows.
bool isAbsolutePath(std::wstring_view path);

// The absolute form of an existing path with every link, "." and ".." resolved
// (on Windows also short names, the case the file system keeps, and the
// "\\?\" prefix removed), so that two names of one folder compare equal.
// Nothing when the path does not exist.
std::optional<std::wstring> canonicalPath(const std::wstring& path);

// True when two canonical paths are the same (ignoring case on Windows).
bool samePath(std::wstring_view a, std::wstring_view b);

// Creates one directory. True when it was created or already exists.
bool makeDirectory(const std::wstring& path);

// The current working folder, or nothing when it cannot be read.
std::optional<std::wstring> currentDirectory();

// Changes the current working folder; false on failure.
bool changeDirectory(const std::wstring& path);

// Renames a file, replacing the target if it exists; false on failure.
bool replaceFile(const std::wstring& from, const std::wstring& to);

// A name for a temporary file in the same folder as `path` (so that renaming
// it over `path` is atomic), unique to this process and call.
std::wstring temporarySiblingPath(const std::wstring& path);

// Removes a file; false on failure.
bool removeFile(const std::wstring& path);

// The time a file's contents last changed, in the system's own ticks
// (nanoseconds on POSIX, 100 ns on Windows): comparable with other times from
// this function on the same system only. Nothing when the file does not exist.
std::optional<std::int64_t> fileModifiedTime(const std::wstring& path);

struct FolderEntry {
    std::wstring name;      // the entry's name alone, without its folder
    bool isFolder = false;  // a folder to descend into (links to folders are not)
    bool isFile = false;    // a regular file, or a link to one
};

// The entries of a folder other than "." and "..", in no particular order.
// Nothing when the folder cannot be read.
std::optional<std::vector<FolderEntry>> listFolder(const std::wstring& path);

}  // namespace kestrand
