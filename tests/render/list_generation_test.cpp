// Stored or fresh lists for a render, and the G flag's list generation.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "audio/wave_reader.h"
#include "f0/pitch_analysis.h"
#include "render/list_generation.h"
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

TEST(FrequencyListGeneration, UnwritableCacheDirectoryStillGivesAList) {
    test::TempDir dir;
    const LoadedSample sample = loadSample(test::voiceSample("ma.wav"));
    const std::wstring input = test::widePath(dir / "missing" / "dec.exe") + L" x.ogg";
    const auto list = quietly([&] { return obtainFrequencyList(input, sample); }, nullptr);
    ASSERT_TRUE(list);
    EXPECT_GT(list->freqAvg, 100.0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(FrequencyListGeneration, InputTooLongForANameIsAnalysedWithoutAFile) {
    test::TempDir dir;
    const LoadedSample sample = loadSample(test::voiceSample("ma.wav"));
    const std::wstring input = test::widePath(dir.path()) + L"/" + std::wstring(600, L'x') + L".wav";
    const auto list = quietly([&] { return obtainFrequencyList(input, sample); }, nullptr);
    ASSERT_TRUE(list);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
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
