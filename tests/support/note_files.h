// Helpers for tests that run the program on notes: shell quoting, the note's
// command line, folder listings and a check that a file is one whole WAV.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace kestrand::test {

inline std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The command line of one quiet 300 ms note of the input at the pitch, written to the output.
inline std::string noteCommand(const std::string& input, const std::string& output, const std::string& pitch = "A4") {
    return shellQuoted(programPath().string()) + " " + shellQuoted(input) + " " + shellQuoted(output) + " " + pitch +
           " 100 n 0 300 50 0 100 0 '!120' AA";
}

// The names of the entries of a folder.
inline std::set<std::string> folderNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

inline std::uint32_t u32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// True when the bytes are one complete WAV file: RIFF/WAVE whose RIFF size
// covers exactly the rest, a format chunk, and a data chunk that ends exactly
// at the end of the file with more than zero bytes of sound.
inline bool isWholeWave(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    if (u32At(bytes, 4) != bytes.size() - 8) return false;
    bool format = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t size = u32At(bytes, at + 4);
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0) format = true;
        if (std::memcmp(bytes.data() + at, "data", 4) == 0) return format && size > 0 && at + 8 + size == bytes.size();
        at += 8 + size + (size & 1u);
    }
    return false;
}

}  // namespace kestrand::test
