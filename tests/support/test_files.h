// Small helpers shared by the tests: temporary folders, whole-file reads and
// writes, the bundled voice samples and running the program.
#pragma once

#include <cstdint>
#include <filesystem>
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

// Little-endian byte writers for building test files.
void putU16(std::vector<std::uint8_t>& out, std::uint16_t value);
void putU32(std::vector<std::uint8_t>& out, std::uint32_t value);
void putText(std::vector<std::uint8_t>& out, const std::string& text);

// A canonical 44-byte-header PCM WAV image.
std::vector<std::uint8_t> makeWaveImage(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t rate,
                                        std::uint16_t bits, const std::vector<std::uint8_t>& data);

// The wide form of a path as the program's functions take it.
std::wstring widePath(const std::filesystem::path& path);

}  // namespace kestrand::test
