#include "f0/list_freshness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/test_files.h"

namespace kestrand {
namespace {

// A list shaped like the analysis of a one-second 44.1 kHz sample (step 256).
FrequencyList listFor(std::uint64_t frames, std::int32_t rate = 44100, std::int32_t step = 256) {
    FrequencyList list;
    list.frameStep = step;
    list.sampleRate = rate;
    list.listSize = static_cast<std::int32_t>(frames / static_cast<std::uint64_t>(step) + 1);
    list.freqAvg = 220.0;
    list.frequencies.assign(static_cast<std::size_t>(list.listSize) + 1, 220.0);
    list.amplitudes.assign(static_cast<std::size_t>(list.listSize) + 1, 1000.0);
    return list;
}

TEST(ListFreshness, AListFitsOnlyTheLengthRateAndStepOfItsSample) {
    EXPECT_TRUE(listFitsSample(listFor(44100), 44100, 44100));
    EXPECT_TRUE(listFitsSample(listFor(44100), 44100 + 67, 44100)) << "same frame count, 44100 / 256 = 44167 / 256";
    EXPECT_FALSE(listFitsSample(listFor(44100), 44100 + 256, 44100)) << "one frame more in the sample";
    EXPECT_FALSE(listFitsSample(listFor(44100), 22050, 44100)) << "a shortened sample";
    EXPECT_FALSE(listFitsSample(listFor(44100, 48000), 44100, 44100)) << "another rate";
    EXPECT_FALSE(listFitsSample(listFor(44100, 44100, 128), 44100, 44100)) << "another step";
    EXPECT_TRUE(listFitsSample(listFor(22050, 22050, 128), 22050, 22050)) << "the step of a 22.05 kHz sample";
}

TEST(ListFreshness, JudgesMissingOlderStaleAndUpToDateLists) {
    test::TempDir dir;
    const auto sample = dir / "a.wav";
    const auto list = dir / "a_wav.frq";
    test::writeFileBytes(sample, std::vector<std::uint8_t>(100, 0));
    const std::wstring samplePath = test::widePath(sample);
    const std::wstring listPath = test::widePath(list);

    EXPECT_EQ(judgeFrequencyList(listPath, samplePath, 44100, 44100).freshness, ListFreshness::Missing);
    test::writeFileBytes(list, {'F', 'R', 'E', 'Q'});
    EXPECT_EQ(judgeFrequencyList(listPath, samplePath, 44100, 44100).freshness, ListFreshness::Missing)
        << "a damaged list is no list";

    ASSERT_EQ(saveFrequencyList(listPath, listFor(44100)), 1);
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(sample, now);
    std::filesystem::last_write_time(list, now);
    const ListJudgement fresh = judgeFrequencyList(listPath, samplePath, 44100, 44100);
    EXPECT_EQ(fresh.freshness, ListFreshness::UpToDate) << "equal times count as up to date";
    ASSERT_TRUE(fresh.list);
    EXPECT_EQ(fresh.list->listSize, 173);
    EXPECT_EQ(judgeFrequencyList(listPath, samplePath, 88200, 44100).freshness, ListFreshness::Stale);

    std::filesystem::last_write_time(list, now - std::chrono::seconds(5));
    EXPECT_EQ(judgeFrequencyList(listPath, samplePath, 44100, 44100).freshness, ListFreshness::OlderThanSample);
}

}  // namespace
}  // namespace kestrand
