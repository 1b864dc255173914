// The system calls behind FileLock, one set per system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrand {

// Opens the regular file at `path` for reading, for locking only; nothing
// for anything else (a missing file, a folder, a pipe) or when it cannot be
// opened. Never waits.
std::optional<std::intptr_t> openLockHandle(const std::wstring& path);

enum class TryLock { Taken, Busy, Unsupported };

// One attempt at the exclusive lock of an open handle, without waiting.
TryLock tryLockHandle(std::intptr_t handle);

// Closes the handle, which lets go of its lock.
void closeLockHandle(std::intptr_t handle);

}  // namespace kestrand
