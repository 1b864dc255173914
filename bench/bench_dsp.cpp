// Cost of the DSP building blocks, the literal reference paths and the fast
// paths that the synthesis and the analysis run: fractional reads (literal,
// fast, over a decoded region, through the analysis's position kernel; width
// 1 for the synthesis, width 47 for the pitch analysis at 44.1 kHz), one
// forward + inverse FFT pair per transform, and the frame kernels. The
// benchmarks of dispatched loops take a last argument "wide": 1 runs the
// AVX2 + FMA copy (where the processor has it), 0 the baseline.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "dsp/decoded_sample.h"
#include "dsp/fft_plan.h"
#include "dsp/folded_sums.h"
#include "dsp/frame_kernels.h"
#include "dsp/position_kernel.h"
#include "dsp/sinc_fast.h"
#include "dsp/sinc_literal.h"
#include "dsp/vector_path.h"

namespace {

// Runs the copy of the dispatched loops that the benchmark's argument at
// `index` names, and the process's own choice again afterwards.
class VectorPathOf {
public:
    VectorPathOf(const benchmark::State& state, std::size_t index) : previous_(kestrand::wideVectorPath()) {
        kestrand::chooseVectorPath(state.range(index) != 0);
    }
    ~VectorPathOf() { kestrand::chooseVectorPath(previous_); }
    VectorPathOf(const VectorPathOf&) = delete;
    VectorPathOf& operator=(const VectorPathOf&) = delete;

private:
    bool previous_;
};

std::vector<std::uint8_t> randomS16(std::size_t frames) {
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> bytes(frames * 2);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(rng));
    return bytes;
}

void readS16(benchmark::State& state, double width, double advance) {
    const std::vector<std::uint8_t> bytes = randomS16(1 << 16);
    double position = 1000.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrand::readFractionalS16(position, bytes, width, 1));
        position += advance;
        if (position > 60000.0) position = 1000.0;
    }
    state.SetItemsProcessed(state.iterations());
}

// A pitch-shifting step: every read has a new fraction and computes its weights.
void BM_ReadS16Width1(benchmark::State& state) { readS16(state, 1.0, 0.731); }
void BM_ReadS16Width47(benchmark::State& state) { readS16(state, 47.0, 0.731); }
// Whole-frame steps, as the pitch analysis reads: the weights repeat.
void BM_ReadS16Width1WholeFrames(benchmark::State& state) { readS16(state, 1.0, 1.0); }
void BM_ReadS16Width47WholeFrames(benchmark::State& state) { readS16(state, 47.0, 1.0); }
// A signal against itself 100.37 frames later: two fractions in turn.
void BM_ReadS16Width1TwoFractions(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = randomS16(1 << 16);
    double position = 1000.25;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrand::readFractionalS16(position, bytes, 1.0, 1) -
                                 kestrand::readFractionalS16(position + 100.37, bytes, 1.0, 1));
        position += 1.0;
        if (position > 60000.0) position = 1000.25;
    }
    state.SetItemsProcessed(2 * state.iterations());
}

// Frames of 1024 doubles, as the synthesis transforms them; argument 0 the
// literal transform, 1 the fast one.
void BM_FftPair1024(benchmark::State& state) {
    const VectorPathOf path(state, 1);
    const auto kind = state.range(0) == 0 ? kestrand::FftKind::Literal : kestrand::FftKind::Fast;
    const kestrand::FftPlan plan = kestrand::makeFftPlan(1024, kind);
    kestrand::FftScratch scratch;
    scratch.prepare(plan);
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<double> data(1024);
    for (double& v : data) v = unit(rng);
    for (auto _ : state) {
        kestrand::forwardFft(data, plan, scratch);
        kestrand::inverseFft(data, plan, scratch);
        for (double& v : data) v *= 1.0 / 512.0;  // keep the values bounded
        benchmark::DoNotOptimize(data.data());
    }
    state.SetItemsProcessed(state.iterations());
}

// 2^16 frames of 16-bit mono as a sample view.
struct ViewFixture {
    std::vector<std::uint8_t> bytes = randomS16(1 << 16);
    kestrand::SampleView view = kestrand::makeSampleView(bytes, kestrand::SampleType::S16, 1);
};

// One fast read per step with a new fraction each time (argument: width x 10).
void BM_ReadFast(benchmark::State& state) {
    const ViewFixture f;
    const kestrand::SincWidth width = kestrand::makeSincWidth(static_cast<double>(state.range(0)) / 10.0);
    double position = 1000.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrand::readFast(f.view, position, width));
        position += 0.731;
        if (position > 60000.0) position = 1000.0;
    }
    state.SetItemsProcessed(state.iterations());
}

