#include "base/byte_hash.h"

#include <bit>

#include "base/little_endian.h"

namespace kestrand {

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ULL;

std::uint64_t mixWord(std::uint64_t lane, std::uint64_t word) { return std::rotl(lane + word * kPrime2, 31) * kPrime1; }

std::uint64_t mergeLane(std::uint64_t hash, std::uint64_t lane) {
    return (hash ^ mixWord(0, lane)) * kPrime1 + kPrime4;
}

}  // namespace

std::uint64_t hashBytes(std::span<const std::uint8_t> bytes, std::uint64_t seed) {
    const std::uint8_t* p = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t at = 0;
    std::uint64_t hash = 0;
    if (size >= 32) {
        std::uint64_t lanes[4] = {seed + kPrime1 + kPrime2, seed + kPrime2, seed, seed - kPrime1};
        for (; at + 32 <= size; at += 32) {
            for (int i = 0; i < 4; ++i) lanes[i] = mixWord(lanes[i], loadU64(p + at + 8 * i));
        }
        hash = std::rotl(lanes[0], 1) + std::rotl(lanes[1], 7) + std::rotl(lanes[2], 12) + std::rotl(lanes[3], 18);
        for (const std::uint64_t lane : lanes) hash = mergeLane(hash, lane);
    } else {
        hash = seed + kPrime5;
    }
    hash += static_cast<std::uint64_t>(size);
    for (; at + 8 <= size; at += 8) hash = std::rotl(hash ^ mixWord(0, loadU64(p + at)), 27) * kPrime1 + kPrime4;
    if (at + 4 <= size) {
        hash = std::rotl(hash ^ (static_cast<std::uint64_t>(loadU32(p + at)) * kPrime1), 23) * kPrime2 + kPrime3;
        at += 4;
    }
    for (; at < size; ++at) hash = std::rotl(hash ^ (p[at] * kPrime5), 11) * kPrime1;
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    hash ^= hash >> 32;
    return hash;
}

}  // namespace kestrand
