// Synthesis of whole notes from the bundled voice "a.wav" (its frequency list
// is made once, before timing): the lengths and formats a host asks for most.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "dsp/vector_path.h"
#include "render/job_note.h"
#include "render/output_settings.h"
#include "render/render_job.h"

namespace {

// A scratch copy of the voice, so its list file is written beside the copy.
const std::wstring& voicePath() {
    static const std::wstring path = [] {
        const auto folder = std::filesystem::temp_directory_path() / "kestrand_bench_voice";
        std::filesystem::create_directories(folder);
        const auto target = folder / "a.wav";
        std::filesystem::copy_file(std::filesystem::path(__FILE__).parent_path().parent_path() / "voice" / "a.wav",
                                   target, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(target, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
        return target.wstring();
    }();
    return path;
}

kestrand::OutputSettings atRate(int rate) {
    kestrand::OutputSettings settings;
    settings.sampleRate = rate;
    settings.frameSize = kestrand::frameSizeForRate(rate);
    settings.hopSize = settings.frameSize / 4;
    return settings;
}

// args: note length ms, output rate, noFormant, wide (1: the AVX2 + FMA copy
// of the hot loops where the processor has it, 0: the baseline)
void renderNote(benchmark::State& state) {
    const bool previous = kestrand::wideVectorPath();
    kestrand::chooseVectorPath(state.range(3) != 0);
    const kestrand::OutputSettings settings = atRate(static_cast<int>(state.range(1)));
    kestrand::RenderJob job;
    job.voiceFile = voicePath();
    job.outFile = L"-";  // quiet
    job.tone = 261.63f;
    job.lengthRequire = static_cast<float>(state.range(0));
    job.noFormant = static_cast<std::uint8_t>(state.range(2));
    benchmark::DoNotOptimize(kestrand::synthesizeJobNote(job, settings, 0));  // writes the list file
    for (auto _ : state) {
        auto note = kestrand::synthesizeJobNote(job, settings, 0);
        benchmark::DoNotOptimize(note);
    }
    kestrand::chooseVectorPath(previous);
}

}  // namespace

BENCHMARK(renderNote)
    ->Args({550, 44100, 0, 1})
    ->Args({550, 44100, 0, 0})
    ->Args({1000, 44100, 0, 1})
    ->Args({1000, 44100, 0, 0})
    ->Args({1000, 44100, 1, 1})
    ->Args({1000, 96000, 0, 1})
    ->Args({5000, 44100, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
