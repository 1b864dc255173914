#include <windows.h>

#include "platform/file_lock_system.h"
#include "platform/long_path.h"

namespace kestrand {

namespace {

// The locked byte lies far past the end of any file the programs use, so
// the lock never blocks a read or write of the file's contents (Windows
// locks are enforced on the bytes they cover).
constexpr DWORD kLockOffsetHigh = 0x40000000;

}  // namespace

std::optional<std::intptr_t> openLockHandle(const std::wstring& path) {
    HANDLE handle =
        ::CreateFileW(longPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    if (::GetFileType(handle) != FILE_TYPE_DISK ||
        (::GetFileAttributesW(longPathForm(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ::CloseHandle(handle);
        return std::nullopt;
    }
    return reinterpret_cast<std::intptr_t>(handle);
}

TryLock tryLockHandle(std::intptr_t handle) {
    OVERLAPPED where{};
    where.Offset = 0;
    where.OffsetHigh = kLockOffsetHigh;
    if (::LockFileEx(reinterpret_cast<HANDLE>(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &where))
        return TryLock::Taken;
    const DWORD error = ::GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? TryLock::Busy : TryLock::Unsupported;
}

void closeLockHandle(std::intptr_t handle) {
    // Unlocked first: a lock left to the closing of its handle is let go
    // only when the system gets round to it.
    OVERLAPPED where{};
    where.OffsetHigh = kLockOffsetHigh;
    ::UnlockFileEx(reinterpret_cast<HANDLE>(handle), 0, 1, 0, &where);
    ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace kestrand
