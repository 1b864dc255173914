#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/temporary_name.h"
#include "platform/text.h"
#include "platform/whole_file.h"

namespace kestrand {

namespace {

thread_local std::string lastError;

void noteError(int error) { lastError = std::generic_category().message(error); }

std::string systemPath(const std::wstring& path) {
    if (path == L"nul") return "/dev/null";
    return narrow(path);
}

FileKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Folder;
    if (S_ISFIFO(mode)) return FileKind::Pipe;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
    if (S_ISSOCK(mode)) return FileKind::Socket;
    return FileKind::Other;
}

FileKind kindAt(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? kindOfMode(info.st_mode) : FileKind::Missing;
}

// Opens a regular file for reading (or reading and writing when the mode has
// "+"). The open itself does not wait (O_NONBLOCK), and the open file's own
// type decides, so a name swapped for a pipe in between changes nothing.
InputFile openRegular(const std::string& path, const char* mode) {
    InputFile result;
    const bool update = std::strchr(mode, '+') != nullptr;
    const int fd = ::open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        noteError(errno);
        result.kind = kindAt(path);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        noteError(errno);
        ::close(fd);
        return result;
    }
    result.kind = kindOfMode(info.st_mode);
    if (result.kind != FileKind::Regular) {
        noteError(result.kind == FileKind::Folder ? EISDIR : EINVAL);
        ::close(fd);
        return result;
    }
    // Reads of a regular file never wait anyway; the flag goes so that the
    // stream behaves exactly as one from fopen.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, mode);
    if (file == nullptr) {
        noteError(errno);
        ::close(fd);
        return result;
    }
    result.file.reset(file);
    return result;
}

std::int64_t secondsSince(const struct timespec& then) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) - static_cast<std::int64_t>(then.tv_sec);
}

// A stdio stream for binary writing on an open descriptor; the descriptor is
// closed when that fails.
FilePtr writingStreamOf(int fd) {
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        noteError(errno);
        ::close(fd);
    }
    return FilePtr(file);
}

}  // namespace

FilePtr openFile(const std::wstring& path, const char* mode) {
    if (path.empty()) return nullptr;
    if (mode[0] == 'r' && path != L"nul") return openRegular(systemPath(path), mode).file;
    std::FILE* file = std::fopen(systemPath(path).c_str(), mode);
    if (file == nullptr) noteError(errno);
    return FilePtr(file);
}

FileKind fileKind(const std::wstring& path) {
    if (path.empty()) return FileKind::Missing;
    return kindAt(systemPath(path));
}

InputFile openInputFile(const std::wstring& path) {
    if (path.empty()) return {};
    return openRegular(narrow(path), "rb");
}

FilePtr createNewFile(const std::wstring& path) {
    const int fd = ::open(systemPath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        noteError(errno);
        return nullptr;
    }
    return writingStreamOf(fd);
}

FilePtr openStreamForWriting(const std::wstring& path) {
    const int fd = ::open(systemPath(path).c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        noteError(errno);
        return nullptr;
    }
    // Writes wait for the reader again once it is there.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        noteError(errno);
        ::close(fd);
        return nullptr;
    }
    return writingStreamOf(fd);
}

