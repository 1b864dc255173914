#include "platform/temporary_name.h"

#include <atomic>
#include <chrono>
#include <random>

#include "platform/files.h"
#include "platform/process.h"

namespace kestrand {

namespace {

constexpr std::size_t kHexDigits = 8;

void appendHex(std::wstring& out, std::uint32_t value) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kDigits[(value >> shift) & 0xF]);
}

std::optional<std::uint32_t> parseHex(std::wstring_view text) {
    if (text.size() != kHexDigits) return std::nullopt;
    std::uint32_t value = 0;
    for (const wchar_t c : text) {
        int digit = 0;
        if (c >= L'0' && c <= L'9') {
            digit = c - L'0';
        } else if (c >= L'a' && c <= L'f') {
            digit = c - L'a' + 10;
        } else {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// A number that differs between calls in this process and, by its random
// start, from what an earlier process of the same id may have left.
std::uint32_t nextUnique() {
    static const std::uint32_t seed = [] {
        std::random_device device;
        return device() ^ static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    static std::atomic<std::uint32_t> counter{0};
    return seed + counter.fetch_add(1);
}

}  // namespace

std::wstring temporaryFileName(std::uint32_t processId, std::uint32_t unique) {
    std::wstring name(kTemporaryPrefix);
    appendHex(name, processId);
    name.push_back(L'-');
    appendHex(name, unique);
    name += kTemporarySuffix;
    return name;
}

std::optional<std::uint32_t> temporaryFileProcess(std::wstring_view name) {
    const std::size_t length = kTemporaryPrefix.size() + 2 * kHexDigits + 1 + kTemporarySuffix.size();
    if (name.size() != length || !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) {
        return std::nullopt;
    }
    const std::wstring_view middle = name.substr(kTemporaryPrefix.size(), 2 * kHexDigits + 1);
    if (middle[kHexDigits] != L'-' || !parseHex(middle.substr(kHexDigits + 1))) return std::nullopt;
    return parseHex(middle.substr(0, kHexDigits));
}

bool isStaleTemporaryFile(bool processRuns, std::int64_t ageSeconds) {
    return ageSeconds > kAbandonedSeconds || (!processRuns && ageSeconds > kDeadWriterSeconds);
}

std::wstring folderPrefix(const std::wstring& path) {
#ifdef _WIN32
    const std::size_t separator = path.find_last_of(L"\\/:");
#else
    const std::size_t separator = path.rfind(L'/');
#endif
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring temporarySiblingPath(const std::wstring& path) {
    return folderPrefix(path) + temporaryFileName(currentProcessId(), nextUnique());
}

}  // namespace kestrand
