// Where a job's note reads its sample and how long it is.
#pragma once

#include <cstdint>

#include "input/voice_entry.h"
#include "render/render_job.h"

namespace kestrand {

// The region of the sample in milliseconds (offset, length, fix1, fix2) from
// the job and the loaded sample. The whole sample's length is computed in 64
// bits, so long samples do not overflow.
VoiceEntry makeVoiceRegion(const RenderJob& job, std::uint64_t inputFrames, std::uint32_t samplesPerSec);

// The note length in output samples (rounded), before any limit is applied:
// from the requested length (or the region) when the job's own length is not
// above 0.0001 ms, else from the lead-in plus the job's length. A value that
// is not a number counts as 0.
double noteLengthSamples(const RenderJob& job, const VoiceEntry& region, std::int32_t outputSampleRate);

}  // namespace kestrand
