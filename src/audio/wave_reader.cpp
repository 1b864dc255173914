#include "audio/wave_reader.h"

namespace kestrand {

std::optional<LoadedSample> readWaveBytes(const std::wstring&, std::int32_t) { return std::nullopt; }

std::optional<std::vector<double>> readWaveSamples(const std::wstring&, WaveInfo&, std::uint32_t&, std::int32_t) {
    return std::nullopt;
}

}  // namespace kestrand
