#include "audio/wave_append.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <vector>

#include "audio/append_sample_codec.h"
#include "audio/append_target_header.h"
#include "audio/wave_writer.h"
#include "base/little_endian.h"
#include "base/number_text.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

namespace {

// The largest data size whose RIFF size (data + 36) still fits the 32-bit field.
constexpr std::int64_t kMaxDataBytes = 0xFFFFFFFFLL - 36;
constexpr std::size_t kCopyChunk = 1 << 20;

void refuse(const std::wstring& path, const char* reason) {
    printErr("Cannot append the note to %s: %s. The file is left unchanged.\n", narrow(path).c_str(), reason);
}

// The length of an open file in bytes, the position left at the start;
// nothing when it cannot be told.
std::optional<std::uint64_t> fileLength(std::FILE* file) { return openFileLength(file); }

std::optional<std::uint64_t> fileLengthAt(const std::wstring& path) {
    FilePtr file = openFile(path, "rb");
    if (!file) return std::nullopt;
    return fileLength(file.get());
}

bool writeAll(std::FILE* out, std::span<const std::uint8_t> bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

bool readAll(std::FILE* in, std::span<std::uint8_t> bytes) {
    return bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), in) == bytes.size();
}

bool copyBytes(std::FILE* in, std::FILE* out, std::uint64_t count) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(count, kCopyChunk)));
    while (count > 0) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size()));
        const std::span<std::uint8_t> chunk(buffer.data(), part);
        if (!readAll(in, chunk) || !writeAll(out, chunk)) return false;
        count -= part;
    }
    return true;
}

bool writeZeros(std::FILE* out, std::uint64_t count) {
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(std::min<std::uint64_t>(count, kCopyChunk)), 0);
    while (count > 0) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(count, zeros.size()));
        if (!writeAll(out, std::span<const std::uint8_t>(zeros.data(), part))) return false;
        count -= part;
    }
    return true;
}

// Finishes a new version written under `temporary`: renames it over `path`
// when everything went well, removes it otherwise.
bool putInPlace(const std::wstring& temporary, const std::wstring& path, bool written) {
    if (written && replaceFile(temporary, path)) return true;
    removeFile(temporary);
    return false;
}

struct AppendOutcome {
    AppendTargetHeader header;
    std::int64_t overlap = 0;    // frames mixed (> 0) or of silence inserted (< 0)
    std::uint32_t riffSize = 0;  // the new RIFF size
};

// The steps both variants share. `mix(tailBytes, n, header)` mixes the file's
// last n frames into the note; `encode(header)` gives the note's bytes in the
// file's format. Nothing (after a message) when the target is refused or the
// new version cannot be written; the target is then unchanged.
template <typename Mix, typename Encode>
std::optional<AppendOutcome> appendToTarget(const std::wstring& path, AppendFormats formats, std::int32_t count,
                                            float overlap, float endPos, std::int32_t sampleRate, Mix mix,
                                            Encode encode) {
    FilePtr source = openFile(path, "r+b");
    if (!source) {
        refuse(path, "it cannot be opened for update");
        return std::nullopt;
    }
    const std::optional<std::uint64_t> length = fileLength(source.get());
    std::array<std::uint8_t, kAppendHeaderBytes> raw{};
    const std::size_t got = length ? std::fread(raw.data(), 1, raw.size(), source.get()) : 0;
    std::string reason = "its length cannot be read";
    const std::optional<AppendTargetHeader> header =
        length ? parseAppendTargetHeader(std::span<const std::uint8_t>(raw.data(), got), *length, formats, reason)
               : std::nullopt;
    if (!header) {
        refuse(path, reason.c_str());
        return std::nullopt;
    }

    const std::int64_t blockAlign = header->blockAlign;
    const std::int64_t framesInFile = header->dataBytes / blockAlign;
    std::int64_t n = overlapFrames(overlap, endPos, sampleRate);
    if (n > 0) n = std::min({n, framesInFile, static_cast<std::int64_t>(count)});
    const std::int64_t newDataBytes = header->dataBytes + (count - n) * blockAlign;
    if (newDataBytes > kMaxDataBytes) {
        refuse(path, "the result would be larger than a WAV header can describe");
        return std::nullopt;
    }
    const auto newData = static_cast<std::uint32_t>(newDataBytes);
    const std::uint32_t newRiff = newData + 36;
    const std::int64_t mixedBytes = std::max<std::int64_t>(n, 0) * blockAlign;

    const std::wstring temporary = temporarySiblingPath(path);
    FilePtr out = openFile(temporary, "wb");
    if (!out) {
        refuse(path, "no temporary file can be created beside it");
        return std::nullopt;
    }
    const auto newHeader = withSizes(*header, newRiff, newData);
    bool ok = writeAll(out.get(), newHeader);
    ok = ok && copyBytes(source.get(), out.get(), static_cast<std::uint64_t>(header->dataBytes - mixedBytes));
    std::vector<std::uint8_t> lastFrames(static_cast<std::size_t>(mixedBytes));
    ok = ok && readAll(source.get(), lastFrames);
    if (ok && n > 0) mix(std::span<const std::uint8_t>(lastFrames), n, *header);
    if (ok && n < 0) ok = writeZeros(out.get(), static_cast<std::uint64_t>(-n * blockAlign));
    ok = ok && writeAll(out.get(), encode(*header));
    ok = ok && std::fflush(out.get()) == 0 && std::ferror(out.get()) == 0;
    if (std::fclose(out.release()) != 0) ok = false;
    source.reset();
    if (!putInPlace(temporary, path, ok)) {
        refuse(path, "the new version could not be written");
        return std::nullopt;
    }
    return AppendOutcome{*header, n, newRiff};
}

}  // namespace

