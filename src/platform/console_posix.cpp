#include <unistd.h>

#include <cstdio>

#include "platform/console.h"

namespace kestrand {

void writeOut(std::string_view utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

void writeErr(std::string_view utf8) {
    if (captureStderr(utf8)) return;
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}

bool stderrIsTerminal() { return !stderrCaptured() && ::isatty(STDERR_FILENO) == 1; }

bool stdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void setStdoutBinary() {}

}  // namespace kestrand
