// The 16-bit render path of parameter jobs and the entry of the job program.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "render/render_job.h"

namespace kestrand {

// The entry of the job program (args[0] is the program name): builds the job
// with parseParameterArgs and renders it with wresamp.
void wresampMain(const std::vector<std::wstring>& args);

// Renders a parameter job: synthesises the note (when it has an outFile) and
// writes it normalised as a 16-bit mono WAV file with (fileOffset + 3) ms of
// silence behind it, or takes the note from its cacheFile; then shapes it
// with the volume envelope and mixes it into the targetFile. Prints
// "SAMPLES=%d" (the output rate) first; without an output and a cache file it
// prints the usage lines and does nothing else. The volume is not applied on
// this path.
void wresamp(const RenderJob& job);

// The gain that moves the note's peak toward 16384 by the P flag's strength
// (the number after the first "P" in the flags, 86 when there is none) in
// percent, taken as at most 100; 1 for a strength of 0 or less or a silent note.
double int16NormalizationGain(std::span<const double> samples, const std::optional<std::wstring>& flags);

// out[i] = gain x samples[i], limited to the 16-bit range and truncated toward
// zero, for i below the smaller of the two lengths.
void scaleToInt16(std::span<const double> samples, double gain, std::span<std::int16_t> out);

// Shapes 16-bit samples with the job's volume envelope (silent lead-in of
// fileOffset ms, then pairs of duration ms and level percent), each result
// limited to the 16-bit range and truncated toward zero.
void applyVolumeEnvelopeInt16(std::span<std::int16_t> samples, const RenderJob& job, std::int32_t sampleRate);

}  // namespace kestrand
