#include "audio/wave_append.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "audio/append_sample_codec.h"
#include "audio/append_target_header.h"
#include "audio/append_undo.h"
#include "audio/file_ranges.h"
#include "audio/wave_writer.h"
#include "base/byte_hash.h"
#include "base/little_endian.h"
#include "base/number_text.h"
#include "platform/console.h"
#include "platform/file_lock.h"
#include "platform/file_update.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

namespace {

// The largest data size whose RIFF size (data + 36) still fits the 32-bit field.
constexpr std::int64_t kMaxDataBytes = 0xFFFFFFFFLL - 36;
// How long an append waits for another process's append to the same target.
// One takes milliseconds; a holder that is stuck for this long is not waited for.
constexpr std::chrono::seconds kLockLimit{60};

void refuse(const std::wstring& path, const char* reason) {
    printErr("Cannot append the note to %s: %s. The file is left unchanged.\n", narrow(path).c_str(), reason);
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::wstring& path) {
    FilePtr file = openFile(path, "rb");
    if (!file) return std::nullopt;
    const auto length = openFileLength(file.get());
    if (!length || *length > (std::uint64_t{1} << 31)) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(*length));
    if (!readFileRange(file.get(), 0, bytes)) return std::nullopt;
    return bytes;
}

// Settles the undo record that a killed append left beside the target, if
// any: the target is then the old or the new song, whole. False (after a
// message) when a record that belongs to the target cannot be settled; the
// record stays for the next try.
bool settleLeftUndo(const std::wstring& path, std::FILE* target) {
    const std::wstring undoPath = appendUndoPath(path);
    if (!fileExists(undoPath)) return true;
    const auto bytes = readWholeFile(undoPath);
    // A record cut short was being written when its process died, before
    // anything of the target changed.
    const auto undo = bytes ? decodeAppendUndo(*bytes) : std::nullopt;
    if (undo && settleAppendUndo(target, *undo) == UndoOutcome::Failed) {
        refuse(path, "an interrupted earlier append could not be rolled back");
        return false;
    }
    removeFile(undoPath);
    return true;
}

