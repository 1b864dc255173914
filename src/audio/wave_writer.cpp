#include "audio/wave_writer.h"

#include <cstdio>
#include <vector>

#include "audio/wave_sample_conversion.h"
#include "base/little_endian.h"
#include "platform/console.h"
#include "platform/files.h"

namespace kestrand {

namespace {

struct HeaderFields {
    std::uint16_t formatTag = 1;
    int channels = 1;
    int sampleRate = 0;
    int bitsPerSample = 16;
    std::uint32_t riffSize = 36;
    std::uint32_t dataBytes = 0;
};

// The canonical 44-byte header, field by field, little-endian. Sizes wrap to
// 32 bits as the fields do.
void appendHeader(std::vector<std::uint8_t>& out, const HeaderFields& h) {
    const auto blockAlign = static_cast<std::uint16_t>(static_cast<long long>(h.channels) * h.bitsPerSample / 8);
    auto text = [&out](const char* four) { out.insert(out.end(), four, four + 4); };
    text("RIFF");
    appendU32(out, h.riffSize);
    text("WAVE");
    text("fmt ");
    appendU32(out, 16);
    appendU16(out, h.formatTag);
    appendU16(out, static_cast<std::uint16_t>(h.channels));
    appendU32(out, static_cast<std::uint32_t>(h.sampleRate));
    appendU32(out, static_cast<std::uint32_t>(static_cast<std::uint64_t>(blockAlign) *
                                              static_cast<std::uint32_t>(h.sampleRate)));
    appendU16(out, blockAlign);
    appendU16(out, static_cast<std::uint16_t>(h.bitsPerSample));
    text("data");
    appendU32(out, h.dataBytes);
}

bool writeAll(std::FILE* file, const std::vector<std::uint8_t>& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

int writeWaveBytes(const std::wstring& path, std::span<const std::uint8_t> bytes, int bitsPerSample, int channels,
                   int sampleRate) {
    FilePtr file = openFile(path, "wb");
    if (!file) return -1;
    HeaderFields h;
    h.formatTag = bitsPerSample == 32 ? 3 : 1;
    h.channels = channels;
    h.sampleRate = sampleRate;
    h.bitsPerSample = bitsPerSample;
    h.dataBytes = static_cast<std::uint32_t>(bytes.size());
    h.riffSize = static_cast<std::uint32_t>(bytes.size() + 36);
    std::vector<std::uint8_t> image;
    image.reserve(44 + bytes.size());
    appendHeader(image, h);
    image.insert(image.end(), bytes.begin(), bytes.end());
    writeAll(file.get(), image);  // write errors are not reported
    return 0;
}

long long writeWaveSamples(const std::wstring& path, std::span<const double> samples, int bitsPerSample, int channels,
                           int sampleRate, int formatTag) {
    // `samples` holds frames x channels interleaved values.
    const long long frames = channels > 0 ? static_cast<long long>(samples.size()) / channels : 0;
    const std::span<const double> values =
        samples.first(static_cast<std::size_t>(frames * (channels > 0 ? channels : 0)));
    // Data bytes: (bits / 8) x frames x channels with bits / 8 taken first; the
    // RIFF size: (frames x bits / 8) x channels + 36.
    const long long dataBytes = static_cast<long long>(bitsPerSample / 8) * frames * channels;
    const long long riffBody = frames * bitsPerSample / 8 * channels + 36;

    HeaderFields h;
    h.formatTag = formatTag == 3 ? 3 : 1;
    h.channels = channels;
    h.sampleRate = sampleRate;
    h.bitsPerSample = bitsPerSample;
    h.dataBytes = static_cast<std::uint32_t>(dataBytes);
    h.riffSize = static_cast<std::uint32_t>(riffBody);

    std::vector<std::uint8_t> image;
    image.reserve(44 + values.size() * encodedSampleBytes(bitsPerSample));
    appendHeader(image, h);
    encodeSamples(values, bitsPerSample, formatTag, image);

    if (path == L"-") {
        setStdoutBinary();
        writeAll(stdout, image);
        std::fflush(stdout);  // standard output stays open
        return dataBytes + 44;
    }
    FilePtr file = openFile(path, "wb");
    if (!file) return -1;
    writeAll(file.get(), image);
    return dataBytes + 44;
}

}  // namespace kestrand
