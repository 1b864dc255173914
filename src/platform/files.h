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
// Reading modes ("rb", "r+b") open regular files only and never wait: a named
// pipe, device, socket or folder at the path gives null at once (see
// openInputFile for a reason to print).
FilePtr openFile(const std::wstring& path, const char* mode);

// What a path names, links followed. Asking never waits, whatever it names.
enum class FileKind { Missing, Regular, Folder, Pipe, Device, Socket, Other };

// The kind of what the path names (Missing when nothing is there or it
// cannot be examined).
FileKind fileKind(const std::wstring& path);

// A few words for messages: "a folder", "a named pipe", "a device",
// "a socket", "not a regular file", and "missing" / "a file" for the others.
const char* fileKindText(FileKind kind);

struct InputFile {
    FilePtr file;                       // open for binary reading, or null
    FileKind kind = FileKind::Missing;  // what the path names
};

// Opens an existing regular file for binary reading without ever waiting (an
// ordinary open of a named pipe waits for a writer, a terminal for input).
// Anything but a regular file is refused: `file` is null and `kind` says what
// the path names, for the caller's message. `file` is also null, with kind
// Regular, when a regular file cannot be opened (no permission).
InputFile openInputFile(const std::wstring& path);

// Creates a new file for binary writing ("wb"); null when anything of that
// name already exists or the file cannot be created.
FilePtr createNewFile(const std::wstring& path);

// Opens an existing device or named pipe for binary writing without waiting:
// a named pipe that no program reads from gives null at once (ENXIO) instead
// of blocking until a reader comes.
FilePtr openStreamForWriting(const std::wstring& path);

// The length in bytes of an open file, its position left at the start;
// nothing when it cannot be told (a pipe). Right for files past 2 GiB on
// every build, including those whose `long` has 32 bits.
std::optional<std::uint64_t> openFileLength(std::FILE* file);

// The read or write position of an open file, or nothing (a pipe); right
// past 2 GiB on every build.
std::optional<std::uint64_t> filePosition(std::FILE* file);

// Moves an open file to a position from its start; false when it cannot.
bool seekFile(std::FILE* file, std::uint64_t position);

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
// it over `path` is atomic), unique to this process and call: the folder part
// of `path` followed by ".kestrand-", this process's id and a number, each as
// 8 hex digits, and ".tmp" (31 characters, whatever the length of the name
// in `path`). Create it with createNewFile; leftovers of processes that died
// are removed by removeStaleTemporaryFiles.
std::wstring temporarySiblingPath(const std::wstring& path);

// The size the file system gives the folder of `path` (its listing's size,
// which grows with its entries on most systems); 0 when it tells none.
std::uint64_t folderListingBytes(const std::wstring& path);

// Removes the temporary files (named as by temporarySiblingPath) in the
// folder of `path` that processes which died left behind: those whose process
// no longer runs and that have not changed for 30 seconds, and any that have
// not changed for an hour (the process id may have been reused). Other names
// cost one comparison each; nothing is reported.
void removeStaleTemporaryFiles(const std::wstring& path);

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
