#include "support/test_files.h"

#ifdef _WIN32
#include <stdlib.h>
#else
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/text.h"

namespace kestrand::test {

TempDir::TempDir() {
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = std::filesystem::temp_directory_path() / ("kestrand-test-" + std::to_string(device()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path voiceSample(const std::string& name) {
    return std::filesystem::path(KESTRAND_SOURCE_DIR) / "voice" / name;
}

std::filesystem::path programPath() { return std::filesystem::path(KESTRAND_BINARY); }

std::filesystem::path programPath(const std::string& name) {
#ifdef _WIN32
    return std::filesystem::path(KESTRAND_BINARY_DIR) / (name + ".exe");
#else
    return std::filesystem::path(KESTRAND_BINARY_DIR) / name;
#endif
}

CommandResult runCommand(const std::string& commandLine) {
    CommandResult result;
#ifdef _WIN32
    std::FILE* pipe = ::_popen(commandLine.c_str(), "rb");
#else
    std::FILE* pipe = ::popen(commandLine.c_str(), "r");
#endif
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
#ifdef _WIN32
    result.exitCode = ::_pclose(pipe);
#else
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

#ifdef _WIN32
// The wide call keeps the wide environment, which the program reads, in step.
void setEnvironment(const std::string& name, const std::string& value) {
    ::_wputenv_s(widen(name).c_str(), widen(value).c_str());
}
void unsetEnvironment(const std::string& name) { ::_wputenv_s(widen(name).c_str(), L""); }
#else
void setEnvironment(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }
void unsetEnvironment(const std::string& name) { ::unsetenv(name.c_str()); }
#endif

void putU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

void putText(std::vector<std::uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

std::vector<std::uint8_t> makeWaveImage(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t rate,
                                        std::uint16_t bits, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    const auto blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    putText(out, "RIFF");
    putU32(out, static_cast<std::uint32_t>(data.size() + 36));
    putText(out, "WAVEfmt ");
    putU32(out, 16);
    putU16(out, formatTag);
    putU16(out, channels);
    putU32(out, rate);
    putU32(out, rate * blockAlign);
    putU16(out, blockAlign);
    putU16(out, bits);
    putText(out, "data");
    putU32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

#ifdef _WIN32
std::wstring widePath(const std::filesystem::path& path) { return path.wstring(); }
#else
std::wstring widePath(const std::filesystem::path& path) { return widen(path.string()); }
#endif

}  // namespace kestrand::test
