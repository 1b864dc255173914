#include "platform/long_path.h"

#include <vector>

namespace kestrand {

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool isDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The parts of a path after its root, with "." dropped and ".." applied.
std::vector<std::wstring> normalisedParts(const std::wstring& rest) {
    std::vector<std::wstring> parts;
    std::size_t at = 0;
    while (at <= rest.size()) {
        std::size_t end = at;
        while (end < rest.size() && !isSeparator(rest[end])) ++end;
        const std::wstring part = rest.substr(at, end - at);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    return parts;
}

std::wstring joined(std::wstring prefix, const std::vector<std::wstring>& parts, bool trailingSeparator) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) prefix += L'\\';
        prefix += parts[i];
    }
    if (trailingSeparator && !parts.empty()) prefix += L'\\';
    return prefix;
}

}  // namespace

std::wstring longPathForm(const std::wstring& path) {
    if (path.size() < kLongPathThreshold) return path;
    const bool trailing = isSeparator(path.back());
    // "C:\..." or "C:/...".
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == L':' && isSeparator(path[2])) {
        return joined(std::wstring(L"\\\\?\\") + path[0] + L":\\", normalisedParts(path.substr(3)), trailing);
    }
    if (path.size() >= 3 && isSeparator(path[0]) && isSeparator(path[1])) {
        // Already a device or long form: "\\?\..." or "\\.\...".
        if ((path[2] == L'?' || path[2] == L'.') && path.size() >= 4 && isSeparator(path[3])) return path;
        // "\\server\share\...": server and share stay, the rest is normalised.
        std::size_t shareEnd = 2;
        for (int separators = 0; shareEnd < path.size(); ++shareEnd) {
            if (isSeparator(path[shareEnd]) && ++separators == 2) break;
        }
        const std::vector<std::wstring> root = normalisedParts(path.substr(2, shareEnd - 2));
        if (root.size() != 2 || shareEnd >= path.size()) return path;
        const std::wstring prefix = L"\\\\?\\UNC\\" + root[0] + L"\\" + root[1] + L"\\";
        return joined(prefix, normalisedParts(path.substr(shareEnd + 1)), trailing);
    }
    return path;
}

}  // namespace kestrand
