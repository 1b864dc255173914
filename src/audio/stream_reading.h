// Bounded reads from an open stdio stream, for parsers of untrusted files:
// nothing here allocates more than the stream actually delivers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace kestrand {

// Reads exactly `count` bytes into `out`; false (with `out` partly written)
// when the stream ends first.
bool readExactly(std::FILE* file, void* out, std::size_t count);

// Moves the read position `count` bytes forward (seeking in steps that fit the
// platform's offset type, or reading and discarding when the stream cannot
// seek). Positions past the end are allowed; the next read then fails.
void skipForward(std::FILE* file, std::uint64_t count);

// Appends up to `limit` bytes from the stream to `out`, in blocks that grow as
// data keeps arriving, so a declared size far beyond the file costs nothing.
// Stops early at the end of the stream or when memory runs out. Returns the
// number of bytes appended.
std::uint64_t appendUpTo(std::FILE* file, std::uint64_t limit, std::vector<std::uint8_t>& out);

// Appends the rest of the stream to `out` in blocks of 4096 bytes until a read
// returns nothing, without letting `out` exceed `maxTotal` bytes. Returns the
// number of bytes appended.
std::uint64_t appendToEnd(std::FILE* file, std::uint64_t maxTotal, std::vector<std::uint8_t>& out);

}  // namespace kestrand
