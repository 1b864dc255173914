// The render stage: output settings, synthesis, normalisation and writing.
#pragma once

#include <cstdint>
#include <span>

#include "render/render_job.h"

namespace kestrand {

// Reads OUTPUT_SAMPLES_PER_SEC (4000..384000, else 44100) and
// OUTPUT_BITS_PER_SAMPLE (8..64, else 16); an unset variable keeps the
// previous value. Derives frameSize and hopSize from the rate.
void applyOutputSettings();

// Renders the job's note and writes it (or, for parameter jobs, uses the
// cache file, shapes it with the envelope and appends it to the target).
void renderJob(const RenderJob& job);

// Normalises the note's peak toward 16384 by the P flag's strength (default
// 86 %), applies the volume (0..200 %) and limits to the 16-bit range.
void normalizeAndScale(std::span<double> samples, const RenderJob& job);

// Shapes samples with the job's volume envelope (pairs of ms and percent after the lead-in).
void applyVolumeEnvelope(std::span<double> samples, const RenderJob& job, std::int32_t sampleRate);

// True when the job prints nothing: flags contain "n" or the output is "-".
bool isQuietJob(const RenderJob& job);

}  // namespace kestrand
