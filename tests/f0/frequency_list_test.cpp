// The list file: names, exact round trip, and damaged or hostile files.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <limits>

#include "f0/frequency_list.h"
#include "support/audio_images.h"
#include "support/note_files.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

FrequencyList sampleList() {
    FrequencyList list;
    list.frameStep = 256;
    list.sampleRate = 44100;
    list.listSize = 4;
    list.freqAvg = 261.6255653005986;
    list.frequencies = {0.0, 220.125, 1.0 / 3.0, -0.0, -0.0};
    list.amplitudes = {12.5, 1e-300, 32767.9, std::numeric_limits<double>::denorm_min(),
                       std::numeric_limits<double>::denorm_min()};
    return list;
}

std::vector<std::uint8_t> header(const char* magic, std::int32_t count) {
    std::vector<std::uint8_t> bytes(magic, magic + 8);
    appendU32(bytes, 256);
    for (int i = 0; i < 8; ++i) bytes.push_back(0);
    appendU32(bytes, 44100);
    bytes.resize(36, 0);
    appendU32(bytes, static_cast<std::uint32_t>(count));
    return bytes;
}

void putDouble(std::vector<std::uint8_t>& bytes, double value) {
    const auto u = std::bit_cast<std::uint64_t>(value);
    appendU32(bytes, static_cast<std::uint32_t>(u));
    appendU32(bytes, static_cast<std::uint32_t>(u >> 32));
}

TEST(FrequencyListFile, NamesFollowTheSample) {
    EXPECT_EQ(frequencyListFileName(L"a.wav"), L"a_wav.frq");
    EXPECT_EQ(frequencyListFileName(L"/v/voice.wav"), L"/v/voice_wav.frq");
    EXPECT_EQ(frequencyListFileName(L"a.aif"), L"a.aif.frq");
    EXPECT_EQ(frequencyListFileName(L"a.frq"), L"a.frq");
    EXPECT_EQ(frequencyListFileName(L"a_wav.frq"), L"a_wav.frq");
    EXPECT_EQ(frequencyListFileName(L"a.WAV"), L"a.WAV.frq");
    EXPECT_EQ(frequencyListFileName(L"x.wav.y.wav"), L"x.wav.y_wav.frq");
}

TEST(FrequencyListFile, SaveAndLoadGiveBackEveryFieldExactly) {
    test::TempDir dir;
    const FrequencyList list = sampleList();
    ASSERT_EQ(saveFrequencyList(test::widePath(dir / "voice.wav"), list), 1);
    ASSERT_TRUE(std::filesystem::exists(dir / "voice_wav.frq"));
    // Only the list itself is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

    const auto bytes = test::readFileBytes(dir / "voice_wav.frq");
    ASSERT_EQ(bytes.size(), 40u + 16u * 4);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "FREQ0003");
    for (int i = 24; i < 36; ++i) EXPECT_EQ(bytes[i], 0) << i;

    const auto loaded = loadFrequencyList(test::widePath(dir / "voice_wav.frq"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->frameStep, 256);
    EXPECT_EQ(loaded->sampleRate, 44100);
    EXPECT_EQ(loaded->listSize, 4);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(loaded->freqAvg), std::bit_cast<std::uint64_t>(list.freqAvg));
    ASSERT_EQ(loaded->frequencies.size(), 5u);
    ASSERT_EQ(loaded->amplitudes.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(loaded->frequencies[i]),
                  std::bit_cast<std::uint64_t>(list.frequencies[i]));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(loaded->amplitudes[i]),
                  std::bit_cast<std::uint64_t>(list.amplitudes[i]));
    }
}

TEST(FrequencyListFile, TheSamplesFingerprintTravelsInTheBlankHeaderBytes) {
    test::TempDir dir;
    FrequencyList list = sampleList();
    list.fingerprint = 0x0123456789ABCDEFULL;
    ASSERT_EQ(saveFrequencyList(test::widePath(dir / "a.wav"), list), 1);
    auto bytes = test::readFileBytes(dir / "a_wav.frq");
    EXPECT_EQ(std::string(bytes.begin() + 24, bytes.begin() + 28), "kfp1");
    EXPECT_EQ(loadU64(bytes.data() + 28), 0x0123456789ABCDEFULL);
    EXPECT_EQ(loadFrequencyList(test::widePath(dir / "a_wav.frq"))->fingerprint, list.fingerprint);
    // Other programs' lists keep the bytes zero, or fill them with anything else.
    bytes[24] = 'K';
    test::writeFileBytes(dir / "b.frq", bytes);
    EXPECT_FALSE(loadFrequencyList(test::widePath(dir / "b.frq"))->fingerprint);
    std::fill(bytes.begin() + 24, bytes.begin() + 36, 0);
    list.fingerprint.reset();
    EXPECT_EQ(frequencyListBytes(list), bytes) << "a list without one writes zeros";
}

TEST(FrequencyListFile, AReplacedListIsKeptUnlessItIsTheSame) {
    test::TempDir dir;
    const std::wstring path = test::widePath(dir / "a_wav.frq");
    FrequencyList list = sampleList();
    ASSERT_TRUE(writeFrequencyList(path, list, true).written);
    ListWrite again = writeFrequencyList(path, list, true);
    EXPECT_TRUE(again.written);
    EXPECT_TRUE(again.keptPrevious.empty()) << "the same bytes need no backup";
    const auto first = test::readFileBytes(dir / "a_wav.frq");
    list.freqAvg = 300.0;
    again = writeFrequencyList(path, list, true);
    EXPECT_EQ(again.keptPrevious, test::widePath(dir / "a_wav.frq.bak"));
    EXPECT_EQ(test::readFileBytes(dir / "a_wav.frq.bak"), first);
    EXPECT_EQ(loadFrequencyList(path)->freqAvg, 300.0);
    const ListWrite failed = writeFrequencyList(test::widePath(dir / "missing" / "a_wav.frq"), list, true);
    EXPECT_FALSE(failed.written);
    EXPECT_EQ(failed.failure, "the folder does not exist");
    EXPECT_EQ(test::folderNames(dir.path()), (std::set<std::string>{"a_wav.frq", "a_wav.frq.bak"}));
}

