#include "audio/file_ranges.h"

#include <algorithm>
#include <vector>

#include "base/byte_hash.h"
#include "platform/file_update.h"

namespace kestrand {

namespace {

constexpr std::size_t kPiece = 1 << 20;

}  // namespace

bool readFileRange(std::FILE* file, std::uint64_t position, std::span<std::uint8_t> bytes) {
    if (!seekFileTo(file, position)) return false;
    return bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool writeFileRange(std::FILE* file, std::uint64_t position, std::span<const std::uint8_t> bytes) {
    if (!seekFileTo(file, position)) return false;
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool writeZeroRange(std::FILE* file, std::uint64_t position, std::uint64_t count) {
    if (!seekFileTo(file, position)) return false;
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(std::min<std::uint64_t>(count, kPiece)), 0);
    while (count > 0) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(count, zeros.size()));
        if (std::fwrite(zeros.data(), 1, part, file) != part) return false;
        count -= part;
    }
    return true;
}

std::optional<std::uint64_t> hashFileRange(std::FILE* file, std::uint64_t first, std::uint64_t end) {
    if (end < first) return std::nullopt;
    const std::uint64_t count = end - first;
    if (count > (std::uint64_t{1} << 31)) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    if (!readFileRange(file, first, bytes)) return std::nullopt;
    return hashBytes(bytes);
}

}  // namespace kestrand
