// The fingerprint of a loaded sample, stored in the frequency lists this
// program writes: a list whose fingerprint differs from its sample's was made
// from another recording (the sample was re-recorded, or the list copied
// from another sample), whatever the file times say.
#pragma once

#include <cstdint>

#include "audio/wave_info.h"

namespace kestrand {

// hashBytes of the sound data (the first dataBytes bytes the loader
// returned, not its zero tail), seeded with the hash of the format: the
// effective format tag, channels, rate, bits and block alignment, each
// little-endian. The same on every system for the same sound.
std::uint64_t sampleFingerprint(const LoadedSample& sample);

}  // namespace kestrand
