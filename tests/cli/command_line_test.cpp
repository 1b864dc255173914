#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>

#include "base/number_text.h"
#include "cli/command_line.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

// A job parsed from a note given as narrow arguments after the program name.
RenderJob parse(std::vector<std::wstring> args, int* result = nullptr) {
    args.insert(args.begin(), L"kestrand");
    RenderJob job;
    const int parsed = parseCommandLine(job, args);
    if (result != nullptr) *result = parsed;
    return job;
}

std::vector<std::wstring> note(std::wstring pitch, std::wstring velocity = L"100", std::wstring flags = L"",
                               std::wstring consonant = L"0", std::wstring cutoff = L"0") {
    return {L"in.wav", L"out.wav", pitch, velocity, flags, L"0", L"500", consonant, cutoff, L"100", L"0"};
}

TEST(NoteNames, GiveEqualTemperedFrequencies) {
    EXPECT_FLOAT_EQ(noteNameToFrequency(L"A4"), 440.0f);
    EXPECT_NEAR(noteNameToFrequency(L"C#4"), 277.18f, 0.01f);
    EXPECT_NEAR(noteNameToFrequency(L"Db4"), 277.18f, 0.01f);
    EXPECT_NEAR(noteNameToFrequency(L"A4+50"), 452.89f, 0.01f);
    EXPECT_NEAR(noteNameToFrequency(L"C4"), 261.63f, 0.01f);
    EXPECT_NEAR(noteNameToFrequency(L"a-1"), 440.0 * std::pow(2.0, -5.0), 0.001);
    // Anything that is not a note letter counts as C.
    EXPECT_FLOAT_EQ(noteNameToFrequency(L"X4"), noteNameToFrequency(L"C4"));
}

TEST(PitchArgument, ChoosesNoteRatioOrNumberByFirstCharacter) {
    EXPECT_FLOAT_EQ(parse(note(L"A4")).tone, 440.0f);
    EXPECT_FLOAT_EQ(parse(note(L"a4")).tone, 0.0f);  // lower case is read as a number
    EXPECT_FLOAT_EQ(parse(note(L"880")).tone, 880.0f);
    EXPECT_FLOAT_EQ(parse(note(L"1.5")).tone, 1.5f);
    EXPECT_FLOAT_EQ(parse(note(L"+12")).tone, 2.0f);
    EXPECT_NEAR(parse(note(L"-7")).tone, std::pow(2.0, -7.0 / 12.0), 1e-6);
}

TEST(Flags, CentsShiftOnlyWithinRange) {
    EXPECT_FLOAT_EQ(parse(note(L"A4", L"100", L"t250")).tone, 440.0f);
    EXPECT_FLOAT_EQ(parse(note(L"A4", L"100", L"t200")).tone, 440.0f);
    EXPECT_NEAR(parse(note(L"A4", L"100", L"t-200")).tone, 440.0 * std::pow(2.0, -200.0 / 1200.0), 1e-3);
    EXPECT_NEAR(parse(note(L"A4", L"100", L"t100")).tone, 440.0 * std::pow(2.0, 100.0 / 1200.0), 1e-3);
}

TEST(Flags, LettersAreIndependentAndFirstOccurrenceCounts) {
    const RenderJob job = parse(note(L"A4", L"100", L"g-5B20a300NRg7"));
    EXPECT_FLOAT_EQ(job.gender, -5.0f);
    EXPECT_FLOAT_EQ(job.breathy, 20.0f);
    EXPECT_FLOAT_EQ(job.alpha, 300.0f);
    EXPECT_EQ(job.noFormant, 1);
    EXPECT_EQ(job.reverse, 1);
    EXPECT_EQ(*job.flags, L"g-5B20a300NRg7");
    // A letter followed by no number sets 0.
    EXPECT_FLOAT_EQ(parse(note(L"A4", L"100", L"B")).breathy, 0.0f);
}

TEST(Defaults, HoldWithoutFlagsArgument) {
    const RenderJob job = parse({L"in.wav", L"out.wav", L"A4", L"100"});
    EXPECT_EQ(*job.flags, L"P86");
    EXPECT_FLOAT_EQ(job.volume, 100.0f);
    EXPECT_FLOAT_EQ(job.breathy, 50.0f);
    EXPECT_FLOAT_EQ(job.alpha, 100.0f);
    EXPECT_FALSE(job.pitchBend.has_value());
}

TEST(Velocity, SplitsAtSlashAndFlagOverrides) {
    RenderJob job = parse(note(L"A4", L"150"));
    EXPECT_FLOAT_EQ(job.velocity1, 150.0f);
    EXPECT_FLOAT_EQ(job.velocity2, 150.0f);
    job = parse(note(L"A4", L"150/80"));
    EXPECT_FLOAT_EQ(job.velocity1, 150.0f);
    EXPECT_FLOAT_EQ(job.velocity2, 80.0f);
    job = parse(note(L"A4", L"150/80", L"v60"));
    EXPECT_FLOAT_EQ(job.velocity2, 60.0f);
}

