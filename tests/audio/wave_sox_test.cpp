// Our readers and writers against an independent implementation: files that
// sox writes in every depth are read back with the samples sox itself sees,
// and sox reads our files with the samples we meant to write.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "audio/wave_reader.h"
#include "audio/wave_writer.h"
#include "base/little_endian.h"
#include "support/audio_images.h"
#include "support/sample_oracle.h"

namespace kestrand {
namespace {

using test::TempDir;

#define REQUIRE_SOX()                                                                                \
    do {                                                                                             \
        if (!test::findProgram("sox")) GTEST_SKIP() << "sox is not installed (apt-get install sox)"; \
    } while (0)

bool sox(const std::string& arguments) {
    return test::runCommand("sox -D " + arguments + " 2>/dev/null; echo $?").output == "0\n";
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// A file as sox decodes it: one double per sample, full scale 1.0.
std::vector<double> soxDoubles(const std::filesystem::path& wav, const std::filesystem::path& scratch) {
    if (!sox(quoted(wav) + " -t raw -e floating-point -b 64 " + quoted(scratch))) return {};
    const auto bytes = test::readFileBytes(scratch);
    std::vector<double> out(bytes.size() / 8);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = loadF64(bytes.data() + 8 * i);
    return out;
}

struct Encoding {
    int bits;
    const char* name;
    int tag;  // the tag our conversions treat it with
};
constexpr Encoding kEncodings[] = {{8, "unsigned-integer", 1}, {16, "signed-integer", 1}, {24, "signed-integer", 1},
                                   {32, "signed-integer", 1},  {32, "floating-point", 3}, {64, "floating-point", 3}};

// Our sixteen-bit-scale value for a sample that sox reads as `s` (full scale 1).
double fromSoxScale(double s, const Encoding& e) {
    if (e.tag == 3) return s * 32767.5;
    if (e.bits == 8) return s * 32768 + 128;  // (u - 127.5) x 256 against (u - 128) / 128
    return s * 32768;
}

TEST(WaveSox, ReadsFilesThatSoxWritesInEveryDepth) {
    REQUIRE_SOX();
    TempDir dir;
    for (const Encoding& e : kEncodings) {
        for (int rate : {8000, 22050, 44100, 96000}) {
            for (int channels : {1, 2}) {
                SCOPED_TRACE(std::to_string(e.bits) + " " + e.name + " " + std::to_string(rate) + " Hz " +
                             std::to_string(channels) + " ch");
                const auto wav = dir / "sox.wav";
                ASSERT_TRUE(sox("-n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " +
                                std::to_string(e.bits) + " -e " + e.name + " " + quoted(wav) +
                                " synth 0.02 sine 440 sine 1250 gain -0.5"));
                // The data bytes as stored, exactly as sox sees them.
                ASSERT_TRUE(sox(quoted(wav) + " -t raw " + quoted(dir / "sox.raw")));
                const auto raw = test::readFileBytes(dir / "sox.raw");
                const auto loaded = readWaveBytes(test::widePath(wav), 16);
                ASSERT_TRUE(loaded);
                EXPECT_EQ(loaded->info.samplesPerSec, static_cast<std::uint32_t>(rate));
                EXPECT_EQ(loaded->info.channels, channels);
                EXPECT_EQ(loaded->info.bitsPerSample, e.bits);
                EXPECT_EQ(effectiveFormatTag(loaded->info), e.tag);
                ASSERT_EQ(loaded->dataBytes, raw.size());
                EXPECT_TRUE(std::equal(raw.begin(), raw.end(), loaded->bytes.begin()));
                EXPECT_EQ(loaded->bytes.size(), raw.size() + 16u * loaded->info.blockAlign);

                // The converted samples against sox's own decoding.
                const auto reference = soxDoubles(wav, dir / "sox.f64");
                WaveInfo info;
                std::uint32_t frames = 0;
                const auto samples = readWaveSamples(test::widePath(wav), info, frames, 16);
                ASSERT_TRUE(samples);
                ASSERT_EQ(static_cast<std::size_t>(frames) * channels, reference.size());
                ASSERT_EQ(samples->size(), reference.size() + 16u * channels);
                const double tolerance = e.tag == 3 ? 1e-3 : 0.0;
                for (std::size_t i = 0; i < reference.size(); ++i)
                    ASSERT_NEAR((*samples)[i], fromSoxScale(reference[i], e), tolerance) << i;
            }
        }
    }
}

// What sox should read from a value we write: the written code at full scale 1.
double expectedSoxValue(double v, const Encoding& e) {
    if (e.tag == 3) return std::clamp(v / 32767.5, -1.0, 1.0);
    const double code = static_cast<double>(test::oracleIntegerCode(v, e.bits));
    if (e.bits == 8) return (code - 128) / 128;
    return code / std::ldexp(1.0, e.bits - 1);
}

TEST(WaveSox, SoxReadsOurFilesInEveryDepth) {
    REQUIRE_SOX();
    std::vector<double> values;
    for (int i = 0; i <= 400; ++i) values.push_back(-36000.0 + i * 180.37);
    values.insert(values.end(), {0.0, 2.75, -2.75, 100.5, 32767.0, -32768.0, 32767.5});
    TempDir dir;
    for (const Encoding& e : kEncodings) {
        for (int rate : {8000, 44100, 96000}) {
            for (int channels : {1, 2}) {
                SCOPED_TRACE(std::to_string(e.bits) + " " + e.name + " " + std::to_string(rate) + " Hz " +
                             std::to_string(channels) + " ch");
                const auto wav = dir / "ours.wav";
                std::vector<double> written = values;
                if (written.size() % 2 != 0 && channels == 2) written.push_back(1.0);  // whole frames
                const long long size = writeWaveSamples(test::widePath(wav), written, e.bits, channels, rate, e.tag);
                ASSERT_EQ(size, static_cast<long long>(44 + written.size() * e.bits / 8));
                const std::string q = quoted(wav) + " 2>/dev/null";
                const auto info = test::runCommand("sox --i -r " + q + "; sox --i -c " + q + "; sox --i -b " + q +
                                                   "; sox --i -e " + q);
                EXPECT_EQ(info.output, std::to_string(rate) + "\n" + std::to_string(channels) + "\n" +
                                           std::to_string(e.bits) + "\n" +
                                           (e.tag == 3    ? "Floating Point PCM\n"
                                            : e.bits == 8 ? "Unsigned Integer PCM\n"
                                                          : "Signed Integer PCM\n"));
                const auto decoded = soxDoubles(wav, dir / "ours.f64");
                ASSERT_EQ(decoded.size(), written.size());
                const double tolerance = e.tag == 3 ? 1e-6 : 0.0;
                for (std::size_t i = 0; i < written.size(); ++i)
                    ASSERT_NEAR(decoded[i], expectedSoxValue(written[i], e), tolerance) << written[i];
            }
        }
    }
}

}  // namespace
}  // namespace kestrand
