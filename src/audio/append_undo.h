// The undo record of an append in place. Before an append changes its target,
// it writes what the change will overwrite (the old header and the old bytes
// from the first changed byte to the old end) into a small file beside the
// target and flushes it to stable storage; when the change is complete the
// record is removed. A process killed in between leaves the record behind,
// and the next append to the target settles it first: a change that got
// through whole is kept, anything less is rolled back to the old song.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/append_target_header.h"

namespace kestrand {

struct AppendUndo {
    std::uint64_t oldLength = 0;    // the target's length before the change
    std::uint64_t newLength = 0;    // and after it (never shorter)
    std::uint64_t changeStart = 0;  // the first byte after the header that the change writes
    std::array<std::uint8_t, kAppendHeaderBytes> oldHeader{};
    std::array<std::uint8_t, kAppendHeaderBytes> newHeader{};
    std::uint64_t guardHash = 0;         // of the bytes just before changeStart (appendUndoGuard), never changed
    std::uint64_t changedHash = 0;       // of the bytes changeStart .. newLength after the change
    std::vector<std::uint8_t> oldBytes;  // the bytes changeStart .. oldLength before the change
};

// The stretch of up to 64 bytes before `changeStart` (never inside the
// header) whose hash ties an undo record to its target: [first, changeStart).
struct ByteRange {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
};
ByteRange appendUndoGuard(std::uint64_t changeStart);

// The record as stored: a magic text, the fields, the old bytes, and a hash
// of all of it, so that a record cut short by a kill is recognised.
std::vector<std::uint8_t> encodeAppendUndo(const AppendUndo& undo);

// The record read back; nothing when the bytes are not a whole record.
std::optional<AppendUndo> decodeAppendUndo(std::span<const std::uint8_t> bytes);

// The record's file for a target: in the target's folder, ".kestrand-undo-"
// and 16 hex digits of a hash of the target's name (a fixed length, whatever
// the name's).
std::wstring appendUndoPath(const std::wstring& targetPath);

enum class UndoOutcome {
    Completed,   // the target holds the whole new song: the change got through
    RolledBack,  // the target was part way and is the old song again
    Unrelated,   // the target is neither: the record belongs to another file
    Failed,      // the target could not be read or rolled back
};

// Settles a record against the target, open for update: leaves a finished
// change as it is, rolls back an unfinished one (old bytes, old length, old
// header, flushed to stable storage), and touches nothing else.
UndoOutcome settleAppendUndo(std::FILE* target, const AppendUndo& undo);

}  // namespace kestrand
