#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_update.h"
#include "platform/text.h"

namespace kestrand {

namespace {

std::string folderOf(const std::wstring& path) {
    const std::string narrowPath = narrow(path);
    const auto slash = narrowPath.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return narrowPath.substr(0, slash);
}

}  // namespace

bool flushToStableStorage(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    const int fd = ::fileno(file);
    while (::fsync(fd) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool flushFolderOf(const std::wstring& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int result = ::fsync(fd);
    while (result != 0 && errno == EINTR) result = ::fsync(fd);
    // Some file systems cannot flush a folder; their entries are as safe as they get.
    const bool flushed = result == 0 || errno == EINVAL || errno == EROFS;
    ::close(fd);
    return flushed;
}

bool setFileLength(std::FILE* file, std::uint64_t length) {
    if (std::fflush(file) != 0) return false;
    if (::ftruncate(::fileno(file), static_cast<off_t>(length)) != 0) return false;
    return ::fseeko(file, 0, SEEK_SET) == 0;
}

bool seekFileTo(std::FILE* file, std::uint64_t position) {
    return ::fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

PlaceResult renameIfAbsent(const std::wstring& from, const std::wstring& to) {
    const std::string source = narrow(from);
    const std::string target = narrow(to);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return PlaceResult::Placed;
    if (errno == EEXIST) return PlaceResult::NameTaken;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return PlaceResult::Failed;
    // A file system without that kind of rename: a new hard link fails when
    // the name is taken, and then the temporary name goes.
    if (::link(source.c_str(), target.c_str()) == 0) {
        ::unlink(source.c_str());
        return PlaceResult::Placed;
    }
    return errno == EEXIST ? PlaceResult::NameTaken : PlaceResult::Failed;
}

}  // namespace kestrand
