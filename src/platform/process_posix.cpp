#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/process.h"
#include "platform/text.h"

extern char** environ;

namespace kestrand {

void PipeCloser::operator()(std::FILE* pipe) const noexcept {
    if (pipe == nullptr) return;
    // Closing our end first lets a program that is still writing stop with a
    // broken pipe instead of waiting for a reader forever.
    std::fclose(pipe);
    const auto child = static_cast<pid_t>(process);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
}

PipePtr startProgramForReading(const std::vector<std::wstring>& arguments) {
    if (arguments.empty()) return nullptr;
    std::vector<std::string> narrowArguments;
    narrowArguments.reserve(arguments.size());
    for (const auto& argument : arguments) narrowArguments.push_back(narrowForSystem(argument));
    std::vector<char*> argv;
    argv.reserve(narrowArguments.size() + 1);
    for (auto& argument : narrowArguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return nullptr;

    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        return nullptr;
    }
    // The child's standard output becomes the write end; dup2 clears the
    // close-on-exec mark of the copy, both pipe ends themselves close on exec.
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);

    std::fflush(nullptr);
    pid_t child = 0;
    const int failed = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed != 0) {
        ::close(ends[0]);
        return nullptr;
    }
    std::FILE* stream = ::fdopen(ends[0], "rb");
    if (stream == nullptr) {
        ::close(ends[0]);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        return nullptr;
    }
    return PipePtr(stream, PipeCloser{static_cast<std::intptr_t>(child)});
}

std::uint32_t currentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

bool processRuns(std::uint32_t processId) {
    // 0 and values beyond pid_t would address process groups, not a process.
    if (processId == 0 || processId > static_cast<std::uint32_t>(INT32_MAX)) return false;
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

}  // namespace kestrand
