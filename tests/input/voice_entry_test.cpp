#include "input/voice_entry.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace kestrand {
namespace {

std::optional<VoiceEntry> readText(const test::TempDir& dir, const std::string& text) {
    const auto path = dir / "entry.txt";
    test::writeFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    return readVoiceEntry(test::widePath(path));
}

TEST(VoiceEntryReader, ReadsEveryKey) {
    test::TempDir dir;
    const auto entry = readText(dir,
                                "wave=voice/a\xc3\xa9.wav\r\noffset=12.7\nlength=-300\nfix1=5\nfix2=6\n"
                                "overlap=7\npreuttr=+8\n");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->wave, std::optional<std::wstring>(L"voice/a\u00e9.wav"));
    EXPECT_EQ(entry->offset, 12);
    EXPECT_EQ(entry->length, -300);
    EXPECT_EQ(entry->fix1, 5);
    EXPECT_EQ(entry->fix2, 6);
    EXPECT_EQ(entry->overlap, 7);
    EXPECT_EQ(entry->preuttr, 8);
}

TEST(VoiceEntryReader, KeysAreExactAndLaterLinesWin) {
    test::TempDir dir;
    const auto entry = readText(dir, "Wave=x.wav\nwave =y.wav\n offset=3\noffset=4\noffset=x9\nfix1=2=3\nno line\n");
    ASSERT_TRUE(entry.has_value());
    EXPECT_FALSE(entry->wave.has_value());
    EXPECT_EQ(entry->offset, 0);  // " offset" is not a key; the last "offset" holds no number
    EXPECT_EQ(entry->fix1, 2);    // the key ends at the first "="
}

TEST(VoiceEntryReader, FileWithoutKnownLinesGivesZeros) {
    test::TempDir dir;
    const auto entry = readText(dir, "hello\nother=5\n\n");
    ASSERT_TRUE(entry.has_value());
    EXPECT_FALSE(entry->wave.has_value());
    EXPECT_EQ(entry->offset, 0);
    EXPECT_EQ(entry->length, 0);
    EXPECT_EQ(entry->preuttr, 0);
    const auto empty = readText(dir, "");
    ASSERT_TRUE(empty.has_value());
    EXPECT_FALSE(empty->wave.has_value());
}

TEST(VoiceEntryReader, MissingFileGivesNothing) {
    test::TempDir dir;
    EXPECT_FALSE(readVoiceEntry(test::widePath(dir / "absent.txt")).has_value());
}

TEST(VoiceEntryReader, LongLinesAreReadInPiecesOf256Characters) {
    test::TempDir dir;
    // The value is cut where the first piece ends; the rest is read as its own
    // line, which here is a key of its own.
    const std::string name(251, 'n');  // "wave=" + 251 characters fill the first piece
    const auto entry = readText(dir, "wave=" + name + "length=77\nfix2=1\n");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->wave, std::optional<std::wstring>(std::wstring(251, L'n')));
    EXPECT_EQ(entry->length, 77);
    EXPECT_EQ(entry->fix2, 1);

    const auto last = readText(dir, "offset=1\nwave=" + std::string(1000, 'x') + "\n");
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->wave->size(), 251u);
    EXPECT_EQ(last->offset, 1);
}

TEST(VoiceEntryReader, SetterUsesTheSameKeys) {
    VoiceEntry entry;
    setVoiceEntryField(entry, L"overlap", L"  -12abc");
    setVoiceEntryField(entry, L"OVERLAP", L"99");
    setVoiceEntryField(entry, L"wave", L"");
    EXPECT_EQ(entry.overlap, -12);
    EXPECT_EQ(entry.wave, std::optional<std::wstring>(L""));
    setVoiceEntryField(entry, L"length", L"99999999999");
    EXPECT_EQ(entry.length, 2147483647);
}

}  // namespace
}  // namespace kestrand
