// Where the running program itself lies.
#pragma once

#include <optional>
#include <string>

namespace kestrand {

// The canonical folder (see canonicalPath) of the running program's own
// file, links resolved; nothing when the system cannot tell.
std::optional<std::wstring> programFolder();

}  // namespace kestrand
