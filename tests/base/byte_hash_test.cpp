// The byte hash: its values are stored in list files and undo records, so
// they are pinned here; every length path and every byte counts.
#include "base/byte_hash.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace kestrand {
namespace {

std::vector<std::uint8_t> counting(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    return bytes;
}

TEST(ByteHash, ValuesNeverChange) {
    EXPECT_EQ(hashBytes({}), 0xef46db3751d8e999ULL);
    EXPECT_EQ(hashBytes(counting(3)), 0x22c08528601d4f27ULL);
    EXPECT_EQ(hashBytes(counting(31)), 0xe4a0e629e519a4aeULL);
    EXPECT_EQ(hashBytes(counting(1000)), 0x128da10cfbdc59d9ULL);
    EXPECT_EQ(hashBytes(counting(1000), 7), 0x106d0c9daf945fcfULL);
}

TEST(ByteHash, EveryByteAndTheLengthCount) {
    const auto base = counting(77);
    std::set<std::uint64_t> seen{hashBytes(base)};
    for (std::size_t i = 0; i < base.size(); ++i) {
        auto changed = base;
        changed[i] ^= 0x10;
        EXPECT_TRUE(seen.insert(hashBytes(changed)).second) << i;
    }
    for (std::size_t length = 0; length < base.size(); ++length)
        EXPECT_TRUE(seen.insert(hashBytes(std::span(base).first(length))).second) << length;
}

}  // namespace
}  // namespace kestrand
