// Builders of RIFF/WAVE images for the audio tests: any chunk layout, any
// declared size, so that malformed files are as easy to write as good ones.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace kestrand::test {

// "RIFF", a size, "WAVE".
inline std::vector<std::uint8_t> riffHeader(std::uint32_t riffSize = 0) {
    std::vector<std::uint8_t> out;
    putText(out, "RIFF");
    putU32(out, riffSize);
    putText(out, "WAVE");
    return out;
}

// A chunk with an explicit declared size (which need not match the body).
inline void appendChunk(std::vector<std::uint8_t>& out, const std::string& id, std::uint32_t declaredSize,
                        const std::vector<std::uint8_t>& body) {
    putText(out, id);
    putU32(out, declaredSize);
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
    putU16(out, tag);
    putU16(out, channels);
    putU32(out, rate);
    putU32(out, rate * align);
    putU16(out, align);
    putU16(out, bits);
    return out;
}

// A 40-byte extensible format body whose subformat GUID starts with `subFormat`.
inline std::vector<std::uint8_t> extensibleBody(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                                std::uint16_t subFormat) {
    std::vector<std::uint8_t> out = formatBody(0xFFFE, channels, rate, bits);
    putU16(out, 22);    // extension size
    putU16(out, bits);  // valid bits
    putU32(out, 0);     // channel mask
    putU16(out, subFormat);
    const std::uint8_t guidRest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    out.insert(out.end(), guidRest, guidRest + 14);
    return out;
}

inline std::vector<std::uint8_t> byteRange(std::size_t count, std::uint8_t first = 1) {
    std::vector<std::uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(first + i);
    return out;
}

// Writes `image` to a file in `dir` and returns its wide path.
inline std::wstring putFile(const TempDir& dir, const std::string& name, const std::vector<std::uint8_t>& image) {
    writeFileBytes(dir / name, image);
    return widePath(dir / name);
}

}  // namespace kestrand::test
