// Changing files so that a crash or a power cut leaves either the old or the
// new contents: flushing to stable storage, setting a file's length, and
// putting a finished file in place only when no file of that name exists.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kestrand {

// Writes out what the stream still buffers and asks the system to put the
// file's contents on stable storage (fsync; FlushFileBuffers on Windows).
// False when either fails.
bool flushToStableStorage(std::FILE* file);

// Puts the entries of the folder that holds `path` (names created, renamed or
// removed there) on stable storage. POSIX needs an fsync of the folder for
// that; Windows file systems journal their entries, so there it only reports
// success. False when the folder cannot be opened or flushed.
bool flushFolderOf(const std::wstring& path);

// Sets the length of an open file (written out first), cutting it short or
// extending it with zeros. The position is left at the start. False on failure.
bool setFileLength(std::FILE* file, std::uint64_t length);

// Moves an open file to a position from its start (right past 2 GiB on every
// build); false when it cannot.
bool seekFileTo(std::FILE* file, std::uint64_t position);

enum class PlaceResult { Placed, NameTaken, Failed };

// Renames `from` to `to` only when nothing exists at `to`, in one step, so
// that of two processes placing a file at the same name one wins and the
// other learns that it lost (NameTaken; `from` is then left as it is).
PlaceResult renameIfAbsent(const std::wstring& from, const std::wstring& to);

}  // namespace kestrand
