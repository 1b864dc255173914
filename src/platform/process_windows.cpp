#include <stdio.h>

#include <cstdio>

#include "platform/process.h"

namespace kestrand {

namespace {

// The runtime's pipe starts "%COMSPEC% /c" followed by the text it is given.
// The command processor strips the first and the last double quote of that
// text when it begins with one, so one more pair around the command keeps the
// quotes that the command itself puts around program and file paths.
PipePtr openThroughCommandProcessor(const std::wstring& commandLine) {
    std::fflush(nullptr);
    const std::wstring wrapped = L"\"" + commandLine + L"\"";
    return PipePtr(::_wpopen(wrapped.c_str(), L"rb"));
}

}  // namespace

void PipeCloser::operator()(std::FILE* pipe) const noexcept {
    // Every pipe of this system comes from the runtime's pipe start, which
    // closes the read end and waits for the command processor to end.
    if (pipe != nullptr) ::_pclose(pipe);
}

PipePtr startCommandForReading(const std::wstring& commandLine) { return openThroughCommandProcessor(commandLine); }

// Each argument goes in double quotes, so that paths with blanks reach the
// program as one argument each. An argument cannot carry a double quote of
// its own (Windows file names never hold one); such a vector is refused.
PipePtr startProgramForReading(const std::vector<std::wstring>& arguments) {
    if (arguments.empty()) return nullptr;
    std::wstring commandLine;
    for (const auto& argument : arguments) {
        if (argument.find(L'"') != std::wstring::npos) return nullptr;
        if (!commandLine.empty()) commandLine += L' ';
        commandLine += L'"';
        commandLine += argument;
        commandLine += L'"';
    }
    return openThroughCommandProcessor(commandLine);
}

}  // namespace kestrand
