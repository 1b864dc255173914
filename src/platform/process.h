// Starting a command line through the system's command processor with its
// standard output readable through a pipe.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace kestrand {

struct PipeCloser {
    void operator()(std::FILE* pipe) const noexcept;
};
using PipePtr = std::unique_ptr<std::FILE, PipeCloser>;

// Starts the command line and returns its standard output for binary reading,
// or null when it could not be started.
PipePtr startCommandForReading(const std::wstring& commandLine);

}  // namespace kestrand
