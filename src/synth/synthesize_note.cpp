#include "synth/synthesize_note.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "base/number_text.h"
#include "dsp/decoded_sample.h"
#include "dsp/sample_view.h"
#include "dsp/sinc_fast.h"
#include "platform/console.h"
#include "platform/system_info.h"
#include "synth/direct_waveform.h"
#include "synth/frame_pool.h"
#include "synth/noise_generator.h"
#include "synth/synthesis_tables.h"
#include "synth/time_map.h"

namespace kestrand {

namespace {

NoteCurves makeCurves(const NotePlan& plan) {
    NoteCurves curves;
    const double target = plan.target;
    if (plan.tempo > 0) {
        // At least one sample per step, so the step positions stay finite.
        curves.step = std::max(1, truncateToInt32(0.625 / plan.tempo * plan.outputRate + 0.5));
    }
    if (plan.pitchBend) {
        const auto& values = plan.pitchBend->values;
        curves.bendCount = static_cast<std::int32_t>(values.size());
        curves.targets.reserve(values.size() + 1);
        for (const std::int16_t value : values) curves.targets.push_back(target * std::exp2(value / 1200.0));
        curves.targets.push_back(target);
    }
    if (plan.intensity) {
        const auto& values = plan.intensity->values;
        curves.gainCount = static_cast<std::int32_t>(values.size());
        for (const std::int16_t value : values) curves.gains.push_back(std::exp2(value * 0.005));
        curves.gains.push_back(curves.gains.empty() ? 1.0 : curves.gains.back());
    }
    return curves;
}

}  // namespace

std::optional<SynthesizedNote> synthesizeNote(const LoadedSample& loaded, const FrequencyList& list,
                                              const NotePlan& plan, const SynthesisOptions& options) {
    const int N = plan.frameSize;
    const int hop = plan.hopSize;
    const std::int32_t outputRate = plan.outputRate;
    const std::int32_t outCount = plan.outCount;
    const WaveInfo& info = loaded.info;
    const std::uint64_t inputFrames = loaded.dataBytes / info.blockAlign;
    const double inputRate = info.samplesPerSec;
    const double nyquist = std::max(1.0, inputRate / 2.0);
    const double freqAvg = list.freqAvg;
    const double target = plan.target;
    const double mod = plan.mod;
    const double genderFactor = plan.genderFactor;
    const double breathiness = plan.breathiness;
    const double alpha = plan.alpha;
    const VoiceEntry& region = plan.region;
    const std::int32_t threadRequest = plan.threadRequest;

    // The breath noise, one stream for the note: frame f takes the N values
    // from (f + 1) hops on, and the hop at its end is drawn just before it
    // is handed out. The first N values are drawn first (only with breath,
    // as nothing else reads them).
    NoiseGenerator random;

    // 5. Curves. 6. Time map.
    const NoteCurves curves = makeCurves(plan);
    const double ratio = inputRate / outputRate;
    const TimeMap map =
        makeTimeMap(region, inputRate, outputRate, outCount, plan.velocity1, plan.velocity2, plan.reverse);
    // The frames the note reads, decoded once: the region, widened by the
    // reach of an analysis frame and two of the longest periods on each side.
    // Reads beyond it are rare and go to the stored bytes.
    std::int64_t decodeFrom = 0, decodeTo = 0;
    {
        const double frames =
            static_cast<double>(makeSampleView(loaded.bytes, sampleTypeOf(info), info.channels).frames);
        const double reach =
            N * std::max(1.0, ratio) / std::min(1.0, genderFactor) + 2.0 * inputRate / std::min(21.5, freqAvg) + 16.0;
        const double from = std::clamp(std::min(map.start, map.start + map.length) - reach, -16.0, frames + 16.0);
        const double to = std::clamp(std::max(map.start, map.start + map.length) + reach, -16.0, frames + 16.0);
        if (std::isfinite(from) && std::isfinite(to)) {
            decodeFrom = static_cast<std::int64_t>(std::floor(from));
            decodeTo = static_cast<std::int64_t>(std::ceil(to));
        }
    }

    // 7. Buffers, threads and tables.
    const bool noFormant = plan.noFormant;
    const std::size_t bufferSize = static_cast<std::size_t>(outCount) + static_cast<std::size_t>(N);
    const std::int64_t loopEnd = static_cast<std::int64_t>(outCount) + N / 2;
    const bool breath = !noFormant && breathiness > 0;
    // The note; with noFormant it is the direct waveform itself. Otherwise
    // the direct waveform has a buffer of its own, written whole: the loop
    // writes every sample of the note, and its tail is zeroed here.
    std::vector<double> output;
    std::unique_ptr<double[]> directStore;
    std::span<double> directBuffer;
    try {
        output.assign(bufferSize, 0.0);
        if (noFormant) {
            directBuffer = output;
        } else {
            directStore = std::make_unique_for_overwrite<double[]>(bufferSize);
            directBuffer = std::span<double>(directStore.get(), bufferSize);
            std::fill(directBuffer.begin() + outCount, directBuffer.end(), 0.0);
        }
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
        shared.analysisWindow = makeSineWindow(N);
        shared.fft = makeFftPlan(N, options.literal ? FftKind::Literal : FftKind::Fast);
    }
    shared.gains = makeMixGains(N, breathiness, noFormant);
    shared.sample = makeSampleView(loaded.bytes, sampleTypeOf(info), info.channels);
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
    shared.reverse = plan.reverse;
    shared.outputCount = outCount;
    shared.literal = options.literal;
    // The stream lives in a ring that holds more than the frames in flight
    // (at most one per thread) can read, so no value is overwritten while a
    // frame may still read it. The ring is a whole number of hops, so a hop
    // of values lies together; the first N values of the ring are repeated
    // after its end, so every frame's N values lie together too.
    const std::size_t ring = static_cast<std::size_t>(N) + static_cast<std::size_t>(threadCount + 1) * hop;
    std::unique_ptr<double[]> noise;  // ring + N values, each written before it is read
    // Draws the values of stream places at .. at + hop - 1 (at a whole number of hops).
    const auto drawHop = [&noise, ring, hop, N](std::size_t at, auto draw) {
        double* place = noise.get() + at % ring;
        for (int k = 0; k < hop; ++k) place[k] = draw();
        if (at % ring < static_cast<std::size_t>(N)) std::copy(place, place + hop, place + ring);
    };
    if (breath) {
        noise = std::make_unique_for_overwrite<double[]>(ring + static_cast<std::size_t>(N));
        for (int k = 0; k < N; k += hop) drawHop(static_cast<std::size_t>(k), [&random] { return random.nextSmall(); });
        for (int k = hop; k < N; k += hop)
            drawHop(static_cast<std::size_t>(k), [&random] { return random.nextLoud(); });
        shared.tiltTable = makeTiltTable(N, alpha);
    }

    // The slots, owned together with the pool by the driver and every worker
    // thread; the threads start when frames need them and end by themselves
    // once the render has stopped them. A short note, or one thread asked
    // for, is processed on the driver alone: starting a thread would cost
    // more than its frames.
    const std::int64_t frameCount = (static_cast<std::int64_t>(outCount) + N / 2) / hop;
    const bool driverOnly = threadCount == 1 || frameCount <= kDriverOnlyFrames;
    const auto pool = std::make_shared<WorkerPool>();
    std::vector<std::unique_ptr<WorkerSlot>>& slots = pool->owned;
    if (!noFormant) {
        for (int i = 0; i < (driverOnly ? 1 : threadCount); ++i) {
            auto slot = std::make_unique<WorkerSlot>();
            slot->index = i;
            slot->pool = pool.get();
            slot->shared = &shared;
            slot->request.prepare(shared);
            slots.push_back(std::move(slot));
        }
        pool->slots = slots;
        // The driver takes a processor of its own, and frames when it waits.
        pool->wantActive = driverOnly ? 0 : std::max(1, std::min(threadCount, processors - 1));
    }

    // 8. Sample loop, one hop at a time; a frame is handed out after every
    // whole hop once the first quarter frame is past.
    DirectWaveformSetup setup;
    setup.sample = &shared.decoded;
    setup.list = &list;
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
    std::size_t noiseAt = 0;  // the first noise value of the last frame handed out
    for (std::int64_t j0 = 0; j0 < loopEnd; j0 += hop) {
        const std::int64_t j1 = std::min<std::int64_t>(j0 + hop, loopEnd);
        fillDirectWaveform(setup, state, j0, j1, directBuffer);
        const std::int64_t j = j1 - 1;
        if (noFormant || !(j > N / 4 && j % hop == hop - 1)) continue;
        std::span<const double> frameNoise;
        if (breath) {
            noiseAt += static_cast<std::size_t>(hop);
            drawHop(noiseAt + static_cast<std::size_t>(N - hop), [&random] { return random.nextSmall(); });
            frameNoise = std::span<const double>(noise.get() + noiseAt % ring, static_cast<std::size_t>(N));
        }
        WorkerSlot& slot = *slots[s];
        finishSlot(*pool, s);
        FrameRequest& request = slot.request;
        if (slot.pending) addFrameToOutput(request, N, output, outCount);
        request.noise = frameNoise;
        request.envelopeCount = curves.gains.empty() ? list.listSize : nI;
        request.rateRatio = ratio;
        request.inputPosition = state.previous.position;
        request.period = state.previous.period;
        request.targetFrequency = state.previous.target;
        request.position = static_cast<std::int32_t>(j);
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
        if (slot.pending) addFrameToOutput(slot.request, N, output, outCount);
        slot.pending = false;
        slot.state.store(-1);
        slot.startEvent.set();
    }
    const double elapsed = highResolutionSeconds() - startTime;

    SynthesizedNote note;
    note.samples = std::move(output);
    for (double& value : note.samples) {
        if (!std::isfinite(value)) value = 0.0;
    }
    note.count = outCount;
    note.threadCount = threadCount;
    note.seconds = elapsed;
    return note;
}

}  // namespace kestrand
