// Reading, writing and hashing a stretch of bytes of an open file at a given
// position, each checked.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>

namespace kestrand {

// Reads exactly bytes.size() bytes at `position`; false when they cannot all be read.
bool readFileRange(std::FILE* file, std::uint64_t position, std::span<std::uint8_t> bytes);

// Writes every byte at `position`; false when any cannot be written.
bool writeFileRange(std::FILE* file, std::uint64_t position, std::span<const std::uint8_t> bytes);

// Writes `count` zero bytes at `position`; false when any cannot be written.
bool writeZeroRange(std::FILE* file, std::uint64_t position, std::uint64_t count);

// hashBytes of the bytes first .. end of the file (read whole: the appends
// hash a note's worth); nothing when they cannot be read or are more than 2 GiB.
std::optional<std::uint64_t> hashFileRange(std::FILE* file, std::uint64_t first, std::uint64_t end);

}  // namespace kestrand
