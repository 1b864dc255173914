// Mixing notes into a growing WAV file: the overlap rules, the sample
// conversions of every depth, and the safety of the target file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/append_sample_codec.h"
#include "audio/wave_append.h"
#include "audio/wave_writer.h"
#include "render/output_settings.h"
#include "render/render_job.h"
#include "render/render_stage.h"
#include "support/audio_images.h"
#include "support/sample_oracle.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::TempDir;

// The 16-bit samples of a target, after checking that its sizes cover
// exactly the data in the file.
std::vector<int> targetSamples(const std::filesystem::path& path) {
    const auto bytes = test::readFileBytes(path);
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return {};
    EXPECT_EQ(loadU32(bytes.data() + 40), bytes.size() - 44) << "data size";
    EXPECT_EQ(loadU32(bytes.data() + 4), bytes.size() - 8) << "RIFF size";
    return test::waveSamples16(bytes);
}

// The append written out step by step: the model the files are checked against.
void modelAppend(std::vector<int>& file, bool exists, const std::vector<int>& note, float overlap, float endPos) {
    if (!exists) {
        file = note;
        return;
    }
    const int o = static_cast<int>(overlap * 44.1);
    const int e = static_cast<int>(endPos * 44.1);
    int n = e >= 0 ? o : o - e;
    n = std::min({n, static_cast<int>(file.size()), static_cast<int>(note.size())});
    std::vector<int> mixed = note;
    if (n > 0) {
        for (int i = 0; i < n; ++i) {
            mixed[i] = std::clamp(note[i] + file[file.size() - n + i], -32768, 32767);
        }
        file.resize(file.size() - n);
    } else {
        file.insert(file.end(), static_cast<std::size_t>(-n), 0);
    }
    file.insert(file.end(), mixed.begin(), mixed.end());
}

std::vector<int> ramp(int count, int start, int step) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(std::clamp(start + i * step, -32768, 32767));
    return out;
}

struct Step {
    std::vector<int> note;
    float overlap;
    float endPos;
};

std::vector<Step> growingSequence() {
    return {
        {ramp(1000, -3000, 7), 0, 0},  // creates the file
        {ramp(500, 30000, 10), 5, 0},  // 220 frames mixed, some sums limited
        {ramp(300, -100, 1), 0, 0},    // appended directly
        {ramp(200, 50, 3), -2, 0},     // 88 frames of silence first
        {ramp(100, 9, 0), 0, -1},      // a negative end position: 44 frames mixed
        {ramp(60, 1, 1), 50, 0},       // overlap longer than the note: the whole note mixed
    };
}

class WaveAppend : public ::testing::Test {
protected:
    std::int32_t rate = 44100;  // of the notes, and of a target made anew
    std::int32_t depth = 16;    // of a target made anew
    TempDir dir;
};

// The file's samples as sox decodes them.
std::vector<int> soxSamples(const std::filesystem::path& wav) {
    const auto result = test::runCommand("sox '" + wav.string() + "' -t raw -e signed-integer -b 16 -L - 2>/dev/null");
    std::vector<int> out;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(result.output.data());
    for (std::size_t i = 0; i + 1 < result.output.size(); i += 2) out.push_back(loadS16(bytes + i));
    return out;
}