// Writes the undo record and puts it on stable storage, name included.
bool writeUndo(const std::wstring& undoPath, const AppendUndo& undo) {
    const std::vector<std::uint8_t> bytes = encodeAppendUndo(undo);
    FilePtr file = openFile(undoPath, "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    ok = flushToStableStorage(file.get()) && ok;
    ok = std::fclose(file.release()) == 0 && ok;
    ok = ok && flushFolderOf(undoPath);
    if (!ok) removeFile(undoPath);
    return ok;
}

// Makes a new target from a finished file under a temporary name, flushed to
// stable storage first. Placed when the target was made; NameTaken when
// another process made it first (the temporary file is then gone too).
PlaceResult placeNewTarget(const std::wstring& temporary, const std::wstring& path, bool written) {
    if (written) {
        FilePtr file = openFile(temporary, "r+b");
        written = file && flushToStableStorage(file.get());
        if (file) written = std::fclose(file.release()) == 0 && written;
    }
    const PlaceResult result = written ? renameIfAbsent(temporary, path) : PlaceResult::Failed;
    if (result == PlaceResult::Placed) {
        flushFolderOf(path);
    } else {
        removeFile(temporary);
    }
    return result;
}

struct AppendOutcome {
    AppendTargetHeader header;
    std::int64_t overlap = 0;    // frames mixed (> 0) or of silence inserted (< 0)
    std::uint32_t riffSize = 0;  // the new RIFF size
};

// The steps both variants share, on an existing target. `mix(tailBytes, n,
// header)` mixes the file's last n frames into the note; `encode(header)`
// gives the note's bytes in the file's format. The target is locked against
// other appends from reading its header to the end of the change, and
// changed in place: the mixed frames and the note are written from the first
// mixed frame on, then the header's sizes, all covered by an undo record.
// Nothing (after a message) when the target is refused or the change cannot
// be made; the target is then the old song.
template <typename Mix, typename Encode>
std::optional<AppendOutcome> appendToTarget(const std::wstring& path, AppendFormats formats, std::int32_t count,
                                            float overlap, float endPos, std::int32_t sampleRate, Mix mix,
                                            Encode encode) {
    const LockAttempt lock = lockFile(path, kLockLimit);
    if (lock.outcome == LockOutcome::TimedOut) {
        refuse(path, "another process has been changing it for a minute");
        return std::nullopt;
    }
    FilePtr target = openFile(path, "r+b");
    if (!target) {
        refuse(path, "it cannot be opened for update");
        return std::nullopt;
    }
    if (!settleLeftUndo(path, target.get())) return std::nullopt;

    const std::optional<std::uint64_t> length = openFileLength(target.get());
    std::array<std::uint8_t, kAppendHeaderBytes> raw{};
    const std::size_t got = length ? std::fread(raw.data(), 1, raw.size(), target.get()) : 0;
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

    AppendUndo undo;
    undo.oldLength = *length;
    undo.newLength = kAppendHeaderBytes + static_cast<std::uint64_t>(newData);
    undo.changeStart = undo.oldLength - static_cast<std::uint64_t>(std::max<std::int64_t>(n, 0) * blockAlign);
    undo.oldHeader = header->bytes;
    undo.newHeader = withSizes(*header, newRiff, newData);
    undo.oldBytes.resize(static_cast<std::size_t>(undo.oldLength - undo.changeStart));
    if (!readFileRange(target.get(), undo.changeStart, undo.oldBytes)) {
        refuse(path, "its last frames cannot be read");
        return std::nullopt;
    }
    if (n > 0) mix(std::span<const std::uint8_t>(undo.oldBytes), n, *header);
    // Everything from the first changed byte to the new end: silence for a
    // negative overlap, then the note with its mixed start.
    std::vector<std::uint8_t> change(n < 0 ? static_cast<std::size_t>(-n * blockAlign) : 0, 0);
    const std::vector<std::uint8_t> note = encode(*header);
    change.insert(change.end(), note.begin(), note.end());
    const ByteRange guard = appendUndoGuard(undo.changeStart);
    const auto guardHash = hashFileRange(target.get(), guard.first, guard.end);
    if (!guardHash) {
        refuse(path, "its data cannot be read");
        return std::nullopt;
    }
    undo.guardHash = *guardHash;
    undo.changedHash = hashBytes(change);

    const std::wstring undoPath = appendUndoPath(path);
    if (!writeUndo(undoPath, undo)) {
        refuse(path, "no undo record can be written beside it");
        return std::nullopt;
    }
    const bool changed = writeFileRange(target.get(), undo.changeStart, change) &&
                         writeFileRange(target.get(), 0, undo.newHeader) && flushToStableStorage(target.get());
    if (!changed) {
        // A full disk or a failing device: back to the old song now, or by
        // the next append from the record if even that fails. The stream
        // that failed may still hold bytes it could not write, so the roll
        // back goes through a fresh one.
        target.reset();
        target = openFile(path, "r+b");
        if (target && settleAppendUndo(target.get(), undo) == UndoOutcome::RolledBack) {
            removeFile(undoPath);
            refuse(path, "the change could not be written (is the disk full?)");
        } else {
            printErr(
                "Cannot append the note to %s: the change could not be written; the next append restores the "
                "previous song.\n",
                narrow(path).c_str());
        }
        return std::nullopt;
    }
    removeFile(undoPath);
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
        const auto length = [&] {
            FilePtr file = openFile(temporary, "rb");
            return file ? openFileLength(file.get()) : std::nullopt;
        }();
        const PlaceResult placed =
            placeNewTarget(temporary, targetPath, written >= 0 && length == static_cast<std::uint64_t>(written));
        if (placed == PlaceResult::Failed) printErr("Cannot create %s for the note.\n", narrow(targetPath).c_str());
        // Another process made the target first: the note goes onto its end.
        if (placed != PlaceResult::NameTaken) return;
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
        const auto length = [&] {
            FilePtr file = openFile(temporary, "rb");
            return file ? openFileLength(file.get()) : std::nullopt;
        };
        const bool written =
            writeWaveBytes(temporary, bytes, 16, 1, sampleRate) == 0 && length() == bytes.size() + kAppendHeaderBytes;
        const PlaceResult placed = placeNewTarget(temporary, targetPath, written);
        if (placed == PlaceResult::Failed) printErr("Cannot create %s for the note.\n", narrow(targetPath).c_str());
        if (placed != PlaceResult::NameTaken) return;
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
