// Cost of one fractional read (width 1 for the synthesis, width 47 for the
// pitch analysis at 44.1 kHz) and of one forward + inverse FFT pair.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "dsp/real_fft.h"
#include "dsp/sinc_literal.h"

namespace {

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

void BM_FftPair1024(benchmark::State& state) {
    const kestrand::FftTables tables = kestrand::makeFftTables(1024);
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<double> data(1024);
    for (double& v : data) v = unit(rng);
    for (auto _ : state) {
        kestrand::realFft(data, tables);
        kestrand::inverseRealFft(data, tables);
        for (double& v : data) v *= 1.0 / 512.0;  // keep the values bounded
        benchmark::DoNotOptimize(data.data());
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_ReadS16Width1);
BENCHMARK(BM_ReadS16Width47);
BENCHMARK(BM_ReadS16Width1WholeFrames);
BENCHMARK(BM_ReadS16Width47WholeFrames);
BENCHMARK(BM_ReadS16Width1TwoFractions);
BENCHMARK(BM_FftPair1024);