TEST_F(WaveAppend, SequenceOfNotesBuildsTheExpectedFile) {
    const auto doublesTarget = dir / "doubles.wav";
    const auto int16Target = dir / "int16.wav";
    std::vector<int> expected;
    bool exists = false;
    for (const Step& step : growingSequence()) {
        std::vector<double> asDoubles(step.note.begin(), step.note.end());
        mixIntoWaveSamples(test::widePath(doublesTarget), asDoubles, static_cast<std::int32_t>(asDoubles.size()),
                           step.overlap, step.endPos, rate, depth, true);
        std::vector<std::int16_t> asInt16(step.note.begin(), step.note.end());
        mixIntoWaveInt16(test::widePath(int16Target), asInt16, static_cast<std::int32_t>(asInt16.size()), step.overlap,
                         step.endPos, rate, true);
        modelAppend(expected, exists, step.note, step.overlap, step.endPos);
        exists = true;
        ASSERT_EQ(targetSamples(doublesTarget), expected);
        ASSERT_EQ(targetSamples(int16Target), expected);
    }
    EXPECT_EQ(test::readFileBytes(doublesTarget), test::readFileBytes(int16Target));
    // No temporary files are left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    if (test::findProgram("sox")) {
        EXPECT_EQ(soxSamples(int16Target), expected);
    }
}

TEST_F(WaveAppend, MissingTargetIsTheFileTheWritersWrite) {
    const std::vector<double> note{0, 1000.0, -32768.0, 32767.0, 12.75, -0.5};
    for (const int bits : {8, 16, 24, 32, 64}) {
        depth = bits;
        rate = 22050;
        const auto target = dir / ("new" + std::to_string(bits) + ".wav");
        std::vector<double> copy = note;
        mixIntoWaveSamples(test::widePath(target), copy, 6, 10, 0, rate, depth, true);
        const auto reference = dir / "reference.wav";
        writeWaveSamples(test::widePath(reference), note, bits, 1, 22050, bits >= 32 ? 3 : 1);
        EXPECT_EQ(test::readFileBytes(target), test::readFileBytes(reference)) << bits;
    }
    std::vector<std::int16_t> note16{1, -2, 300, -32768};
    rate = 8000;
    mixIntoWaveInt16(test::widePath(dir / "new.wav"), note16, 4, 10, 0, rate, true);
    const auto reference = dir / "reference16.wav";
    writeWaveBytes(test::widePath(reference), test::int16Bytes({1, -2, 300, -32768}), 16, 1, 8000);
    EXPECT_EQ(test::readFileBytes(dir / "new.wav"), test::readFileBytes(reference));
}

TEST_F(WaveAppend, MixedSumsAreLimitedToSixteenBits) {
    const auto target = dir / "t.wav";
    test::writeFileBytes(target, test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes({5, 30000, -30000})));
    std::vector<std::int16_t> note{10000, -10000, 7};
    rate = 2000;  // one ms is 2 frames
    mixIntoWaveInt16(test::widePath(target), note, 3, 1, 0, rate, true);
    EXPECT_EQ(targetSamples(target), (std::vector<int>{5, 32767, -32768, 7}));
    rate = 44100;
    EXPECT_EQ(note[0], 32767);  // the note is mixed in place

    test::writeFileBytes(target, test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes({30000})));
    std::vector<double> noteD{10000.0, 1.9};
    // One ms is 44 frames, limited to the one frame in the file.
    mixIntoWaveSamples(test::widePath(target), noteD, 2, 1, 0, rate, depth, true);
    EXPECT_EQ(targetSamples(target), (std::vector<int>{32767, 1}));
    EXPECT_DOUBLE_EQ(noteD[0], 40000.0);  // no limiting before the conversion
}

TEST_F(WaveAppend, OverlapFramesFollowTheRate) {
    EXPECT_EQ(overlapFrames(0, -10, 44100), 441);
    EXPECT_EQ(overlapFrames(10, 0, 44100), 441);
    EXPECT_EQ(overlapFrames(10, -10, 44100), 882);
    EXPECT_EQ(overlapFrames(10, 5, 44100), 441);  // a positive end position changes nothing
    EXPECT_EQ(overlapFrames(-1, 0, 44100), -44);
    EXPECT_EQ(overlapFrames(5, 0, 22050), 110);
    EXPECT_EQ(overlapFrames(1e30f, -1e30f, 44100), 2147483647LL + 2147483648LL);  // saturates, never overflows

    const auto target = dir / "t.wav";
    test::writeFileBytes(target, test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes(std::vector<int>(1000, 100))));
    std::vector<std::int16_t> note(500, 1);
    mixIntoWaveInt16(test::widePath(target), note, 500, 0, -10, rate, true);
    const auto samples = targetSamples(target);
    ASSERT_EQ(samples.size(), 1000u - 441 + 500);
    EXPECT_EQ(samples[558], 100);
    EXPECT_EQ(samples[559], 101);
    EXPECT_EQ(samples[999], 101);
    EXPECT_EQ(samples[1000], 1);
}