// A run of 1024 fast reads (one frame's source), whole-frame steps sharing one
// set of weights (argument 0) or a fractional step (argument 1), width 2.3.
void BM_ReadFastRun(benchmark::State& state) {
    const ViewFixture f;
    const kestrand::SincWidth width = kestrand::makeSincWidth(2.3);
    const double step = state.range(0) == 0 ? 1.0 : 1.37;
    std::vector<double> out(1024);
    double start = 1000.25;
    for (auto _ : state) {
        kestrand::readFastRun(f.view, start, step, width, out);
        benchmark::DoNotOptimize(out.data());
        start += 97.3;
        if (start > 50000.0) start = 1000.25;
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}

// Width-1 reads over a decoded region: 1024 along a line with a fractional
// step (argument 0), one frame apart (argument 1, the four-tap filter), or at
// listed positions (argument 2).
void BM_DecodedUnitReads(benchmark::State& state) {
    const VectorPathOf path(state, 1);
    const ViewFixture f;
    const kestrand::DecodedSample decoded = kestrand::decodeSample(f.view, 0, 1 << 16);
    std::vector<double> positions(1024);
    for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = 1000.0 + 1.37 * static_cast<double>(i);
    std::vector<double> out(1024);
    double start = 1000.25;
    for (auto _ : state) {
        switch (state.range(0)) {
            case 0: kestrand::readUnitRun(decoded, start, 1.37, out); break;
            case 1: kestrand::readUnitRun(decoded, start, 1.0, out); break;
            default: kestrand::readUnitBatch(decoded, positions, out); break;
        }
        benchmark::DoNotOptimize(out.data());
        start += 97.3;
        if (start > 50000.0) start = 1000.25;
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}

// The analysis's reads: 256 reads one frame apart through a kernel built for
// one fractional position (argument: width), as the frame pitch compares a
// signal with itself one period later.
void BM_PositionKernelRun(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = randomS16(1 << 16);
    const kestrand::StoredChannel channel =
        kestrand::decodeChannelZero(bytes, kestrand::SampleType::S16, 1, 1 << 15, 256);
    kestrand::ReaderKernel kernel;
    std::vector<double> out(256);
    double origin = 1000.37;
    for (auto _ : state) {
        kestrand::buildReaderKernel(origin, static_cast<double>(state.range(0)), kernel);
        kestrand::readRunThroughKernel(channel, kernel, 256, out.data());
        benchmark::DoNotOptimize(out.data());
        origin += 101.3;
        if (origin > 30000.0) origin = 1000.37;
    }
    state.SetItemsProcessed(state.iterations() * 256);
}

// The frame kernels over one frame of 1024 (513 bins): windowing, bin gains
// and scaling, and the mix.
struct FrameFixture {
    static constexpr int kN = 1024;
    std::vector<double> a, b, w, power, sums;
    kestrand::FoldScratch fold;
    FrameFixture() : a(kN), b(kN), w(kN), power(kN / 2 + 1), sums(kN / 2 + 1) {
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> unit(0.1, 1.0);
        for (auto* v : {&a, &b, &w, &power}) {
            for (double& x : *v) x = unit(rng);
        }
        fold.reserve(kN / 2);
    }
};

void BM_FrameKernels(benchmark::State& state) {
    const VectorPathOf path(state, 0);
    FrameFixture f;
    constexpr int n = FrameFixture::kN;
    for (auto _ : state) {
        kestrand::multiplyElements(f.w.data(), f.a.data(), f.b.data(), n);
        kestrand::scaleBinsByGains(f.b.data(), n, f.power.data(), f.power.data(), 1.0, nullptr);
        kestrand::mixElements(0.5, f.a.data(), 0.5, f.b.data(), f.b.data(), n);
        benchmark::DoNotOptimize(f.b.data());
    }
    state.SetItemsProcessed(state.iterations());
}

// The envelope sums of one frame's power at a neighbourhood half-width of
// the argument (about N / period: 10 for a low voice, 40 for a high one).
void BM_FoldedSums(benchmark::State& state) {
    const VectorPathOf path(state, 1);
    FrameFixture f;
    const int width = static_cast<int>(state.range(0));
    for (auto _ : state) {
        kestrand::foldedSums(f.power, width, 1.0 / width, f.sums, f.fold);
        benchmark::DoNotOptimize(f.sums.data());
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_ReadS16Width1);
BENCHMARK(BM_ReadS16Width47);
BENCHMARK(BM_ReadS16Width1WholeFrames);
BENCHMARK(BM_ReadS16Width47WholeFrames);
BENCHMARK(BM_ReadS16Width1TwoFractions);
BENCHMARK(BM_FftPair1024)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"fast", "wide"});
BENCHMARK(BM_ReadFast)->Arg(10)->Arg(23)->Arg(470)->ArgName("width_x10");
BENCHMARK(BM_ReadFastRun)->Arg(0)->Arg(1)->ArgName("fractional_step");
BENCHMARK(BM_DecodedUnitReads)->ArgsProduct({{0, 1, 2}, {0, 1}})->ArgNames({"line_filter_list", "wide"});
BENCHMARK(BM_PositionKernelRun)->Arg(1)->Arg(47)->ArgName("width");
BENCHMARK(BM_FrameKernels)->Arg(0)->Arg(1)->ArgName("wide");
BENCHMARK(BM_FoldedSums)->ArgsProduct({{10, 40}, {0, 1}})->ArgNames({"width", "wide"});
