#include "audio/chunk_padding.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/little_endian.h"
#include "platform/files.h"

namespace kestrand {

namespace {

// A chunk header (id and size) and the byte after it, seen from both places.
constexpr std::size_t kPeekBytes = 9;

std::uint32_t sizeAt(const std::uint8_t* p, SizeOrder order) {
    if (order == SizeOrder::LittleEndian) return loadU32(p);
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

// How much a header at `at` of the peeked bytes looks like one: 3 a wanted
// id, 2 a printable id whose size fits in what is left of the file, 1 a
// printable id, 0 anything else (also a header cut off by the end of the file).
int plausibility(const std::uint8_t* peeked, std::size_t available, std::size_t at, std::uint64_t restAfterPeek,
                 SizeOrder order, std::initializer_list<ChunkId> wanted) {
    if (available < at + 4) return 0;
    const std::uint8_t* id = peeked + at;
    if (!std::all_of(id, id + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; })) return 0;
    for (const ChunkId& w : wanted) {
        if (std::memcmp(id, w.data(), 4) == 0) return 3;
    }
    if (available < at + 8) return 1;
    // Bytes that follow this header: the rest of the peek plus the rest of the file.
    const std::uint64_t after = (available - (at + 8)) + restAfterPeek;
    return sizeAt(id + 4, order) <= after ? 2 : 1;
}

}  // namespace

void skipPadByte(std::FILE* file, std::uint64_t size, SizeOrder order, std::initializer_list<ChunkId> wanted) {
    if (size % 2 == 0) return;
    const std::optional<std::uint64_t> start = filePosition(file);
    if (!start) return;
    std::array<std::uint8_t, kPeekBytes> peeked{};
    const std::size_t available = std::fread(peeked.data(), 1, peeked.size(), file);
    std::uint64_t rest = 0;
    if (available == peeked.size() && std::fseek(file, 0, SEEK_END) == 0) {
        const std::optional<std::uint64_t> end = filePosition(file);
        if (end && *end > *start + available) rest = *end - (*start + available);
    }
    const int unpadded = plausibility(peeked.data(), available, 0, rest, order, wanted);
    const int padded = plausibility(peeked.data(), available, 1, rest, order, wanted);
    std::clearerr(file);
    seekFile(file, *start + (unpadded > padded ? 0 : 1));
}

}  // namespace kestrand
