#include "audio/wave_append.h"

namespace kestrand {

// Not built yet: appending arrives with the parameter-job work.
void mixIntoWaveSamples(const std::wstring&, std::span<double>, std::int32_t, float, float) {}

}  // namespace kestrand
