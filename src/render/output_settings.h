// The output format of a render: the rate and depth of the written note and
// the frame size the synthesis works with at that rate.
#pragma once

#include <cstdint>

namespace kestrand {

struct OutputSettings {
    std::int32_t sampleRate = 44100;
    std::int32_t bitsPerSample = 16;
    std::int32_t frameSize = 1024;  // FFT length of the synthesis frames
    std::int32_t hopSize = 256;     // frameSize / 4
};

// The frame size for an output rate: 2048 from 64000 Hz, 1024 from 32000,
// 512 from 16000, else 256.
std::int32_t frameSizeForRate(std::int32_t rate);

// `previous` with OUTPUT_SAMPLES_PER_SEC (4000..384000, else 44100) and
// OUTPUT_BITS_PER_SAMPLE (8..64, else 16) applied; an unset variable keeps
// the previous value. The frame and hop sizes follow from the rate.
OutputSettings readOutputSettings(OutputSettings previous = {});

}  // namespace kestrand
