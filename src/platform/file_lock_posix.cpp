#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_lock_system.h"
#include "platform/text.h"

namespace kestrand {

std::optional<std::intptr_t> openLockHandle(const std::wstring& path) {
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    const int fd = ::open(narrow(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return fd;
}

TryLock tryLockHandle(std::intptr_t handle) {
    // flock locks belong to the open file, so two opens of one file exclude
    // each other even within one process, and any read-only open may lock.
    for (;;) {
        if (::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) == 0) return TryLock::Taken;
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? TryLock::Busy : TryLock::Unsupported;
    }
}

void closeLockHandle(std::intptr_t handle) { ::close(static_cast<int>(handle)); }

}  // namespace kestrand
