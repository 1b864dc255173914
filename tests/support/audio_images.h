// Byte images of audio files for the tests, and reading them back: RIFF/WAVE
// images with any chunk layout and any declared size (so that malformed files
// are as easy to write as good ones), AIFF images, noisy sample data in every
// stored encoding, and the 16-bit samples and shape of a written WAV file.
// Multi-byte values go through base/little_endian.h.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "audio/wave_info.h"
#include "audio/wave_reader.h"
#include "base/little_endian.h"
#include "support/test_files.h"

namespace kestrand::test {

// ---- WAV images -------------------------------------------------------------

// The characters of `text`, as they are.
inline void putText(std::vector<std::uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

// "RIFF", a size, "WAVE".
inline std::vector<std::uint8_t> riffHeader(std::uint32_t riffSize = 0) {
    std::vector<std::uint8_t> out;
    putText(out, "RIFF");
    appendU32(out, riffSize);
    putText(out, "WAVE");
    return out;
}

// A chunk with an explicit declared size (which need not match the body).
inline void appendChunk(std::vector<std::uint8_t>& out, const std::string& id, std::uint32_t declaredSize,
                        const std::vector<std::uint8_t>& body) {
    putText(out, id);
    appendU32(out, declaredSize);
    out.insert(out.end(), body.begin(), body.end());
}

inline void appendChunk(std::vector<std::uint8_t>& out, const std::string& id, const std::vector<std::uint8_t>& body) {
    appendChunk(out, id, static_cast<std::uint32_t>(body.size()), body);
}

// The 16-byte format body; blockAlign defaults to channels x bits / 8.
inline std::vector<std::uint8_t> formatBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                            std::uint16_t bits, int blockAlign = -1) {
    const auto align = static_cast<std::uint16_t>(blockAlign >= 0 ? blockAlign : channels * bits / 8);
    std::vector<std::uint8_t> out;
    appendU16(out, tag);
    appendU16(out, channels);
    appendU32(out, rate);
    appendU32(out, rate * align);
    appendU16(out, align);
    appendU16(out, bits);
    return out;
}

// A 40-byte extensible format body whose subformat GUID starts with `subFormat`.
inline std::vector<std::uint8_t> extensibleBody(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                                std::uint16_t subFormat) {
    std::vector<std::uint8_t> out = formatBody(0xFFFE, channels, rate, bits);
    appendU16(out, 22);    // extension size
    appendU16(out, bits);  // valid bits
    appendU32(out, 0);     // channel mask
    appendU16(out, subFormat);
    const std::uint8_t guidRest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    out.insert(out.end(), guidRest, guidRest + 14);
    return out;
}

// A canonical 44-byte-header PCM WAV image.
inline std::vector<std::uint8_t> makeWaveImage(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t rate,
                                               std::uint16_t bits, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out = riffHeader(static_cast<std::uint32_t>(data.size() + 36));
    appendChunk(out, "fmt ", formatBody(formatTag, channels, rate, bits));
    appendChunk(out, "data", data);
    return out;
}

// count bytes first, first + 1, ... (wrapping at 256).
inline std::vector<std::uint8_t> byteRange(std::size_t count, std::uint8_t first = 1) {
    std::vector<std::uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(first + i);
    return out;
}

// 16-bit samples as little-endian bytes.
inline std::vector<std::uint8_t> int16Bytes(const std::vector<int>& samples) {
    std::vector<std::uint8_t> out;
    for (const int s : samples) appendU16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(s)));
    return out;
}

// Writes `image` to a file in `dir` and returns its wide path.
inline std::wstring putFile(const TempDir& dir, const std::string& name, const std::vector<std::uint8_t>& image) {
    writeFileBytes(dir / name, image);
    return widePath(dir / name);
}

// ---- AIFF images ------------------------------------------------------------

inline void putBig16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

inline void putBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
}

// 44100 as an 80-bit extended number.
inline constexpr std::uint8_t kAiffRate44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};

// An AIFF image of 16-bit samples; every size can be overridden.
struct AiffSpec {
    std::string form = "AIFF";
    std::optional<std::uint32_t> formSizeOverride;
    bool withComm = true;
    std::uint16_t channels = 1;
    std::uint32_t frames = 0;
    std::uint16_t bits = 16;
    const std::uint8_t* rate = kAiffRate44100;
    std::size_t commExtra = 0;
    bool withSsnd = true;
    std::uint32_t ssndOffset = 0;
    std::optional<std::uint32_t> ssndSizeOverride;
    std::vector<std::int16_t> samples;  // stored big-endian
    bool otherChunkFirst = false;
};