TEST_F(WaveAppend, NegativeOverlapInsertsSilenceInEveryDepth) {
    struct Case {
        std::uint16_t tag, bits;
    };
    for (const Case c : {Case{1, 8}, Case{1, 24}, Case{1, 32}, Case{3, 32}, Case{3, 64}}) {
        const auto target = dir / "s.wav";
        const std::size_t width = c.bits / 8;
        test::writeFileBytes(target,
                             test::makeWaveImage(c.tag, 1, 44100, c.bits, std::vector<std::uint8_t>(width, 0x11)));
        std::vector<double> note{256.0};
        mixIntoWaveSamples(test::widePath(target), note, 1, -0.1f, 0, rate, depth, true);  // -4 frames
        const auto bytes = test::readFileBytes(target);
        ASSERT_EQ(bytes.size(), 44 + 6 * width) << c.bits;
        EXPECT_EQ(loadU32(bytes.data() + 40), 6 * width);
        EXPECT_EQ(loadU32(bytes.data() + 4), 36 + 6 * width);
        for (std::size_t i = 44 + width; i < 44 + 5 * width; ++i) EXPECT_EQ(bytes[i], 0) << c.bits;
        std::vector<std::uint8_t> last(width);
        encodeAppendSample(256.0, c.tag, c.bits, last);
        EXPECT_TRUE(std::equal(last.begin(), last.end(), bytes.end() - static_cast<long>(width))) << c.bits;
    }
}

TEST(AppendSampleCodec, MatchesTheFormulas) {
    const double values[] = {0.0,      1.0,     -1.0,    0.4,        -0.4,       127.9,   -128.2,
                             1000.5,   -1000.5, 16384.0, 32767.0,    -32768.0,   32767.9, 40000.0,
                             -40000.0, 1e9,     -1e9,    0.00390625, -0.00390625};
    struct Format {
        int tag, bits;
    };
    for (const Format f : {Format{1, 8}, Format{1, 16}, Format{1, 24}, Format{1, 32}, Format{3, 32}, Format{3, 64}}) {
        for (const double v : values) {
            std::vector<std::uint8_t> got(static_cast<std::size_t>(f.bits / 8));
            encodeAppendSample(v, static_cast<std::uint16_t>(f.tag), static_cast<std::uint16_t>(f.bits), got);
            EXPECT_EQ(got, test::oracleAppendEncode(v, f.tag, f.bits)) << f.tag << "/" << f.bits << " " << v;
            EXPECT_EQ(decodeAppendSample(got, static_cast<std::uint16_t>(f.tag), static_cast<std::uint16_t>(f.bits)),
                      test::oracleDecode(got.data(), f.bits, f.tag));
        }
    }
    // Every 8-bit and 16-bit value survives a read and a rewrite unchanged.
    for (int u = 0; u < 256; ++u) {
        const std::uint8_t in[1] = {static_cast<std::uint8_t>(u)};
        std::uint8_t out[1] = {0};
        encodeAppendSample(decodeAppendSample(in, 1, 8), 1, 8, out);
        EXPECT_EQ(out[0], u);
    }
    for (int s = -32768; s < 32768; s += 7) {
        std::uint8_t in[2];
        const auto v = static_cast<std::int16_t>(s);
        std::memcpy(in, &v, 2);
        std::uint8_t out[2] = {0, 0};
        encodeAppendSample(decodeAppendSample(in, 1, 16), 1, 16, out);
        EXPECT_EQ(std::memcmp(in, out, 2), 0) << s;
    }
    std::uint8_t untouched[2] = {9, 9};
    encodeAppendSample(100.0, 1, 12, untouched);  // a depth these routines do not write
    EXPECT_EQ(untouched[0], 9);
}

