// Helpers for the input tests: environment variables set for one test,
// executable stand-in scripts, and finding real programs.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrand::test {

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

// Writes a /bin/sh script with the given body and makes it executable.
std::filesystem::path writeScript(const std::filesystem::path& path, const std::string& body);

// The full path of a program on the search path, or nothing.
std::optional<std::filesystem::path> findProgram(const std::string& name);

// Runs a program with arguments (no shell) and waits; true when it exited with 0.
bool runProgram(const std::vector<std::string>& arguments);

// The text of a file ("" when it cannot be read).
std::string readFileText(const std::filesystem::path& path);

}  // namespace kestrand::test
