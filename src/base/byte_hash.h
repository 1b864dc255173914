// A fast 64-bit hash of a run of bytes, the same on every system and build:
// it tells two byte runs apart (a sample's sound, an undo record), it is not
// a protection against anyone who wants to forge one.
#pragma once

#include <cstdint>
#include <span>

namespace kestrand {

// The hash of `bytes` with a `seed` (different seeds give unrelated hashes).
// Four lanes of 8-byte words, each multiplied and rotated, then merged and
// mixed with the length, the words and bytes left over, and a final
// avalanche. Its values are stored in files: they must never change.
std::uint64_t hashBytes(std::span<const std::uint8_t> bytes, std::uint64_t seed = 0);

}  // namespace kestrand
