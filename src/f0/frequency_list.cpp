#include "f0/frequency_list.h"

#include <array>
#include <bit>
#include <cstring>
#include <random>

#include "base/little_endian.h"
#include "platform/files.h"

namespace kestrand {

namespace {

constexpr std::size_t kHeaderBytes = 40;
constexpr std::size_t kPairBytes = 16;
// Names longer than this are refused rather than cut short.
constexpr std::size_t kMaxNameLength = 511;
// Pairs read per step, so that a count in the header never decides an allocation.
constexpr std::size_t kPairsPerRead = 4096;

// A name beside the target that no other writer uses at the same time.
std::wstring temporaryNameFor(const std::wstring& target) {
    std::random_device device;
    const std::uint64_t suffix = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    wchar_t text[20];
    std::swprintf(text, sizeof text / sizeof text[0], L"%016llx", static_cast<unsigned long long>(suffix));
    return target + L".tmp" + text;
}

bool writeAll(std::FILE* file, const std::uint8_t* bytes, std::size_t count) {
    return std::fwrite(bytes, 1, count, file) == count;
}

}  // namespace

std::wstring frequencyListFileName(const std::wstring& baseName) {
    std::wstring name = baseName + L".frq";
    if (name.find(L".frq.frq") != std::wstring::npos) return baseName;
    const auto wav = name.find(L".wav.frq");
    if (wav != std::wstring::npos) name[wav] = L'_';
    return name;
}

std::optional<FrequencyList> loadFrequencyList(const std::wstring& name) {
    const std::wstring path = frequencyListFileName(name);
    if (path.size() > kMaxNameLength) return std::nullopt;
    const FilePtr file = openFile(path, "rb");
    if (!file) return std::nullopt;

    std::array<std::uint8_t, kHeaderBytes> header{};
    if (std::fread(header.data(), 1, header.size(), file.get()) != header.size()) return std::nullopt;
    // The version digit is not examined: older lists load like current ones.
    if (std::memcmp(header.data(), "FREQ000", 7) != 0) return std::nullopt;
    const std::int32_t count = loadS32(&header[36]);
    if (count < 1) return std::nullopt;

    FrequencyList list;
    list.frameStep = loadS32(&header[8]);
    list.freqAvg = loadF64(&header[12]);
    list.sampleRate = loadS32(&header[20]);
    list.listSize = count;
    // The arrays grow with the pairs actually read; a file shorter than its
    // count says is damaged and refused.
    const auto total = static_cast<std::size_t>(count);
    std::vector<std::uint8_t> block(std::min(total, kPairsPerRead) * kPairBytes);
    for (std::size_t done = 0; done < total;) {
        const std::size_t pairs = std::min(total - done, kPairsPerRead);
        if (std::fread(block.data(), kPairBytes, pairs, file.get()) != pairs) return std::nullopt;
        for (std::size_t i = 0; i < pairs; ++i) {
            list.frequencies.push_back(loadF64(&block[i * kPairBytes]));
            list.amplitudes.push_back(loadF64(&block[i * kPairBytes + 8]));
        }
        done += pairs;
    }
    list.frequencies.push_back(list.frequencies.back());
    list.amplitudes.push_back(list.amplitudes.back());
    return list;
}

int saveFrequencyList(const std::wstring& name, const FrequencyList& list) {
    const std::wstring path = frequencyListFileName(name);
    if (path.size() > kMaxNameLength || list.listSize < 1) return 0;
    const auto count = static_cast<std::size_t>(list.listSize);
    if (list.frequencies.size() < count || list.amplitudes.size() < count) return 0;

    std::vector<std::uint8_t> bytes(kHeaderBytes + kPairBytes * count, 0);
    std::memcpy(bytes.data(), "FREQ0003", 8);
    storeU32(&bytes[8], static_cast<std::uint32_t>(list.frameStep));
    storeU64(&bytes[12], std::bit_cast<std::uint64_t>(list.freqAvg));
    storeU32(&bytes[20], static_cast<std::uint32_t>(list.sampleRate));
    // Offsets 24 .. 35 stay zero.
    storeU32(&bytes[36], static_cast<std::uint32_t>(list.listSize));
    for (std::size_t i = 0; i < count; ++i) {
        storeU64(&bytes[kHeaderBytes + i * kPairBytes], std::bit_cast<std::uint64_t>(list.frequencies[i]));
        storeU64(&bytes[kHeaderBytes + i * kPairBytes + 8], std::bit_cast<std::uint64_t>(list.amplitudes[i]));
    }

    // Written beside the target and renamed into place, so that renders of the
    // same sample running at once never see a half-written list.
    const std::wstring temporary = temporaryNameFor(path);
    FilePtr file = openFile(temporary, "wb");
    if (!file) return 0;
    bool written = writeAll(file.get(), bytes.data(), bytes.size());
    written = std::fclose(file.release()) == 0 && written;
    if (!written || !replaceFile(temporary, path)) {
        removeFile(temporary);
        return 0;
    }
    return 1;
}

}  // namespace kestrand
