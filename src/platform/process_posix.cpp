#include <stdio.h>

#include "platform/process.h"
#include "platform/text.h"

namespace kestrand {

void PipeCloser::operator()(std::FILE* pipe) const noexcept {
    if (pipe != nullptr) ::pclose(pipe);
}

PipePtr startCommandForReading(const std::wstring& commandLine) {
    std::fflush(nullptr);
    return PipePtr(::popen(narrowForSystem(commandLine).c_str(), "r"));
}

}  // namespace kestrand
