// Starting other programs with their standard output readable through a pipe.
// A program is always started directly with an argument vector, never through
// a shell or the command processor, so every argument reaches it unchanged
// whatever characters it holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kestrand {

// Closes the read end, then waits for the started program to end and lets
// go of it. `process` identifies the program (its id on POSIX, its process
// handle on Windows).
struct PipeCloser {
    std::intptr_t process = 0;
    void operator()(std::FILE* pipe) const noexcept;
};
using PipePtr = std::unique_ptr<std::FILE, PipeCloser>;

// Starts `arguments[0]` with `arguments` as its argument vector and returns
// its standard output for binary reading. A program name without a folder is
// looked up in the folders of the PATH variable only (on Windows also with
// ".exe" added), never in the current folder unless PATH lists it; a name
// with a folder is taken as it stands. Standard input and standard error are
// inherited. Null when the vector is empty or the program cannot be started.
PipePtr startProgramForReading(const std::vector<std::wstring>& arguments);

// The id of this process.
std::uint32_t currentProcessId();

// True when a process of this id runs on this system (or cannot be asked
// about, which only a running process can cause); false when none does.
bool processRuns(std::uint32_t processId);

}  // namespace kestrand
