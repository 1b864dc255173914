// Helpers for tests that run the program on notes: shell quoting, the note's
// command line and folder listings.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand::test {

inline std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The command line of one 300 ms note of the input at the pitch, written to
// the output; quiet unless other flags are given.
inline std::string noteCommand(const std::string& input, const std::string& output, const std::string& pitch = "A4",
                               const std::string& flags = "n") {
    return shellQuoted(programPath().string()) + " " + shellQuoted(input) + " " + shellQuoted(output) + " " + pitch +
           " 100 " + shellQuoted(flags) + " 0 300 50 0 100 0 '!120' AA";
}

// The same note through the job program (positional parameters), as a 16-bit file.
inline std::string jobCommand(const std::string& input, const std::string& output) {
    return shellQuoted(programPath("kestrandjob").string()) + " " + shellQuoted(input) + " " + shellQuoted(output) +
           " 300 A4 100";
}

// The names of the entries of a folder.
inline std::set<std::string> folderNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

}  // namespace kestrand::test
