// Stored or fresh lists for a render, and the G flag's list generation.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "audio/wave_reader.h"
#include "f0/pitch_analysis.h"
#include "render/list_generation.h"
#include "support/note_files.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

LoadedSample loadSample(const std::filesystem::path& path) {
    auto sample = readWaveBytes(test::widePath(path), 4096);
    EXPECT_TRUE(sample.has_value()) << path;
    return sample ? *sample : LoadedSample{};
}

std::optional<FrequencyList> quietly(const std::function<std::optional<FrequencyList>()>& call, std::string* report) {
    testing::internal::CaptureStderr();
    auto result = call();
    const std::string text = testing::internal::GetCapturedStderr();
    if (report != nullptr) *report = text;
    return result;
}

TEST(FrequencyListGeneration, PlainSampleIsAnalysedOnceThenLoaded) {
    test::TempDir dir;
    const auto path = dir / "voice.wav";
    std::filesystem::copy_file(test::voiceSample("a.wav"), path);
    const LoadedSample sample = loadSample(path);

    std::string report;
    const auto first = quietly([&] { return obtainFrequencyList(test::widePath(path), sample); }, &report);
    ASSERT_TRUE(first);
    EXPECT_NE(report.find("List Size="), std::string::npos);
    ASSERT_TRUE(std::filesystem::exists(dir / "voice_wav.frq"));
    EXPECT_EQ(std::filesystem::file_size(dir / "voice_wav.frq"), 40u + 16u * static_cast<unsigned>(first->listSize));

    const auto second = quietly([&] { return obtainFrequencyList(test::widePath(path), sample); }, &report);
    ASSERT_TRUE(second);
    EXPECT_EQ(report, "");  // loaded, not analysed
    EXPECT_EQ(second->frequencies, first->frequencies);
    EXPECT_EQ(second->amplitudes, first->amplitudes);
    EXPECT_EQ(second->freqAvg, first->freqAvg);
    EXPECT_EQ(second->listSize, first->listSize);
    EXPECT_EQ(second->frameStep, 256);
}

TEST(FrequencyListGeneration, DamagedStoredListIsAnalysedAgainAndReplaced) {
    test::TempDir dir;
    const auto path = dir / "voice.wav";
    std::filesystem::copy_file(test::voiceSample("ka.wav"), path);
    test::writeFileBytes(dir / "voice_wav.frq", {'F', 'R', 'E', 'Q', '0', '0', '0', '3', 1, 2, 3});
    const LoadedSample sample = loadSample(path);
    const auto list = quietly([&] { return obtainFrequencyList(test::widePath(path), sample); }, nullptr);
    ASSERT_TRUE(list);
    EXPECT_EQ(std::filesystem::file_size(dir / "voice_wav.frq"), 40u + 16u * static_cast<unsigned>(list->listSize));
}

// A stale list (another sample's, or another program's list older than the
// sample) is replaced by a fresh analysis, announced, and kept as a backup;
// the G flag judges alike.
TEST(FrequencyListGeneration, StaleListsAreAnalysedAfreshAndKept) {
    test::TempDir dir;
    const auto path = dir / "voice.wav";
    std::filesystem::copy_file(test::voiceSample("a.wav"), path);
    const LoadedSample sample = loadSample(path);
    const auto list = dir / "voice_wav.frq";
    const auto backup = dir / "voice_wav.frq.bak";
    const auto otherList = test::readFileBytes(test::voiceSample("i_wav.frq"));  // same length, other sound
    test::writeFileBytes(list, otherList);

    std::string report;
    const auto fresh = quietly([&] { return obtainFrequencyList(test::widePath(path), sample); }, &report);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(report.rfind("kestrand: the frequency list " + list.string() +
                               " was made from another recording; analysing the sample afresh (the old list is "
                               "kept as " +
                               backup.string() + ").\n",
                           0),
              0u)
        << report;
    EXPECT_EQ(test::readFileBytes(backup), otherList);
    EXPECT_EQ(test::readFileBytes(list), test::readFileBytes(test::voiceSample("a_wav.frq")));
    ASSERT_TRUE(quietly([&] { return obtainFrequencyList(test::widePath(path), sample); }, &report));
    EXPECT_EQ(report, "") << "the fresh list is kept";

    // Another program's list (no fingerprint) written before the sample changed.
    auto foreign = test::readFileBytes(list);
    std::fill(foreign.begin() + 24, foreign.begin() + 36, 0);
    test::writeFileBytes(list, foreign);
    std::filesystem::last_write_time(list, std::filesystem::last_write_time(path) - std::chrono::seconds(10));
    ASSERT_TRUE(quietly([&] { return obtainFrequencyList(test::widePath(path), sample); }, &report));
    EXPECT_NE(report.find("voice_wav.frq is older than its sample; analysing the sample afresh"), std::string::npos)
        << report;
    EXPECT_EQ(test::readFileBytes(backup), foreign) << "one previous version is kept";

    // The G flag rebuilds a stale list the same way.
    test::writeFileBytes(list, otherList);
    bool generated = false;
    quietly(
        [&] {
            generated = generateFrequencyList(test::widePath(path), 4096);
            return std::optional<FrequencyList>();
        },
        &report);
    EXPECT_TRUE(generated);
    EXPECT_NE(report.find("was made from another recording"), std::string::npos) << report;
    EXPECT_EQ(test::readFileBytes(backup), otherList);
    EXPECT_EQ(test::readFileBytes(list), test::readFileBytes(test::voiceSample("a_wav.frq")));
}

