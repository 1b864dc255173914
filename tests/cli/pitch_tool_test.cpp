#include "cli/pitch_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"
#include "platform/text.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Runs the tool with the given text as its standard input.
PitchToolResult run(const std::vector<std::wstring>& arguments, const std::string& input = {}) {
    std::unique_ptr<std::FILE, FileCloser> file(std::tmpfile());
    EXPECT_NE(file, nullptr);
    if (!file) return {};
    std::fwrite(input.data(), 1, input.size(), file.get());
    std::rewind(file.get());
    std::vector<std::wstring> args{L"kestrandpitch"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    return runPitchTool(args, file.get());
}

std::string joined(const std::vector<std::int16_t>& values) {
    std::string text;
    for (const auto value : values) text += (text.empty() ? "" : " ") + std::to_string(value);
    return text;
}

// The last character of a line of output is its newline; the rest is the line.
std::wstring lineOf(const std::string& out) {
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    return widen(out.substr(0, out.empty() ? 0 : out.size() - 1));
}

// A vibrato over a slow random walk with a flat stretch, the shape of a sung
// pitch bend; every difference of order 0 to 3 stays within -2048..2047.
std::vector<std::int16_t> bendCurve(std::size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> step(-3, 3);
    std::vector<std::int16_t> values;
    int walk = 0;
    for (std::size_t i = 0; i < length; ++i) {
        walk = std::clamp(walk + step(random), -150, 150);
        const bool flat = i % 200 > 150;
        const double vibrato = flat ? 0.0 : 40.0 * std::sin(static_cast<double>(i) * 0.3);
        values.push_back(static_cast<std::int16_t>(flat ? 0 : walk + std::lround(vibrato)));
    }
    return values;
}

const std::array<const wchar_t*, 4> kModes{L"std", L"enc", L"cmp", L"hff"};

TEST(PitchTool, EveryModeAndOrderRoundTripsAndMatchesTheLibraryEntries) {
    const std::vector<std::int16_t> curve = bendCurve(1500, 3);
    for (const wchar_t* mode : kModes) {
        for (int order = 0; order <= 3; ++order) {
            SCOPED_TRACE(narrow(mode) + " order " + std::to_string(order));
            const std::wstring orderText = std::to_wstring(order);
            // Numbers may come on several lines and with tabs.
            std::string input = joined(curve);
            input[input.find(' ')] = '\n';
            input[input.rfind(' ')] = '\t';
            const PitchToolResult encoded = run({L"encode", mode, orderText}, input + "\n");
            ASSERT_EQ(encoded.exitCode, 0);
            EXPECT_EQ(encoded.err, "");
            const std::wstring text = lineOf(encoded.out);

            if (std::wstring_view(mode) == L"std") {
                EXPECT_EQ(std::optional<std::wstring>(text), encodePitchBend(PitchCurve{curve}));
            } else {
                const CodecMode codec = std::wstring_view(mode) == L"enc"   ? CodecMode::Enc
                                        : std::wstring_view(mode) == L"cmp" ? CodecMode::Cmp
                                                                            : CodecMode::Hff;
                std::vector<wchar_t> buffer(text.size() + 1);
                EXPECT_EQ(encodePitchList(widen(joined(curve)), buffer, order, codec), text.size());
                EXPECT_EQ(std::wstring(buffer.data()), text);
                std::vector<wchar_t> numbers(input.size() + 1);
                decodePitchList(text, numbers, order, codec);
                EXPECT_EQ(narrow(numbers.data()), joined(curve));
            }

            const PitchToolResult decoded = run({L"decode", mode, orderText, text});
            EXPECT_EQ(decoded.exitCode, 0);
            EXPECT_EQ(decoded.err, "");
            EXPECT_EQ(decoded.out, joined(curve) + "\n");
        }
    }
}

TEST(PitchTool, DecodesKnownTexts) {
    EXPECT_EQ(run({L"decode", L"hff", L"0", L"lCqo"}).out, "0 1 0 1\n");
    EXPECT_EQ(run({L"decode", L"hff", L"1", L"lCqo"}).out, "0 1 1 2\n");
    // std: two digits per value in twelve-bit two's complement, "#n#" repeats.
    EXPECT_EQ(run({L"decode", L"std", L"anything", L"AB//#2#"}).out, "1 -1 -1 -1\n");
    // A text that yields no value prints an empty line.
    const PitchToolResult empty = run({L"decode", L"enc", L"2", L""});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "\n");
}

TEST(PitchTool, ReadsFractionsAndTheWholeRangeAndNothingAtAll) {
    // Fractions round to the nearest integer, halves upward.
    EXPECT_EQ(run({L"decode", L"enc", L"1", lineOf(run({L"encode", L"enc", L"1"}, "1.5 -1.5 2.4 -200.00").out)}).out,
              "2 -1 2 -200\n");
    const PitchToolResult ends = run({L"encode", L"cmp", L"0"}, "-32768 32767 +7 1e2");
    EXPECT_EQ(ends.exitCode, 0);
    EXPECT_NE(ends.err, "");  // the codec cannot carry such steps, and says so
    EXPECT_FALSE(lineOf(ends.out).empty());
    const PitchToolResult nothing = run({L"encode", L"hff", L"2"}, " \n\t ");
    EXPECT_EQ(nothing.exitCode, 0);
    EXPECT_EQ(nothing.out, "\n");
    EXPECT_EQ(nothing.err, "");
}