TEST(FrequencyListFile, GuardEntriesAreRebuiltFromTheLastPair) {
    test::TempDir dir;
    FrequencyList list = sampleList();
    list.frequencies.back() = 999.0;  // not stored
    list.amplitudes.back() = 999.0;
    ASSERT_EQ(saveFrequencyList(test::widePath(dir / "a.frq"), list), 1);
    const auto loaded = loadFrequencyList(test::widePath(dir / "a.frq"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->frequencies[4], loaded->frequencies[3]);
    EXPECT_EQ(loaded->amplitudes[4], loaded->amplitudes[3]);
}

TEST(FrequencyListFile, SavingReplacesAnOlderList) {
    test::TempDir dir;
    FrequencyList list = sampleList();
    ASSERT_EQ(saveFrequencyList(test::widePath(dir / "a.wav"), list), 1);
    list.listSize = 1;
    list.frequencies = {440.0, 440.0};
    list.amplitudes = {1.0, 1.0};
    ASSERT_EQ(saveFrequencyList(test::widePath(dir / "a.wav"), list), 1);
    const auto loaded = loadFrequencyList(test::widePath(dir / "a_wav.frq"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->listSize, 1);
    EXPECT_EQ(loaded->frequencies[0], 440.0);
}

TEST(FrequencyListFile, SaveFailuresReturnZero) {
    test::TempDir dir;
    EXPECT_EQ(saveFrequencyList(test::widePath(dir / "missing" / "a.wav"), sampleList()), 0);
    FrequencyList empty = sampleList();
    empty.listSize = 0;
    EXPECT_EQ(saveFrequencyList(test::widePath(dir / "b.wav"), empty), 0);
    FrequencyList shortArrays = sampleList();
    shortArrays.frequencies.resize(2);
    EXPECT_EQ(saveFrequencyList(test::widePath(dir / "c.wav"), shortArrays), 0);
    EXPECT_EQ(saveFrequencyList(std::wstring(600, L'x'), sampleList()), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(FrequencyListFile, OlderVersionDigitLoads) {
    test::TempDir dir;
    auto bytes = header("FREQ0002", 1);
    putDouble(bytes, 330.0);
    putDouble(bytes, 77.0);
    test::writeFileBytes(dir / "old.frq", bytes);
    const auto loaded = loadFrequencyList(test::widePath(dir / "old.frq"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->listSize, 1);
    EXPECT_EQ(loaded->frequencies, (std::vector<double>{330.0, 330.0}));
    EXPECT_EQ(loaded->amplitudes, (std::vector<double>{77.0, 77.0}));
}

TEST(FrequencyListFile, HostileFilesAreRefused) {
    test::TempDir dir;
    const auto path = dir / "x.frq";
    const auto load = [&](const std::vector<std::uint8_t>& bytes) {
        test::writeFileBytes(path, bytes);
        return loadFrequencyList(test::widePath(path));
    };
    auto good = header("FREQ0003", 1);
    putDouble(good, 1.0);
    putDouble(good, 2.0);
    ASSERT_TRUE(load(good));

    auto badMagic = good;
    badMagic[6] = '1';
    EXPECT_FALSE(load(badMagic));
    for (const std::int32_t count : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
        auto bytes = header("FREQ0003", count);
        putDouble(bytes, 1.0);
        putDouble(bytes, 2.0);
        EXPECT_FALSE(load(bytes)) << count;
    }
    // A count far beyond the file's bytes is refused without trusting it.
    for (const std::int32_t count : {2, 1 << 30, std::numeric_limits<std::int32_t>::max()}) {
        auto bytes = header("FREQ0003", count);
        putDouble(bytes, 1.0);
        putDouble(bytes, 2.0);
        EXPECT_FALSE(load(bytes)) << count;
    }
    // A file cut short anywhere is damaged.
    for (std::size_t size = 0; size < good.size(); ++size)
        EXPECT_FALSE(load(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size))))
            << size;
    EXPECT_FALSE(loadFrequencyList(test::widePath(dir / "missing.frq")));
    EXPECT_FALSE(loadFrequencyList(test::widePath(dir.path())));  // a folder
}

TEST(FrequencyListFile, LongListsLoadAcrossReadBlocks) {
    test::TempDir dir;
    FrequencyList list;
    list.frameStep = 64;
    list.sampleRate = 8000;
    list.listSize = 10000;
    for (int i = 0; i <= list.listSize; ++i) {
        list.frequencies.push_back(i * 0.5);
        list.amplitudes.push_back(i * 2.0);
    }
    list.frequencies.back() = list.frequencies[9999];
    list.amplitudes.back() = list.amplitudes[9999];
    ASSERT_EQ(saveFrequencyList(test::widePath(dir / "long.frq"), list), 1);
    const auto loaded = loadFrequencyList(test::widePath(dir / "long.frq"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->frequencies, list.frequencies);
    EXPECT_EQ(loaded->amplitudes, list.amplitudes);
}

}  // namespace
}  // namespace kestrand
