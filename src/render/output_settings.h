// The process-wide output settings. The render stage sets them at the start of
// every render; the synthesis engine, the writers and the frequency-list
// generation read them.
#pragma once

#include <cstdint>

namespace kestrand {

struct RenderSettings {
    std::int32_t outputSampleRate = 44100;
    std::int32_t outputBitsPerSample = 16;
    std::int32_t frameSize = 1024;  // FFT length of the synthesis workers
    std::int32_t hopSize = 256;     // frameSize / 4
};

// The one copy of the settings for this process.
RenderSettings& renderSettings();

}  // namespace kestrand