std::optional<std::uint64_t> openFileLength(std::FILE* file) {
    if (::fseeko(file, 0, SEEK_END) != 0) return std::nullopt;
    const off_t length = ::ftello(file);
    if (length < 0 || ::fseeko(file, 0, SEEK_SET) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(length);
}

std::optional<std::uint64_t> filePosition(std::FILE* file) {
    const off_t position = ::ftello(file);
    if (position < 0) return std::nullopt;
    return static_cast<std::uint64_t>(position);
}

bool seekFile(std::FILE* file, std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(INT64_MAX)) return false;
    return ::fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

bool fileExists(const std::wstring& path) {
    struct stat info {};
    return ::stat(systemPath(path).c_str(), &info) == 0;
}

bool isRegularFile(const std::wstring& path) {
    struct stat info {};
    return ::stat(systemPath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isAbsolutePath(std::wstring_view path) { return !path.empty() && path[0] == L'/'; }

std::optional<std::wstring> canonicalPath(const std::wstring& path) {
    if (path.empty()) return std::nullopt;
    char* resolved = ::realpath(narrow(path).c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    std::wstring result = widen(resolved);
    std::free(resolved);
    return result;
}

bool samePath(std::wstring_view a, std::wstring_view b) { return a == b; }

bool makeDirectory(const std::wstring& path) {
    if (::mkdir(systemPath(path).c_str(), 0777) == 0) return true;
    noteError(errno);
    return errno == EEXIST;
}

std::optional<std::wstring> currentDirectory() {
    std::vector<char> buffer(PATH_MAX + 1);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return std::nullopt;
    return widen(buffer.data());
}

bool changeDirectory(const std::wstring& path) { return ::chdir(systemPath(path).c_str()) == 0; }

bool replaceFile(const std::wstring& from, const std::wstring& to) {
    if (std::rename(systemPath(from).c_str(), systemPath(to).c_str()) == 0) return true;
    noteError(errno);
    return false;
}

bool removeFile(const std::wstring& path) { return std::remove(systemPath(path).c_str()) == 0; }

std::optional<std::int64_t> fileModifiedTime(const std::wstring& path) {
    struct stat info {};
    if (::stat(systemPath(path).c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

std::optional<std::vector<FolderEntry>> listFolder(const std::wstring& path) {
    const std::string folder = systemPath(path);
    DIR* handle = ::opendir(folder.c_str());
    if (handle == nullptr) return std::nullopt;
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(handle)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string full = folder + "/" + name;
        struct stat own {};
        if (::lstat(full.c_str(), &own) != 0) continue;
        FolderEntry item;
        item.name = widen(name);
        if (S_ISLNK(own.st_mode)) {
            // A link counts as the file it points to; links to folders are
            // not followed, so that a loop of links cannot trap the walk.
            struct stat target {};
            item.isFile = ::stat(full.c_str(), &target) == 0 && S_ISREG(target.st_mode);
        } else {
            item.isFolder = S_ISDIR(own.st_mode);
            item.isFile = S_ISREG(own.st_mode);
        }
        entries.push_back(std::move(item));
    }
    ::closedir(handle);
    return entries;
}

std::uint64_t folderListingBytes(const std::wstring& path) {
    const std::wstring prefix = folderPrefix(path);
    struct stat info {};
    if (::stat(prefix.empty() ? "." : narrow(prefix).c_str(), &info) != 0 || info.st_size < 0) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

void removeStaleTemporaryFiles(const std::wstring& path) {
    const std::wstring prefix = folderPrefix(path);
    DIR* handle = ::opendir(prefix.empty() ? "." : narrow(prefix).c_str());
    if (handle == nullptr) return;
    const int folder = ::dirfd(handle);
    while (const dirent* entry = ::readdir(handle)) {
        // Most names fail this first byte test; only ours are looked at closer.
        if (entry->d_name[0] != '.' || std::strncmp(entry->d_name, ".kestrand-", 10) != 0) continue;
        const std::optional<std::uint32_t> process = temporaryFileProcess(widen(entry->d_name));
        if (!process) continue;
        struct stat info {};
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) continue;
        if (isStaleTemporaryFile(processRuns(*process), secondsSince(info.st_mtim))) {
            ::unlinkat(folder, entry->d_name, 0);
        }
    }
    ::closedir(handle);
}

bool writeAllBytes(std::FILE* file, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return true;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size()) return true;
    noteError(errno != 0 ? errno : EIO);
    return false;
}

bool flushFile(std::FILE* file, Durability durability) {
    errno = 0;
    if (std::fflush(file) != 0 || std::ferror(file) != 0) {
        noteError(errno != 0 ? errno : EIO);
        return false;
    }
    if (durability == Durability::Durable && ::fsync(::fileno(file)) != 0) {
        noteError(errno);
        return false;
    }
    return true;
}

bool closeFile(FilePtr file, Durability durability) {
    if (!file) return false;
    const bool flushed = flushFile(file.get(), durability);
    errno = 0;
    if (std::fclose(file.release()) != 0) {
        if (flushed) noteError(errno != 0 ? errno : EIO);
        return false;
    }
    return flushed;
}

bool syncFolderOf(const std::wstring& path) {
    const std::wstring prefix = folderPrefix(path);
    const int folder = ::open(prefix.empty() ? "." : narrow(prefix).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return false;
    const bool synced = ::fsync(folder) == 0;
    ::close(folder);
    return synced;
}

std::string lastFileError() { return lastError; }

void ignoreFileSizeLimitSignal() { ::signal(SIGXFSZ, SIG_IGN); }

FileResult writeStandardOutput(std::span<const std::uint8_t> bytes) {
    // A reader that went away or a size limit is a failed write to report,
    // not a reason to end.
    ::signal(SIGPIPE, SIG_IGN);
    ignoreFileSizeLimitSignal();
    if (writeAllBytes(stdout, bytes) && flushFile(stdout, Durability::Cache)) return {};
    return FileResult{false, lastFileError()};
}

}  // namespace kestrand
