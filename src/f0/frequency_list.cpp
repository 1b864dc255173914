#include "f0/frequency_list.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

#include "base/little_endian.h"
#include "platform/file_update.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

namespace {

constexpr std::size_t kHeaderBytes = 40;
constexpr std::size_t kPairBytes = 16;
// Pairs read per step, so that a count in the header never decides an allocation.
constexpr std::size_t kPairsPerRead = 4096;
// Marks the bytes 28 .. 35 as the fingerprint of the sample.
constexpr char kFingerprintTag[4] = {'k', 'f', 'p', '1'};

// True when the file at `path` holds exactly `bytes` (read only when its
// length matches).
bool fileHolds(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const FilePtr file = openFile(path, "rb");
    if (!file || openFileLength(file.get()) != bytes.size()) return false;
    std::vector<std::uint8_t> stored(bytes.size());
    return std::fread(stored.data(), 1, stored.size(), file.get()) == stored.size() && stored == bytes;
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
    if (std::memcmp(&header[24], kFingerprintTag, sizeof kFingerprintTag) == 0) list.fingerprint = loadU64(&header[28]);
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

std::vector<std::uint8_t> frequencyListBytes(const FrequencyList& list) {
    if (list.listSize < 1) return {};
    const auto count = static_cast<std::size_t>(list.listSize);
    if (list.frequencies.size() < count || list.amplitudes.size() < count) return {};

    std::vector<std::uint8_t> bytes(kHeaderBytes + kPairBytes * count, 0);
    std::memcpy(bytes.data(), "FREQ0003", 8);
    storeU32(&bytes[8], static_cast<std::uint32_t>(list.frameStep));
    storeU64(&bytes[12], std::bit_cast<std::uint64_t>(list.freqAvg));
    storeU32(&bytes[20], static_cast<std::uint32_t>(list.sampleRate));
    // Offsets 24 .. 35 stay zero unless the list knows its sample.
    if (list.fingerprint) {
        std::memcpy(&bytes[24], kFingerprintTag, sizeof kFingerprintTag);
        storeU64(&bytes[28], *list.fingerprint);
    }
    storeU32(&bytes[36], static_cast<std::uint32_t>(list.listSize));
    for (std::size_t i = 0; i < count; ++i) {
        storeU64(&bytes[kHeaderBytes + i * kPairBytes], std::bit_cast<std::uint64_t>(list.frequencies[i]));
        storeU64(&bytes[kHeaderBytes + i * kPairBytes + 8], std::bit_cast<std::uint64_t>(list.amplitudes[i]));
    }
    return bytes;
}

std::wstring previousListPath(const std::wstring& listPath) { return listPath + L".bak"; }

ListWrite writeFrequencyList(const std::wstring& path, const FrequencyList& list, bool keepPrevious) {
    ListWrite result;
    const std::vector<std::uint8_t> bytes = frequencyListBytes(list);
    if (bytes.empty()) {
        result.failure = "the list has no frames";
        return result;
    }
    // Written beside the target and renamed into place, so that renders of the
    // same sample running at once never see a half-written list.
    const std::wstring temporary = temporarySiblingPath(path);
    FilePtr file = openFile(temporary, "wb");
    if (!file) {
        result.failure = fileFailureReason(errno);
        return result;
    }
    errno = 0;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    written = flushToStableStorage(file.get()) && written;
    const int writeError = errno;
    written = std::fclose(file.release()) == 0 && written;
    if (!written) {
        result.failure = fileFailureReason(writeError != 0 ? writeError : errno);
        removeFile(temporary);
        return result;
    }
    if (keepPrevious && fileExists(path)) {
        // A list that is byte for byte the new one needs no backup.
        if (!fileHolds(path, bytes)) {
            const std::wstring backup = previousListPath(path);
            if (!replaceFile(path, backup)) {
                result.failure =
                    "the previous list cannot be kept as " + narrow(backup) + " (" + fileFailureReason(errno) + ")";
                removeFile(temporary);
                return result;
            }
            result.keptPrevious = backup;
        }
    }
    if (!replaceFile(temporary, path)) {
        result.failure = fileFailureReason(errno);
        removeFile(temporary);
        return result;
    }
    flushFolderOf(path);
    result.written = true;
    return result;
}

int saveFrequencyList(const std::wstring& name, const FrequencyList& list) {
    return writeFrequencyList(frequencyListFileName(name), list, false).written ? 1 : 0;
}

std::string fileFailureReason(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS: return "the folder is read-only";
        case ENAMETOOLONG: return "the name is too long for the file system";
        case ENOSPC: return "the disk is full";
        case ENOENT:
        case ENOTDIR: return "the folder does not exist";
        default: return error != 0 ? std::strerror(error) : "the file system refused it";
    }
}

}  // namespace kestrand