TEST_F(WaveAppend, EightBitFilesSurviveAMixWithSilence) {
    const auto target = dir / "e.wav";
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 64; ++i) data.push_back(static_cast<std::uint8_t>(i * 4));
    test::writeFileBytes(target, test::makeWaveImage(1, 1, 44100, 8, data));
    std::vector<double> silence(64, 0.0);
    mixIntoWaveSamples(test::widePath(target), silence, 64, 10, 0, rate, depth, true);  // all 64 frames overlap
    EXPECT_EQ(test::readFileBytes(target), test::makeWaveImage(1, 1, 44100, 8, data));
}

std::vector<std::uint8_t> withExtraChunk() {
    auto image = test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes({1, 2}));
    // A LIST chunk between "fmt " and "data".
    std::vector<std::uint8_t> list;
    test::putText(list, "LIST");
    appendU32(list, 4);
    test::putText(list, "INFO");
    image.insert(image.begin() + 36, list.begin(), list.end());
    const std::uint32_t riff = static_cast<std::uint32_t>(image.size() - 8);
    std::memcpy(image.data() + 4, &riff, 4);
    return image;
}

TEST_F(WaveAppend, TargetsItCouldNotHaveWrittenAreRefusedAndLeftUntouched) {
    std::vector<std::vector<std::uint8_t>> refused{
        test::makeWaveImage(1, 2, 44100, 16, test::int16Bytes({1, 2, 3, 4})),  // two channels
        test::makeWaveImage(1, 1, 44100, 12, {1, 2, 3, 4}),                    // a depth it does not write
        test::makeWaveImage(2, 1, 44100, 16, {1, 2}),                          // a tag it does not write
        test::makeWaveImage(3, 1, 44100, 16, {1, 2}),                          // float tag with 16 bits
        withExtraChunk(),
        {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e'},
        {},
    };
    auto trailing = test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes({1, 2}));
    trailing.push_back(0);  // bytes behind the data
    refused.push_back(trailing);
    auto truncated = test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes({1, 2}));
    truncated.pop_back();  // shorter than its header says
    refused.push_back(truncated);
    auto riffMismatch = test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes({1, 2}));
    riffMismatch[4] = 99;
    refused.push_back(riffMismatch);
    auto oddData = test::makeWaveImage(1, 1, 44100, 16, {1, 2, 3});  // half a frame
    refused.push_back(oddData);
    auto badRate = test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes({1}));
    badRate[28] = 1;  // byte rate that does not follow from rate and block align
    refused.push_back(badRate);

    const auto target = dir / "keep.wav";
    for (std::size_t i = 0; i < refused.size(); ++i) {
        test::writeFileBytes(target, refused[i]);
        std::vector<double> note{100.0, 200.0};
        mixIntoWaveSamples(test::widePath(target), note, 2, 0, 0, rate, depth, true);
        EXPECT_EQ(test::readFileBytes(target), refused[i]) << "case " << i;
        std::vector<std::int16_t> note16{100, 200};
        mixIntoWaveInt16(test::widePath(target), note16, 2, 0, 0, rate, true);
        EXPECT_EQ(test::readFileBytes(target), refused[i]) << "case " << i;
    }
    // The 16-bit variant refuses every depth but 16 bits.
    const auto eightBit = test::makeWaveImage(1, 1, 44100, 8, {1, 2});
    test::writeFileBytes(target, eightBit);
    std::vector<std::int16_t> note16{100, 200};
    mixIntoWaveInt16(test::widePath(target), note16, 2, 0, 0, rate, true);
    EXPECT_EQ(test::readFileBytes(target), eightBit);
    // A folder in the target's place is not replaced.
    std::filesystem::create_directory(dir / "folder.wav");
    mixIntoWaveInt16(test::widePath(dir / "folder.wav"), note16, 2, 0, 0, rate, true);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.wav"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST_F(WaveAppend, ATargetThatWouldOutgrowItsHeaderIsRefused) {
    // A sparse file just below the 4 GiB limit of the size fields.
    const auto target = dir / "big.wav";
    const std::uint32_t dataBytes = 0xFFFFFFFFu - 36 - 101;  // whole frames, 101 bytes to spare
    auto header = test::makeWaveImage(1, 1, 44100, 16, {});
    const std::uint32_t riffSize = dataBytes + 36;
    std::memcpy(header.data() + 4, &riffSize, 4);
    std::memcpy(header.data() + 40, &dataBytes, 4);
    test::writeFileBytes(target, header);
    std::error_code error;
    std::filesystem::resize_file(target, 44ull + dataBytes, error);
    if (error) GTEST_SKIP() << "no room for a sparse 4 GiB file";
    std::vector<std::int16_t> note(60, 1);
    mixIntoWaveInt16(test::widePath(target), note, 60, 0, 0, rate, true);
    EXPECT_EQ(std::filesystem::file_size(target), 44ull + dataBytes);
    std::FILE* file = std::fopen(target.string().c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::uint8_t first[44];
    ASSERT_EQ(std::fread(first, 1, 44, file), 44u);
    std::fclose(file);
    EXPECT_EQ(std::memcmp(first, header.data(), 44), 0);
}

