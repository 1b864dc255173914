// Feeds arbitrary bytes to both WAV readers through a temporary file and
// checks what they return: its size, its sound (every value is read) and
// its zero tail.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/wave_reader.h"
#include "fuzz_support.h"
#include "platform/text.h"

namespace {

// The zero tail can be megabytes: its first, middle and last elements show
// that it exists and is zero, without scanning all of it on every run.
template <typename T>
void checkTail(const std::vector<T>& values, std::size_t soundCount) {
    if (soundCount > values.size()) std::abort();
    const std::size_t tail = values.size() - soundCount;
    if (tail == 0) return;
    for (const std::size_t at : {soundCount, soundCount + tail / 2, values.size() - 1})
        if (values[at] != T{}) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = kestrand::fuzz::scratchPath("fuzz_wave_readers", ".wav");
    // A fresh file each time (removed at the end of the run): truncating one
    // that holds data makes ext4 flush it to disk, milliseconds per run.
    if (!kestrand::fuzz::writeScratch(path, data, size)) return 0;
    const std::wstring widePath = kestrand::widen(path);

    volatile std::uint32_t sink = 0;
    if (const auto loaded = kestrand::readWaveBytes(widePath, 4096)) {
        if (loaded->bytes.size() != loaded->dataBytes + std::size_t{4096} * loaded->info.blockAlign) std::abort();
        for (std::size_t i = 0; i < loaded->dataBytes; ++i) sink = sink + loaded->bytes[i];
        checkTail(loaded->bytes, loaded->dataBytes);
    }
    kestrand::WaveInfo info;
    std::uint32_t frames = 0;
    if (const auto samples = kestrand::readWaveSamples(widePath, info, frames, 4096)) {
        const std::size_t soundCount = std::size_t{frames} * info.channels;
        if (samples->size() != soundCount + std::size_t{4096} * info.channels) std::abort();
        double sum = 0;
        for (std::size_t i = 0; i < soundCount; ++i) sum += (*samples)[i];
        checkTail(*samples, soundCount);
        sink = sink + (sum == 0.0 ? 1u : 0u);
    }
    std::remove(path.c_str());
    return 0;
}
