#include "input/input_test_support.h"

#ifdef _WIN32
#include <process.h>
#include <stdlib.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/text.h"
#include "support/test_files.h"

namespace kestrand::test {

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    if (value) {
        setEnvironment(name_, *value);
    } else {
        unsetEnvironment(name_);
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    if (old_) {
        setEnvironment(name_, *old_);
    } else {
        unsetEnvironment(name_);
    }
}

ScopedWorkingFolder::ScopedWorkingFolder(const std::filesystem::path& folder)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

ScopedWorkingFolder::~ScopedWorkingFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

std::filesystem::path writeScript(const std::filesystem::path& path, const std::string& body) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "#!/bin/sh\n" << body << "\n";
    }
    std::filesystem::permissions(path, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec);
    return path;
}

#ifdef _WIN32
std::optional<std::filesystem::path> findProgram(const std::string& name) {
    const char* searchPath = std::getenv("PATH");
    if (searchPath == nullptr) return std::nullopt;
    std::stringstream folders(searchPath);
    std::string folder;
    while (std::getline(folders, folder, ';')) {
        if (folder.empty()) continue;
        const auto candidate = std::filesystem::path(folder) / (name + ".exe");
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    return std::nullopt;
}

bool runProgram(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return false;
    // The runtime joins the vector into one command line; quotes keep blanks.
    std::vector<std::wstring> quoted;
    for (const auto& argument : arguments) quoted.push_back(L"\"" + widen(argument) + L"\"");
    std::vector<const wchar_t*> argv;
    for (const auto& argument : quoted) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    return ::_wspawnvp(_P_WAIT, widen(arguments[0]).c_str(), argv.data()) == 0;
}
#else
std::optional<std::filesystem::path> findProgram(const std::string& name) {
    const char* searchPath = std::getenv("PATH");
    if (searchPath == nullptr) return std::nullopt;
    std::stringstream folders(searchPath);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        const auto candidate = std::filesystem::path(folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

bool runProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    if (::waitpid(child, &status, 0) < 0) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

std::string readFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kestrand::test
