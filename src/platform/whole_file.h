// Checked writing: every write, flush, sync and close is checked, and a file
// that replaces another is complete before it does, so that a full disk, a
// file size limit or a killed process never leaves a cut-off file under the
// real name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>

#include "platform/files.h"

namespace kestrand {

enum class Durability {
    Cache,    // can be made again (a rendered note): left to the system's own write-back
    Durable,  // the user's own data (lists, songs): on stable storage before it replaces the older file
};

// How writing a file went; when it failed, why in a few words for a message
// ("No space left on device", "cannot create a file in its folder (Permission
// denied)").
struct FileResult {
    bool ok = true;
    std::string problem;
    explicit operator bool() const { return ok; }
};

// Writes all bytes to an open stream; false when the system takes fewer
// (full disk, file size limit, I/O error, closed pipe).
bool writeAllBytes(std::FILE* file, std::span<const std::uint8_t> bytes);

// Hands the stream's buffered bytes to the system and, when Durable, waits
// until the file's contents are on stable storage. False on failure.
bool flushFile(std::FILE* file, Durability durability);

// Flushes (as flushFile) and closes the stream; false when either fails. The
// stream is closed in any case.
bool closeFile(FilePtr file, Durability durability);

// Makes a rename or removal in the folder of `path` durable (POSIX; Windows
// renames with write-through). False when the folder cannot be synced.
bool syncFolderOf(const std::wstring& path);

// The system's words for the error of the last failed call above, or of
// openFile, createNewFile or replaceFile ("No space left on device").
std::string lastFileError();

// From now on a write beyond the process's file size limit fails like a
// full disk instead of ending the process (POSIX; nothing to do on Windows).
void ignoreFileSizeLimitSignal();

// Writes `bytes` as the new contents of `path`, whole or not at all: they go
// to a new temporary file in the same folder (temporarySiblingPath), which is
// flushed (Durable: synced) and closed with every step checked, and only then
// renamed over `path` (Durable: the folder is synced too). On any failure the
// temporary file is removed and `path` is left exactly as it was. Leftovers
// of dead processes in the folder are removed first (removeStaleTemporaryFiles),
// which also frees their space on a nearly full disk: on every write in a
// folder of a few hundred entries, on a share of the writes in larger ones
// that keeps the search as cheap as in a small folder. A file size limit is
// reported like a full disk instead of ending the process.
FileResult writeWholeFile(const std::wstring& path, std::span<const std::uint8_t> bytes, Durability durability);

// The same for contents made piece by piece: `write` gets the open temporary
// file, writes them with writeAllBytes and says whether everything went
// well; when it says no, nothing replaces `path`.
FileResult writeWholeFileWith(const std::wstring& path, const std::function<bool(std::FILE*)>& write,
                              Durability durability);

// Writes bytes to standard output in binary mode and flushes it; a closed
// pipe or a full disk is reported instead of ending the process. Standard
// output stays open.
FileResult writeStandardOutput(std::span<const std::uint8_t> bytes);

}  // namespace kestrand