TEST(FrequencyListGeneration, DecoderInputsUseTheCacheDirectory) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    const LoadedSample sample = loadSample(test::voiceSample("ma.wav"));
    const std::wstring input = test::widePath(dir / "dec.exe") + L" " + test::widePath(dir / "ma.ogg");
    const auto first = quietly([&] { return obtainFrequencyList(input, sample); }, nullptr);
    ASSERT_TRUE(first);
    ASSERT_TRUE(std::filesystem::is_directory(dir / "dec.exe#frequenz"));
    std::wstring tail = test::widePath(dir / "ma.ogg");
    for (auto& c : tail)
        if (c == L'/') c = L'#';
    const auto stored = dir / "dec.exe#frequenz" / (std::filesystem::path(tail).string() + ".frq");
    EXPECT_TRUE(std::filesystem::exists(stored)) << stored;

    std::string report;
    const auto second = quietly([&] { return obtainFrequencyList(input, sample); }, &report);
    ASSERT_TRUE(second);
    EXPECT_EQ(report, "");
    EXPECT_EQ(second->frequencies, first->frequencies);
}

// Lists that cannot be stored: the render goes on with the list in memory
// and one line says why.
TEST(FrequencyListGeneration, ListsThatCannotBeStoredSayWhy) {
    test::TempDir dir;
    const LoadedSample sample = loadSample(test::voiceSample("ma.wav"));
    std::string report;
    // A cache folder that cannot be made.
    const std::wstring input = test::widePath(dir / "missing" / "dec.exe") + L" x.ogg";
    auto list = quietly([&] { return obtainFrequencyList(input, sample); }, &report);
    ASSERT_TRUE(list);
    EXPECT_GT(list->freqAvg, 100.0);
    EXPECT_NE(report.find("cannot be stored: the cache folder " + (dir / "missing" / "dec.exe#frequenz").string() +
                          " cannot be created (the folder does not exist)"),
              std::string::npos)
        << report;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    // A name longer than the file system takes (the list of a sample named
    // with 252 bytes has 256).
    const auto longSample = dir / (std::string(248, 'x') + ".wav");
    std::filesystem::copy_file(test::voiceSample("ma.wav"), longSample);
    list = quietly([&] { return obtainFrequencyList(test::widePath(longSample), sample); }, &report);
    ASSERT_TRUE(list);
    EXPECT_NE(report.find("cannot be stored: the name is too long for the file system"), std::string::npos) << report;
    EXPECT_EQ(test::folderNames(dir.path()), std::set<std::string>{longSample.filename().string()});
}

// Names that fit the file system are stored whatever their length in characters.
TEST(FrequencyListGeneration, LongPathsAndNamesInAnyScriptAreStored) {
    test::TempDir dir;
    auto folder = dir.path();
    for (int i = 0; i < 8; ++i) folder /= std::string(80, static_cast<char>('a' + i));
    std::filesystem::create_directories(folder);
    std::string japanese;
    for (int i = 0; i < 70; ++i) japanese += "\xe3\x81\x82";  // 70 characters of 3 bytes
    const auto path = folder / (japanese + ".wav");
    std::filesystem::copy_file(test::voiceSample("a.wav"), path);
    ASSERT_GT(test::widePath(path).size(), 700u);
    const LoadedSample sample = loadSample(path);
    std::string report;
    ASSERT_TRUE(quietly([&] { return obtainFrequencyList(test::widePath(path), sample); }, &report));
    EXPECT_TRUE(std::filesystem::exists(folder / (japanese + "_wav.frq"))) << report;
}

