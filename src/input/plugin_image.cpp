#include "input/plugin_image.h"

#include <algorithm>
#include <new>

#include "base/little_endian.h"
#include "platform/console.h"

namespace kestrand {

namespace {

std::int32_t declaredDataSize(std::span<const std::uint8_t, kCanonicalHeaderSize> header) {
    return loadS32(header.data() + 40);
}

}  // namespace

std::size_t pluginImageSize(std::span<const std::uint8_t, kCanonicalHeaderSize> header) {
    return kCanonicalHeaderSize + static_cast<std::size_t>(std::max<std::int32_t>(declaredDataSize(header), 0));
}

std::optional<LoadedSample> loadedSampleFromImage(std::span<const std::uint8_t> image, std::int32_t tailFrames) {
    if (image.size() < kCanonicalHeaderSize) return std::nullopt;
    const std::span<const std::uint8_t, kCanonicalHeaderSize> header = image.first<kCanonicalHeaderSize>();
    if (!isRiffWaveHeader(header)) return std::nullopt;
    const std::int32_t dataSize = declaredDataSize(header);
    if (dataSize < 0) {
        printErr("The plug-in module returned a negative data size (%d); not loaded.\n", dataSize);
        return std::nullopt;
    }
    const std::span<const std::uint8_t> data = image.subspan(
        kCanonicalHeaderSize, std::min(static_cast<std::size_t>(dataSize), image.size() - kCanonicalHeaderSize));
    LoadedSample sample;
    sample.info = waveInfoFromHeader(header);
    if (!isUsableStreamFormat(sample.info)) {
        printErr("The plug-in module's WAV image has %u channels and a block align of %u; not loaded.\n",
                 static_cast<unsigned>(sample.info.channels), static_cast<unsigned>(sample.info.blockAlign));
        return std::nullopt;
    }
    try {
        sample.bytes.assign(data.begin(), data.end());
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    sample.dataBytes = static_cast<std::uint32_t>(data.size());
    if (!appendZeroTail(sample, tailFrames)) return std::nullopt;
    return sample;
}

}  // namespace kestrand
