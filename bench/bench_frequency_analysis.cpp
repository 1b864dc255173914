// Wall time of the whole pitch analysis of 1 s and 10 s of the bundled voice
// (44.1 kHz 16-bit mono, the samples one after another) and of 1 s of the
// same voice at 96 kHz, on one thread per processor, and of the 10 s on one
// thread (the speed on one core). The analysis prints its report to standard
// error; run with 2>/dev/null.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "audio/wave_reader.h"
#include "f0/pitch_analysis.h"
#include "platform/text.h"

namespace {

// The bundled voice folder: beside this file's folder, which the compiler
// may name relative to the build directory (with ccache's base directory),
// or from the working directory.
std::filesystem::path voiceFolder() {
    for (const auto& folder : {std::filesystem::path(__FILE__).parent_path().parent_path() / "voice",
                               std::filesystem::path("voice"), std::filesystem::path("..") / "voice"}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder / "a.wav", error)) return folder;
    }
    return {};
}

std::vector<std::int16_t> voiceSamples() {
    std::vector<std::int16_t> all;
    const auto folder = voiceFolder();
    if (folder.empty()) return all;
    for (const char* name : {"a.wav", "i.wav", "ka.wav", "la.wav", "ma.wav", "su.wav"}) {
        const auto sample = kestrand::readWaveBytes(kestrand::widen((folder / name).string()), 0);
        if (!sample) continue;
        const std::size_t count = sample->dataBytes / 2;
        const std::size_t start = all.size();
        all.resize(start + count);
        std::memcpy(all.data() + start, sample->bytes.data(), count * 2);
    }
    return all;
}

// `seconds` of voice at `rate`, the bundled samples repeated and, for other
// rates, linearly interpolated.
kestrand::LoadedSample voice(double seconds, std::uint32_t rate) {
    static const std::vector<std::int16_t> source = voiceSamples();
    kestrand::LoadedSample sample;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    sample.info.formatTag = 1;
    sample.info.channels = 1;
    sample.info.samplesPerSec = rate;
    sample.info.avgBytesPerSec = rate * 2;
    sample.info.blockAlign = 2;
    sample.info.bitsPerSample = 16;
    sample.dataBytes = static_cast<std::uint32_t>(frames * 2);
    sample.bytes.assign((frames + 4096) * 2, 0);
    if (source.empty()) return sample;
    const double ratio = 44100.0 / rate;
    for (std::size_t n = 0; n < frames; ++n) {
        const double where = n * ratio;
        const auto i = static_cast<std::size_t>(where);
        const double f = where - i;
        const double a = source[i % source.size()];
        const double b = source[(i + 1) % source.size()];
        const auto value = static_cast<std::int16_t>(std::lround(a + (b - a) * f));
        std::memcpy(&sample.bytes[2 * n], &value, 2);
    }
    return sample;
}

void analyse(benchmark::State& state, double seconds, std::uint32_t rate, int threads = 0) {
    if (voiceFolder().empty()) {
        // Silence would be measured instead, which the analysis skips quickly.
        state.SkipWithError("the bundled voice was not found: run from the source or the build directory");
        return;
    }
    const kestrand::LoadedSample sample = voice(seconds, rate);
    const kestrand::AnalysisSize size = kestrand::analysisSizeForRate(rate);
    for (auto _ : state)
        benchmark::DoNotOptimize(kestrand::analyseFrequencies(sample, size.windowLength, size.frameStep, threads));
    state.counters["x_real_time"] =
        benchmark::Counter(seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(analyse, voice_1s_44k, 1.0, 44100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(analyse, voice_10s_44k, 10.0, 44100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(analyse, voice_1s_96k, 1.0, 96000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(analyse, voice_10s_44k_one_thread, 10.0, 44100, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
