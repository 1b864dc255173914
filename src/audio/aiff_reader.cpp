#include "audio/aiff_reader.h"

namespace kestrand {

// Not built yet: AIFF input arrives with the inputs work.
std::optional<LoadedSample> readAiffBytes(const std::wstring&, std::int32_t) { return std::nullopt; }

}  // namespace kestrand
