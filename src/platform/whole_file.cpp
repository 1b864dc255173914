#include "platform/whole_file.h"

namespace kestrand {

namespace {

FileResult failed(const std::string& what) { return FileResult{false, what}; }

}  // namespace

FileResult writeWholeFile(const std::wstring& path, std::span<const std::uint8_t> bytes, Durability durability) {
    ignoreFileSizeLimitSignal();
    removeStaleTemporaryFiles(path);
    // A name left by an earlier process of the same id is skipped, not reused.
    std::wstring temporary;
    FilePtr file;
    for (int attempt = 0; attempt < 8 && !file; ++attempt) {
        temporary = temporarySiblingPath(path);
        file = createNewFile(temporary);
        if (!file && fileKind(temporary) == FileKind::Missing) break;
    }
    if (!file) return failed("cannot create a file in its folder (" + lastFileError() + ")");
    const bool written = writeAllBytes(file.get(), bytes);
    std::string why = written ? std::string() : lastFileError();
    const bool closed = closeFile(std::move(file), durability);
    if (written && !closed) why = lastFileError();
    if (!written || !closed) {
        removeFile(temporary);
        return failed(why);
    }
    if (!replaceFile(temporary, path)) {
        why = lastFileError();
        removeFile(temporary);
        return failed("cannot put the finished file in place (" + why + ")");
    }
    if (durability == Durability::Durable) syncFolderOf(path);
    return {};
}

}  // namespace kestrand
