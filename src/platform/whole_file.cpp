#include "platform/whole_file.h"

#include <cerrno>
#include <optional>
#include <random>

namespace kestrand {

namespace {

// Searching a folder for leftovers costs time in proportion to its entries
// (about a millisecond for 3000 on a local disk, as much as the rest of a
// short note's write), and a host's cache folder holds thousands of notes. A
// folder whose listing is at most this size (some 250 entries on ext4, 400 on
// tmpfs) is searched on every write; a larger one on a share of the writes
// that keeps the expected cost that of the small folder, so its leftovers go
// within a few writes.
constexpr std::uint64_t kSearchedEveryTime = 8192;

bool leftoverSearchDue(const std::wstring& path) {
    const std::uint64_t size = folderListingBytes(path);
    if (size <= kSearchedEveryTime) return true;
    thread_local std::minstd_rand draw(std::random_device{}());
    return std::uniform_int_distribution<std::uint64_t>(1, size)(draw) <= kSearchedEveryTime;
}

FileResult failed(const std::string& what) { return FileResult{false, what}; }

// Writes through `write` and closes the stream (flushed as `durability`
// says); why it failed, or nothing when every step succeeded.
std::optional<std::string> writeAndClose(FilePtr file, const std::function<bool(std::FILE*)>& write,
                                         Durability durability) {
    const bool written = write(file.get());
    std::string why = written ? std::string() : lastFileError();
    const bool closed = closeFile(std::move(file), durability);
    if (written && !closed) why = lastFileError();
    if (written && closed) return std::nullopt;
    return why;
}

}  // namespace

FileResult writeWholeFile(const std::wstring& path, std::span<const std::uint8_t> bytes, Durability durability) {
    return writeWholeFileWith(
        path, [bytes](std::FILE* file) { return writeAllBytes(file, bytes); }, durability);
}

FileResult writeWholeFileWith(const std::wstring& path, const std::function<bool(std::FILE*)>& write,
                              Durability durability) {
    ignoreFileSizeLimitSignal();
    // A device (the null device, a terminal) or a named pipe is written as a
    // stream: a file renamed over it would take its place (for a user allowed
    // to, /dev/null would become a plain file).
    const FileKind kind = fileKind(path);
    if (kind == FileKind::Device || kind == FileKind::Pipe) {
        FilePtr stream = openStreamForWriting(path);
        if (!stream)
            return failed(kind == FileKind::Pipe && errno == ENXIO ? "no program reads from the named pipe"
                                                                   : "cannot open it (" + lastFileError() + ")");
        const std::optional<std::string> why = writeAndClose(std::move(stream), write, Durability::Cache);
        return why ? failed(*why) : FileResult{};
    }
    if (leftoverSearchDue(path)) removeStaleTemporaryFiles(path);
    // A name left by an earlier process of the same id is skipped, not reused.
    std::wstring temporary;
    FilePtr file;
    for (int attempt = 0; attempt < 8 && !file; ++attempt) {
        temporary = temporarySiblingPath(path);
        file = createNewFile(temporary);
        if (!file && fileKind(temporary) == FileKind::Missing) break;
    }
    if (!file) return failed("cannot create a file in its folder (" + lastFileError() + ")");
    if (const std::optional<std::string> why = writeAndClose(std::move(file), write, durability)) {
        removeFile(temporary);
        return failed(*why);
    }
    if (!replaceFile(temporary, path)) {
        const std::string why = lastFileError();
        removeFile(temporary);
        return failed("cannot put the finished file in place (" + why + ")");
    }
    if (durability == Durability::Durable) syncFolderOf(path);
    return {};
}

}  // namespace kestrand
