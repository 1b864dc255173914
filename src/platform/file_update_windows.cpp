#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/file_update.h"
#include "platform/long_path.h"

namespace kestrand {

bool flushToStableStorage(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle) != 0;
}

bool flushFolderOf(const std::wstring&) { return true; }

bool setFileLength(std::FILE* file, std::uint64_t length) {
    if (std::fflush(file) != 0) return false;
    if (::_chsize_s(::_fileno(file), static_cast<__int64>(length)) != 0) return false;
    return ::_fseeki64(file, 0, SEEK_SET) == 0;
}

bool seekFileTo(std::FILE* file, std::uint64_t position) {
    return ::_fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
}

PlaceResult renameIfAbsent(const std::wstring& from, const std::wstring& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    if (::MoveFileExW(longPathForm(from).c_str(), longPathForm(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return PlaceResult::Placed;
    const DWORD error = ::GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? PlaceResult::NameTaken : PlaceResult::Failed;
}

}  // namespace kestrand
