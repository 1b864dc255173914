// The 16-bit render path of parameter jobs and the kestrandjob program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/parameter_job.h"
#include "render/render_tail.h"
#include "render/wresamp.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

TEST(Int16Normalization, StrengthFromThePFlag) {
    const std::vector<double> note{1000, -2000, 500};
    EXPECT_DOUBLE_EQ(normalizationGain(note, L"P100"), 16384.0 / 2000.0);
    EXPECT_DOUBLE_EQ(normalizationGain(note, L"P150"), 16384.0 / 2000.0);  // acts as 100
    EXPECT_DOUBLE_EQ(normalizationGain(note, L"P0"), 1.0);
    EXPECT_DOUBLE_EQ(normalizationGain(note, L"P-5"), 1.0);
    EXPECT_DOUBLE_EQ(normalizationGain(note, std::nullopt), std::pow(16384.0 / 2000.0, 0.86));
    EXPECT_DOUBLE_EQ(normalizationGain(note, L"B20"), std::pow(16384.0 / 2000.0, 0.86));
    EXPECT_DOUBLE_EQ(normalizationGain(note, L"P50.9"), std::pow(16384.0 / 2000.0, 0.5));
    EXPECT_DOUBLE_EQ(normalizationGain(std::vector<double>(5, 0.0), L"P100"), 1.0);  // silence stays zeros
}

TEST(Int16Normalization, ScalingLimitsAndTruncatesTowardZero) {
    const std::vector<double> note{1.9, -1.9, 20000, -20000, 0.49, std::nan("")};
    std::vector<std::int16_t> out(8, 99);
    scaleToInt16(note, 2.0, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{3, -3, 32767, -32768, 0, 0, 99, 99}));
}

// The envelope as a chain of breakpoints, written out literally.
std::vector<std::int16_t> envelopeOracle(std::vector<std::int16_t> s, const std::vector<float>& env, float lead,
                                         int rate) {
    std::vector<std::pair<double, double>> points{{0, 0}, {lead, 0}};
    const int pairs = std::min(static_cast<int>(env[0]), static_cast<int>(env.size()) - 1) / 2;
    for (int p = 0; p < pairs; ++p) points.push_back({points.back().first + env[1 + 2 * p], env[2 + 2 * p]});
    std::size_t current = 1;
    for (std::size_t j = 0; j < s.size(); ++j) {
        const double t = static_cast<double>(j) * 1000.0 / rate;
        while (t > points[current].first && current + 1 < points.size()) ++current;
        const auto [f, g] = points[current - 1];
        const auto [d, e] = points[current];
        double level = 0;
        if (d > f) {
            const double lambda = (t - f) / (d - f);
            level = (1 - lambda) * g + lambda * e;
        }
        s[j] = static_cast<std::int16_t>(std::trunc(std::clamp(level * 0.01 * s[j], -32768.0, 32767.0)));
    }
    return s;
}

TEST(Int16Envelope, FollowsTheBreakpoints) {
    std::vector<std::int16_t> note;
    for (int i = 0; i < 2000; ++i) note.push_back(static_cast<std::int16_t>((i * 97) % 20000 - 10000));
    const std::vector<std::vector<float>> envelopes{
        {4, 10, 100, 20, 80}, {2, 5, 300}, {6, 1, 50, 0, 100, 3, 0}, {3, 10, 100, 7}, {9, 5, 50}, {0},
    };
    for (const float lead : {0.0f, 4.0f}) {
        for (const auto& env : envelopes) {
            RenderJob job = newRenderJob();
            job.volumeEnvelope = env;
            job.fileOffset = lead;
            std::vector<std::int16_t> got = note;
            applyVolumeEnvelopeInt16(got, job, 44100);
            const auto expected = envelopeOracle(note, env, lead, 44100);
            const auto differ = std::mismatch(got.begin(), got.end(), expected.begin());
            EXPECT_EQ(differ.first, got.end())
                << "envelope of " << env.size() << " elements, lead-in " << lead << ", first difference at "
                << (differ.first - got.begin()) << ": " << (differ.first != got.end() ? *differ.first : 0) << " vs "
                << (differ.first != got.end() ? *differ.second : 0) << " from "
                << (differ.first != got.end() ? note[static_cast<std::size_t>(differ.first - got.begin())] : 0);
        }
    }
}

TEST(Int16Envelope, CountZeroSilencesAndNoEnvelopeLeavesAlone) {
    std::vector<std::int16_t> note(500, 1234);
    RenderJob job = newRenderJob();
    applyVolumeEnvelopeInt16(note, job, 44100);
    EXPECT_EQ(note, std::vector<std::int16_t>(500, 1234));
    job.volumeEnvelope = std::vector<float>{0};
    job.fileOffset = 3;
    applyVolumeEnvelopeInt16(note, job, 44100);
    EXPECT_EQ(note, std::vector<std::int16_t>(500, 0));
}

// ---- The program ----

std::filesystem::path jobProgram() { return std::filesystem::path(KESTRAND_BINARY_DIR) / "kestrandjob"; }

std::string run(const std::string& arguments, const std::string& environment = "") {
    return test::runCommand("env -u OUTPUT_SAMPLES_PER_SEC -u OUTPUT_BITS_PER_SAMPLE " + environment + " '" +
                            jobProgram().string() + "' " + arguments + " 2>&1")
        .output;
}

std::vector<int> samplesOf(const std::filesystem::path& path) { return test::waveSamples16(test::readFileBytes(path)); }

