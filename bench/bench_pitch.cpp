// Decoding and encoding a curve of the greatest length a pitch text carries
// (32767 values: a slow random walk with vibrato on it and flat stretches) in
// the standard text and in each codec. Arguments: mode (0 std, 1 enc, 2 cmp,
// 3 hff) and order of differencing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"

namespace {

const kestrand::PitchCurve& longCurve() {
    static const kestrand::PitchCurve curve = [] {
        kestrand::PitchCurve c;
        std::mt19937 random(11);
        std::uniform_int_distribution<int> step(-4, 4);
        int walk = 0;
        for (std::size_t i = 0; i < kestrand::kMaxPitchCurveValues; ++i) {
            walk = std::clamp(walk + step(random), -300, 300);
            // Notes of about 400 steps: a flat start, then vibrato growing in.
            const std::size_t inNote = i % 400;
            const double depth = inNote < 60 ? 0.0 : std::min(50.0, static_cast<double>(inNote - 60) * 0.5);
            const double vibrato = depth * std::sin(static_cast<double>(i) * 0.26);
            c.values.push_back(static_cast<std::int16_t>(inNote < 60 ? 0 : walk + std::lround(vibrato)));
        }
        return c;
    }();
    return curve;
}

std::optional<std::wstring> encode(int mode, int order) {
    if (mode == 0) return kestrand::encodePitchBend(longCurve());
    return kestrand::encodePitchCodec(longCurve(), order, static_cast<kestrand::CodecMode>(mode));
}

void setLabel(benchmark::State& state, std::size_t textLength) {
    static const char* const names[] = {"std", "enc", "cmp", "hff"};
    state.SetLabel(std::string(names[state.range(0)]) + " order " + std::to_string(state.range(1)) + ", " +
                   std::to_string(textLength) + " characters");
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kestrand::kMaxPitchCurveValues));
}

void BM_DecodePitchText(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int order = static_cast<int>(state.range(1));
    const std::wstring text = encode(mode, order).value_or(std::wstring());
    for (auto _ : state) {
        auto curve = mode == 0 ? kestrand::decodePitchBend(text)
                               : kestrand::decodePitchCodec(text, order, static_cast<kestrand::CodecMode>(mode));
        benchmark::DoNotOptimize(curve);
    }
    setLabel(state, text.size());
}

void BM_EncodePitchText(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int order = static_cast<int>(state.range(1));
    std::size_t length = 0;
    for (auto _ : state) {
        auto text = encode(mode, order);
        length = text ? text->size() : 0;
        benchmark::DoNotOptimize(text);
    }
    setLabel(state, length);
}

void modesAndOrders(benchmark::internal::Benchmark* b) {
    b->Args({0, 0});
    for (int mode = 1; mode <= 3; ++mode) {
        for (int order = 0; order <= 2; ++order) b->Args({mode, order});
    }
    b->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(BM_DecodePitchText)->Apply(modesAndOrders);
BENCHMARK(BM_EncodePitchText)->Apply(modesAndOrders);
