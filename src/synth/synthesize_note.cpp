#include "synth/synthesize_note.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <thread>

#include "base/number_text.h"
#include "render/output_settings.h"
#include "render/render_stage.h"
#include "render/list_generation.h"
#include "input/load_input.h"
#include "platform/console.h"
#include "platform/system_info.h"
#include "dsp/decoded_sample.h"
#include "synth/direct_waveform.h"
#include "dsp/fast_sinc.h"
#include "synth/noise_generator.h"
#include "synth/note_synthesis.h"
#include "dsp/sample_view.h"
#include "synth/synthesis_tables.h"
#include "synth/time_map.h"
#include "synth/worker.h"

namespace kestrand {

namespace {

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

NoteCurves makeCurves(const RenderJob& job, double target, std::int32_t outputRate) {
    NoteCurves curves;
    if (job.tempo > 0) {
        // At least one sample per step, so the step positions stay finite.
        curves.step = std::max(1, truncateToInt32(0.625 / job.tempo * outputRate + 0.5));
    }
    if (job.pitchBend) {
        const auto& values = job.pitchBend->values;
        curves.bendCount = static_cast<std::int32_t>(values.size());
        curves.targets.reserve(values.size() + 1);
        for (const std::int16_t value : values) curves.targets.push_back(target * std::exp2(value / 1200.0));
        curves.targets.push_back(target);
    }
    if (job.intensity) {
        const auto& values = job.intensity->values;
        curves.gainCount = static_cast<std::int32_t>(values.size());
        for (const std::int16_t value : values) curves.gains.push_back(std::exp2(value * 0.005));
        curves.gains.push_back(curves.gains.empty() ? 1.0 : curves.gains.back());
    }
    return curves;
}

// Checks a frequency list before use; a list that could not have come from
// an analysis (no frames, missing entries, no positive average) is refused.
bool listIsUsable(const FrequencyList& list) {
    return list.listSize >= 1 && list.frameStep >= 1 &&
           list.frequencies.size() >= static_cast<std::size_t>(list.listSize) + 1 && std::isfinite(list.freqAvg) &&
           list.freqAvg > 0.0;
}

}  // namespace

std::optional<std::vector<double>> synthesizeNote(const RenderJob& job, std::int32_t& count,
                                                  std::int32_t threadRequest) {
    return synthesizeNoteWithOptions(job, count, threadRequest, SynthesisOptions{});
}

std::optional<std::vector<double>> synthesizeNoteWithOptions(const RenderJob& job, std::int32_t& count,
                                                             std::int32_t threadRequest,
                                                             const SynthesisOptions& options) {
    const RenderSettings settings = renderSettings();
    const int N = settings.frameSize;
    const int hop = settings.hopSize;
    const std::int32_t outputRate = settings.outputSampleRate;
    const bool quiet = isQuietJob(job);

    // 1. Preparation: the first noise block is drawn before anything else.
    NoiseGenerator random;
    std::vector<double> noiseBuffer(static_cast<std::size_t>(N));
    for (double& value : noiseBuffer) value = random.nextSmall();
    if (!job.voiceFile) {
        writeErr("Argument fehlt.\n");
        return std::nullopt;
    }

    // 2. Loading.
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

    // 3. Region and length.
    const VoiceEntry region = makeVoiceRegion(job, inputFrames, info.samplesPerSec);
    const double noteLength = noteLengthSamples(job, region, outputRate);
    if (noteLength > kMaxNoteSeconds * outputRate) {
        writeErr("kestrand: the note is longer than one hour; nothing was rendered.\n");
        return std::nullopt;
    }
    const std::int32_t outCount = static_cast<std::int32_t>(std::max(noteLength, 0.0));

    // 4. Voice parameters. Absurd values are kept finite: modulation within
    // +-10000 %, the gender factor within 10^(+-6).
    const double mod = std::clamp(finiteOr(job.modulation, 0.0), -10000.0, 10000.0) * 0.01;
    const double genderFactor = std::pow(10.0, std::clamp(finiteOr(job.gender, 0.0), -1200.0, 1200.0) * 0.005);
    const double breathiness = std::clamp(finiteOr(job.breathy, 0.0) * 0.01, 0.0, 1.0);
    const double alpha = std::clamp(finiteOr(job.alpha, 0.0) * 0.01, 0.0, 10.0);

    std::optional<FrequencyList> list = obtainFrequencyList(*job.voiceFile, *loaded);
    if (!list) {
        writeErr("kestrand: no pitch contour could be obtained for the sample.\n");
        return std::nullopt;
    }
    if (!listIsUsable(*list)) {
        writeErr("kestrand: the sample's pitch contour is unusable.\n");
        return std::nullopt;
    }
    const double inputRate = info.samplesPerSec;
    const double nyquist = std::max(1.0, inputRate / 2.0);
    const double freqAvg = std::clamp(list->freqAvg, 1.0, nyquist);
    list->freqAvg = freqAvg;
    const double tone = finiteOr(job.tone, 0.0);
    double target = freqAvg;
    if (tone > 20) {
        target = tone;
    } else if (tone > 0) {
        target = freqAvg * tone;
    }
    target = std::min(target, 1.0e7);
    if (!quiet) {
        printOut("Outlength=%dsamples\n", outCount);
        printOut("Modulation=%lf\n", mod);
        printOut("Gender=%lf\n", genderFactor);
        printOut("Breathy=%lf\n", breathiness);
        printOut("Breath Alpha=%lf\n", alpha);
        printOut("Reverse Mode %d\n", job.reverse ? 1 : 0);
        printOut("Freq Avg=%lf\n", list->freqAvg);
        printOut("Target Freq=%lf\n", target);
    }

    // 5. Curves. 6. Time map.
    const NoteCurves curves = makeCurves(job, target, outputRate);
    const double ratio = inputRate / outputRate;
    const TimeMap map = makeTimeMap(region, inputRate, outputRate, outCount, job.velocity1, job.velocity2,
                                    job.reverse != 0);
    // The frames the note reads, decoded once: the region, widened by the
    // reach of an analysis frame and two of the longest periods on each side.
    // Reads beyond it are rare and go to the stored bytes.
    std::int64_t decodeFrom = 0, decodeTo = 0;
    {
        const double frames = static_cast<double>(makeSampleView(loaded->bytes, info).frames);
        const double reach = N * std::max(1.0, ratio) / std::min(1.0, genderFactor) +
                             2.0 * inputRate / std::min(21.5, freqAvg) + 16.0;
        const double from = std::clamp(std::min(map.start, map.start + map.length) - reach, -16.0, frames + 16.0);
        const double to = std::clamp(std::max(map.start, map.start + map.length) + reach, -16.0, frames + 16.0);
        if (std::isfinite(from) && std::isfinite(to)) {
            decodeFrom = static_cast<std::int64_t>(std::floor(from));
            decodeTo = static_cast<std::int64_t>(std::ceil(to));
        }
    }

    // 7. Buffers, threads and tables.
    const bool noFormant = job.noFormant != 0;
    const std::size_t bufferSize = static_cast<std::size_t>(outCount) + static_cast<std::size_t>(N);
    std::vector<double> directBuffer, output;
    try {
        directBuffer.assign(bufferSize, 0.0);
        if (!noFormant) output.assign(bufferSize, 0.0);
    } catch (const std::bad_alloc&) {
        writeErr("kestrand: not enough memory for the note.\n");
        return std::nullopt;
    }
    const double startTime = highResolutionSeconds();
    const int processors = processorCount();  // asks the system each time: once per render
    const int threadCount = workerThreadCount(threadRequest, processors);

    SynthesisShared shared;
    shared.frameSize = N;
    shared.outputRate = outputRate;
    // The frame tables only when frames are made, the reference transform
    // only for the literal evaluation.
    if (!noFormant) {
        shared.analysisWindow = makeAnalysisWindow(N);
        if (options.literal) {
            shared.fft = makeFftTables(N);
        } else {
            shared.fastFft = makeFastFftPlan(N);
        }
    }
    shared.gains = makeMixGains(N, breathiness, noFormant);
    shared.sample = makeSampleView(loaded->bytes, info);
    shared.decoded = decodeSample(shared.sample, decodeFrom, decodeTo);
    shared.inputRate = info.samplesPerSec;
    shared.sourceWidth = makeSincWidth(std::max(shared.sample.type == SampleType::U8 ? 1.01 : 1.0, ratio));
    shared.breathWidth = makeSincWidth(std::max(1.0, ratio));
    if (!curves.gains.empty()) shared.envelope = curves.gains;
    shared.envelopeStep = curves.step;
    shared.directBuffer = directBuffer.data();
    shared.directSize = directBuffer.size();
    shared.genderFactor = genderFactor;
    shared.breathiness = breathiness;
    shared.reverse = job.reverse != 0;
    shared.outputCount = outCount;
    shared.literal = options.literal;
    if (breathiness > 0) {
        for (int k = hop; k < N; ++k) noiseBuffer[static_cast<std::size_t>(k)] = random.nextLoud();
        shared.tiltTable = makeTiltTable(N, alpha);
    }

    // The slots, owned together with the pool by the driver and every worker
    // thread; the threads start when frames need them and end by themselves
    // once the render has stopped them.
    const auto pool = std::make_shared<WorkerPool>();
    std::vector<std::unique_ptr<WorkerSlot>>& slots = pool->owned;
    if (!noFormant) {
        for (int i = 0; i < threadCount; ++i) {
            auto slot = std::make_unique<WorkerSlot>();
            slot->index = i;
            slot->pool = pool.get();
            slot->prepareFrame(shared);
            slots.push_back(std::move(slot));
        }
        pool->slots = slots;
        // The driver takes a processor of its own, and frames when it waits.
        pool->wantActive = std::max(1, std::min(threadCount, processors - 1));
    }

    // 8. Sample loop, one hop at a time; a frame is handed out after every
    // whole hop once the first quarter frame is past.
    DirectWaveformSetup setup;
    setup.sample = &shared.decoded;
    setup.list = &*list;
    setup.curves = &curves;
    setup.map = map;
    setup.inputRate = inputRate;
    setup.nyquist = nyquist;
    setup.ratio = ratio;
    setup.target = target;
    setup.mod = mod;
    setup.inputFrames = static_cast<double>(inputFrames);
    setup.outCount = outCount;
    setup.hop = hop;
    setup.noFormant = noFormant;
    setup.literal = options.literal;
    DirectWaveformState state = startDirectWaveform(setup);
    const std::int32_t nI = curves.gainCount;
    std::size_t s = 0;
    const std::int64_t loopEnd = static_cast<std::int64_t>(outCount) + N / 2;
    for (std::int64_t j0 = 0; j0 < loopEnd; j0 += hop) {
        const std::int64_t j1 = std::min<std::int64_t>(j0 + hop, loopEnd);
        fillDirectWaveform(setup, state, j0, j1, directBuffer);
        const std::int64_t j = j1 - 1;
        if (noFormant || !(j > N / 4 && j % hop == hop - 1)) continue;
        if (breathiness > 0) {
            std::copy(noiseBuffer.begin() + hop, noiseBuffer.end(), noiseBuffer.begin());
            for (int k = N - hop; k < N; ++k) noiseBuffer[static_cast<std::size_t>(k)] = random.nextSmall();
        }
        WorkerSlot& slot = *slots[s];
        finishSlot(*pool, s);
        if (slot.pending) addFrameToOutput(slot, output, outCount);
        if (breathiness > 0) std::copy(noiseBuffer.begin(), noiseBuffer.end(), slot.noise.begin());
        slot.envelopeCount = curves.gains.empty() ? list->listSize : nI;
        slot.rateRatio = ratio;
        slot.inputPosition = state.previous.position;
        slot.period = state.previous.period;
        slot.targetFrequency = state.previous.target;
        slot.position = static_cast<std::int32_t>(j);
        slot.pending = true;
        handOver(pool, s);
        s = (s + 1) % slots.size();
        pool->oldest.store(s);
    }

    // 9. Shutdown: frames are added in the order they were handed out, so the
    // result does not depend on the number of threads or their timing.
    for (std::size_t k = 0; k < slots.size(); ++k) {
        WorkerSlot& slot = *slots[(s + k) % slots.size()];
        finishSlot(*pool, (s + k) % slots.size());
        if (slot.pending) addFrameToOutput(slot, output, outCount);
        slot.pending = false;
        slot.state.store(-1);
        slot.startEvent.set();
    }
    const double elapsed = highResolutionSeconds() - startTime;
    if (!quiet) printOut("This process took %.03lf msec with %d threads.\n", elapsed * 1000.0, threadCount);

    std::vector<double>& result = noFormant ? directBuffer : output;
    for (double& value : result) {
        if (!std::isfinite(value)) value = 0.0;
    }
    count = outCount;
    return std::move(result);
}

}  // namespace kestrand