TEST_F(WaveAppend, ShortNoteBuffersAndTheNullDeviceAreHandled) {
    const auto target = dir / "t.wav";
    test::writeFileBytes(target, test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes({7})));
    std::vector<std::int16_t> note{1, 2};
    mixIntoWaveInt16(test::widePath(target), note, 1000, 0, 0, rate, true);  // count beyond the buffer
    EXPECT_EQ(targetSamples(target), (std::vector<int>{7, 1, 2}));
    mixIntoWaveInt16(test::widePath(target), note, -5, 0, 0, rate, true);  // nothing to add
    EXPECT_EQ(targetSamples(target), (std::vector<int>{7, 1, 2}));
    mixIntoWaveInt16(L"nul", note, 2, 0, 0, rate, true);
    mixIntoWaveSamples(L"nul", std::span<double>(), 0, 0, 0, rate, depth, true);
    EXPECT_FALSE(std::filesystem::exists("nul"));
}

TEST_F(WaveAppend, TheRenderStageAppendsCachedNotesToItsTarget) {
    test::unsetEnvironment("OUTPUT_SAMPLES_PER_SEC");
    test::unsetEnvironment("OUTPUT_BITS_PER_SAMPLE");
    const auto cache = dir / "cache.wav";
    const std::vector<int> cached = ramp(2000, -500, 1);
    test::writeFileBytes(cache, test::makeWaveImage(1, 1, 22050, 16, test::int16Bytes(cached)));
    RenderJob job;
    job.outFile = std::nullopt;
    job.cacheFile = test::widePath(cache);
    job.targetFile = test::widePath(dir / "song.wav");
    job.length = 20;  // 441 samples at the cache file's rate
    renderJob(job);
    std::vector<int> expected(cached.begin(), cached.begin() + 441);
    EXPECT_EQ(targetSamples(dir / "song.wav"), expected);
    job.overlap = 2;  // 44 frames
    renderJob(job);
    for (std::size_t i = 0; i < 44; ++i) expected[441 - 44 + i] += cached[i];
    expected.insert(expected.end(), cached.begin() + 44, cached.begin() + 441);
    EXPECT_EQ(targetSamples(dir / "song.wav"), expected);
}

}  // namespace
}  // namespace kestrand
