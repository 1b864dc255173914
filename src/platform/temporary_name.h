// The names of this program's temporary files and the rule for removing the
// ones that processes which died left behind. Pure functions, so the rule is
// tested on every system; files.h has the calls that use them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrand {

// Every temporary file name starts with this and ends with kTemporarySuffix.
inline constexpr std::wstring_view kTemporaryPrefix = L".kestrand-";
inline constexpr std::wstring_view kTemporarySuffix = L".tmp";

// A leftover whose process is gone is removed once it has not changed for
// this long; a file being written changes every few milliseconds, so the
// margin only guards writers whose process id this system cannot see (another
// machine on a shared folder, another container).
inline constexpr std::int64_t kDeadWriterSeconds = 30;
// Past this age a leftover is removed even when a process of its id runs:
// ids are reused, and no writer leaves a file unchanged for an hour.
inline constexpr std::int64_t kAbandonedSeconds = 3600;

// ".kestrand-PPPPPPPP-UUUUUUUU.tmp": the process id and the number in lower-case hex.
std::wstring temporaryFileName(std::uint32_t processId, std::uint32_t unique);

// The process id in a name made by temporaryFileName; nothing for any other name.
std::optional<std::uint32_t> temporaryFileProcess(std::wstring_view name);

// True when a temporary file of a process that runs (or not) and that has not
// changed for `ageSeconds` is a leftover to remove.
bool isStaleTemporaryFile(bool processRuns, std::int64_t ageSeconds);

// The folder part of a path, its last separator included ("" for a bare name).
std::wstring folderPrefix(const std::wstring& path);

}  // namespace kestrand