TEST(Consonant, SlashValueOverridesTailFlag) {
    EXPECT_FLOAT_EQ(parse(note(L"A4", L"100", L"i10", L"40/30")).voiceFixed2, 30.0f);
    const RenderJob job = parse(note(L"A4", L"100", L"i10", L"40"));
    EXPECT_FLOAT_EQ(job.voiceFixed1, 40.0f);
    EXPECT_FLOAT_EQ(job.voiceFixed2, 10.0f);
}

TEST(Cutoff, IsNegatedIntoRegionLength) {
    EXPECT_FLOAT_EQ(parse(note(L"A4", L"100", L"", L"0", L"-200")).voiceLength, 200.0f);
    EXPECT_FLOAT_EQ(parse(note(L"A4", L"100", L"", L"0", L"35")).voiceLength, -35.0f);
    EXPECT_FLOAT_EQ(parse(note(L"A4", L"100", L"", L"0", L"0")).voiceLength, 0.0f);
}

TEST(InputText, CutsDoubleExtensionsAtFirstMatch) {
    EXPECT_EQ(*parse({L"C:/v/a.mp3.wav", L"o.wav"}).voiceFile, L"C:/v/a.mp3");
    EXPECT_EQ(*parse({L"x.flac.wav.bak", L"o.wav"}).voiceFile, L"x.flac");
    EXPECT_EQ(*parse({L"a.ogg.wav", L"o.wav"}).voiceFile, L"a.ogg");
    EXPECT_EQ(*parse({L"a.uri.wav", L"o.wav"}).voiceFile, L"a.uri");
    EXPECT_EQ(*parse({L"a.MP3.wav", L"o.wav"}).voiceFile, L"a.MP3.wav");  // case-sensitive
}

TEST(InputText, LoadModulePrefixesTheFileName) {
    test::setEnvironment("loadmodule", "/opt/dec.dll");
    // The folder is cut at this system's separator.
    const std::wstring sample = std::wstring(L"voice") + kPathSeparator + L"a.wav";
    EXPECT_EQ(*parse({sample, L"o.wav"}).voiceFile, L"/opt/dec.dll a.wav");
    EXPECT_EQ(*parse({L"a.mp3.wav", L"o.wav"}).voiceFile, L"/opt/dec.dll a.mp3.wav");  // no cut here
    EXPECT_EQ(*parse({L"/x/dec.dll /v/a.mp3.wav", L"o.wav"}).voiceFile, L"/x/dec.dll /v/a.mp3");
    // An existing sample whose name holds ".dll " is a sample like any other.
    test::TempDir dir;
    test::writeFileBytes(dir / "x.dll a.wav", {});
    EXPECT_EQ(*parse({test::widePath(dir / "x.dll a.wav"), L"o.wav"}).voiceFile, L"/opt/dec.dll x.dll a.wav");
    test::unsetEnvironment("loadmodule");
}

TEST(InputText, OverlongTextIsRefusedNotTruncated) {
    int result = 0;
    testing::internal::CaptureStderr();
    const RenderJob job = parse({std::wstring(3000, L'a') + L".wav", L"o.wav", L"A4"}, &result);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(job.voiceFile.has_value());
    EXPECT_NE(err.find("longer than 2047"), std::string::npos);
    // Exactly 2047 characters is still accepted, also when each takes four
    // UTF-8 bytes and, on Windows, two UTF-16 units.
    EXPECT_EQ(parse({std::wstring(2047, L'a'), L"o.wav"}, &result).voiceFile->size(), 2047u);
    EXPECT_EQ(result, 3);
    std::string notes;
    for (int i = 0; i < 2047; ++i) notes += "\xF0\x9F\x8E\xB5";  // U+1F3B5
    const RenderJob wide = parse({widen(notes), L"o.wav"}, &result);
    ASSERT_TRUE(wide.voiceFile.has_value());
    EXPECT_EQ(characterCount(*wide.voiceFile), 2047u);
    EXPECT_EQ(parse({widen(notes + "a"), L"o.wav"}, &result).voiceFile, std::nullopt);
}

TEST(Arguments, ResultCountsArgumentsAndFewerThanTwoGiveOne) {
    int result = 0;
    parse({}, &result);
    EXPECT_EQ(result, 1);
    parse({L"in.wav"}, &result);
    EXPECT_EQ(result, 2);
    parse(note(L"A4"), &result);
    EXPECT_EQ(result, 12);
}

