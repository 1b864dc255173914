// Feeds arbitrary bytes (one character each) to the standard pitch-bend
// decoder and checks that a decoded curve survives re-encoding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "bend/pitch_bend.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text(data, data + size);
    const auto curve = kestrand::decodePitchBend(text);
    if (!curve) return 0;
    if (curve->values.empty() || curve->values.size() > kestrand::kMaxPitchCurveValues) __builtin_trap();
    const auto encoded = kestrand::encodePitchBend(*curve);
    if (!encoded) __builtin_trap();
    const auto again = kestrand::decodePitchBend(*encoded);
    if (!again || again->values != curve->values) __builtin_trap();
    return 0;
}