std::int64_t overlapFrames(float overlap, float endPos, std::int32_t sampleRate) {
    const double framesPerMs = sampleRate * 0.001;
    const std::int64_t o = truncateToInt32(static_cast<double>(overlap) * framesPerMs);
    const std::int64_t e = truncateToInt32(static_cast<double>(endPos) * framesPerMs);
    return e >= 0 ? o : o - e;
}

void mixIntoWaveSamples(const std::wstring& targetPath, std::span<double> note, std::int32_t count, float overlap,
                        float endPos, std::int32_t sampleRate, std::int32_t bitsPerSample, bool quiet) {
    if (targetPath == L"nul") return;  // the null device keeps nothing to append to
    count =
        std::clamp<std::int32_t>(count, 0, static_cast<std::int32_t>(std::min<std::size_t>(note.size(), INT32_MAX)));
    const std::span<double> values = note.first(static_cast<std::size_t>(count));

    if (!fileExists(targetPath)) {
        const int bits = bitsPerSample;
        const std::wstring temporary = temporarySiblingPath(targetPath);
        const long long written = writeWaveSamples(temporary, values, bits, 1, sampleRate, bits >= 32 ? 3 : 1);
        const bool ok = written >= 0 && fileLengthAt(temporary) == static_cast<std::uint64_t>(written);
        if (!putInPlace(temporary, targetPath, ok)) {
            printErr("Cannot create %s for the note.\n", narrow(targetPath).c_str());
        }
        return;
    }

    auto mix = [&values](std::span<const std::uint8_t> last, std::int64_t n, const AppendTargetHeader& h) {
        const std::size_t width = h.blockAlign;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            values[i] += decodeAppendSample(last.subspan(i * width, width), h.formatTag, h.bitsPerSample);
        }
    };
    auto encode = [&values](const AppendTargetHeader& h) {
        const std::size_t width = h.blockAlign;
        std::vector<std::uint8_t> bytes(values.size() * width);
        for (std::size_t i = 0; i < values.size(); ++i) {
            encodeAppendSample(values[i], h.formatTag, h.bitsPerSample,
                               std::span<std::uint8_t>(bytes).subspan(i * width, width));
        }
        return bytes;
    };
    const auto outcome =
        appendToTarget(targetPath, AppendFormats::Any, count, overlap, endPos, sampleRate, mix, encode);
    if (!outcome || quiet) return;
    if (outcome->overlap > 0) printOut("outlen=%d\n", count);
    printOut("filesize=%u\n", outcome->riffSize);
}

void mixIntoWaveInt16(const std::wstring& targetPath, std::span<std::int16_t> note, std::int32_t count, float overlap,
                      float endPos, std::int32_t sampleRate, bool quiet) {
    if (targetPath == L"nul") return;  // the null device keeps nothing to append to
    count =
        std::clamp<std::int32_t>(count, 0, static_cast<std::int32_t>(std::min<std::size_t>(note.size(), INT32_MAX)));
    const std::span<std::int16_t> values = note.first(static_cast<std::size_t>(count));
    auto littleEndian = [&values] {
        std::vector<std::uint8_t> bytes(values.size() * 2);
        for (std::size_t i = 0; i < values.size(); ++i) {
            storeU16(bytes.data() + 2 * i, static_cast<std::uint16_t>(values[i]));
        }
        return bytes;
    };

    if (!fileExists(targetPath)) {
        const std::wstring temporary = temporarySiblingPath(targetPath);
        const std::vector<std::uint8_t> bytes = littleEndian();
        const bool ok = writeWaveBytes(temporary, bytes, 16, 1, sampleRate) == 0 &&
                        fileLengthAt(temporary) == bytes.size() + kAppendHeaderBytes;
        if (!putInPlace(temporary, targetPath, ok)) {
            printErr("Cannot create %s for the note.\n", narrow(targetPath).c_str());
        }
        return;
    }

    auto mix = [&values](std::span<const std::uint8_t> last, std::int64_t n, const AppendTargetHeader&) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            const int fileSample = loadS16(last.data() + 2 * i);
            values[i] = static_cast<std::int16_t>(std::clamp(values[i] + fileSample, -32768, 32767));
        }
    };
    auto encode = [&littleEndian](const AppendTargetHeader&) { return littleEndian(); };
    const auto outcome =
        appendToTarget(targetPath, AppendFormats::Int16Only, count, overlap, endPos, sampleRate, mix, encode);
    if (!outcome || quiet) return;
    const AppendTargetHeader& h = outcome->header;
    printOut("filesize=%u\nBlockAlign=%d\nSamplesPerSec=%u\n", h.riffSize, h.blockAlign, h.sampleRate);
    printOut("overlap=%lld\n", static_cast<long long>(outcome->overlap));
    if (outcome->overlap > 0) printOut("outlen=%d\n", count);
    printOut("filesize=%u\n", outcome->riffSize);
}

}  // namespace kestrand