// A decoder path written in quotes keeps its lists in a cache folder beside the decoder.
TEST(FrequencyListGeneration, QuotedDecoderPathsStoreBesideTheDecoder) {
    test::TempDir dir;
    test::writeFileBytes(dir / "dec.exe", {'x'});
    const LoadedSample sample = loadSample(test::voiceSample("ma.wav"));
    const std::wstring input = L"\"" + test::widePath(dir / "dec.exe") + L"\" x.ogg";
    std::string report;
    ASSERT_TRUE(quietly([&] { return obtainFrequencyList(input, sample); }, &report));
    EXPECT_TRUE(std::filesystem::exists(dir / "dec.exe#frequenz" / "+_x.ogg.frq")) << report;
    ASSERT_TRUE(quietly([&] { return obtainFrequencyList(input, sample); }, &report));
    EXPECT_EQ(report, "") << "the stored list is found";
}

TEST(FrequencyListGeneration, UnanalysableSampleGivesNothing) {
    LoadedSample sample = loadSample(test::voiceSample("ma.wav"));
    sample.info.bitsPerSample = 12;
    test::TempDir dir;
    const auto list = quietly([&] { return obtainFrequencyList(test::widePath(dir / "x.wav"), sample); }, nullptr);
    EXPECT_FALSE(list);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(FrequencyListGeneration, GenerateWritesTheListOfAWaveFile) {
    test::TempDir dir;
    const auto path = dir / "Voice.WAV";
    std::filesystem::copy_file(test::voiceSample("la.wav"), path);
    bool result = false;
    quietly(
        [&] {
            result = generateFrequencyList(test::widePath(path), 4096);
            return std::optional<FrequencyList>();
        },
        nullptr);
    EXPECT_TRUE(result);
    // The extension is matched without regard to case; the name rule is not.
    const auto listPath = dir / "Voice.WAV.frq";
    ASSERT_TRUE(std::filesystem::exists(listPath));
    const auto stored = loadFrequencyList(test::widePath(listPath));
    ASSERT_TRUE(stored);
    const auto fresh = quietly(
        [&] {
            const LoadedSample sample = loadSample(path);
            return analyseFrequencies(sample, 1024, 256);
        },
        nullptr);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(stored->frequencies, fresh->frequencies);
    EXPECT_EQ(stored->amplitudes, fresh->amplitudes);
    EXPECT_EQ(stored->freqAvg, fresh->freqAvg);
}

TEST(FrequencyListGeneration, GenerateFailsWithoutASample) {
    test::TempDir dir;
    bool result = true;
    quietly(
        [&] {
            result = generateFrequencyList(test::widePath(dir / "missing.wav"), 4096);
            return std::optional<FrequencyList>();
        },
        nullptr);
    EXPECT_FALSE(result);
    test::writeFileBytes(dir / "noise.wav", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
    quietly(
        [&] {
            result = generateFrequencyList(test::widePath(dir / "noise.wav"), 4096);
            return std::optional<FrequencyList>();
        },
        nullptr);
    EXPECT_FALSE(result);
    EXPECT_FALSE(std::filesystem::exists(dir / "noise_wav.frq"));
}

TEST(FrequencyListGeneration, GFlagOfTheProgramWritesTheList) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    const auto path = dir / "voice.wav";
    std::filesystem::copy_file(test::voiceSample("i.wav"), path);
    const auto result = test::runCommand("cd '" + dir.path().string() + "' && '" + test::programPath().string() +
                                         "' voice.wav nul C4 100 G 2>&1");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("freq_avg="), std::string::npos) << result.output;
    const auto stored = loadFrequencyList(test::widePath(dir / "voice_wav.frq"));
    ASSERT_TRUE(stored);
    EXPECT_GT(stored->listSize, 40);
}

}  // namespace
}  // namespace kestrand
