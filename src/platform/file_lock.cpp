#include "platform/file_lock.h"

#include <algorithm>
#include <thread>

#include "platform/file_lock_system.h"

namespace kestrand {

FileLock::~FileLock() { release(); }

FileLock::FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = other.handle_;
        other.handle_ = kNoHandle;
    }
    return *this;
}

void FileLock::release() {
    if (handle_ == kNoHandle) return;
    closeLockHandle(handle_);
    handle_ = kNoHandle;
}

struct FileLockAccess {
    static void adopt(FileLock& lock, std::intptr_t handle) { lock.handle_ = handle; }
};

LockAttempt lockFile(const std::wstring& path, std::chrono::milliseconds limit) {
    LockAttempt attempt;
    const auto handle = openLockHandle(path);
    if (!handle) return attempt;
    const auto start = std::chrono::steady_clock::now();
    // Short waits first, so that a lock let go soon is taken soon; then a
    // look every 25 ms costs next to nothing while another process works.
    auto pause = std::chrono::milliseconds(1);
    bool waited = false;
    for (;;) {
        const TryLock result = tryLockHandle(*handle);
        if (result == TryLock::Taken) {
            FileLockAccess::adopt(attempt.lock, *handle);
            attempt.outcome = waited ? LockOutcome::TakenLater : LockOutcome::Taken;
            return attempt;
        }
        if (result == TryLock::Unsupported || std::chrono::steady_clock::now() - start >= limit) {
            closeLockHandle(*handle);
            attempt.outcome = result == TryLock::Unsupported ? LockOutcome::Unavailable : LockOutcome::TimedOut;
            return attempt;
        }
        waited = true;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(25));
    }
}

}  // namespace kestrand
