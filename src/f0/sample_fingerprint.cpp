#include "f0/sample_fingerprint.h"

#include <algorithm>
#include <span>
#include <vector>

#include "base/byte_hash.h"
#include "base/little_endian.h"

namespace kestrand {

std::uint64_t sampleFingerprint(const LoadedSample& sample) {
    const WaveInfo& info = sample.info;
    std::vector<std::uint8_t> format;
    appendU16(format, effectiveFormatTag(info));
    appendU16(format, info.channels);
    appendU32(format, info.samplesPerSec);
    appendU16(format, info.bitsPerSample);
    appendU16(format, info.blockAlign);
    const std::size_t sound = std::min<std::size_t>(sample.bytes.size(), sample.dataBytes);
    return hashBytes(std::span<const std::uint8_t>(sample.bytes.data(), sound), hashBytes(format));
}

}  // namespace kestrand
