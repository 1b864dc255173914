// The note program's render: output settings, synthesis, normalisation,
// writing, and for parameter-style jobs the envelope and the growing target.
#pragma once

#include <span>

#include "render/output_settings.h"
#include "render/render_job.h"

namespace kestrand {

// Renders the job's note with the output settings of the environment (see
// readOutputSettings) and writes it; for jobs with a cache file instead of an
// output, takes the note from there. Then shapes it with the job's volume
// envelope and mixes it into the job's target file, if it has them.
void renderJob(const RenderJob& job);

// The same with the output settings given.
void renderJobWith(const RenderJob& job, OutputSettings settings);

// Normalises the note's peak toward 16384 by the P flag's strength (default
// 86 %), applies the volume (0..200 %) and limits to the 16-bit range.
void normalizeAndScale(std::span<double> samples, const RenderJob& job);

}  // namespace kestrand
