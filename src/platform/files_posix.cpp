#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

namespace {

std::string systemPath(const std::wstring& path) {
    if (path == L"nul") return "/dev/null";
    return narrow(path);
}

}  // namespace

FilePtr openFile(const std::wstring& path, const char* mode) {
    if (path.empty()) return nullptr;
    return FilePtr(std::fopen(systemPath(path).c_str(), mode));
}

std::optional<std::uint64_t> openFileLength(std::FILE* file) {
    if (::fseeko(file, 0, SEEK_END) != 0) return std::nullopt;
    const off_t length = ::ftello(file);
    if (length < 0 || ::fseeko(file, 0, SEEK_SET) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(length);
}

bool fileExists(const std::wstring& path) {
    struct stat info {};
    return ::stat(systemPath(path).c_str(), &info) == 0;
}

bool isRegularFile(const std::wstring& path) {
    struct stat info {};
    return ::stat(systemPath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isAbsolutePath(std::wstring_view path) { return !path.empty() && path[0] == L'/'; }

std::optional<std::wstring> canonicalPath(const std::wstring& path) {
    if (path.empty()) return std::nullopt;
    char* resolved = ::realpath(narrow(path).c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    std::wstring result = widen(resolved);
    std::free(resolved);
    return result;
}

bool samePath(std::wstring_view a, std::wstring_view b) { return a == b; }

bool makeDirectory(const std::wstring& path) {
    if (::mkdir(systemPath(path).c_str(), 0777) == 0) return true;
    return errno == EEXIST;
}

std::optional<std::wstring> currentDirectory() {
    std::vector<char> buffer(PATH_MAX + 1);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return std::nullopt;
    return widen(buffer.data());
}

bool changeDirectory(const std::wstring& path) { return ::chdir(systemPath(path).c_str()) == 0; }

bool replaceFile(const std::wstring& from, const std::wstring& to) {
    return std::rename(systemPath(from).c_str(), systemPath(to).c_str()) == 0;
}

bool removeFile(const std::wstring& path) { return std::remove(systemPath(path).c_str()) == 0; }

}  // namespace kestrand
