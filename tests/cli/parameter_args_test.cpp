// The command line of parameter jobs: options, swallowed values, positional keys and files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/parameter_job.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

RenderJob parse(std::vector<std::wstring> args) {
    args.insert(args.begin(), L"kestrandjob");
    return parseParameterArgs(args);
}

TEST(ParameterArgs, OptionsWithEqualsOrColon) {
    EXPECT_EQ(parse({L"-lo=300"}).lengthRequire, 300);
    EXPECT_EQ(parse({L"-LO=300"}).lengthRequire, 0);
    EXPECT_EQ(parse({L"-Lo:300"}).lengthRequire, 0);
    EXPECT_EQ(parse({L"-Length=300"}).length, 300);
    EXPECT_NEAR(parse({L"-t=C4"}).tone, 261.63f, 0.01f);
    EXPECT_EQ(parse({L"-T=120"}).tempo, 120);
    EXPECT_EQ(parse({L"-outfile:C:/x=y.wav"}).outFile, L"C:/x=y.wav");
    EXPECT_EQ(parse({L"-v=", L"a.wav"}).volume, 0);  // an empty value, the next argument stays positional
    EXPECT_EQ(parse({L"-v=", L"a.wav"}).voiceFile, L"a.wav");
}

TEST(ParameterArgs, AnOptionWithoutSignTakesTheNextArgument) {
    // The letter run stops at "_", so the whole text is a key that matches
    // nothing and swallows "b.wav".
    RenderJob job = parse({L"-length_require=300", L"b.wav", L"c.wav"});
    EXPECT_EQ(job.lengthRequire, 0);
    EXPECT_EQ(job.voiceFile, L"c.wav");
    EXPECT_FALSE(job.outFile);

    job = parse({L"-length_require", L"300"});
    EXPECT_EQ(job.lengthRequire, 300);

    job = parse({L"-.5", L"a.wav", L"b.wav"});  // an empty letter run
    EXPECT_EQ(job.voiceFile, L"b.wav");

    job = parse({L"-", L"a.wav", L"b.wav"});
    EXPECT_EQ(job.voiceFile, L"b.wav");

    job = parse({L"a.wav", L"-volume"});  // no value left: parsing ends
    EXPECT_EQ(job.voiceFile, L"a.wav");
    EXPECT_EQ(job.volume, 100);
}

TEST(ParameterArgs, SwitchOptions) {
    RenderJob job = parse({L"-NoFormant", L"-REV", L"a.wav"});
    EXPECT_EQ(job.noFormant, 1);
    EXPECT_EQ(job.reverse, 1);
    EXPECT_EQ(job.voiceFile, L"a.wav");
    job = parse({L"-N", L"-Reverse", L"a.wav"});
    EXPECT_EQ(job.noFormant, 1);
    EXPECT_EQ(job.reverse, 1);
    EXPECT_EQ(job.voiceFile, L"a.wav");
    job = parse({L"-n", L"a.wav"});  // not the switch: a key "n" that swallows a.wav
    EXPECT_EQ(job.noFormant, 0);
    EXPECT_FALSE(job.voiceFile);
}

TEST(ParameterArgs, PositionalValuesInOrder) {
    RenderJob job = parse({L"a.wav", L"b.wav", L"500", L"A4", L"80"});
    EXPECT_EQ(job.voiceFile, L"a.wav");
    EXPECT_EQ(job.outFile, L"b.wav");
    EXPECT_EQ(job.length, 500);
    EXPECT_FLOAT_EQ(job.tone, 440);
    EXPECT_EQ(job.volume, 80);

    job = parse({L"a", L"b", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"-9", L"10", L"11", L"12", L"13", L"x",
                 L"999", L"998"});
    EXPECT_EQ(job.modulation, 4);
    EXPECT_EQ(job.gender, 5);
    EXPECT_EQ(job.breathy, 6);
    EXPECT_EQ(job.alpha, 7);
    EXPECT_EQ(job.voiceOffset, 8);
    EXPECT_EQ(job.voiceLength, -9);  // "-9" is a value: a digit follows the "-"
    EXPECT_EQ(job.voiceFixed1, 10);
    EXPECT_EQ(job.voiceFixed2, 11);
    EXPECT_EQ(job.velocity1, 12);
    EXPECT_EQ(job.velocity2, 13);
    EXPECT_EQ(job.reverse, 1);
    // Positional values after the sixteenth are ignored, options still count.
    job = parse({L"a", L"b", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10", L"11", L"12", L"13", L"x",
                 L"999", L"-v=5"});
    EXPECT_EQ(job.volume, 5);
    EXPECT_EQ(job.voiceFile, L"a");
}

TEST(ParameterArgs, ParameterFiles) {
    test::TempDir dir;
    const auto file = dir / "job.txt";
    test::writeFileBytes(file,
                         {'f', 'o', '=', '"', 'o', ' ', 'x', '.', 'w', 'a', 'v', '"', '\n', 't', '=', 'A', '4', '\n'});
    RenderJob job = parse({L"-v=50", L"-af", test::widePath(file), L"-t=B4", L"in.wav"});
    EXPECT_EQ(job.outFile, L"o x.wav");
    EXPECT_NEAR(job.tone, 493.88f, 0.01f);  // the later option wins
    EXPECT_EQ(job.volume, 50);
    EXPECT_EQ(job.voiceFile, L"in.wav");  // the file name is not positional

    job = parse({L"-af", test::widePath(dir / "missing.txt"), L"in.wav"});  // contributes nothing
    EXPECT_EQ(job.voiceFile, L"in.wav");
    EXPECT_FALSE(job.outFile);

    job = parse({L"in.wav", L"-af"});  // no file name: parsing ends
    EXPECT_EQ(job.voiceFile, L"in.wav");
    job = parse({L"-AF", test::widePath(file)});  // exact case only: a key that swallows the name
    EXPECT_FALSE(job.outFile);
}

}  // namespace
}  // namespace kestrand
