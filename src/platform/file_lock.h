// Locks between processes, tied to an existing file: the system's own
// advisory locks (flock on POSIX; on Windows LockFileEx on one byte far past
// any file's end, so that reads and writes of the file itself are never
// blocked). The system releases a lock when its holder ends, however it
// ends, so a process that died never blocks another.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kestrand {

// An exclusive lock; released when the object goes.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return handle_ != kNoHandle; }
    // Lets go of the lock now.
    void release();

private:
    friend struct FileLockAccess;
    static constexpr std::intptr_t kNoHandle = -1;
    std::intptr_t handle_ = kNoHandle;  // the open file that holds the lock
};

enum class LockOutcome {
    Taken,        // the lock was free
    TakenLater,   // another process held it; it let go within the limit
    TimedOut,     // another process still holds it after the limit
    Unavailable,  // the path is not a regular file that can be opened, or the file system has no locks
};

struct LockAttempt {
    FileLock lock;  // held after Taken and TakenLater
    LockOutcome outcome = LockOutcome::Unavailable;
};

// Takes the exclusive lock tied to the regular file at `path`, which is opened
// for reading only (never waiting on a pipe or device) and never changed.
// Waits at most `limit` for another holder, looking again every few
// milliseconds. Locks of the same file taken through separate calls exclude
// each other, also within one process.
LockAttempt lockFile(const std::wstring& path, std::chrono::milliseconds limit);

}  // namespace kestrand
