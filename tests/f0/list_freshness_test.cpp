#include "f0/list_freshness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "f0/sample_fingerprint.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

// A list shaped like the analysis of a sample of `frames` frames.
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

// A 16-bit mono sample of `frames` frames at 44.1 kHz whose sound starts with `first`.
LoadedSample sampleOf(std::uint32_t frames, std::uint8_t first = 0) {
    LoadedSample sample;
    sample.info.formatTag = 1;
    sample.info.channels = 1;
    sample.info.samplesPerSec = 44100;
    sample.info.bitsPerSample = 16;
    sample.info.blockAlign = 2;
    sample.dataBytes = 2 * frames;
    sample.bytes.assign(2 * frames + 64, 0);
    sample.bytes[0] = first;
    return sample;
}

TEST(ListFreshness, AListFitsTheLengthAndRateOfItsSampleAtItsOwnStep) {
    EXPECT_TRUE(listFitsSample(listFor(44100), 44100, 44100));
    EXPECT_TRUE(listFitsSample(listFor(44100), 44100 + 67, 44100)) << "same frame count, 44100 / 256 = 44167 / 256";
    EXPECT_FALSE(listFitsSample(listFor(44100), 44100 + 256, 44100)) << "one frame more in the sample";
    EXPECT_FALSE(listFitsSample(listFor(44100), 22050, 44100)) << "a shortened sample";
    EXPECT_FALSE(listFitsSample(listFor(44100, 48000), 44100, 44100)) << "another rate";
    EXPECT_TRUE(listFitsSample(listFor(44100, 44100, 128), 44100, 44100)) << "another program's step";
    EXPECT_FALSE(listFitsSample(listFor(44100, 44100, 128), 88200, 44100));
    FrequencyList noStep = listFor(44100);
    noStep.frameStep = 0;
    EXPECT_FALSE(listFitsSample(noStep, 44100, 44100));
}

TEST(ListFreshness, ListsOfOtherProgramsAreJudgedByTimeAndFit) {
    test::TempDir dir;
    const auto samplePath = dir / "a.wav";
    const auto listPath = dir / "a_wav.frq";
    test::writeFileBytes(samplePath, std::vector<std::uint8_t>(100, 0));
    const std::wstring sampleName = test::widePath(samplePath);
    const std::wstring listName = test::widePath(listPath);
    const LoadedSample sample = sampleOf(44100);

    EXPECT_EQ(judgeFrequencyList(listName, sampleName, sample).freshness, ListFreshness::Missing);
    test::writeFileBytes(listPath, {'F', 'R', 'E', 'Q'});
    EXPECT_EQ(judgeFrequencyList(listName, sampleName, sample).freshness, ListFreshness::Missing)
        << "a damaged list is no list";

    ASSERT_EQ(saveFrequencyList(listName, listFor(44100)), 1);
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(samplePath, now);
    std::filesystem::last_write_time(listPath, now);
    const ListJudgement fresh = judgeFrequencyList(listName, sampleName, sample);
    EXPECT_EQ(fresh.freshness, ListFreshness::UpToDate) << "equal times count as up to date";
    ASSERT_TRUE(fresh.list);
    EXPECT_EQ(fresh.list->listSize, 173);
    const ListJudgement longer = judgeFrequencyList(listName, sampleName, sampleOf(88200));
    EXPECT_EQ(longer.freshness, ListFreshness::Stale);
    EXPECT_EQ(longer.why, "has 173 frames where the sample needs 345");

    std::filesystem::last_write_time(listPath, now - std::chrono::seconds(5));
    const ListJudgement older = judgeFrequencyList(listName, sampleName, sample);
    EXPECT_EQ(older.freshness, ListFreshness::OlderThanSample);
    EXPECT_EQ(older.why, "is older than its sample");
    EXPECT_EQ(judgeFrequencyList(listName, L"", sample).freshness, ListFreshness::UpToDate)
        << "without a sample file, as for decoder inputs, times are not compared";
}

TEST(ListFreshness, ListsThatKnowTheirSampleAreJudgedByItWhateverTheTimes) {
    test::TempDir dir;
    const auto samplePath = dir / "a.wav";
    const auto listPath = dir / "a_wav.frq";
    test::writeFileBytes(samplePath, std::vector<std::uint8_t>(100, 0));
    const LoadedSample sample = sampleOf(44100);
    FrequencyList list = listFor(44100);
    list.fingerprint = sampleFingerprint(sample);
    ASSERT_EQ(saveFrequencyList(test::widePath(listPath), list), 1);
    // A fresh checkout may write the list before its sample.
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(samplePath, now);
    std::filesystem::last_write_time(listPath, now - std::chrono::hours(1));
    const ListJudgement kept = judgeFrequencyList(test::widePath(listPath), test::widePath(samplePath), sample);
    EXPECT_EQ(kept.freshness, ListFreshness::UpToDate);
    ASSERT_TRUE(kept.list);
    EXPECT_EQ(kept.list->fingerprint, sampleFingerprint(sample));

    // One byte of sound differs: another recording, even with a newer list
    // of the very same length.
    std::filesystem::last_write_time(listPath, now + std::chrono::hours(1));
    const ListJudgement other =
        judgeFrequencyList(test::widePath(listPath), test::widePath(samplePath), sampleOf(44100, 1));
    EXPECT_EQ(other.freshness, ListFreshness::Stale);
    EXPECT_EQ(other.why, "was made from another recording");
}

TEST(SampleFingerprint, CoversTheSoundAndItsFormatButNotTheTail) {
    const LoadedSample sample = sampleOf(1000);
    const std::uint64_t fingerprint = sampleFingerprint(sample);
    LoadedSample tail = sample;
    tail.bytes.back() = 9;  // behind the data
    EXPECT_EQ(sampleFingerprint(tail), fingerprint);
    LoadedSample louder = sample;
    louder.bytes[1999] = 1;
    EXPECT_NE(sampleFingerprint(louder), fingerprint);
    LoadedSample faster = sample;
    faster.info.samplesPerSec = 48000;
    EXPECT_NE(sampleFingerprint(faster), fingerprint);
    LoadedSample shorter = sample;
    shorter.dataBytes -= 2;
    EXPECT_NE(sampleFingerprint(shorter), fingerprint);
}

}  // namespace
}  // namespace kestrand
