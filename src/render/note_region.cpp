#include "render/note_region.h"

#include <algorithm>
#include <cmath>

#include "base/number_text.h"

namespace kestrand {

VoiceEntry makeVoiceRegion(const RenderJob& job, std::uint64_t inputFrames, std::uint32_t samplesPerSec) {
    VoiceEntry region;
    const std::uint64_t totalMs64 = samplesPerSec == 0 ? 0 : inputFrames * 1000u / samplesPerSec;
    const std::int32_t totalMs = static_cast<std::int32_t>(std::min<std::uint64_t>(totalMs64, INT32_MAX));
    region.offset = truncateToInt32(job.voiceOffset);
    region.length = totalMs;
    if (job.voiceLength < 0) {
        const float length = static_cast<float>(totalMs) + job.voiceLength - job.voiceOffset;
        region.length = truncateToInt32(length);
    } else if (job.voiceLength > 0) {
        region.length = truncateToInt32(job.voiceLength);
    }
    if (job.voiceFixed1 > 0) region.fix1 = truncateToInt32(job.voiceFixed1);
    if (job.voiceFixed2 > 0) region.fix2 = truncateToInt32(job.voiceFixed2);
    return region;
}

double noteLengthSamples(const RenderJob& job, const VoiceEntry& region, std::int32_t outputSampleRate) {
    double samples;
    if (!(job.length > 0.0001)) {
        const double length = job.lengthRequire > 0 ? static_cast<double>(job.lengthRequire) : region.length;
        samples = std::trunc(outputSampleRate * 0.001 * length + 0.5);
    } else {
        samples = std::trunc((static_cast<double>(job.fileOffset) + job.length) * outputSampleRate * 0.001 + 0.5);
    }
    return std::isnan(samples) ? 0.0 : samples;
}

}  // namespace kestrand
