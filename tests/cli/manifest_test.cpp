// kestrand.yaml, the flags manifest hosts read beside the program: its form
// is one the hosts accept, and every range and default is what the program does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "cli/program_info.h"
#include "support/note_files.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

// The YAML the manifest uses: "key: value" maps nested by two-space indents,
// and "- item" lists; comments start a line with "#"; values may be quoted.
struct ManifestEntry {
    std::map<std::string, std::string> fields;
    std::vector<std::string> options;
};
struct Manifest {
    std::map<std::string, std::string> top;
    std::map<std::string, ManifestEntry> expressions;
};

std::string unquoted(std::string value) {
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

Manifest readManifest(const std::filesystem::path& path) {
    Manifest manifest;
    std::ifstream in(path);
    std::string line;
    std::string entry;
    bool inOptions = false;
    while (std::getline(in, line)) {
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos || line[indent] == '#') continue;
        const std::string text = line.substr(indent);
        if (text.rfind("- ", 0) == 0) {
            EXPECT_TRUE(inOptions && indent == 6) << line;
            manifest.expressions[entry].options.push_back(unquoted(text.substr(2)));
            continue;
        }
        const std::size_t colon = text.find(':');
        EXPECT_NE(colon, std::string::npos) << line;
        const std::string key = text.substr(0, colon);
        const std::string value = colon + 1 < text.size() ? unquoted(text.substr(colon + 2)) : "";
        inOptions = false;
        if (indent == 0) {
            manifest.top[key] = value;
        } else if (indent == 2) {
            entry = key;
            manifest.expressions[entry];
        } else if (indent == 4 && key == "options") {
            inOptions = true;
        } else {
            EXPECT_EQ(indent, 4u) << line;
            manifest.expressions[entry].fields[key] = value;
        }
    }
    return manifest;
}

// The flag letters that `kestrand --help` lists.
std::set<char> helpFlagLetters() {
    std::set<char> letters;
    const std::string help(helpText(ProgramKind::Note));
    std::size_t at = help.find("\nFlags");
    at = help.find('\n', at + 1) + 1;
    while (at < help.size() && help.compare(at, 2, "  ") == 0) {
        letters.insert(help[at + 2]);
        at = help.find('\n', at) + 1;
    }
    return letters;
}

const std::filesystem::path kManifest = std::filesystem::path(KESTRAND_SOURCE_DIR) / "kestrand.yaml";

TEST(FlagsManifest, HasTheFormHostsAcceptAndAnEntryPerFlag) {
    const Manifest manifest = readManifest(kManifest);
    EXPECT_EQ(manifest.top.at("expression_filter"), "true");
    const std::set<std::string> known = {
        "name", "abbr", "type", "min", "max", "default_value", "is_flag", "flag", "skip_output_if_default"};
    std::set<char> covered;
    for (const auto& [key, entry] : manifest.expressions) {
        const auto& f = entry.fields;
        for (const auto& [field, value] : f) EXPECT_TRUE(known.count(field)) << key << ": " << field;
        const std::string abbr = f.at("abbr");
        EXPECT_GE(abbr.size(), 1u);
        EXPECT_LE(abbr.size(), 4u);
        std::string lower = abbr;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(key, lower);
        EXPECT_FALSE(f.at("name").empty());
        EXPECT_EQ(f.at("is_flag"), "true") << key;
        const double min = std::stod(f.at("min"));
        const double max = std::stod(f.at("max"));
        const double def = std::stod(f.at("default_value"));
        EXPECT_LT(min, max) << key;
        EXPECT_TRUE(min <= def && def <= max) << key;
        char letter = 0;
        if (f.at("type") == "Numerical") {
            ASSERT_EQ(f.at("flag").size(), 1u) << key;
            letter = f.at("flag")[0];
            EXPECT_TRUE(entry.options.empty()) << key;
        } else {
            EXPECT_EQ(f.at("type"), "Options") << key;
            ASSERT_EQ(entry.options.size(), 2u) << key;
            EXPECT_EQ(entry.options[0], "") << key << ": the default writes nothing";
            EXPECT_EQ(def, 0.0) << key;
            ASSERT_EQ(entry.options[1].size(), 1u) << key;
            letter = entry.options[1][0];
        }
        EXPECT_TRUE(covered.insert(letter).second) << "two entries for " << letter;
    }
    EXPECT_EQ(covered, helpFlagLetters()) << "an entry for every flag the program knows, and no other";
}

// Renders a 300 ms A4 note of a.wav with the flags (plus the quiet flag) and returns its bytes.
class FlagRender {
public:
    FlagRender() {
        std::filesystem::copy_file(test::voiceSample("a.wav"), dir_ / "a.wav");
        std::filesystem::copy_file(test::voiceSample("a_wav.frq"), dir_ / "a_wav.frq");
    }
    std::vector<std::uint8_t> operator()(const std::string& flags) {
        const auto out = dir_ / "out.wav";
        std::filesystem::remove(out);
        test::runCommand(test::shellQuoted(test::programPath().string()) + " " +
                         test::shellQuoted((dir_ / "a.wav").string()) + " " + test::shellQuoted(out.string()) +
                         " A4 100 " + test::shellQuoted(flags + "n") + " 0 300 50 0 100 0");
        auto bytes = test::readFileBytes(out);
        EXPECT_TRUE(test::isWholeWave(bytes)) << flags;
        return bytes;
    }

private:
    test::TempDir dir_;
};

std::string number(double value) { return std::to_string(static_cast<long long>(value)); }

TEST(FlagsManifest, DefaultsAndRangesAreWhatTheProgramDoes) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    FlagRender flagRender;
    for (const auto& [key, entry] : readManifest(kManifest).expressions) {
        const auto& f = entry.fields;
        if (f.at("type") != "Numerical") continue;
        const std::string letter = f.at("flag");
        // The tail velocity acts only on a fixed tail.
        const std::string context = letter == "v" ? "i40" : "";
        const auto render = [&](const std::string& flag) { return flagRender(context + flag); };
        const auto plain = render("");
        const double min = std::stod(f.at("min"));
        const double max = std::stod(f.at("max"));
        // At its listed default a flag changes nothing.
        EXPECT_EQ(render(letter + number(std::stod(f.at("default_value")))), plain) << key;
        // The thread count changes no byte; every other flag is heard at the ends.
        const auto atMax = render(letter + number(max));
        const auto atMin = render(letter + number(min));
        if (letter != "S") {
            EXPECT_TRUE(atMax != plain || atMin != plain) << key << " has no effect at its ends";
        }
        // Beyond an end the program does what it does at that end, or ignores
        // the flag; only the fixed tail has no limit in the program.
        if (letter == "i") continue;
        const double span = max - min;
        const auto beyondMax = render(letter + number(max + span));
        EXPECT_TRUE(beyondMax == atMax || beyondMax == plain) << key << " is limited beyond " << max;
        const auto beyondMin = render(letter + number(min - span));
        EXPECT_TRUE(beyondMin == atMin || beyondMin == plain) << key << " is limited below " << min;
    }
}

}  // namespace
}  // namespace kestrand
