#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/command_words.h"
#include "platform/environment.h"
#include "platform/process.h"

namespace kestrand {

namespace {

// Closes a handle when it goes out of scope (null and invalid ones are skipped).
struct HandleGuard {
    HANDLE handle = nullptr;
    ~HandleGuard() {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    }
};

// The full path of the program to start: a name with a folder as it stands,
// a bare name from the folders of PATH (".exe" added when it has no extension).
std::optional<std::wstring> programPath(const std::wstring& name) {
    if (name.find_first_of(L"\\/:") != std::wstring::npos) return name;
    const auto searchPath = getEnvironment(L"PATH");
    if (!searchPath) return std::nullopt;
    std::vector<wchar_t> buffer(32768);
    const DWORD length = ::SearchPathW(searchPath->c_str(), name.c_str(), L".exe", static_cast<DWORD>(buffer.size()),
                                       buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) return std::nullopt;
    return std::wstring(buffer.data(), length);
}

// An inheritable copy of one of this process's standard handles for the
// child, or null when there is none.
HANDLE inheritableStandardHandle(DWORD which) {
    HANDLE own = ::GetStdHandle(which);
    if (own == nullptr || own == INVALID_HANDLE_VALUE) return nullptr;
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), own, ::GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
}

}  // namespace

void PipeCloser::operator()(std::FILE* pipe) const noexcept {
    if (pipe == nullptr) return;
    // Closing our end first lets a program that is still writing stop with a
    // broken pipe instead of waiting for a reader forever.
    std::fclose(pipe);
    const auto child = reinterpret_cast<HANDLE>(process);
    ::WaitForSingleObject(child, INFINITE);
    ::CloseHandle(child);
}

PipePtr startProgramForReading(const std::vector<std::wstring>& arguments) {
    if (arguments.empty() || arguments[0].find(L'"') != std::wstring::npos) return nullptr;
    const auto program = programPath(arguments[0]);
    if (!program) return nullptr;
    // The program's C runtime splits this line back into exactly `arguments`.
    std::wstring commandLine = joinWindowsCommandLine(arguments);

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HandleGuard readEnd;
    HandleGuard writeEnd;
    if (!::CreatePipe(&readEnd.handle, &writeEnd.handle, &inherit, 0)) return nullptr;
    // Only the write end goes to the child.
    if (!::SetHandleInformation(readEnd.handle, HANDLE_FLAG_INHERIT, 0)) return nullptr;
    HandleGuard input{inheritableStandardHandle(STD_INPUT_HANDLE)};
    HandleGuard error{inheritableStandardHandle(STD_ERROR_HANDLE)};

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.handle;
    startup.hStdOutput = writeEnd.handle;
    startup.hStdError = error.handle;
    PROCESS_INFORMATION started{};
    std::fflush(nullptr);
    // lpApplicationName names the file to run, so the system searches nothing
    // and the command line is handed over without the command processor.
    if (!::CreateProcessW(program->c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &started)) {
        return nullptr;
    }
    ::CloseHandle(started.hThread);
    HandleGuard child{started.hProcess};

    const int descriptor = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(readEnd.handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        ::TerminateProcess(child.handle, 1);
        ::WaitForSingleObject(child.handle, INFINITE);
        return nullptr;
    }
    readEnd.handle = nullptr;  // the descriptor owns it now
    std::FILE* stream = ::_fdopen(descriptor, "rb");
    if (stream == nullptr) {
        ::_close(descriptor);
        ::TerminateProcess(child.handle, 1);
        ::WaitForSingleObject(child.handle, INFINITE);
        return nullptr;
    }
    const auto process = reinterpret_cast<std::intptr_t>(child.handle);
    child.handle = nullptr;  // the pipe's closer waits for it and closes it
    return PipePtr(stream, PipeCloser{process});
}

std::uint32_t currentProcessId() { return ::GetCurrentProcessId(); }

bool processRuns(std::uint32_t processId) {
    if (processId == 0) return false;
    HandleGuard process{::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId)};
    // Only an id that names no process is refused as a parameter; a process
    // we may not open (another user's) still runs.
    if (process.handle == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
    return ::WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT;
}

}  // namespace kestrand
