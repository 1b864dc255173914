#include "audio/stream_reading.h"

#include <algorithm>
#include <array>
#include <new>

namespace kestrand {

namespace {

constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kLargestBlock = std::size_t{1} << 20;
// One seek step: fits a 32-bit long on every platform.
constexpr std::uint64_t kSeekStep = std::uint64_t{1} << 30;

}  // namespace

bool readExactly(std::FILE* file, void* out, std::size_t count) { return std::fread(out, 1, count, file) == count; }

void skipForward(std::FILE* file, std::uint64_t count) {
    while (count > 0) {
        const std::uint64_t step = std::min(count, kSeekStep);
        if (std::fseek(file, static_cast<long>(step), SEEK_CUR) != 0) break;
        count -= step;
    }
    // A stream that cannot seek (a pipe): read and discard what is left.
    std::array<std::uint8_t, 4096> scratch;
    while (count > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, scratch.size()));
        const std::size_t got = std::fread(scratch.data(), 1, want, file);
        if (got == 0) break;
        count -= got;
    }
}

std::uint64_t appendUpTo(std::FILE* file, std::uint64_t limit, std::vector<std::uint8_t>& out) {
    std::uint64_t total = 0;
    std::size_t block = kFirstBlock;
    while (total < limit) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(limit - total, block));
        const std::size_t start = out.size();
        try {
            out.resize(start + want);
        } catch (const std::bad_alloc&) {
            break;
        }
        const std::size_t got = std::fread(out.data() + start, 1, want, file);
        out.resize(start + got);
        total += got;
        if (got < want) break;
        block = std::min(block * 2, kLargestBlock);
    }
    return total;
}

std::uint64_t appendToEnd(std::FILE* file, std::uint64_t maxTotal, std::vector<std::uint8_t>& out) {
    std::uint64_t total = 0;
    while (maxTotal - total >= kFirstBlock) {
        const std::size_t start = out.size();
        try {
            out.resize(start + kFirstBlock);
        } catch (const std::bad_alloc&) {
            break;
        }
        const std::size_t got = std::fread(out.data() + start, 1, kFirstBlock, file);
        out.resize(start + got);
        total += got;
        if (got == 0) break;
    }
    return total;
}

}  // namespace kestrand
