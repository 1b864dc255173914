#include "audio/wave_writer.h"

namespace kestrand {

int writeWaveBytes(const std::wstring&, std::span<const std::uint8_t>, int, int, int) { return -1; }

long long writeWaveSamples(const std::wstring&, std::span<const double>, int, int, int, int) { return -1; }

}  // namespace kestrand
