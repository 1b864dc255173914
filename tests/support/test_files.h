// Small helpers shared by the tests: temporary folders, whole-file reads and
// writes, the bundled voice samples, environment variables, stand-in scripts
// and running programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Skips a test that runs programs or stand-in decoder scripts through a POSIX
// shell. The Windows programs get the same paths checked end to end by
// scripts/windows-check.sh.
#ifdef _WIN32
#define KESTRAND_SKIP_WITHOUT_POSIX_SHELL() GTEST_SKIP() << "runs programs through a POSIX shell"
#else
#define KESTRAND_SKIP_WITHOUT_POSIX_SHELL() static_cast<void>(0)
#endif

namespace kestrand::test {

// A fresh empty folder under the system's temporary folder, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path);
void writeFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// A bundled voice sample, e.g. voiceSample("a.wav").
std::filesystem::path voiceSample(const std::string& name);

// The kestrand program built beside the tests.
std::filesystem::path programPath();

// Another program of the build (kestrandjob, kestrandpitch, kestrandfrq).
std::filesystem::path programPath(const std::string& name);

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error as requested by the command line
};
// Runs a shell command line and captures its standard output.
CommandResult runCommand(const std::string& commandLine);

// Sets or removes an environment variable of this process; the program's own
// lookups see the change on every system.
void setEnvironment(const std::string& name, const std::string& value);
void unsetEnvironment(const std::string& name);

// Sets (or with nothing, unsets) an environment variable and puts the old
// value back when it goes.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Writes a /bin/sh script with the given body and makes it executable.
std::filesystem::path writeScript(const std::filesystem::path& path, const std::string& body);

// Makes a folder the working folder and goes back to the previous one when it goes.
class ScopedWorkingFolder {
public:
    explicit ScopedWorkingFolder(const std::filesystem::path& folder);
    ~ScopedWorkingFolder();
    ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
    ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

private:
    std::filesystem::path previous_;
};

// The full path of a program on the search path, or nothing.
std::optional<std::filesystem::path> findProgram(const std::string& name);

// Runs a program with arguments (no shell) and waits; true when it exited with 0.
bool runProgram(const std::vector<std::string>& arguments);

// The text of a file ("" when it cannot be read).
std::string readFileText(const std::filesystem::path& path);

// The wide form of a path as the program's functions take it.
std::wstring widePath(const std::filesystem::path& path);

}  // namespace kestrand::test
