// The pad byte of RIFF (WAV) and IFF (AIFF) chunks: a chunk of odd size is
// followed by one byte that its size does not count. Some writers leave it
// out, and files of theirs have always loaded, so the walk decides by the
// next chunk header which layout a file has.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace kestrand {

using ChunkId = std::array<char, 4>;

// How a chunk size field is stored.
enum class SizeOrder { LittleEndian, BigEndian };

// Called with the stream just behind the `size` bytes of a chunk's body.
// For an even size nothing happens. For an odd size the next chunk header is
// looked for in both places, right behind the body and one byte later (the
// pad byte), and the stream is left at the more plausible one: a header whose
// id is one of `wanted` beats one whose id is printable text and whose size
// fits in the file, which beats a printable id alone, which beats anything
// else; a tie goes to the padded layout, as the format defines it. The
// stream must be able to seek (a file); others are left where they are.
void skipPadByte(std::FILE* file, std::uint64_t size, SizeOrder order, std::initializer_list<ChunkId> wanted);

}  // namespace kestrand
