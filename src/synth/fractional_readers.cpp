#include "synth/fractional_readers.h"

namespace kestrand {

double sincSeries(double) { return 0.0; }
double envelopeKernel(double) { return 0.0; }
double readFractionalU8(double, std::span<const std::uint8_t>, double, int) { return 0.0; }
double readFractionalS16(double, std::span<const std::uint8_t>, double, int) { return 0.0; }
double readFractionalS24(double, std::span<const std::uint8_t>, double, int) { return 0.0; }
double readFractionalS32(double, std::span<const std::uint8_t>, double, int) { return 0.0; }
double readFractionalF32(double, std::span<const std::uint8_t>, double, int) { return 0.0; }
double readFractionalF64(double, std::span<const std::uint8_t>, double, int) { return 0.0; }
double readFractionalF64Bounded(double, std::span<const double>, double) { return 0.0; }

}  // namespace kestrand