TEST(KestrandJob, WithoutOutputOrCacheItPrintsUsage) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    EXPECT_EQ(run(""),
              "SAMPLES=44100\nwresamp: Zu wenig Argumente.\n"
              "引数：1入力wav 2出力wav 3出力の長さ 4音程 5音量 6mod 7gen 8bre 9alpha\n"
              "10voice-offset 11voice-length 12voice-fixed1 13voice-fixed2 14velocity1 15velocity2 16reverse\n");
    EXPECT_EQ(run("", "OUTPUT_SAMPLES_PER_SEC=22050").substr(0, 14), "SAMPLES=22050\n");
    EXPECT_EQ(run("", "OUTPUT_SAMPLES_PER_SEC=1000").substr(0, 14), "SAMPLES=44100\n");
}

TEST(KestrandJob, CachedNotesGrowTheTargetFile) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    const auto cache = dir / "cache.wav";
    std::vector<int> cached(4410);
    for (int i = 0; i < 4410; ++i) cached[static_cast<std::size_t>(i)] = (i % 100) * 10;
    test::writeFileBytes(cache, test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes(cached)));
    const auto song = dir / "song.wav";
    const std::string common = "-cachefile '" + cache.string() + "' -ft '" + song.string() + "' ";

    // First note: the note after a 2 ms lead-in, 50 ms long, creates the file.
    const std::string first = run(common + "-trim=2 -l=50");
    EXPECT_EQ(first, "SAMPLES=44100\n");
    std::vector<int> expected(cached.begin() + 88, cached.begin() + 88 + 2205);
    EXPECT_EQ(samplesOf(song), expected);

    // Second note, read from standard input, overlaps by 10 ms (441 frames).
    const std::string second =
        test::runCommand("printf 'length=50\\noverlap=10\\n' | '" + jobProgram().string() + "' " + common + "-as")
            .output;
    EXPECT_EQ(second,
              "SAMPLES=44100\nfilesize=4446\nBlockAlign=2\nSamplesPerSec=44100\noverlap=441\noutlen=2205\n"
              "filesize=7974\n");
    const std::vector<int> note(cached.begin(), cached.begin() + 2205);
    for (std::size_t i = 0; i < 441; ++i) expected[expected.size() - 441 + i] += note[i];
    expected.insert(expected.end(), note.begin() + 441, note.end());
    EXPECT_EQ(samplesOf(song), expected);

    // A missing cache file gives silence of the computed length.
    const std::string third =
        run("-cachefile '" + (dir / "none.wav").string() + "' -ft '" + song.string() + "' -l=10 -ovr=-1");
    expected.insert(expected.end(), 44 + 441, 0);
    EXPECT_EQ(samplesOf(song), expected);
    EXPECT_NE(third.find("overlap=-44\n"), std::string::npos);

    // The envelope shapes what is appended.
    const auto shaped = dir / "shaped.wav";
    run("-cachefile '" + cache.string() + "' -ft '" + shaped.string() + "' -l=20 -env=10,100");
    std::vector<std::int16_t> raw(cached.begin(), cached.begin() + 882);
    RenderJob job = newRenderJob();
    job.volumeEnvelope = std::vector<float>{2, 10, 100};
    applyVolumeEnvelopeInt16(raw, job, 44100);
    EXPECT_EQ(samplesOf(shaped), std::vector<int>(raw.begin(), raw.end()));
}

TEST(KestrandJob, ARefusedTargetIsLeftAsItWas) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    const auto cache = dir / "cache.wav";
    test::writeFileBytes(cache, test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes(std::vector<int>(1000, 5))));
    const auto target = dir / "stereo.wav";
    const auto stereo = test::makeWaveImage(1, 2, 44100, 16, test::int16Bytes({1, 2, 3, 4}));
    test::writeFileBytes(target, stereo);
    const std::string output = run("-cachefile '" + cache.string() + "' -ft '" + target.string() + "' -l=10");
    EXPECT_NE(output.find("left unchanged"), std::string::npos);
    EXPECT_EQ(test::readFileBytes(target), stereo);
}

TEST(KestrandJob, TheExampleJobFileNamesTheBundledVoice) {
    const auto example = std::filesystem::path(KESTRAND_SOURCE_DIR) / "examples" / "two_notes.txt";
    const RenderJob job = parseParameterArgs({L"kestrandjob", L"-af", test::widePath(example)});
    EXPECT_EQ(job.voiceFile, L"voice/a.wav");
    EXPECT_TRUE(job.outFile);
    EXPECT_TRUE(job.targetFile);
    EXPECT_GT(job.length, 0);
}

// Needs the synthesis engine: two notes rendered from the bundled voice into one file.
TEST(KestrandJob, RendersNotesIntoAGrowingFile) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    const auto jobFile = dir / "job.txt";
    const std::string text =
        "voicefile=" + test::voiceSample("a.wav").string() + "\noutfile=" + (dir / "note.wav").string() +
        "\ntargetfile=" + (dir / "song.wav").string() + "\ntone=C4\nlength=200\nfileoffset=10\nflags=P100\n";
    test::writeFileBytes(jobFile, std::vector<std::uint8_t>(text.begin(), text.end()));
    const std::string output = run("-af '" + jobFile.string() + "'");
    EXPECT_NE(output.find("Output : "), std::string::npos) << output;
    const auto note = samplesOf(dir / "note.wav");
    // The note (10 ms lead-in and 200 ms) and 13 ms of silence behind it.
    EXPECT_NEAR(static_cast<double>(note.size()), 441 + 8820 + 573, 2.0);
    EXPECT_EQ(samplesOf(dir / "song.wav").size(), 8820u);
    run("-af '" + jobFile.string() + "' -t=E4 -overlap=20");
    EXPECT_EQ(samplesOf(dir / "song.wav").size(), 8820u * 2 - 882);
}

}  // namespace
}  // namespace kestrand
