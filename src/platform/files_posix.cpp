#include <dirent.h>
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

std::optional<std::int64_t> fileModifiedTime(const std::wstring& path) {
    struct stat info {};
    if (::stat(systemPath(path).c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

std::optional<std::vector<FolderEntry>> listFolder(const std::wstring& path) {
    const std::string folder = systemPath(path);
    DIR* handle = ::opendir(folder.c_str());
    if (handle == nullptr) return std::nullopt;
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(handle)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string full = folder + "/" + name;
        struct stat own {};
        if (::lstat(full.c_str(), &own) != 0) continue;
        FolderEntry item;
        item.name = widen(name);
        if (S_ISLNK(own.st_mode)) {
            // A link counts as the file it points to; links to folders are
            // not followed, so that a loop of links cannot trap the walk.
            struct stat target {};
            item.isFile = ::stat(full.c_str(), &target) == 0 && S_ISREG(target.st_mode);
        } else {
            item.isFolder = S_ISDIR(own.st_mode);
            item.isFile = S_ISREG(own.st_mode);
        }
        entries.push_back(std::move(item));
    }
    ::closedir(handle);
    return entries;
}

}  // namespace kestrand
