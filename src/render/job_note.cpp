#include "render/job_note.h"

#include <algorithm>
#include <cmath>

#include "input/load_input.h"
#include "platform/console.h"
#include "render/list_generation.h"
#include "render/note_region.h"
#include "render/render_tail.h"

namespace kestrand {

namespace {

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

// Checks a frequency list before use; a list that could not have come from
// an analysis (no frames, missing entries, no positive average) is refused.
bool listIsUsable(const FrequencyList& list) {
    return list.listSize >= 1 && list.frameStep >= 1 &&
           list.frequencies.size() >= static_cast<std::size_t>(list.listSize) + 1 && std::isfinite(list.freqAvg) &&
           list.freqAvg > 0.0;
}

}  // namespace

std::optional<PreparedNote> prepareNote(const RenderJob& job, const OutputSettings& settings,
                                        std::int32_t threadRequest) {
    const int N = settings.frameSize;
    const std::int32_t outputRate = settings.sampleRate;
    const bool quiet = isQuietJob(job);
    if (!job.voiceFile) {
        writeErr("Argument fehlt.\n");
        return std::nullopt;
    }

    // Loading.
    std::optional<LoadedSample> loaded = loadInput(*job.voiceFile, 4 * N);
    if (!loaded) {
        writeErr("Datei hat nicht gefunden.\n");
        return std::nullopt;
    }
    const WaveInfo& info = loaded->info;
    if (info.blockAlign == 0 || info.channels == 0 || info.samplesPerSec == 0 || info.samplesPerSec > 1'000'000) {
        writeErr("kestrand: the sample's format is unusable (no frames, channels or sample rate).\n");
        return std::nullopt;
    }
    const std::uint64_t inputFrames = loaded->dataBytes / info.blockAlign;
    if (!quiet) {
        printOut("Input  Sample Rate=%d  Bit Depth=%d Channels=%d\n", static_cast<int>(info.samplesPerSec),
                 static_cast<int>(info.bitsPerSample), static_cast<int>(info.channels));
    }

    // Region and length.
    NotePlan plan;
    plan.region = makeVoiceRegion(job, inputFrames, info.samplesPerSec);
    const double noteLength = noteLengthSamples(job, plan.region, outputRate);
    if (noteLength > kMaxNoteSeconds * outputRate) {
        writeErr("kestrand: the note is longer than one hour; nothing was rendered.\n");
        return std::nullopt;
    }
    plan.outCount = static_cast<std::int32_t>(std::max(noteLength, 0.0));

    // Voice parameters. Absurd values are kept finite: modulation within
    // +-10000 %, the gender factor within 10^(+-6).
    plan.mod = std::clamp(finiteOr(job.modulation, 0.0), -10000.0, 10000.0) * 0.01;
    plan.genderFactor = std::pow(10.0, std::clamp(finiteOr(job.gender, 0.0), -1200.0, 1200.0) * 0.005);
    plan.breathiness = std::clamp(finiteOr(job.breathy, 0.0) * 0.01, 0.0, 1.0);
    plan.alpha = std::clamp(finiteOr(job.alpha, 0.0) * 0.01, 0.0, 10.0);

    std::optional<FrequencyList> list = obtainFrequencyList(*job.voiceFile, *loaded);
    if (!list) {
        writeErr("kestrand: no pitch contour could be obtained for the sample.\n");
        return std::nullopt;
    }
    if (!listIsUsable(*list)) {
        writeErr("kestrand: the sample's pitch contour is unusable.\n");
        return std::nullopt;
    }
    const double nyquist = std::max(1.0, info.samplesPerSec / 2.0);
    list->freqAvg = std::clamp(list->freqAvg, 1.0, nyquist);
    const double tone = finiteOr(job.tone, 0.0);
    double target = list->freqAvg;
    if (tone > 20) {
        target = tone;
    } else if (tone > 0) {
        target = list->freqAvg * tone;
    }
    plan.target = std::min(target, 1.0e7);
    if (!quiet) {
        printOut("Outlength=%dsamples\n", plan.outCount);
        printOut("Modulation=%lf\n", plan.mod);
        printOut("Gender=%lf\n", plan.genderFactor);
        printOut("Breathy=%lf\n", plan.breathiness);
        printOut("Breath Alpha=%lf\n", plan.alpha);
        printOut("Reverse Mode %d\n", job.reverse ? 1 : 0);
        printOut("Freq Avg=%lf\n", list->freqAvg);
        printOut("Target Freq=%lf\n", plan.target);
    }

    plan.velocity1 = job.velocity1;
    plan.velocity2 = job.velocity2;
    plan.reverse = job.reverse != 0;
    plan.noFormant = job.noFormant != 0;
    plan.tempo = job.tempo;
    plan.pitchBend = job.pitchBend;
    plan.intensity = job.intensity;
    plan.outputRate = outputRate;
    plan.frameSize = N;
    plan.hopSize = settings.hopSize;
    plan.threadRequest = threadRequest;
    return PreparedNote{std::move(*loaded), std::move(*list), std::move(plan)};
}

std::optional<SynthesizedNote> synthesizeJobNote(const RenderJob& job, const OutputSettings& settings,
                                                 std::int32_t threadRequest, const SynthesisOptions& options) {
    const std::optional<PreparedNote> prepared = prepareNote(job, settings, threadRequest);
    if (!prepared) return std::nullopt;
    std::optional<SynthesizedNote> note = synthesizeNote(prepared->sample, prepared->list, prepared->plan, options);
    if (note && !isQuietJob(job)) {
        printOut("This process took %.03lf msec with %d threads.\n", note->seconds * 1000.0, note->threadCount);
    }
    return note;
}

}  // namespace kestrand
