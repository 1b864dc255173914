// The 16-bit render path of parameter jobs.
#pragma once

#include <cstdint>
#include <span>

#include "render/render_job.h"

namespace kestrand {

// Renders a parameter job: synthesises the note (when it has an outFile) and
// writes it normalised as a 16-bit mono WAV file with (fileOffset + 3) ms of
// silence behind it, or takes the note from its cacheFile; then shapes it
// with the volume envelope and mixes it into the targetFile. Prints
// "SAMPLES=%d" (the output rate) first; without an output and a cache file it
// prints the usage lines and does nothing else. The volume is not applied on
// this path, and the frame size stays 1024 whatever the rate.
void wresamp(const RenderJob& job);

// out[i] = gain x samples[i], limited to the 16-bit range and truncated toward
// zero, for i below the smaller of the two lengths.
void scaleToInt16(std::span<const double> samples, double gain, std::span<std::int16_t> out);

}  // namespace kestrand
