#include "audio/wave_writer.h"

#include "audio/wave_sample_conversion.h"
#include "base/little_endian.h"
#include "platform/whole_file.h"

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

long long frameCount(std::size_t sampleCount, int channels) {
    return channels > 0 ? static_cast<long long>(sampleCount) / channels : 0;
}

// Data bytes: (bits / 8) x frames x channels with bits / 8 taken first.
long long dataBytesOf(std::size_t sampleCount, int bitsPerSample, int channels) {
    return static_cast<long long>(bitsPerSample / 8) * frameCount(sampleCount, channels) * channels;
}

// A finished image into a file, whole or not at all; "nul" discards it.
bool writeImage(const std::wstring& path, std::span<const std::uint8_t> image) {
    if (path == L"nul") return true;
    return static_cast<bool>(writeWholeFile(path, image, Durability::Cache));
}

}  // namespace

std::vector<std::uint8_t> waveBytesImage(std::span<const std::uint8_t> bytes, int bitsPerSample, int channels,
                                         int sampleRate) {
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
    return image;
}

long long waveSamplesFileSize(std::size_t sampleCount, int bitsPerSample, int channels) {
    return dataBytesOf(sampleCount, bitsPerSample, channels) + 44;
}

std::vector<std::uint8_t> waveSamplesImage(std::span<const double> samples, int bitsPerSample, int channels,
                                           int sampleRate, int formatTag) {
    const long long frames = frameCount(samples.size(), channels);
    const std::span<const double> values =
        samples.first(static_cast<std::size_t>(frames * (channels > 0 ? channels : 0)));
    // The RIFF size: (frames x bits / 8) x channels + 36.
    const long long riffBody = frames * bitsPerSample / 8 * channels + 36;

    HeaderFields h;
    h.formatTag = formatTag == 3 ? 3 : 1;
    h.channels = channels;
    h.sampleRate = sampleRate;
    h.bitsPerSample = bitsPerSample;
    h.dataBytes = static_cast<std::uint32_t>(dataBytesOf(samples.size(), bitsPerSample, channels));
    h.riffSize = static_cast<std::uint32_t>(riffBody);

    std::vector<std::uint8_t> image;
    image.reserve(44 + values.size() * encodedSampleBytes(bitsPerSample));
    appendHeader(image, h);
    encodeSamples(values, bitsPerSample, formatTag, image);
    return image;
}

int writeWaveBytes(const std::wstring& path, std::span<const std::uint8_t> bytes, int bitsPerSample, int channels,
                   int sampleRate) {
    return writeImage(path, waveBytesImage(bytes, bitsPerSample, channels, sampleRate)) ? 0 : -1;
}

long long writeWaveSamples(const std::wstring& path, std::span<const double> samples, int bitsPerSample, int channels,
                           int sampleRate, int formatTag) {
    const std::vector<std::uint8_t> image = waveSamplesImage(samples, bitsPerSample, channels, sampleRate, formatTag);
    const bool written = path == L"-" ? static_cast<bool>(writeStandardOutput(image)) : writeImage(path, image);
    return written ? waveSamplesFileSize(samples.size(), bitsPerSample, channels) : -1;
}

}  // namespace kestrand