TEST(PitchTool, RefusesBadNumbersWithExitOne) {
    const struct {
        std::string input;
        std::string named;
    } cases[] = {{"12 abc 4", "\"abc\""},
                 {"1,5", "\"1,5\""},
                 {"3e", "\"3e\""},
                 {"40000", "40000"},
                 {"-32768.6", "-32768.6"},
                 {"1e400", "1e400"},
                 {std::string(100, '9'), "..."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const PitchToolResult result = run({L"encode", L"enc", L"0"}, c.input);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.named), std::string::npos) << result.err;
        EXPECT_LT(result.err.size(), 100u);
    }
    std::string tooMany;
    for (int i = 0; i < 32768; ++i) tooMany += "0 ";
    EXPECT_EQ(run({L"encode", L"hff", L"1"}, tooMany).exitCode, 1);
    tooMany.resize(tooMany.size() - 2);
    EXPECT_EQ(run({L"encode", L"hff", L"1"}, tooMany).exitCode, 0);
}

TEST(PitchTool, WarnsWhenTheTextCannotCarryTheValues) {
    // std keeps twelve bits: 3000 comes back as -1096.
    const PitchToolResult wide = run({L"encode", L"std", L"0"}, "3000");
    EXPECT_EQ(wide.exitCode, 0);
    EXPECT_NE(wide.err.find("warning"), std::string::npos);
    EXPECT_EQ(run({L"decode", L"std", L"0", lineOf(wide.out)}).out, "-1096\n");
    // enc and cmp clamp a large step, at any order; hff carries every step.
    for (const wchar_t* codec : {L"enc", L"cmp"}) {
        EXPECT_NE(run({L"encode", codec, L"1"}, "0 3000").err.find("warning"), std::string::npos);
        EXPECT_NE(run({L"encode", codec, L"0"}, "3000").err.find("warning"), std::string::npos);
        EXPECT_EQ(run({L"encode", codec, L"1"}, "2000 3500 3501").err, "");  // steps of 2000, 1500, 1
    }
    const PitchToolResult steps = run({L"encode", L"hff", L"1"}, "0 3000 -32768 32767 5");
    EXPECT_EQ(steps.err, "");
    EXPECT_EQ(run({L"decode", L"hff", L"1", lineOf(steps.out)}).out, "0 3000 -32768 32767 5\n");
}

TEST(PitchTool, EncodesEveryOrderTheDecoderTakes) {
    // Orders beyond 0 to 3 act as 3, negative ones as 0, in both directions.
    for (const auto& [codec, order] : {std::pair{L"cmp", L"4"}, std::pair{L"cmp", L"-1"}, std::pair{L"enc", L"4"},
                                       std::pair{L"hff", L"9"}, std::pair{L"enc", L"-5"}}) {
        SCOPED_TRACE(narrow(std::wstring(codec) + L" " + order));
        const PitchToolResult encoded = run({L"encode", codec, order}, "5 9 20 18 -3");
        ASSERT_EQ(encoded.exitCode, 0);
        EXPECT_EQ(run({L"decode", codec, order, lineOf(encoded.out)}).out, "5 9 20 18 -3\n");
    }
    // The enc encoder refuses orders above 4 itself (its message goes to
    // standard error); the tool then writes no text.
    const PitchToolResult refused = run({L"encode", L"enc", L"5"}, "5 9");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "");
}

TEST(PitchTool, WrongUsageExitsWithTwo) {
    const std::vector<std::vector<std::wstring>> cases{
        {},
        {L"encode"},
        {L"encode", L"enc"},
        {L"decode", L"enc", L"1"},
        {L"encode", L"enc", L"1", L"extra"},
        {L"decode", L"enc", L"1", L"AA", L"extra"},
        {L"convert", L"enc", L"1"},
        {L"encode", L"ENC", L"1"},
        {L"encode", L"bin", L"1"},
        {L"encode", L"hff", L"1x"},
        {L"decode", L"hff", L"", L"AA"},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(arguments.size());
        const PitchToolResult result = run(arguments, "1 2 3");
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("usage: kestrandpitch", 0), 0u);
    }
}

TEST(PitchTool, TheBuiltProgramEncodesFromStandardInputAndDecodes) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    const std::string program = "'" KESTRAND_BINARY_DIR "/kestrandpitch'";
    const auto encoded = test::runCommand("printf '0 1\\n0 1' | " + program + " encode hff 0");
    EXPECT_EQ(encoded.exitCode, 0);
    EXPECT_EQ(encoded.output, "lCqo\n");
    const auto decoded = test::runCommand(program + " decode hff 0 lCqo");
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.output, "0 1 0 1\n");
    const auto wrong = test::runCommand(program + " decode hff 0 2>&1");
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.output.rfind("usage: kestrandpitch", 0), 0u);
    const auto bad = test::runCommand("echo 5 x | " + program + " encode enc 1 2>&1");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.output.find("\"x\""), std::string::npos);
}

}  // namespace
}  // namespace kestrand
