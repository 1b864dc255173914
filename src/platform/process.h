// Starting other programs with their standard output readable through a pipe:
// either a command line through the system's command processor, or a program
// with an argument vector, started directly so that every argument reaches it
// unchanged whatever characters it holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kestrand {

// Closes the read end and waits for the program to end. `processId` is the
// started child for programs started directly, 0 for command-processor pipes.
struct PipeCloser {
    std::int64_t processId = 0;
    void operator()(std::FILE* pipe) const noexcept;
};
using PipePtr = std::unique_ptr<std::FILE, PipeCloser>;

// Starts the command line through the command processor and returns its
// standard output for binary reading, or null when it could not be started.
PipePtr startCommandForReading(const std::wstring& commandLine);

// Starts `arguments[0]` (looked up on the search path when it names no folder)
// with `arguments` as its argument vector, no command processor involved, and
// returns its standard output for binary reading. Standard input and standard
// error are inherited. Null when the vector is empty or the program could not
// be started.
PipePtr startProgramForReading(const std::vector<std::wstring>& arguments);

}  // namespace kestrand