TEST(TempoAndCurves, NeedTheCurveArgument) {
    std::vector<std::wstring> args = note(L"A4");
    args.push_back(L"!120");
    RenderJob job = parse(args);  // thirteen arguments with the program name
    EXPECT_FLOAT_EQ(job.tempo, 0.0f);
    EXPECT_FALSE(job.pitchBend.has_value());

    args.push_back(L"AAAB#2#");
    job = parse(args);
    EXPECT_FLOAT_EQ(job.tempo, 120.0f);
    ASSERT_TRUE(job.pitchBend.has_value());
    EXPECT_EQ(job.pitchBend->values, (std::vector<std::int16_t>{0, 1, 1, 1}));

    args[11] = L"120";  // the first character is skipped whatever it is
    EXPECT_FLOAT_EQ(parse(args).tempo, 20.0f);
    args[11] = L"x120*cmp2";  // reading stops at the codec marker
    EXPECT_FLOAT_EQ(parse(args).tempo, 120.0f);
}

TEST(TempoAndCurves, IntensityCurveFromArgumentFifteen) {
    std::vector<std::wstring> args = note(L"A4");
    args.insert(args.end(), {L"!100", L"AA", L"!100", L"ABAC"});
    const RenderJob job = parse(args);
    ASSERT_TRUE(job.intensity.has_value());
    EXPECT_EQ(job.intensity->values, (std::vector<std::int16_t>{1, 2}));
}

// Older hosts send one decimal argument of cents per pitch step, the first
// followed by "Q" and the tempo; their numbers follow the user's locale.
TEST(DecimalPitchForm, ReadsEveryStepWithPointOrComma) {
    for (const bool comma : {false, true}) {
        std::vector<std::wstring> args = note(L"A4");
        const std::vector<std::wstring> steps =
            comma ? std::vector<std::wstring>{L"-200,00Q120", L"-200,00", L"-150,00", L"-75,50", L"-0,49", L"0,00"}
                  : std::vector<std::wstring>{L"-200.00Q120", L"-200.00", L"-150.00", L"-75.50", L"-0.49", L"0.00"};
        args.insert(args.end(), steps.begin(), steps.end());
        const RenderJob job = parse(args);
        EXPECT_FLOAT_EQ(job.tempo, 120.0f);
        ASSERT_TRUE(job.pitchBend.has_value());
        EXPECT_EQ(job.pitchBend->values, (std::vector<std::int16_t>{-200, -200, -150, -76, 0, 0}));
        EXPECT_FALSE(job.intensity.has_value());
    }
}

TEST(DecimalPitchForm, ClampsAndLimitsCount) {
    std::vector<std::wstring> args = note(L"A4");
    args.push_back(L"99999Q90");
    args.push_back(L"-1e9");
    EXPECT_EQ(parse(args).pitchBend->values, (std::vector<std::int16_t>{32767, -32768}));
    args.resize(11);
    args.push_back(L"5Q100");
    args.resize(11 + 40000, L"1");
    EXPECT_EQ(parse(args).pitchBend->values.size(), kMaxPitchCurveValues);
}

TEST(NumberList, ReadsValuesSeparatedByAnyOneCharacter) {
    EXPECT_EQ(parseNumberList(L"10,100,20,80"), (std::vector<float>{4, 10, 100, 20, 80}));
    EXPECT_EQ(parseNumberList(L"\"1;2.5"), (std::vector<float>{2, 1, 2.5f}));
    EXPECT_EQ(parseNumberList(std::nullopt), (std::vector<float>{0}));
    EXPECT_EQ(parseNumberList(L"7,,8"), (std::vector<float>{1, 7}));  // an empty field stops the list
}

TEST(NumberText, IgnoresTheUserLocale) {
    const char* const commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"};
    const char* chosen = nullptr;
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    EXPECT_DOUBLE_EQ(parseDecimal(L"12.5"), 12.5);
    EXPECT_DOUBLE_EQ(parseDecimal(L"  -1.25e2x"), -125.0);
    std::setlocale(LC_ALL, "C");
    if (chosen == nullptr) GTEST_SKIP() << "no comma locale installed; the parser was checked in the C locale";
}

TEST(NumberText, ReportsHowMuchWasRead) {
    std::size_t used = 0;
    EXPECT_DOUBLE_EQ(parseDecimal(L"1.5e", &used), 1.5);
    EXPECT_EQ(used, 3u);
    EXPECT_DOUBLE_EQ(parseDecimal(L"abc", &used), 0.0);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(parseInteger(L" +42x", &used), 42);
    EXPECT_EQ(used, 4u);
    EXPECT_EQ(parseInteger(L"99999999999"), INT32_MAX);
    EXPECT_EQ(parseInteger(L"-99999999999"), INT32_MIN);
    EXPECT_EQ(truncateToInt32(1e300), INT32_MAX);
    EXPECT_EQ(truncateToInt32(std::nan("")), 0);
    EXPECT_EQ(truncateToInt32(-2.9), -2);
}

}  // namespace
}  // namespace kestrand
