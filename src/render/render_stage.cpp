#include "render/render_stage.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/wave_append.h"
#include "audio/wave_reader.h"
#include "audio/wave_writer.h"
#include "base/number_text.h"
#include "platform/console.h"
#include "platform/text.h"
#include "render/job_note.h"
#include "render/render_tail.h"

namespace kestrand {

namespace {

// Writes the note at the output depth (floats from 32 bits); "-" is standard
// output. True when the note is in place.
bool writeNote(const std::wstring& path, std::span<const double> note, const OutputSettings& settings) {
    const int bits = settings.bitsPerSample;
    const std::vector<std::uint8_t> image = waveSamplesImage(note, bits, 1, settings.sampleRate, bits < 32 ? 1 : 3);
    const FileResult written = writeWholeNoteFile(path, image, DashOutput::StandardOutput);
    if (written) return true;
    if (path == L"-") {
        printErr("kestrand: cannot write the note to standard output: %s.\n", written.problem.c_str());
    } else {
        printErr("kestrand: cannot write the output file %s: %s. No file was changed.\n", narrow(path).c_str(),
                 written.problem.c_str());
    }
    return false;
}

}  // namespace

void normalizeAndScale(std::span<double> samples, const RenderJob& job) {
    if (samples.empty()) return;
    const double volume = std::clamp(static_cast<double>(job.volume) * 0.01, 0.0, 2.0);
    const double gain = normalizationGain(samples, job.flags) * volume;
    for (double& s : samples) s = std::clamp(s * gain, -32768.0, 32767.0);
}

void renderJob(const RenderJob& job) { renderJobWith(job, readOutputSettings()); }

void renderJobWith(const RenderJob& job, OutputSettings settings) {
    const bool quiet = isQuietJob(job);
    std::int32_t count =
        truncateToInt32((static_cast<double>(job.fileOffset) + job.length) * settings.sampleRate * 0.001);
    std::optional<std::vector<double>> samples;

    if (job.outFile) {
        const std::int32_t threadRequest = flagNumber(job.flags, L'S').value_or(0);
        std::optional<SynthesizedNote> note = synthesizeJobNote(job, settings, threadRequest);
        if (note) {
            count = std::clamp<std::int32_t>(note->count, 0, static_cast<std::int32_t>(note->samples.size()));
            samples = std::move(note->samples);
            const std::span<double> values(samples->data(), static_cast<std::size_t>(count));
            normalizeAndScale(values, job);
            // The size is announced only once the note is safely in place.
            if (writeNote(*job.outFile, values, settings) && !quiet) {
                printOut("Output : %lld bytes\n", static_cast<long long>(count) * settings.bitsPerSample / 8 + 44);
            }
        }
    } else {
        if (!job.cacheFile) {
            writeErr("Zu wenig Argumente.\n");
            writeErr(kUsageLines);
            return;
        }
        WaveInfo info;
        std::uint32_t frames = 0;
        samples = readWaveSamples(*job.cacheFile, info, frames, 2048);
        if (samples && frames > 0 && frames <= static_cast<std::uint32_t>(INT32_MAX)) {
            count = static_cast<std::int32_t>(frames);
            settings.sampleRate = static_cast<std::int32_t>(info.samplesPerSec);
            settings.bitsPerSample = info.bitsPerSample;
        } else {
            samples = std::vector<double>(static_cast<std::size_t>(std::max<std::int32_t>(count, 0)), 0.0);
        }
    }
    if (!samples) return;
    count = std::clamp<std::int32_t>(count, 0, static_cast<std::int32_t>(samples->size()));

    applyVolumeEnvelope(std::span<double>(samples->data(), static_cast<std::size_t>(count)), job, settings.sampleRate);

    if (job.targetFile) {
        const std::int32_t lead =
            std::max<std::int32_t>(0, truncateToInt32(settings.sampleRate * 0.001 * job.fileOffset));
        samples->resize(static_cast<std::size_t>(count));
        samples->resize(static_cast<std::size_t>(count) + static_cast<std::size_t>(lead) + 1, 0.0);
        const std::int32_t noteCount = truncateToInt32(settings.sampleRate * job.length * 0.001);
        mixIntoWaveSamples(*job.targetFile, std::span<double>(*samples).subspan(static_cast<std::size_t>(lead)),
                           noteCount, job.overlap, job.endPos, settings.sampleRate, settings.bitsPerSample, quiet);
    }
}

}  // namespace kestrand
