// Files and folders by wide path.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrand {

// The separator that splits and joins paths on this system ("/" on POSIX, "\" on Windows).
#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
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
