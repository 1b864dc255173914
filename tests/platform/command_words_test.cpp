#include "platform/command_words.h"

#include <gtest/gtest.h>

namespace kestrand {
namespace {

using Words = std::vector<std::wstring>;

TEST(CommandWords, OnlyBlanksAndDoubleQuotesAreSpecial) {
    EXPECT_EQ(splitCommandWords(L"  \"/my dir/dec.exe\" -x\t\"a b.wav\"  "),
              (Words{L"/my dir/dec.exe", L"-x", L"a b.wav"}));
    EXPECT_EQ(splitCommandWords(L"dec.exe ;rm x; a&&b |c `d` $(e) >f <g 'h i' C:\\v\\a.wav \\\"j"),
              (Words{L"dec.exe", L";rm", L"x;", L"a&&b", L"|c", L"`d`", L"$(e)", L">f", L"<g", L"'h", L"i'",
                     L"C:\\v\\a.wav", L"\\j"}));
    // Quotes group inside a word, "" is an empty word, an open quote runs to the end.
    EXPECT_EQ(splitCommandWords(L"a\"b c\"d \"\" \"e f"), (Words{L"ab cd", L"", L"e f"}));
    EXPECT_EQ(splitCommandWords(L" \t "), Words{});
}

TEST(CommandWords, WindowsRulesAndTheirInverse) {
    // The program name: quotes group, backslashes are plain.
    EXPECT_EQ(splitWindowsCommandLine(L"\"C:\\Program Files\\x.exe\" a"), (Words{L"C:\\Program Files\\x.exe", L"a"}));
    EXPECT_EQ(splitWindowsCommandLine(L"C:\\d\\x.exe\\\" a"), (Words{L"C:\\d\\x.exe\\ a"}));
    // The C runtime's examples for the arguments.
    EXPECT_EQ(splitWindowsCommandLine(L"p \"a b c\" d e"), (Words{L"p", L"a b c", L"d", L"e"}));
    EXPECT_EQ(splitWindowsCommandLine(L"p \"ab\\\"c\" \"\\\\\" d"), (Words{L"p", L"ab\"c", L"\\", L"d"}));
    EXPECT_EQ(splitWindowsCommandLine(L"p a\\\\\\b d\"e f\"g h"), (Words{L"p", L"a\\\\\\b", L"de fg", L"h"}));
    EXPECT_EQ(splitWindowsCommandLine(L"p a\\\\\\\"b c d"), (Words{L"p", L"a\\\"b", L"c", L"d"}));
    EXPECT_EQ(splitWindowsCommandLine(L"p a\\\\\\\\\"b c\" d e"), (Words{L"p", L"a\\\\b c", L"d", L"e"}));
    EXPECT_EQ(splitWindowsCommandLine(L"p a\"b\"\" c d"), (Words{L"p", L"ab\" c d"}));
    EXPECT_EQ(splitWindowsCommandLine(L"p &calc& |x ^y %z%"), (Words{L"p", L"&calc&", L"|x", L"^y", L"%z%"}));

    const Words arguments = {L"C:\\p q\\x.exe", L"",           L"a b",        L"a\"b", L"a\\",
                             L"a\\\\\"b",       L"\\\\s\\x\\", L"&|<>^%\" ;", L"\"\""};
    EXPECT_EQ(splitWindowsCommandLine(joinWindowsCommandLine(arguments)), arguments);
    EXPECT_EQ(joinWindowsCommandLine({L"C:\\x.exe", L"a b\\", L"c\"d"}), L"\"C:\\x.exe\" \"a b\\\\\" \"c\\\"d\"");
}

}  // namespace
}  // namespace kestrand
