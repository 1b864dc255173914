#include "audio/append_undo.h"

#include <algorithm>
#include <cstring>

#include "audio/file_ranges.h"
#include "base/byte_hash.h"
#include "base/little_endian.h"
#include "platform/file_update.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

namespace {

constexpr char kMagic[8] = {'K', 'S', 'U', 'N', 'D', 'O', '0', '1'};
constexpr std::uint64_t kGuardBytes = 64;
// Magic, five numbers, two headers, the count of old bytes; the old bytes and
// the closing hash follow.
constexpr std::size_t kFixedBytes = 8 + 5 * 8 + 2 * kAppendHeaderBytes + 8;
constexpr std::uint64_t kRecordSeed = 0x756E646FULL;

}  // namespace

ByteRange appendUndoGuard(std::uint64_t changeStart) {
    const std::uint64_t end = std::max<std::uint64_t>(changeStart, kAppendHeaderBytes);
    return {std::max<std::uint64_t>(kAppendHeaderBytes, end >= kGuardBytes ? end - kGuardBytes : 0), end};
}

std::vector<std::uint8_t> encodeAppendUndo(const AppendUndo& undo) {
    std::vector<std::uint8_t> out(kMagic, kMagic + sizeof kMagic);
    for (const std::uint64_t value :
         {undo.oldLength, undo.newLength, undo.changeStart, undo.guardHash, undo.changedHash})
        appendU64(out, value);
    out.insert(out.end(), undo.oldHeader.begin(), undo.oldHeader.end());
    out.insert(out.end(), undo.newHeader.begin(), undo.newHeader.end());
    appendU64(out, undo.oldBytes.size());
    out.insert(out.end(), undo.oldBytes.begin(), undo.oldBytes.end());
    appendU64(out, hashBytes(out, kRecordSeed));
    return out;
}

std::optional<AppendUndo> decodeAppendUndo(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kFixedBytes + 8 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return std::nullopt;
    const std::size_t body = bytes.size() - 8;
    if (loadU64(bytes.data() + body) != hashBytes(bytes.first(body), kRecordSeed)) return std::nullopt;
    AppendUndo undo;
    const std::uint8_t* p = bytes.data() + sizeof kMagic;
    undo.oldLength = loadU64(p);
    undo.newLength = loadU64(p + 8);
    undo.changeStart = loadU64(p + 16);
    undo.guardHash = loadU64(p + 24);
    undo.changedHash = loadU64(p + 32);
    p += 40;
    std::copy_n(p, kAppendHeaderBytes, undo.oldHeader.begin());
    std::copy_n(p + kAppendHeaderBytes, kAppendHeaderBytes, undo.newHeader.begin());
    p += 2 * kAppendHeaderBytes;
    const std::uint64_t count = loadU64(p);
    if (count != body - kFixedBytes) return std::nullopt;
    undo.oldBytes.assign(bytes.begin() + kFixedBytes, bytes.begin() + static_cast<std::ptrdiff_t>(body));
    if (undo.changeStart < kAppendHeaderBytes || undo.changeStart + count != undo.oldLength ||
        undo.newLength < undo.oldLength)
        return std::nullopt;
    return undo;
}

std::wstring appendUndoPath(const std::wstring& targetPath) {
    auto slash = targetPath.find_last_of(kPathSeparator == L'/' ? L"/" : L"/\\");
    const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    const std::string name = narrow(targetPath.substr(nameStart));
    const std::uint64_t hash =
        hashBytes(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()));
    wchar_t digits[17];
    for (int i = 0; i < 16; ++i) digits[i] = L"0123456789abcdef"[(hash >> (60 - 4 * i)) & 0xF];
    digits[16] = L'\0';
    return targetPath.substr(0, nameStart) + L".kestrand-undo-" + digits;
}

UndoOutcome settleAppendUndo(std::FILE* target, const AppendUndo& undo) {
    const auto length = openFileLength(target);
    std::array<std::uint8_t, kAppendHeaderBytes> header{};
    if (!length) return UndoOutcome::Failed;
    if (*length < kAppendHeaderBytes || !readFileRange(target, 0, header)) return UndoOutcome::Unrelated;

    if (header == undo.newHeader && *length == undo.newLength &&
        hashFileRange(target, undo.changeStart, undo.newLength) == undo.changedHash)
        return UndoOutcome::Completed;

    const ByteRange guard = appendUndoGuard(undo.changeStart);
    const bool ours = (header == undo.oldHeader || header == undo.newHeader) && *length >= undo.oldLength &&
                      *length <= undo.newLength && hashFileRange(target, guard.first, guard.end) == undo.guardHash;
    if (!ours) return UndoOutcome::Unrelated;
    // The old bytes, the old length, then the old header: a kill in the middle
    // of this leaves a target that the same record rolls back again.
    const bool restored = writeFileRange(target, undo.changeStart, undo.oldBytes) &&
                          setFileLength(target, undo.oldLength) && writeFileRange(target, 0, undo.oldHeader) &&
                          flushToStableStorage(target);
    return restored ? UndoOutcome::RolledBack : UndoOutcome::Failed;
}

}  // namespace kestrand