inline std::vector<std::uint8_t> makeAiff(const AiffSpec& spec) {
    std::vector<std::uint8_t> body;
    putText(body, spec.form);
    if (spec.otherChunkFirst) {
        putText(body, "NAME");
        putBig32(body, 4);
        putText(body, "abcd");
    }
    if (spec.withComm) {
        putText(body, "COMM");
        putBig32(body, static_cast<std::uint32_t>(18 + spec.commExtra));
        putBig16(body, spec.channels);
        putBig32(body, spec.frames);
        putBig16(body, spec.bits);
        body.insert(body.end(), spec.rate, spec.rate + 10);
        body.insert(body.end(), spec.commExtra, 0x77);
    }
    if (spec.withSsnd) {
        putText(body, "SSND");
        const auto natural = static_cast<std::uint32_t>(8 + spec.ssndOffset + spec.samples.size() * 2);
        putBig32(body, spec.ssndSizeOverride.value_or(natural));
        putBig32(body, spec.ssndOffset);
        putBig32(body, 0);
        body.insert(body.end(), spec.ssndOffset, 0x55);
        for (const std::int16_t s : spec.samples) putBig16(body, static_cast<std::uint16_t>(s));
    }
    std::vector<std::uint8_t> file;
    putText(file, "FORM");
    putBig32(file, spec.formSizeOverride.value_or(static_cast<std::uint32_t>(body.size())));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// ---- Sample data in every stored encoding -------------------------------------

struct StoredSamples {
    WaveInfo info;
    std::vector<std::uint8_t> bytes;  // frames x channels samples, then tailFrames zero frames
};

// A noisy tone (sine plus noise, below full scale) of `frames` frames of
// `channels` interleaved channels in the stored form of a depth (8, 16, 24,
// 32 bits as integers with tag 1 and floats otherwise, 64-bit doubles),
// followed by `tailFrames` zero frames.
inline StoredSamples noisyStoredSamples(int bits, std::uint16_t tag, int channels, int frames, int tailFrames) {
    StoredSamples s;
    s.info.bitsPerSample = static_cast<std::uint16_t>(bits);
    s.info.formatTag = tag;
    s.info.channels = static_cast<std::uint16_t>(channels);
    s.info.samplesPerSec = 44100;
    s.info.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    std::mt19937 random(static_cast<unsigned>(bits * 31 + channels));
    std::uniform_real_distribution<double> unit(-0.9, 0.9);
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const double v = 0.6 * std::sin(f * 0.07 + c) + 0.3 * unit(random);
            std::uint8_t b[8];
            switch (bits) {
                case 8: b[0] = static_cast<std::uint8_t>(std::lround(127.5 + 127 * v)); break;
                case 16: storeU16(b, static_cast<std::uint16_t>(std::lround(32767 * v))); break;
                case 24: storeU24(b, static_cast<std::uint32_t>(std::lround(8388607 * v))); break;
                case 32:
                    if (tag == 1) {
                        storeU32(b,
                                 static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(2147483647.0 * v))));
                    } else {
                        storeU32(b, std::bit_cast<std::uint32_t>(static_cast<float>(v)));
                    }
                    break;
                default: storeU64(b, std::bit_cast<std::uint64_t>(v)); break;
            }
            s.bytes.insert(s.bytes.end(), b, b + bits / 8);
        }
    }
    s.bytes.resize(s.bytes.size() + static_cast<std::size_t>(tailFrames) * s.info.blockAlign, 0);
    return s;
}

// ---- Reading written files back ----------------------------------------------

// A bundled voice sample read as the WAV reader reads it, with `tail` zero
// frames behind it (an empty sample, and a failed expectation, when it
// cannot be read).
inline LoadedSample loadVoiceWave(const std::string& name, std::int32_t tail = 4096) {
    auto sample = readWaveBytes(widePath(voiceSample(name)), tail);
    EXPECT_TRUE(sample.has_value()) << name;
    return sample ? *sample : LoadedSample{};
}

// The 16-bit samples behind the 44-byte header of a written WAV file.
inline std::vector<int> waveSamples16(const std::vector<std::uint8_t>& bytes) {
    std::vector<int> out;
    for (std::size_t i = 44; i + 1 < bytes.size(); i += 2) out.push_back(loadS16(bytes.data() + i));
    return out;
}

// True when the bytes are one complete WAV file: RIFF/WAVE whose RIFF size
// covers exactly the rest, a format chunk, and a data chunk that ends exactly
// at the end of the file with more than zero bytes of sound.
inline bool isWholeWave(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    if (loadU32(bytes.data() + 4) != bytes.size() - 8) return false;
    bool format = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t size = loadU32(bytes.data() + at + 4);
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0) format = true;
        if (std::memcmp(bytes.data() + at, "data", 4) == 0) return format && size > 0 && at + 8 + size == bytes.size();
        at += 8 + size + (size & 1u);
    }
    return false;
}

}  // namespace kestrand::test

namespace kestrand {

// How GoogleTest shows a format record in a failed comparison.
inline void PrintTo(const WaveInfo& info, std::ostream* out) {
    *out << "{\"" << std::string(info.chunkId.data(), 4) << "\" tag " << info.formatTag << ", sub " << info.subFormat
         << ", " << info.channels << " ch, " << info.samplesPerSec << " Hz, " << info.bitsPerSample << " bits, align "
         << info.blockAlign << ", " << info.avgBytesPerSec << " B/s, chunk " << info.chunkSize << "}";
}

}  // namespace kestrand
